#pragma once
// Text for the artwork, rasterised by FreeType from a system font (DejaVu).

#include "Raster.h"

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string_view>

namespace artwork {

class ArtError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The font file of that name in $WADLING_FONT_DIR, else /usr/share/fonts/truetype/dejavu;
/// raises ArtError naming both places and the package to install when it is in neither.
std::filesystem::path FindFont(std::string_view fileName);

class Font {
public:
    /// Raises ArtError when the file cannot be read as a font. widthScale below 1 narrows the
    /// letters (and their advances) for tight captions.
    Font(const std::filesystem::path& file, int pixelSize, float widthScale = 1.0f);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    /// Advance width of the text in whole pixels, kerning included.
    int Width(std::string_view text) const;
    /// Height of capital letters above the baseline, in pixels.
    int CapHeight() const;
    /// Draws ASCII text with its baseline at y, starting at x.
    void Draw(Canvas& canvas, std::string_view text, int x, int y, Colour colour) const;

private:
    struct Face;
    std::unique_ptr<Face> face_;
};

} // namespace artwork
