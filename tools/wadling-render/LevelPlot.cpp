#include "LevelPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <stdexcept>

#ifdef WADLING_HAVE_PNG
#include <png.h>
#endif

namespace render {

LevelTrace traceLevels(const std::vector<float>& inL, const std::vector<float>& inR,
                       const std::vector<float>& outL, const std::vector<float>& outR,
                       unsigned sampleRate) {
    LevelTrace t;
    const size_t window = std::max<size_t>(1, sampleRate / 100);
    const auto toDb = [](double peak) { return peak > 1e-6 ? 20.0 * std::log10(peak) : -120.0; };
    for (size_t start = 0; start < inL.size(); start += window) {
        double in = 0, out = 0;
        for (size_t i = start; i < std::min(inL.size(), start + window); ++i) {
            in = std::max({in, std::fabs(double(inL[i])), std::fabs(double(inR[i]))});
            out = std::max({out, std::fabs(double(outL[i])), std::fabs(double(outR[i]))});
        }
        t.inputDb.push_back(toDb(in));
        t.outputDb.push_back(toDb(out));
        t.gainDb.push_back(in > 1e-3 ? toDb(out) - toDb(in)
                                     : std::numeric_limits<double>::quiet_NaN());
    }
    return t;
}

#ifdef WADLING_HAVE_PNG

namespace {

constexpr int kWidth = 1200, kHeight = 520;
constexpr int kLeft = 60, kRight = 20, kTop = 40, kBottom = 40;
constexpr double kDbTop = 24.0, kDbBottom = -60.0;

struct Rgb {
    uint8_t r, g, b;
};
constexpr Rgb kBackground{22, 24, 30}, kGrid{52, 56, 66}, kAxisText{170, 175, 185};
constexpr Rgb kInput{90, 150, 255}, kOutput{255, 150, 50}, kGain{80, 220, 120};

// A 3x5 pixel font for the few characters the plot writes.
const char* glyph(char c) {
    switch (c) {
    case '0':
        return "111101101101111";
    case '1':
        return "010110010010111";
    case '2':
        return "111001111100111";
    case '3':
        return "111001111001111";
    case '4':
        return "101101111001001";
    case '5':
        return "111100111001111";
    case '6':
        return "111100111101111";
    case '7':
        return "111001010010010";
    case '8':
        return "111101111101111";
    case '9':
        return "111101111001111";
    case '-':
        return "000000111000000";
    case '+':
        return "000010111010000";
    case 'd':
        return "001001111101111";
    case 'B':
        return "110101110101110";
    case 's':
        return "000111100001111";
    case 'I':
        return "111010010010111";
    case 'N':
        return "101111111111101";
    case 'O':
        return "111101101101111";
    case 'U':
        return "101101101101111";
    case 'T':
        return "111010010010010";
    case 'G':
        return "111100101101111";
    case 'A':
        return "010101111101101";
    default:
        return "000000000000000";
    }
}

class Canvas {
public:
    Canvas() : pixels(static_cast<size_t>(kWidth) * kHeight * 3) {
        fill(0, 0, kWidth, kHeight, kBackground);
    }
    void set(int x, int y, Rgb c) {
        if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
        uint8_t* p = &pixels[(static_cast<size_t>(y) * kWidth + x) * 3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
    void fill(int x0, int y0, int x1, int y1, Rgb c) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                set(x, y, c);
    }
    void line(int x0, int y0, int x1, int y1, Rgb c) {
        const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        for (int s = 0; s <= steps; ++s) {
            const int x = steps ? x0 + (x1 - x0) * s / steps : x0;
            const int y = steps ? y0 + (y1 - y0) * s / steps : y0;
            set(x, y, c);
            set(x, y + 1, c); // two pixels thick
        }
    }
    void text(int x, int y, const std::string& s, Rgb c, int scale = 2) {
        for (char ch : s) {
            const char* g = glyph(ch);
            for (int r = 0; r < 5; ++r)
                for (int k = 0; k < 3; ++k)
                    if (g[r * 3 + k] == '1')
                        fill(x + k * scale, y + r * scale, x + (k + 1) * scale, y + (r + 1) * scale,
                             c);
            x += 4 * scale;
        }
    }
    std::vector<uint8_t> pixels;
};

int yFor(double db) {
    const double clamped = std::clamp(db, kDbBottom, kDbTop);
    return kTop +
           static_cast<int>((kDbTop - clamped) / (kDbTop - kDbBottom) * (kHeight - kTop - kBottom));
}

void drawTrace(Canvas& c, const std::vector<double>& values, Rgb colour) {
    const int plotWidth = kWidth - kLeft - kRight;
    int px = -1, py = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        if (std::isnan(values[i])) {
            px = -1;
            continue;
        }
        const int x = kLeft + static_cast<int>(i * plotWidth / std::max<size_t>(1, values.size()));
        const int y = yFor(values[i]);
        if (px >= 0) c.line(px, py, x, y, colour);
        px = x;
        py = y;
    }
}

} // namespace

bool canWritePng() {
    return true;
}

void writeLevelPlot(const LevelTrace& trace, const std::string& path) {
    Canvas c;
    const int plotWidth = kWidth - kLeft - kRight;
    for (double db = kDbBottom; db <= kDbTop; db += 12.0) {
        const int y = yFor(db);
        c.fill(kLeft, y, kWidth - kRight, y + 1, kGrid);
        std::string label = db > 0 ? "+" : "";
        label += std::to_string(static_cast<int>(db));
        c.text(8, y - 5, label, kAxisText);
    }
    const double seconds = trace.inputDb.size() * trace.windowSeconds;
    for (int s = 0; s <= static_cast<int>(seconds); ++s) {
        const int x = kLeft + static_cast<int>(s / seconds * plotWidth);
        c.fill(x, kTop, x + 1, kHeight - kBottom, kGrid);
        c.text(x - 4, kHeight - kBottom + 8, std::to_string(s) + "s", kAxisText);
    }
    c.text(8, 12, "dB", kAxisText);
    c.fill(kLeft, 14, kLeft + 20, 18, kInput);
    c.text(kLeft + 26, 10, "IN", kInput);
    c.fill(kLeft + 90, 14, kLeft + 110, 18, kOutput);
    c.text(kLeft + 116, 10, "OUT", kOutput);
    c.fill(kLeft + 190, 14, kLeft + 210, 18, kGain);
    c.text(kLeft + 216, 10, "GAIN", kGain);
    drawTrace(c, trace.inputDb, kInput);
    drawTrace(c, trace.outputDb, kOutput);
    drawTrace(c, trace.gainDb, kGain);

    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error(path + ": cannot create the file");
    // libpng's simplified writer reports errors by its answer, with no longjmp through our frame.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_stdio(&image, file, 0, c.pixels.data(), kWidth * 3, nullptr)) {
        std::fclose(file);
        throw std::runtime_error(path + ": PNG encoding failed: " + image.message);
    }
    if (std::fclose(file) != 0) throw std::runtime_error(path + ": write error");
}

#else

bool canWritePng() {
    return false;
}

void writeLevelPlot(const LevelTrace&, const std::string& path) {
    throw std::runtime_error(path + ": this build has no PNG support (libpng was not found)");
}

#endif

} // namespace render
