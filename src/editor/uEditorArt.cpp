#include "editor/uEditorArt.h"

#include "editor/art/ArtScale.h"
#include "editor/art/EditorArt.h"
#include "platform/Platform.h"

#include <array>
#include <mutex>

namespace editorart {

const toolkit::TDIBSharedPicture& UnpackedArt::picture(int index) const {
    static const toolkit::TDIBSharedPicture none;
    if (index < 0 || index >= static_cast<int>(pictures_.size())) return none;
    return pictures_[static_cast<std::size_t>(index)];
}

std::shared_ptr<const UnpackedArt> unpackedArt(int percent) {
    // Editors of several instances may open on different threads in some hosts: one unpacks,
    // the others wait for its pictures rather than unpack their own.
    static std::mutex mutex;
    static std::array<std::weak_ptr<const UnpackedArt>, kScales.size()> sets;
    std::size_t set = 0;
    while (set < kScales.size() && kScales[set] != percent)
        ++set;
    if (set == kScales.size()) set = 0;
    std::weak_ptr<const UnpackedArt>& shared = sets[set];
    const std::lock_guard<std::mutex> lock(mutex);
    if (auto held = shared.lock()) return held;
    auto art = std::make_shared<UnpackedArt>();
    art->pictures_.reserve(kImageCount);
    for (int i = 0; i < kImageCount; ++i) {
        const auto packed = packedImage(i, kScales[set]);
        art->pictures_.push_back(toolkit::UnpackDIBPicture(packed));
        // The packed bytes (1 MB) are read once per unpacking: they need not stay resident.
        platform::dropFilePages(packed.data(), packed.size());
    }
    shared = art;
    return art;
}

} // namespace editorart
