#pragma once
// Text for the artwork, rasterised by FreeType from a system font (DejaVu).

#include "Raster.h"

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace artwork {

class ArtError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The font file of that name in the first of the folders that has it; raises ArtError naming
/// the folders and the package to install when none has it.
std::filesystem::path FindFont(std::string_view fileName,
                               const std::vector<std::filesystem::path>& folders);
/// As above in $WADLING_FONT_DIR (when set), then /usr/share/fonts/truetype/dejavu.
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
