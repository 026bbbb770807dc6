#pragma once
// A small anti-aliased rasteriser for the editor's artwork: shapes are signed distance functions
// (negative inside, in pixels), their coverage at a pixel centre is 0.5 - distance clamped to
// 0..1, and paints give a straight-alpha colour per point. The canvas keeps premultiplied floats
// and converts to the packed image record (bottom-up BGRA, straight alpha) at the end.
//
// A canvas may stand for a picture drawn at another pixel density: shapes, paints, boxes and
// blur widths stay in design pixels (100 %) and are evaluated at each canvas pixel's design
// position, so every density is drawn from the shapes themselves and edges stay one canvas
// pixel soft. Whole-pixel positions follow editorart::scaled.

#include <cstdint>
#include <functional>
#include <vector>

namespace artwork {

struct Colour {
    float r = 0, g = 0, b = 0, a = 1;
};
/// 0xRRGGBB, opaque unless alpha says otherwise.
Colour Hex(std::uint32_t rgb, float alpha = 1.0f);
Colour Mix(Colour a, Colour b, float t);
/// Colour with its alpha multiplied by factor.
Colour Fade(Colour c, float factor);

using Shape = std::function<float(float x, float y)>;
using Paint = std::function<Colour(float x, float y)>;

// Primitives.
Shape Circle(float cx, float cy, float r);
Shape Ellipse(float cx, float cy, float rx, float ry);
/// Ellipse turned by angle (radians, clockwise on screen) about its centre.
Shape TurnedEllipse(float cx, float cy, float rx, float ry, float angle);
Shape RoundRect(float x0, float y0, float x1, float y1, float radius);
/// A segment from (ax, ay) to (bx, by) with round ends, r thick on each side.
Shape Capsule(float ax, float ay, float bx, float by, float r);
/// Closed polygon (x, y pairs), exact distance.
Shape Polygon(std::vector<float> xy);

// Combinations.
Shape Unite(Shape a, Shape b);
/// Union with a fillet of about k pixels where the shapes meet.
Shape SmoothUnite(Shape a, Shape b, float k);
Shape Intersect(Shape a, Shape b);
Shape Subtract(Shape a, Shape b);
Shape Move(Shape s, float dx, float dy);
/// Grows (positive) or shrinks the shape by r pixels.
Shape Grow(Shape s, float r);

// Paints.
Paint Solid(Colour c);
/// Linear blend from c0 at (x0, y0) to c1 at (x1, y1), clamped beyond the ends.
Paint Linear(float x0, float y0, Colour c0, float x1, float y1, Colour c1);
Paint Radial(float cx, float cy, float r, Colour inner, Colour outer);
/// A rounded, lit surface: flat base colour inside, lighter towards the light (top left) and
/// darker away from it within `bevel` pixels of the outline; sunken turns it into a hollow.
Paint Lit(Shape s, Colour base, float bevel, float strength = 0.5f, bool sunken = false);
/// The shape drawn at (ox, oy) scaled by sx, sy (distances scaled by the smaller factor).
Shape Place(Shape s, float ox, float oy, float sx, float sy);

struct Box {
    int x0, y0, x1, y1; ///< x1, y1 exclusive
};

class Canvas {
public:
    /// width x height pixels at 100 %.
    Canvas(int width, int height);
    /// A picture of designWidth x designHeight design pixels drawn at percent; a density of 0
    /// or less gives an empty canvas.
    static Canvas AtScale(int designWidth, int designHeight, int percent);
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Percent() const { return percent_; }
    /// Canvas pixels per design pixel.
    float Scale() const { return scale_; }
    /// A design pixel coordinate in canvas pixels.
    int ToCanvas(int designPixels) const;

    /// Paints the shape over what is there. soft > 1 widens the edge into a blur of about that
    /// many design pixels (shadows and glows); opacity scales the whole fill.
    void Fill(const Shape& shape, const Paint& paint, float soft = 1.0f, float opacity = 1.0f);
    /// As Fill, evaluated only inside box (design pixels, clipped to the canvas).
    void Fill(const Shape& shape, const Paint& paint, Box box, float soft = 1.0f,
              float opacity = 1.0f);
    // The rest works in canvas pixels.

    /// Composites a coverage mask (0..255, maskWidth wide) at (x, y) in one colour.
    void Blend(const std::uint8_t* mask, int maskWidth, int maskHeight, int maskPitch, int x, int y,
               Colour colour);
    /// Draws another canvas over this one with its top left at (x, y).
    void Draw(const Canvas& source, int x, int y);
    /// Copies a part of another canvas unblended into this one at (x, y).
    void Copy(const Canvas& source, Box from, int x, int y);

    /// Straight-alpha colour of a pixel.
    Colour At(int x, int y) const;
    /// The raw image record: width, height (16-bit little-endian), bottom-up BGRA rows with
    /// straight alpha; transparent pixels are all zero.
    std::vector<std::uint8_t> Record() const;

private:
    void fillPixels(const Shape& shape, const Paint& paint, Box pixels, float soft, float opacity);

    int width_, height_;
    int percent_ = 100;
    float scale_ = 1.0f;
    std::vector<Colour> pixels_; ///< premultiplied
};

} // namespace artwork
