// Drives the system backend's windows inside a test host window on a live X server. The
// x11-check.sh script moves the real pointer with xdotool and reads the log this prints:
//   READY <window id> <screen x> <screen y> <width> <height>
//   one line per mouse message, MENU <id>, and the results of the checks it makes itself.
// It also writes the composed picture (expected.ppm) for a pixel comparison with a screenshot.
#include "host/HostWindow.h"
#include "platform/Platform.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

using namespace platform;

namespace {

constexpr int kWidth = 491, kHeight = 323;

std::uint32_t patternAt(int x, int y) {
    return (static_cast<std::uint32_t>((x * 7) & 0xFF) << 16) |
           (static_cast<std::uint32_t>((y * 5) & 0xFF) << 8) |
           static_cast<std::uint32_t>((x ^ y) & 0xFF);
}

// The editor's stand-in: paints a known pattern, captures the mouse while the left button is
// held, answers a right click with a popup menu.
class PatternWindow : public WindowSink {
public:
    PatternWindow() {
        std::string error;
        std::uint8_t* bits = nullptr;
        surface = createPixelSurface(kWidth, kHeight, &bits, error);
        auto* pixels = reinterpret_cast<std::uint32_t*>(bits);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                pixels[static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x] = patternAt(x, y);
    }
    ~PatternWindow() override { destroyPixelSurface(surface); }

    // A window inside another shows its part of the same picture.
    int originX = 0, originY = 0;
    std::string name;

    void windowMessage(WindowHandle window, TMessage& m) override {
        Backend& b = backend();
        const int x = LParamX(m.LParam), y = LParamY(m.LParam);
        switch (m.Msg) {
        case WM_PAINT: {
            const TRect r = b.beginPaint(window);
            b.blitToWindow(window, r, surface, r.Left + originX, r.Top + originY);
            b.endPaint(window);
            ++paints;
            break;
        }
        case WM_LBUTTONDOWN:
            b.setCapture(window);
            log("LDOWN", x, y);
            break;
        case WM_LBUTTONUP:
            log("LUP", x, y);
            b.releaseCapture();
            break;
        case WM_LBUTTONDBLCLK:
            log("LDBL", x, y);
            break;
        case WM_MOUSEMOVE:
            if (m.WParam & MK_LBUTTON) log("DRAG", x, y);
            break;
        case WM_RBUTTONUP: {
            int sx = x, sy = y;
            b.clientToScreen(window, sx, sy);
            std::vector<MenuEntry> items(4);
            items[0] = {"Ratio 2:1", 11, false, true, true, true, {}};
            items[1] = {"Ratio 4:1", 12, false, true, false, true, {}};
            items[2].separator = true;
            items[3] = {"MIDI", 0, false, true, false, false, {}};
            items[3].items = {{"Learn", 21, false, true, false, false, {}},
                              {"Forget", 22, false, true, false, false, {}}};
            const int chosen = b.trackPopupMenu(window, sx, sy, items, 100);
            std::printf("MENU %d\n", chosen);
            std::fflush(stdout);
            break;
        }
        case WM_MBUTTONUP: {
            const int answer = b.messageBox(window, "Preset saved.", "x11-check", MB_OKCANCEL, 100);
            const bool opened = b.shellOpen(window, "https://example.org/a b?c=1&d");
            const bool refused = !b.shellOpen(window, "--help");
            std::printf("BOX %d OPEN %d REFUSED %d\n", answer, opened ? 1 : 0, refused ? 1 : 0);
            std::fflush(stdout);
            break;
        }
        case WM_CAPTURECHANGED:
            log("CAPTURECHANGED", 0, 0);
            break;
        default:
            break;
        }
    }

    void log(const char* what, int x, int y) {
        std::printf("%s%s%s %d %d\n", name.c_str(), name.empty() ? "" : " ", what, x, y);
        std::fflush(stdout);
    }

    PixelSurface* surface = nullptr;
    int paints = 0;
};

bool writeExpected(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << kWidth << ' ' << kHeight << "\n255\n";
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::uint32_t p = patternAt(x, y);
            const char rgb[3] = {static_cast<char>(p >> 16), static_cast<char>(p >> 8),
                                 static_cast<char>(p)};
            out.write(rgb, 3);
        }
    return static_cast<bool>(out);
}

bool fileExists(const std::string& path) {
    return static_cast<bool>(std::ifstream(path));
}

int failures = 0;

void check(bool ok, const char* what) {
    std::printf("%s %s\n", ok ? "PASS" : "FAIL", what);
    std::fflush(stdout);
    if (!ok) ++failures;
}

// Open and close the editor many times, and once with the host's window destroyed first.
void cycles() {
    Backend& b = backend();
    bool allOpened = true;
    {
        // One host window, as a host keeps its own; the editor comes and goes in it.
        host::HostWindow host;
        void* parent = host.open("cycles", kWidth, kHeight);
        for (int i = 0; i < 50; ++i) {
            PatternWindow sink;
            std::string error;
            WindowHandle w = b.createChildWindow(parent, {0, 0, kWidth, kHeight}, &sink, error);
            if (w == nullptr && allOpened) std::printf("cycle %d: %s\n", i, error.c_str());
            allOpened = allOpened && w != nullptr && sink.paints == 0;
            b.idle();
            allOpened = allOpened && sink.paints == 1;
            b.destroyWindow(w);
        }
    }
    check(allOpened, "50 open/close cycles");

    host::HostWindow host;
    void* parent = host.open("parent first", kWidth, kHeight);
    PatternWindow sink;
    std::string error;
    WindowHandle w = b.createChildWindow(parent, {0, 0, kWidth, kHeight}, &sink, error);
    b.idle();
    host.close(); // the host destroys its window before closing the editor
    for (int i = 0; i < 3; ++i)
        b.idle();
    b.invalidateRect(w, nullptr, false);
    b.idle();
    b.destroyWindow(w);
    check(w != nullptr, "the editor survives its parent's destruction");
    std::string refused;
    WindowHandle orphan = b.createChildWindow(parent, {0, 0, 10, 10}, &sink, refused);
    check(orphan == nullptr && !refused.empty(), "a destroyed parent is refused with a reason");
}

void measure(WindowHandle w, PatternWindow& sink) {
    Backend& b = backend();
    using clock = std::chrono::steady_clock;
    const int n = 2000;
    auto t0 = clock::now();
    for (int i = 0; i < n; ++i)
        b.idle();
    const double idleUs = std::chrono::duration<double, std::micro>(clock::now() - t0).count() / n;
    t0 = clock::now();
    for (int i = 0; i < 200; ++i)
        b.blitToWindow(w, {0, 0, kWidth, kHeight}, sink.surface, 0, 0);
    b.idle();
    const double blitUs =
        std::chrono::duration<double, std::micro>(clock::now() - t0).count() / 200;
    std::printf("FIGURE idle-nothing-to-do %.1f us\nFIGURE blit-491x323 %.1f us\n", idleUs, blitUs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : ".";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    if (!writeExpected(folder + "/expected.ppm")) return 2;
    Backend& b = backend();
    {
        host::HostWindow host;
        void* parent = host.open("x11-check", kWidth, kHeight);
        if (parent == nullptr) {
            std::printf("FAIL %s\n", host.error().c_str());
            return 2;
        }
        PatternWindow sink;
        std::string error;
        WindowHandle w = b.createChildWindow(parent, {0, 0, kWidth, kHeight}, &sink, error);
        if (w == nullptr) {
            std::printf("FAIL %s\n", error.c_str());
            return 2;
        }
        // A child window of ours inside the editor's, as a windowed control makes one.
        PatternWindow panelSink;
        panelSink.originX = 250;
        panelSink.originY = 150;
        panelSink.name = "panel";
        WindowHandle panel = b.createChildWindow(w, {250, 150, 450, 300}, &panelSink, error);
        b.idle();
        measure(w, sink);
        check(panel != nullptr && panelSink.paints > 0, "a child window of ours painted");
        {
            // Two quiet seconds at the hosts' usual rate, before any input.
            const std::clock_t cpu0 = std::clock();
            const auto wall0 = std::chrono::steady_clock::now();
            host.runIdleLoop(40, [&] {
                b.idle();
                return std::chrono::steady_clock::now() - wall0 < std::chrono::seconds(2);
            });
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
            std::printf("FIGURE cpu-idle-at-40ms %.3f %% of one core\n",
                        100.0 * static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC / wall);
        }
        int x = 0, y = 0;
        b.clientToScreen(w, x, y);
        std::printf("READY %lu %d %d %d %d\n",
                    static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(parent)), x, y,
                    kWidth, kHeight);
        std::fflush(stdout);
        // The script's scenario, until it leaves the file "done".
        const std::clock_t cpu0 = std::clock();
        const auto wall0 = std::chrono::steady_clock::now();
        int idles = 0;
        host.runIdleLoop(40, [&] {
            b.idle();
            ++idles;
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
            return !fileExists(folder + "/done") && elapsed < seconds;
        });
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        const double cpu = static_cast<double>(std::clock() - cpu0) / CLOCKS_PER_SEC;
        std::printf("FIGURE cpu-during-input-at-40ms %.2f %% of one core (%d idles)\n",
                    100.0 * cpu / wall, idles);
        check(sink.paints > 0, "the window was painted");
        b.destroyWindow(w); // the panel goes with it
    }
    cycles();
    std::printf("END %d\n", failures);
    return failures == 0 ? 0 : 1;
}
