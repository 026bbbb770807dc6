#pragma once
// The editor's ten pictures, drawn in code. Index order is the image list's.

#include "Raster.h"

#include <string>
#include <vector>

namespace artwork {

struct PictureInfo {
    const char* displayName;
    const char* fileStem; ///< file names: <stem>.png and <stem>.dibz
    int width, height;
    int frames; ///< equal slices side by side
};

inline constexpr int kPictureCount = 10;
inline constexpr PictureInfo kPictures[kPictureCount] = {
    {"Wadling", "00-wadling", 13257, 323, 27},
    {"EQ", "01-eq", 129, 222, 1},
    {"Mix", "02-mix", 34, 222, 1},
    {"Compression", "03-compression", 45, 12, 1},
    {"Banner", "04-banner", 482, 56, 1},
    {"Listen", "05-listen", 126, 37, 2},
    {"Wadling1", "06-wadling1", 47, 59, 1},
    {"Wadling2", "07-wadling2", 51, 66, 1},
    {"Wadling3", "08-wadling3", 45, 58, 1},
    {"Wadling4", "09-wadling4", 49, 51, 1},
};

/// The picture's size at percent: each frame is scaled on its own, so the frames of a strip
/// stay equal (a strip is frames x the scaled frame width, not the scaled strip width).
int PictureWidth(const PictureInfo& info, int percent);
int PictureHeight(const PictureInfo& info, int percent);

/// Draws all ten pictures at percent (one of editorart::kScales); raises ArtError when a font
/// is missing or a text does not fit.
std::vector<Canvas> DrawPictures(int percent = 100);

/// The editor as a user first sees it and fully squeezed, side by side, every picture at its
/// place in the window; pictures as DrawPictures(percent) gives them.
Canvas DrawPreview(const std::vector<Canvas>& pictures, int percent = 100);

} // namespace artwork
