#pragma once
// The editor's ten pictures as the form stores them: one packed image stream ("DIB LZH") per
// image-list item, in item order. A surface's ReadData turns one into its picture.

#include <cstdint>
#include <span>

namespace editorart {

inline constexpr int kImageCount = 10;

/// The packed stream of image-list item `index`; empty outside 0..kImageCount - 1.
std::span<const std::uint8_t> packedImage(int index);

} // namespace editorart
