#include "Text.h"

#include <cmath>
#include <cstdlib>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace artwork {

struct Font::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    FT_Matrix matrix{0x10000, 0, 0, 0x10000};
    ~Face() {
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
    }
};

namespace {

// Light hinting keeps stems crisp at small sizes without distorting the letter shapes.
constexpr FT_Int32 kLoadFlags = FT_LOAD_TARGET_LIGHT;

FT_UInt glyphOf(FT_Face face, char c) {
    return FT_Get_Char_Index(face, static_cast<unsigned char>(c));
}

// The unhinted advance (narrowed with the letters), in 26.6 pixels: hinted advances are whole
// pixels, which spaces small text unevenly.
long advance(FT_Face face, const FT_Matrix& matrix) {
    return std::lround(double(face->glyph->linearHoriAdvance) / 1024.0 * double(matrix.xx) /
                       65536.0);
}

long kerning(FT_Face face, FT_UInt previous, FT_UInt glyph) {
    if (previous == 0 || !FT_HAS_KERNING(face)) return 0;
    FT_Vector delta{};
    FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &delta);
    return delta.x;
}

} // namespace

std::filesystem::path FindFont(std::string_view fileName) {
    std::filesystem::path tried[2];
    if (const char* dir = std::getenv("WADLING_FONT_DIR"); dir != nullptr && *dir != 0) {
        tried[0] = std::filesystem::path(dir) / fileName;
        if (std::filesystem::is_regular_file(tried[0])) return tried[0];
    }
    tried[1] = std::filesystem::path("/usr/share/fonts/truetype/dejavu") / fileName;
    if (std::filesystem::is_regular_file(tried[1])) return tried[1];
    throw ArtError("font " + std::string(fileName) + " not found in " +
                   (tried[0].empty() ? std::string() : tried[0].parent_path().string() + " or ") +
                   tried[1].parent_path().string() +
                   "; install the DejaVu fonts (Debian: fonts-dejavu-core) or set "
                   "WADLING_FONT_DIR");
}

Font::Font(const std::filesystem::path& file, int pixelSize, float widthScale)
    : face_(std::make_unique<Face>()) {
    if (FT_Init_FreeType(&face_->library) != 0) throw ArtError("cannot start FreeType");
    if (FT_New_Face(face_->library, file.string().c_str(), 0, &face_->face) != 0)
        throw ArtError("cannot read font " + file.string());
    if (FT_Set_Pixel_Sizes(face_->face, 0, FT_UInt(pixelSize)) != 0)
        throw ArtError("font " + file.string() + " has no size " + std::to_string(pixelSize));
    face_->matrix.xx = FT_Fixed(std::lround(widthScale * 65536.0f));
    FT_Set_Transform(face_->face, &face_->matrix, nullptr);
}

Font::~Font() = default;

int Font::Width(std::string_view text) const {
    FT_Face face = face_->face;
    long pen = 0;
    FT_UInt previous = 0;
    for (char c : text) {
        const FT_UInt glyph = glyphOf(face, c);
        pen += kerning(face, previous, glyph);
        if (FT_Load_Glyph(face, glyph, kLoadFlags) != 0) continue;
        pen += advance(face, face_->matrix);
        previous = glyph;
    }
    return int((pen + 32) >> 6);
}

int Font::CapHeight() const {
    FT_Face face = face_->face;
    if (FT_Load_Glyph(face, glyphOf(face, 'H'), kLoadFlags) != 0) return 0;
    return int((face->glyph->metrics.horiBearingY + 32) >> 6);
}

void Font::Draw(Canvas& canvas, std::string_view text, int x, int y, Colour colour) const {
    FT_Face face = face_->face;
    long pen = long(x) << 6;
    FT_UInt previous = 0;
    for (char c : text) {
        const FT_UInt glyph = glyphOf(face, c);
        pen += kerning(face, previous, glyph);
        // Each glyph is rendered at its fractional pen position, so spacing stays even.
        FT_Vector shift{pen & 63, 0};
        FT_Set_Transform(face, &face_->matrix, &shift);
        const bool loaded = FT_Load_Glyph(face, glyph, kLoadFlags | FT_LOAD_RENDER) == 0;
        FT_Set_Transform(face, &face_->matrix, nullptr);
        if (!loaded) continue;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.buffer != nullptr && bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
            canvas.Blend(bitmap.buffer, int(bitmap.width), int(bitmap.rows), bitmap.pitch,
                         int(pen >> 6) + slot->bitmap_left, y - slot->bitmap_top, colour);
        pen += advance(face, face_->matrix);
        previous = glyph;
    }
}

} // namespace artwork
