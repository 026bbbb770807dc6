// wadling-snapshot: builds a plug-in instance through its entry, sets a program and parameters,
// opens the editor on the headless backend, plays a small script of user input and writes the
// composed window as a PNG; prints the automation the host received.

#include "LinkedPlugin.h"
#include "PngRecord.h"
#include "editor/art/ArtScale.h"
#include "runtime/SameText.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: wadling-snapshot [options] [actions] --out FILE.png\n"
    "options:\n"
    "  --program N|NAME       factory program by number or name\n"
    "  --param NAME=VALUE     parameter by name or index, value 0..1 (repeatable)\n"
    "  --scale PERCENT        the host's editor scale ('PreS'), e.g. 200; pixels below are the\n"
    "                         window's\n"
    "actions, played in order after the editor opens:\n"
    "  --drag FIGURE:DY       drag a figure (lo, mid, hi, mix or Duck1..Duck4) DY pixels down\n"
    "  --dblclick FIGURE      double-click a figure (resets its band)\n"
    "  --knob PIXELS          drag the knob PIXELS up (negative: down)\n"
    "  --knob-drag MOVES      one drag of the knob, MOVES moves of a pixel up\n"
    "  --listen               click the listen button\n"
    "  --menu CONTROL:PATH    right-click a control (by name, e.g. EQs, Mix, Duck3) and choose\n"
    "                         the menu entry PATH (captions joined by '/', e.g. MIDI/MIDI Learn)\n"
    "  --advance MS           advance the clock (the editor's timer runs every 100 ms)\n"
    "  --locate CONTROL       print 'at CONTROL X Y', the point the actions above press on\n"
    "                         (a figure, listen, knob or a control's name), in window pixels\n"
    "  --blits                print what the actions sent to the window: 'blits N AREA'\n"
    "                         (rectangles and pixels)\n"
    "A control's own name (as written above) wins over a figure's alias: Mix is the mix scale,\n"
    "mix the Dry/Wet figure. Every message box the editor shows is printed as\n"
    "'message CAPTION' and its text's lines, each indented by two spaces.\n";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

bool parseInt(const std::string& text, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || parsed < -100000 || parsed > 100000) return false;
    value = static_cast<int>(parsed);
    return true;
}

struct Session : testsupport::LinkedSession {
    int programIndex(const std::string& text) {
        int index = 0;
        if (parseInt(text, index)) {
            if (index < 0 || index >= plugin.effect()->numPrograms)
                throw UsageError("no program " + text);
            return index;
        }
        for (int i = 0; i < plugin.effect()->numPrograms; ++i) {
            char name[256] = {};
            plugin.dispatch(effGetProgramNameIndexed, i, 0, name);
            if (runtime::SameText(name, text)) return i;
        }
        throw UsageError("no program named \"" + text + "\"");
    }

    int parameterIndex(const std::string& text) {
        int index = 0;
        if (parseInt(text, index)) {
            if (index < 0 || index >= plugin.effect()->numParams)
                throw UsageError("no parameter " + text);
            return index;
        }
        for (int i = 0; i < plugin.effect()->numParams; ++i)
            if (runtime::SameText(plugin.text(effGetParamName, i), text)) return i;
        throw UsageError("no parameter named \"" + text + "\"");
    }

    // A control's own name, written as the editor writes it, wins; then the figures' aliases
    // (lo, mid, hi, mix, listen); then a control's name in any case.
    runtime::TControl& control(const std::string& name) {
        static const char* const aliases[][2] = {
            {"lo", "Duck3"},  {"mid", "Duck2"},        {"hi", "Duck1"},
            {"mix", "Duck4"}, {"listen", "btnListen"},
        };
        if (auto* own = dynamic_cast<runtime::TControl*>(window().FindComponent(name));
            own != nullptr && own->Name() == name)
            return *own;
        std::string wanted = name;
        for (const auto& alias : aliases)
            if (runtime::SameText(name, alias[0])) wanted = alias[1];
        auto* found = dynamic_cast<runtime::TControl*>(window().FindComponent(wanted));
        if (!found) throw UsageError("no control named \"" + name + "\"");
        return *found;
    }

    static runtime::TPoint centre(const runtime::TControl& c) {
        return {c.Left() + c.Width() / 2, c.Top() + c.Height() / 2};
    }

    void drag(runtime::TPoint start, int dy) {
        headless.mouseDown(platform::MouseButton::Left, start.X, start.Y);
        for (int moved = 0; moved != dy;) {
            moved += dy > moved ? std::min(10, dy - moved) : std::max(-10, dy - moved);
            headless.mouseMove(start.X, start.Y + moved);
        }
        headless.mouseUp(platform::MouseButton::Left, start.X, start.Y + dy);
    }

    // A free spot of the picture, away from the figures and the captions (design pixels).
    static constexpr runtime::TPoint kKnobSpot{300, 150};
    runtime::TPoint knobSpot() {
        const int percent = window().Scale();
        return {editorart::scaled(kKnobSpot.X, percent), editorart::scaled(kKnobSpot.Y, percent)};
    }

    void knob(int pixels) {
        const runtime::TPoint at = knobSpot();
        headless.mouseDown(platform::MouseButton::Left, at.X, at.Y);
        headless.mouseMove(at.X, at.Y - pixels);
        headless.mouseUp(platform::MouseButton::Left, at.X, at.Y);
    }

    /// One press, `moves` moves of a pixel up (the knob puts the pointer back after each), as
    /// a real pointer turns it.
    void knobDrag(int moves) {
        const runtime::TPoint at = knobSpot();
        headless.mouseDown(platform::MouseButton::Left, at.X, at.Y);
        for (int i = 0; i < moves; ++i)
            headless.mouseMove(at.X, at.Y - 1);
        headless.mouseUp(platform::MouseButton::Left, at.X, at.Y);
    }

    void menu(const std::string& spec) {
        const auto colon = spec.find(':');
        if (colon == std::string::npos) throw UsageError("--menu wants CONTROL:PATH");
        std::vector<std::string> path;
        std::string rest = spec.substr(colon + 1);
        for (std::size_t slash; (slash = rest.find('/')) != std::string::npos;
             rest.erase(0, slash + 1))
            path.push_back(rest.substr(0, slash));
        path.push_back(rest);
        const runtime::TPoint at = centre(control(spec.substr(0, colon)));
        const std::size_t shown = headless.shownMenus().size();
        headless.queueMenuChoice(path);
        headless.click(platform::MouseButton::Right, at.X, at.Y);
        if (headless.shownMenus().size() == shown) throw UsageError("no menu at " + spec);
    }

    /// The composed window: the container's pixels within the window's client area, as an
    /// image record (opaque).
    std::vector<std::uint8_t> record() {
        const platform::WindowHandle handle = window().DIBContainer1->Handle();
        const int width = window().ClientWidth();
        const int height = window().ClientHeight();
        std::vector<std::uint8_t> bytes(4 + std::size_t(width) * height * 4);
        bytes[0] = width & 0xFF;
        bytes[1] = width >> 8;
        bytes[2] = height & 0xFF;
        bytes[3] = height >> 8;
        std::uint8_t* out = bytes.data() + 4;
        for (int row = height - 1; row >= 0; --row)
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = headless.pixel(handle, x, row);
                *out++ = p & 0xFF;
                *out++ = (p >> 8) & 0xFF;
                *out++ = (p >> 16) & 0xFF;
                *out++ = 0xFF;
            }
        return bytes;
    }
};

int run(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string out;
    bool blits = false;
    std::vector<std::function<void(Session&)>> setup, actions;
    const auto value = [&](std::size_t& i) -> const std::string& {
        if (i + 1 >= args.size()) throw UsageError(args[i] + " wants a value");
        return args[++i];
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--out") {
            out = value(i);
        } else if (a == "--program") {
            const std::string v = value(i);
            setup.push_back(
                [v](Session& s) { s.plugin.dispatch(effSetProgram, 0, s.programIndex(v)); });
        } else if (a == "--param") {
            const std::string v = value(i);
            const auto eq = v.find('=');
            if (eq == std::string::npos) throw UsageError("--param wants NAME=VALUE");
            char* end = nullptr;
            const float number = std::strtof(v.c_str() + eq + 1, &end);
            if (*end != '\0' || !(number >= 0.0f && number <= 1.0f))
                throw UsageError("parameter values are numbers from 0 to 1: " + v);
            const std::string name = v.substr(0, eq);
            setup.push_back([name, number](Session& s) {
                s.plugin.setParameter(s.parameterIndex(name), number);
            });
        } else if (a == "--scale") {
            int percent = 0;
            if (!parseInt(value(i), percent) || percent <= 0)
                throw UsageError("--scale wants a percentage");
            setup.push_back([percent](Session& s) {
                s.plugin.dispatch(effVendorSpecific, 0x50726553, 0x41654373, nullptr,
                                  float(percent) / 100.0f);
            });
        } else if (a == "--drag") {
            const std::string v = value(i);
            const auto colon = v.find(':');
            int dy = 0;
            if (colon == std::string::npos || !parseInt(v.substr(colon + 1), dy))
                throw UsageError("--drag wants FIGURE:DY");
            const std::string name = v.substr(0, colon);
            actions.push_back(
                [name, dy](Session& s) { s.drag(Session::centre(s.control(name)), dy); });
        } else if (a == "--dblclick") {
            const std::string name = value(i);
            actions.push_back([name](Session& s) {
                const runtime::TPoint at = Session::centre(s.control(name));
                s.headless.doubleClick(platform::MouseButton::Left, at.X, at.Y);
            });
        } else if (a == "--knob") {
            int pixels = 0;
            if (!parseInt(value(i), pixels)) throw UsageError("--knob wants a number of pixels");
            actions.push_back([pixels](Session& s) { s.knob(pixels); });
        } else if (a == "--knob-drag") {
            int moves = 0;
            if (!parseInt(value(i), moves) || moves < 0)
                throw UsageError("--knob-drag wants a number of moves");
            actions.push_back([moves](Session& s) { s.knobDrag(moves); });
        } else if (a == "--listen") {
            actions.push_back([](Session& s) {
                const runtime::TPoint at = Session::centre(*s.window().btnListen);
                s.headless.click(platform::MouseButton::Left, at.X, at.Y);
            });
        } else if (a == "--menu") {
            const std::string spec = value(i);
            actions.push_back([spec](Session& s) { s.menu(spec); });
        } else if (a == "--blits") {
            blits = true;
        } else if (a == "--locate") {
            const std::string name = value(i);
            actions.push_back([name](Session& s) {
                const runtime::TPoint at = runtime::SameText(name, "knob")
                                               ? s.knobSpot()
                                               : Session::centre(s.control(name));
                std::printf("at %s %d %d\n", name.c_str(), at.X, at.Y);
            });
        } else if (a == "--advance") {
            int ms = 0;
            if (!parseInt(value(i), ms) || ms < 0) throw UsageError("--advance wants milliseconds");
            actions.push_back([ms](Session& s) { s.headless.advanceClock(std::uint32_t(ms)); });
        } else {
            throw UsageError("unknown argument " + a);
        }
    }
    if (out.empty()) throw UsageError("--out FILE.png is missing");
    if (!dibpack::HavePng()) throw std::runtime_error("this build has no PNG support");

    Session session;
    for (auto& step : setup)
        step(session);
    if (session.plugin.dispatch(effEditOpen, 0, 0, &session.hostWindow) != 1)
        throw std::runtime_error("the editor did not open");
    session.host.clearCalls();
    session.headless.paintWaiting();
    session.headless.resetBlitCounts();
    for (auto& step : actions)
        step(session);
    session.headless.paintWaiting();
    if (blits) {
        const platform::HeadlessWindow* w =
            session.headless.window(session.window().DIBContainer1->Handle());
        long long area = 0;
        for (const platform::TRect& r : w->blitRects)
            area += static_cast<long long>(r.Right - r.Left) * (r.Bottom - r.Top);
        std::printf("blits %zu %lld\n", w->blitRects.size(), area);
    }
    dibpack::WriteRecordAsPng(session.record(), out);
    for (const platform::ShownMessageBox& box : session.headless.shownMessageBoxes()) {
        std::printf("message %s\n", box.caption.c_str());
        for (std::size_t start = 0; start <= box.text.size();) {
            const std::size_t end = std::min(box.text.find('\n', start), box.text.size());
            std::string line = box.text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::printf("  %s\n", line.c_str());
            start = end + 1;
        }
    }
    for (const host::CallRecord& call : session.host.calls(audioMasterAutomate))
        std::printf("automate %d %s %.9g\n", call.index,
                    session.plugin.text(effGetParamName, call.index).c_str(),
                    static_cast<double>(call.opt));
    session.plugin.dispatch(effEditClose);
    std::printf("wrote %s\n", out.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "wadling-snapshot: %s\n%s", e.what(), kUsage);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "wadling-snapshot: %s\n", e.what());
        return 1;
    }
}
