#pragma once
// The editor's pictures unpacked once and shared by every editor window of the process:
// unpacking the packed streams is nearly all of an editor's open. The records stay while
// anyone holds them (each wrapper whose editor was opened), so a reopen copies, not decodes.

#include "runtime/Streams.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace editorart {

class UnpackedArt {
public:
    /// Image-list item `index` as an unpacked raw record (width, height, pixels), for a
    /// surface's ReadRecord; empty outside 0..kImageCount - 1.
    std::span<const std::uint8_t> record(int index) const;

private:
    friend std::shared_ptr<const UnpackedArt> unpackedArt();
    std::vector<runtime::TMemoryStream> records_;
};

/// The shared records, unpacked now when nobody holds them. Any thread; raises what unpacking
/// raises (the embedded streams are checked by the tests, so only on running out of memory).
std::shared_ptr<const UnpackedArt> unpackedArt();

} // namespace editorart
