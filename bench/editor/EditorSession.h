#pragma once
// A plug-in linked into the benchmark, created through its entry, with a headless backend.

#include "LinkedPlugin.h"

namespace editorbench {

struct Session : testsupport::LinkedSession {
    /// effEditOpen and the paint that composes the first frame.
    bool open() {
        const bool opened = plugin.dispatch(effEditOpen, 0, 0, &hostWindow) == 1;
        headless.paintWaiting();
        return opened;
    }
    void close() { plugin.dispatch(effEditClose); }
    /// The host's scale for the next open ('PreS' / 'AeCs'), in percent.
    void scale(int percent) {
        plugin.dispatch(effVendorSpecific, 0x50726553, 0x41654373, nullptr, float(percent) / 100);
    }
};

} // namespace editorbench
