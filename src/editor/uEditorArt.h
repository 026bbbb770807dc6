#pragma once
// The editor's pictures unpacked once and shared by every editor window of the process:
// unpacking the packed streams is nearly all of an editor's open. Each window's image list shows
// the same pixels, read-only (a window that changed one would copy it first). They stay while a
// window shows them, so another instance's editor or a reopen beside it neither unpacks nor
// copies them, and go with the last window: a closed editor leaves no pixels behind. Each
// density is its own set: only the densities that open windows show are unpacked.

#include "toolkit/cDIB.h"

#include <memory>
#include <vector>

namespace editorart {

class UnpackedArt {
public:
    /// Image-list item `index`'s picture, for a surface's SharePicture; without pixels outside
    /// 0..kImageCount - 1.
    const toolkit::TDIBSharedPicture& picture(int index) const;

private:
    friend std::shared_ptr<const UnpackedArt> unpackedArt(int percent);
    std::vector<toolkit::TDIBSharedPicture> pictures_;
};

/// The shared pictures drawn at `percent` (a density of kScales; any other gives the 100 % set),
/// unpacked now when nobody holds them. Any thread; raises what unpacking raises (the embedded
/// streams are checked by the tests, so only on running out of memory).
std::shared_ptr<const UnpackedArt> unpackedArt(int percent = 100);

} // namespace editorart
