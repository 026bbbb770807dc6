#include "Pictures.h"

#include "Text.h"

#include "editor/art/ArtScale.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace artwork {

namespace {

constexpr int kFrameWidth = 491;
constexpr int kFrameHeight = 323;

// Palette: pale pond water behind slate panels, yellow ducks, blue-grey steel.
const Colour kBackTop = Hex(0xE6F3F6);
const Colour kBackBottom = Hex(0xBFDAE2);
const Colour kInk = Hex(0x28404E);
const Colour kPanel = Hex(0xF6FAFB);
const Colour kPanelEdge = Hex(0x8AA3AF);
const Colour kSlot = Hex(0x3B5666);
const Colour kSteel = Hex(0x6F889A);
const Colour kSteelDark = Hex(0x4A6172);
const Colour kBeak = Hex(0xFF8A24);
const Colour kEye = Hex(0x1D2830);
const Colour kWhite = Hex(0xFFFFFF);
const Colour kShadow = Hex(0x0E2A36);

float smooth(float e0, float e1, float x) {
    const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

Box around(float x0, float y0, float x1, float y1, float margin = 3) {
    return {int(std::floor(x0 - margin)), int(std::floor(y0 - margin)), int(std::ceil(x1 + margin)),
            int(std::ceil(y1 + margin))};
}

// Text is rendered by FreeType at the scaled pixel size, hinted for that size.
struct Fonts {
    explicit Fonts(int percent)
        : label(FindFont("DejaVuSans-Bold.ttf"), editorart::scaled(10, percent)),
          small(FindFont("DejaVuSans-Bold.ttf"), editorart::scaled(9, percent)),
          button(FindFont("DejaVuSans-Bold.ttf"), editorart::scaled(11, percent)),
          title(FindFont("DejaVuSans-Bold.ttf"), editorart::scaled(23, percent)),
          vendor(FindFont("DejaVuSans.ttf"), editorart::scaled(14, percent)) {}
    Font label, small, button, title, vendor;
};

// Text centred on design x cx with its baseline on design row baseline.
void centred(Canvas& c, const Font& font, const char* text, float cx, int baseline, Colour colour) {
    font.Draw(c, text, int(std::lround(cx * c.Scale() - float(font.Width(text)) / 2)),
              c.ToCanvas(baseline), colour);
}

// ---- Ducks -------------------------------------------------------------------------------

struct DuckColours {
    Colour body;
    Colour wing;
};

// An upright duckling filling a w x h box at (x, y): the draggable figures and the logo.
void drawDuckling(Canvas& c, float x, float y, float w, float h, DuckColours colours) {
    const float bx = x + w * 0.53f, by = y + h * 0.69f, brx = w * 0.40f, bry = h * 0.25f;
    const float r = std::min(w * 0.27f, h * 0.215f);
    const float hx = x + w * 0.47f, hy = y + h * 0.06f + r;
    const Shape body = Ellipse(bx, by, brx, bry);
    const Shape head = Circle(hx, hy, r);
    const Shape tail =
        TurnedEllipse(bx + brx * 0.82f, by - bry * 0.45f, w * 0.13f, h * 0.07f, -0.7f);
    const Shape tuft = TurnedEllipse(hx + r * 0.15f, hy - r * 0.95f, r * 0.32f, r * 0.16f, -0.5f);
    const Shape figure =
        SmoothUnite(SmoothUnite(SmoothUnite(body, head, r * 0.45f), tail, 3), tuft, 2);
    const Shape feet = Unite(Ellipse(bx - brx * 0.35f, by + bry * 0.93f, w * 0.12f, h * 0.045f),
                             Ellipse(bx + brx * 0.30f, by + bry * 0.96f, w * 0.12f, h * 0.045f));
    const Box all = around(x, y, x + w, y + h, 1);

    c.Fill(Move(Unite(figure, feet), 1.6f, 2.2f), Solid(kShadow), all, 3.0f, 0.35f);
    c.Fill(feet, Lit(feet, kBeak, 2, 0.5f), all);
    c.Fill(figure, Lit(figure, colours.body, r * 0.7f, 0.55f), all);
    const Shape wing =
        TurnedEllipse(bx + brx * 0.18f, by - bry * 0.05f, brx * 0.55f, bry * 0.48f, 0.45f);
    c.Fill(wing, Lit(wing, colours.wing, 4, 0.6f), all);
    const Shape beak =
        Subtract(Ellipse(hx - r * 0.98f, hy + r * 0.22f, r * 0.55f, r * 0.27f),
                 Capsule(hx - r * 1.6f, hy + r * 0.24f, hx - r * 0.7f, hy + r * 0.24f, 0.35f));
    c.Fill(beak, Lit(beak, kBeak, 3, 0.6f), all);
    c.Fill(Circle(hx - r * 0.3f, hy - r * 0.12f, r * 0.19f), Solid(kEye), all);
    c.Fill(Circle(hx - r * 0.36f, hy - r * 0.2f, r * 0.075f), Solid(kWhite), all);
}

// A duck swimming to the left over a ripple: the mix figure.
void drawSwimmer(Canvas& c, float w, float h, DuckColours colours) {
    const Box all{0, 0, int(w), int(h)};
    const float wy = h * 0.80f; // water line
    const Shape ripple = Subtract(Ellipse(w * 0.52f, wy, w * 0.46f, h * 0.10f),
                                  Ellipse(w * 0.52f, wy - 1.2f, w * 0.40f, h * 0.065f));
    c.Fill(ripple, Solid(Hex(0x2E8FB0, 0.75f)), all);
    const Shape body = Ellipse(w * 0.56f, wy - h * 0.17f, w * 0.36f, h * 0.20f);
    const float r = w * 0.19f, hx = w * 0.32f, hy = h * 0.08f + r;
    const Shape head = Circle(hx, hy, r);
    const Shape tail = TurnedEllipse(w * 0.88f, wy - h * 0.32f, w * 0.12f, h * 0.06f, -0.75f);
    const Shape waterline = RoundRect(0, 0, w, wy + 1.0f, 0);
    const Shape figure =
        Intersect(SmoothUnite(SmoothUnite(body, head, r * 0.7f), tail, 3), waterline);
    c.Fill(Move(figure, 1.5f, 2.0f), Solid(kShadow), all, 3.0f, 0.3f);
    c.Fill(figure, Lit(figure, colours.body, r * 0.7f, 0.55f), all);
    const Shape wing = TurnedEllipse(w * 0.60f, wy - h * 0.20f, w * 0.20f, h * 0.10f, 0.3f);
    c.Fill(wing, Lit(wing, colours.wing, 3, 0.6f), all);
    // A drake's green head and white collar keep it clear of the pale panel under it.
    const Shape hood = Circle(hx, hy, r + 0.6f);
    c.Fill(hood, Lit(hood, Hex(0x23805F), r * 0.8f, 0.6f), all);
    c.Fill(Intersect(Subtract(figure, Grow(hood, 1.6f)), Grow(hood, 3.2f)), Solid(kWhite), all);
    const Shape beak =
        Subtract(Ellipse(hx - r * 0.98f, hy + r * 0.22f, r * 0.55f, r * 0.27f),
                 Capsule(hx - r * 1.6f, hy + r * 0.24f, hx - r * 0.7f, hy + r * 0.24f, 0.35f));
    c.Fill(beak, Lit(beak, Hex(0xF7C531), 1.2f, 0.4f), all);
    c.Fill(Circle(hx - r * 0.3f, hy - r * 0.12f, r * 0.2f), Solid(kEye), all);
    c.Fill(Circle(hx - r * 0.36f, hy - r * 0.2f, r * 0.08f), Solid(kWhite), all);
}

// The big duck under the press. Local units: origin at the middle of its bottom, y up is
// negative; squeeze 0 is relaxed, 1 fully squeezed.
constexpr float kDuckHeight = 138;

void drawBigDuck(Canvas& c, float cx, float bedTop, float squeeze, Box box) {
    const float sx = 1.0f + 0.12f * squeeze, sy = 1.0f - 0.45f * squeeze;
    const auto at = [&](Shape local) { return Place(std::move(local), cx, bedTop, sx, sy); };
    const Colour yellow = Hex(0xFFCB35);

    const Shape body = Ellipse(4, -40, 64, 40);
    const Shape head = Circle(-24, -104, 34);
    const Shape tail = TurnedEllipse(60, -62, 22, 10, -0.6f);
    const Shape duck = at(SmoothUnite(SmoothUnite(body, head, 16), tail, 6));

    c.Fill(Ellipse(cx, bedTop, 84 * sx, 5), Solid(kShadow), box, 6.0f, 0.35f);
    c.Fill(duck, Lit(duck, yellow, 26, 0.6f), box);
    const Shape wing = at(SmoothUnite(TurnedEllipse(10, -42, 27, 17, 0.2f),
                                      Polygon({18, -56, 50, -66, 30, -34}), 12));
    c.Fill(wing, Lit(wing, Hex(0xF2AE1C), 7, 0.6f), box);

    // The beak opens into a quack as the squeeze gets hard.
    const float open = smooth(0.45f, 1.0f, squeeze);
    const Shape upper = at(Ellipse(-62, -99, 21, 7.5f));
    const Shape lower = at(TurnedEllipse(-58, -91 + 4 * open, 17, 5.5f, -0.5f * open));
    if (open > 0) c.Fill(at(Ellipse(-60, -93, 15, 3 + 6 * open)), Solid(Hex(0x7A2A1A)), box);
    c.Fill(lower, Lit(lower, Hex(0xF0741A), 3, 0.6f), box);
    c.Fill(upper, Lit(upper, kBeak, 4, 0.6f), box);

    // Cheeks flush and the eye closes.
    c.Fill(at(Ellipse(-18, -90, 9, 5)), Solid(Hex(0xFF7A7A)), box, 4.0f, 0.15f + 0.5f * squeeze);
    const float shut = smooth(0.3f, 0.6f, squeeze);
    if (shut < 1.0f) {
        const float ex = -30, ey = -111;
        c.Fill(at(Ellipse(ex, ey, 6.5f, 7.5f * (1 - 0.6f * shut))), Solid(kEye), box);
        c.Fill(at(Circle(ex - 2.2f, ey - 2.8f, 2.2f)), Solid(kWhite), box, 1.0f, 1 - shut);
    } else {
        // Screwed-up eye: a chevron pointing at the beak.
        const Shape chevron =
            Unite(at(Capsule(-38, -111, -27, -117, 1.9f)), at(Capsule(-38, -111, -27, -105, 1.9f)));
        c.Fill(chevron, Solid(kEye), box);
    }

    // Sweat drops once it starts to hurt.
    const float sweat = smooth(0.35f, 0.7f, squeeze);
    if (sweat > 0) {
        const auto drop = [&](float x, float y, float size) {
            const Shape d =
                SmoothUnite(Circle(x, y, size),
                            Polygon({x - size * 0.8f, y - size * 0.5f, x, y - size * 2.4f,
                                     x + size * 0.8f, y - size * 0.5f}),
                            1.0f);
            c.Fill(d, Lit(d, Hex(0x8FD3F0), size, 0.7f), box, 1.0f, sweat);
        };
        const float topY = bedTop - kDuckHeight * sy;
        drop(cx + 26 * sx, topY + 13, 4.5f);
        drop(cx + 42 * sx, topY + 27, 3.5f);
    }
}

// ---- Press and background -------------------------------------------------------------------

constexpr float kPressX = 295; // centre line of the press
constexpr float kBedTop = 246;
constexpr float kBeamBottom = 44;

void drawSteel(Canvas& c, const Shape& s, Box box, float bevel = 4) {
    c.Fill(s, Lit(s, kSteel, bevel, 0.6f), box);
}

void drawPress(Canvas& c, float squeeze) {
    const Box box{164, 12, 426, 268};
    const float duckTop = kBedTop - kDuckHeight * (1.0f - 0.45f * squeeze);
    const float plateBottom = duckTop - 4.0f * (1.0f - squeeze);
    const float plateTop = plateBottom - 13;

    // Posts, bed and beam stand behind the duck.
    c.Fill(Ellipse(kPressX, kBedTop + 13, 122, 5), Solid(kShadow), box, 8.0f, 0.3f);
    for (float px : {191.0f, 387.0f}) {
        c.Fill(RoundRect(px + 2, 36, px + 14, kBedTop + 4, 3), Solid(kShadow), box, 3.0f, 0.25f);
        drawSteel(c, RoundRect(px, 34, px + 12, kBedTop + 2, 3), box);
    }
    drawSteel(c, RoundRect(186, kBedTop, 404, kBedTop + 12, 4), box);

    // The screw turns down with the plate: its thread moves with it.
    const Shape screw = RoundRect(kPressX - 6, kBeamBottom - 2, kPressX + 6, plateTop + 2, 2);
    const Paint thread = [=](float x, float y) {
        const float t = std::fmod(y - plateTop + (x - kPressX) * 0.45f + 600.0f, 5.0f) / 5.0f;
        const float ridge = std::abs(t - 0.5f) * 2; // 0 on the crest, 1 in the groove
        const float across = std::abs(x - (kPressX - 2)) / 6.0f;
        return Mix(Mix(Hex(0xC9D6DE), kSteelDark, ridge * 0.75f), kSteelDark, across * 0.6f);
    };
    c.Fill(screw, thread, box);

    drawBigDuck(c, kPressX, kBedTop, squeeze, box);

    const Shape plate = RoundRect(203, plateTop, 387, plateBottom, 3);
    c.Fill(Move(plate, 1.5f, 2.5f), Solid(kShadow), box, 4.0f, 0.3f);
    drawSteel(c, plate, box, 3);
    drawSteel(c, RoundRect(kPressX - 14, plateTop - 6, kPressX + 14, plateTop + 1, 2), box, 2);

    const Shape beam = RoundRect(180, 28, 410, kBeamBottom, 5);
    c.Fill(Move(beam, 1.5f, 2.5f), Solid(kShadow), box, 4.0f, 0.3f);
    drawSteel(c, beam, box);
    for (float bx : {197.0f, 393.0f})
        c.Fill(Circle(bx, 36, 2.6f), Lit(Circle(bx, 36, 2.6f), Hex(0xA9BCC8), 2, 0.7f), box);

    // The crank on top of the screw, seen from the front as it turns.
    const float angle = squeeze * 3.0f * std::numbers::pi_v<float>;
    const float arm = 22.0f * std::cos(angle);
    c.Fill(Capsule(kPressX, 26, kPressX + arm, 26, 2.2f),
           Lit(Capsule(kPressX, 26, kPressX + arm, 26, 2.2f), kSteelDark, 2, 0.6f), box);
    const Shape hub = Circle(kPressX, 27, 6);
    c.Fill(hub, Lit(hub, kSteel, 4, 0.6f), box);
    const Shape knob = Circle(kPressX + arm, 26, 4.2f);
    c.Fill(knob, Lit(knob, Hex(0xE2563B), 3, 0.6f), box);
}

// Soft shadows of the pictures that sit on the background, so they look laid on top of it.
void drawPanelShadows(Canvas& c) {
    const auto shadow = [&](float x0, float y0, float x1, float y1, float r) {
        c.Fill(RoundRect(x0 + 1.5f, y0 + 2.5f, x1 + 1.5f, y1 + 2.5f, r), Solid(kShadow),
               around(x0, y0, x1, y1, 8), 5.0f, 0.28f);
    };
    shadow(25, 7, 154, 229, 10);   // EQ
    shadow(433, 7, 467, 229, 10);  // Mix
    shadow(4, 272, 486, 320, 10);  // banner
    shadow(121, 236, 182, 270, 8); // listen button
}

Canvas drawBackground(int percent) {
    Canvas c = Canvas::AtScale(kFrameWidth, kFrameHeight, percent);
    c.Fill(RoundRect(-10, -10, 600, 400, 0), Linear(0, 0, kBackTop, 0, kFrameHeight, kBackBottom));
    // A faint rim so the window reads as one piece inside the host's.
    const Shape rim = Subtract(RoundRect(0, 0, kFrameWidth - 1, kFrameHeight - 1, 0),
                               RoundRect(1, 1, kFrameWidth - 2, kFrameHeight - 2, 0));
    c.Fill(rim, Solid(Hex(0x7F9AA6, 0.6f)));
    drawPanelShadows(c);
    return c;
}

// ---- Panels ---------------------------------------------------------------------------------

void drawPlate(Canvas& c, float w, float h) {
    const Shape plate = RoundRect(0.5f, 0.5f, w - 0.5f, h - 0.5f, 10);
    c.Fill(plate, Lit(plate, kPanel, 4, 0.35f));
    c.Fill(Subtract(plate, Grow(plate, -1)), Solid(Fade(kPanelEdge, 0.8f)));
}

// A recessed slot from y0 to y1 with a scale beside it: tick i at the centre that a figure
// of height fh shows when its top is at 22 + i * step in the window (panel at y 7).
void drawTrack(Canvas& c, float x, float y0, float y1, float fh, int ticks, float step) {
    const Shape slot = RoundRect(x - 3, y0, x + 3, y1, 3);
    c.Fill(Move(slot, 0.8f, 1.0f), Solid(kWhite));
    c.Fill(slot, Lit(slot, kSlot, 2.5f, 0.6f, true));
    for (int i = 0; i < ticks; ++i) {
        const float y = 22 + float(i) * step + fh * 0.62f - 7;
        const bool major = i == 0 || i == ticks - 1 || 2 * i == ticks - 1;
        const float len = major ? 6.0f : 3.5f;
        const Colour ink = Fade(kInk, major ? 0.75f : 0.45f);
        c.Fill(Capsule(x - 7 - len, y, x - 7, y, 0.55f), Solid(ink));
        c.Fill(Capsule(x + 7, y, x + 7 + len, y, 0.55f), Solid(ink));
    }
}

Canvas drawEq(const Fonts& fonts, int percent) {
    Canvas c = Canvas::AtScale(129, 222, percent);
    drawPlate(c, 129, 222);
    // Slot centres under the figures: Lo at x 17, Mid at 69, Hi at 118 in the window.
    const float lo = 17 + 45 / 2.0f - 25, mid = 69 + 51 / 2.0f - 25, hi = 118 + 47 / 2.0f - 25;
    drawTrack(c, lo, 26, 212, 58, 11, 15);
    drawTrack(c, mid, 26, 212, 66, 11, 15);
    drawTrack(c, hi, 26, 212, 59, 11, 15);
    centred(c, fonts.label, "Lo", lo, 16, kInk);
    centred(c, fonts.label, "Mid", mid, 16, kInk);
    centred(c, fonts.label, "Hi", hi, 16, kInk);
    return c;
}

Canvas drawMix(const Fonts& fonts, int percent) {
    Canvas c = Canvas::AtScale(34, 222, percent);
    drawPlate(c, 34, 222);
    const float x = 426 + 49 / 2.0f - 433;
    drawTrack(c, x, 24, 200, 51, 9, 20);
    centred(c, fonts.small, "Wet", 17, 15, kInk);
    centred(c, fonts.small, "Dry", 17, 218, kInk);
    return c;
}

Canvas drawCaption(int percent) {
    Canvas c = Canvas::AtScale(45, 12, percent);
    // Bold condensed letters, narrowed further: as tall as the caption's 45 pixels allow.
    const Font font(FindFont("DejaVuSansCondensed-Bold.ttf"), c.ToCanvas(8), 0.8f);
    if (font.Width("Compression") > c.ToCanvas(42))
        throw ArtError("the caption text does not fit at " + std::to_string(percent) + " %");
    centred(c, font, "Compression", 22.5f, 9, kInk);
    return c;
}

Canvas drawBanner(const Fonts& fonts, int percent) {
    Canvas c = Canvas::AtScale(482, 56, percent);
    const Shape plaque = RoundRect(0.5f, 4.5f, 481.5f, 52.5f, 10);
    c.Fill(plaque, Linear(0, 4, Hex(0x3A6176), 0, 53, Hex(0x213A49)));
    c.Fill(plaque, Lit(plaque, Hex(0x2E4E60, 0.0f), 3, 0.5f));
    c.Fill(Subtract(plaque, Grow(plaque, -1)), Solid(Hex(0x16293A, 0.8f)));
    c.Fill(Subtract(Grow(plaque, -1), Grow(plaque, -2)), Solid(Hex(0xFFFFFF, 0.18f)),
           Box{0, 0, 482, 20});
    drawDuckling(c, 14, 9, 30, 40, {Hex(0xFFCB35), Hex(0xF2AE1C)});
    const int base = c.ToCanvas(37), left = c.ToCanvas(54);
    const int wadling = fonts.title.Width("Wadling");
    fonts.title.Draw(c, "Wadling", left, base, Hex(0xFFD54A));
    fonts.title.Draw(c, "Compressor", left + wadling, base, kWhite);
    const int vendorWidth = fonts.vendor.Width("Reedmoor");
    fonts.vendor.Draw(c, "Reedmoor", c.Width() - c.ToCanvas(16) - vendorWidth, base, Hex(0xA9C6D4));
    return c;
}

// Each state is drawn in its own frame: at 150 % the frames are 95 pixels wide, not 94.5.
Canvas drawListen(const Fonts& fonts, int percent) {
    const int frameWidth = editorart::scaled(63, percent);
    Canvas c(2 * frameWidth, editorart::scaled(37, percent));
    for (int down = 0; down < 2; ++down) {
        Canvas frame = Canvas::AtScale(63, 37, percent);
        const Shape button = RoundRect(1.5f, 1.5f, 61.5f, 35.5f, 8);
        if (down)
            frame.Fill(button, Lit(button, Hex(0xD3E0E5), 5, 0.5f, true));
        else
            frame.Fill(button, Lit(button, Hex(0xF4F8F9), 6, 0.45f));
        frame.Fill(Subtract(button, Grow(button, -1)), Solid(Hex(0x6E8896)));
        const float shift = down ? 1.0f : 0.0f;
        const float lx = 12 + shift, ly = 18.5f + shift;
        if (down) {
            frame.Fill(Circle(lx, ly, 9),
                       Radial(lx, ly, 9, Hex(0xFFB21E, 0.55f), Hex(0xFFB21E, 0.0f)));
            frame.Fill(Circle(lx, ly, 4), Lit(Circle(lx, ly, 4), Hex(0xFFB21E), 3, 0.7f));
        } else {
            frame.Fill(Circle(lx, ly, 4), Lit(Circle(lx, ly, 4), Hex(0x9AAAB2), 3, 0.6f, true));
        }
        fonts.button.Draw(frame, "Listen", frame.ToCanvas(20 + down), frame.ToCanvas(23 + down),
                          kInk);
        c.Copy(frame, Box{0, 0, frame.Width(), frame.Height()}, down * frameWidth, 0);
    }
    return c;
}

Canvas drawFigure(int w, int h, DuckColours colours, int percent) {
    Canvas c = Canvas::AtScale(w, h, percent);
    drawDuckling(c, 1, 1, float(w) - 3, float(h) - 3, colours);
    return c;
}

Canvas drawStrip(int percent) {
    const Canvas background = drawBackground(percent);
    const int width = background.Width(), height = background.Height();
    Canvas strip(width * 27, height);
    for (int frame = 0; frame < 27; ++frame) {
        Canvas picture = background;
        drawPress(picture, float(frame) / 26.0f);
        strip.Copy(picture, Box{0, 0, width, height}, frame * width, 0);
    }
    return strip;
}

} // namespace

int PictureWidth(const PictureInfo& info, int percent) {
    return info.frames * editorart::scaled(info.width / info.frames, percent);
}

int PictureHeight(const PictureInfo& info, int percent) {
    return editorart::scaled(info.height, percent);
}

std::vector<Canvas> DrawPictures(int percent) {
    if (!editorart::isSupportedScale(percent))
        throw ArtError("no pictures at " + std::to_string(percent) + " %");
    const Fonts fonts(percent);
    std::vector<Canvas> pictures;
    pictures.push_back(drawStrip(percent));
    pictures.push_back(drawEq(fonts, percent));
    pictures.push_back(drawMix(fonts, percent));
    pictures.push_back(drawCaption(percent));
    pictures.push_back(drawBanner(fonts, percent));
    pictures.push_back(drawListen(fonts, percent));
    pictures.push_back(drawFigure(47, 59, {Hex(0xFFE45C), Hex(0xF5C842)}, percent)); // Hi
    pictures.push_back(drawFigure(51, 66, {Hex(0xFFC83A), Hex(0xEFA51E)}, percent)); // Mid
    pictures.push_back(drawFigure(45, 58, {Hex(0xFF9E3D), Hex(0xE8782A)}, percent)); // Lo
    Canvas swimmer = Canvas::AtScale(49, 51, percent);
    drawSwimmer(swimmer, 49, 51, {Hex(0xD9CFBE), Hex(0x9C8468)});
    pictures.push_back(std::move(swimmer));
    return pictures;
}

Canvas DrawPreview(const std::vector<Canvas>& pictures, int percent) {
    const auto at = [percent](int design) { return editorart::scaled(design, percent); };
    // Two editors side by side: as first opened, and fully squeezed with other settings.
    Canvas preview = Canvas::AtScale(2 * 490 + 10, 322, percent);
    preview.Fill(RoundRect(-1, -1, 2000, 400, 0), Solid(Hex(0xFFFFFF)));
    struct Tops {
        int frame, lo, mid, hi, mix, listen;
    };
    const Tops views[2] = {{0, 97, 97, 97, 22, 0}, {26, 52, 120, 150, 120, 1}};
    const int frameWidth = at(491), buttonWidth = at(63);
    for (int v = 0; v < 2; ++v) {
        Canvas editor = Canvas::AtScale(490, 322, percent);
        const int frameLeft = views[v].frame * frameWidth;
        editor.Copy(pictures[0], Box{frameLeft, 0, frameLeft + at(490), at(322)}, 0, 0);
        editor.Draw(pictures[1], at(25), at(7));
        editor.Draw(pictures[2], at(433), at(7));
        editor.Draw(pictures[4], at(4), at(268));
        Canvas button(buttonWidth, at(37));
        const int buttonLeft = buttonWidth * views[v].listen;
        button.Copy(pictures[5], Box{buttonLeft, 0, buttonLeft + buttonWidth, at(37)}, 0, 0);
        editor.Draw(button, at(120), at(235));
        editor.Draw(pictures[6], at(118), at(views[v].hi));
        editor.Draw(pictures[7], at(69), at(views[v].mid));
        editor.Draw(pictures[8], at(17), at(views[v].lo));
        editor.Draw(pictures[9], at(426), at(views[v].mix));
        editor.Draw(pictures[3], at(276), at(7));
        preview.Copy(editor, Box{0, 0, editor.Width(), editor.Height()}, v * at(500), 0);
    }
    return preview;
}

} // namespace artwork
