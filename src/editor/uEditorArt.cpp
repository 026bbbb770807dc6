#include "editor/uEditorArt.h"

#include "editor/art/EditorArt.h"
#include "runtime/Streams.h"
#include "toolkit/cDIBCompressor.h"

#include <mutex>
#include <utility>

namespace editorart {

std::span<const std::uint8_t> UnpackedArt::record(int index) const {
    if (index < 0 || index >= static_cast<int>(records_.size())) return {};
    const runtime::TMemoryStream& raw = records_[static_cast<std::size_t>(index)];
    return {raw.Memory(), raw.MemorySize()};
}

std::shared_ptr<const UnpackedArt> unpackedArt() {
    // Editors of several instances may open on different threads in some hosts.
    static std::mutex mutex;
    static std::weak_ptr<const UnpackedArt> shared;
    const std::lock_guard<std::mutex> lock(mutex);
    if (auto held = shared.lock()) return held;
    auto art = std::make_shared<UnpackedArt>();
    art->records_.reserve(kImageCount);
    for (int i = 0; i < kImageCount; ++i) {
        const auto packed = packedImage(i);
        runtime::TReadOnlyMemoryStream source(packed.data(), packed.size());
        runtime::TMemoryStream raw;
        toolkit::UnpackDIBData(nullptr, source, raw);
        art->records_.push_back(std::move(raw));
    }
    shared = art;
    return art;
}

} // namespace editorart
