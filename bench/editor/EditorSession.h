#pragma once
// A plug-in linked into the benchmark, created through its entry, with a headless backend.

#include "editor/APluginEditor.h"
#include "editor/uEditor.h"
#include "host/VstHost.h"
#include "platform/headless/Headless.h"

namespace editorbench {

inline AEffect* VSTCALLBACK linkedEntry(audioMasterCallback audioMaster) {
    return vstPluginEntry(audioMaster, &createPluginWithEditor);
}

struct Session {
    platform::HeadlessSession headless;
    host::HostCallback host;
    host::PluginInstance plugin{&linkedEntry, host};
    int hostWindow = 0;

    APluginEditor& wrapper() {
        auto* object = static_cast<APlugin*>(static_cast<AudioEffect*>(plugin.effect()->object));
        return *object->pluginEditor();
    }
    /// effEditOpen and the paint that composes the first frame.
    bool open() {
        const bool opened = plugin.dispatch(effEditOpen, 0, 0, &hostWindow) == 1;
        headless.paintWaiting();
        return opened;
    }
    void close() { plugin.dispatch(effEditClose); }
};

} // namespace editorbench
