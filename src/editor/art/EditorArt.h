#pragma once
// The editor's ten pictures as the form stores them: one packed image stream ("DIB LZH") per
// image-list item, in item order, at each density of editorart::kScales (ArtScale.h). A
// surface's ReadData turns one into its picture.

#include <cstdint>
#include <span>

namespace editorart {

inline constexpr int kImageCount = 10;

/// The packed stream of image-list item `index` drawn at `percent`; empty outside
/// 0..kImageCount - 1 and for a density not in kScales. Each picture's size is its 100 % size
/// scaled by editorart::scaled, frame by frame for the strips (0 and 5).
std::span<const std::uint8_t> packedImage(int index, int percent = 100);

} // namespace editorart
