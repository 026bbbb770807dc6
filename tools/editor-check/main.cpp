// editor-check: a user without a host looks at the editor. Loads the plug-in binary as a host
// does, opens its editor in a window of its own and calls effEditIdle every 40 ms; prints what
// a script needs to drive it with the real pointer (see EditorCheckCore.cpp for the lines) and
// runs the open/close and host-fault checks. editor-check.sh is the scenario under Xvfb.
#include "EditorCheckCore.h"
#include "host/HostWindow.h"
#include "host/VstHost.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using editorcheck::Options;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

class Check {
public:
    explicit Check(const Options& options)
        : options(options), library(host::PluginLibrary::load(options.plugin)) {
        callback.setAnswer(audioMasterAutomate, [](const host::CallRecord& call) -> intptr_t {
            say(editorcheck::automationLine(call.index, call.opt));
            return 0;
        });
        plugin = std::make_unique<host::PluginInstance>(library, callback);
        if ((plugin->effect()->flags & effFlagsHasEditor) == 0)
            throw host::HostError("the plug-in has no editor");
        if (options.program >= plugin->effect()->numPrograms)
            throw editorcheck::UsageError("the plug-in has " +
                                          std::to_string(plugin->effect()->numPrograms) +
                                          " programs, no " + std::to_string(options.program));
        if (options.program >= 0) plugin->dispatch(effSetProgram, 0, options.program);
        // As hosts that know their screen's scale say it: 'PreS' 'AeCs' with the factor.
        if (options.hostScale > 0)
            plugin->dispatch(effVendorSpecific, 0x50726553, 0x41654373, nullptr,
                             float(options.hostScale) / 100.0f);
    }

    int run() {
        if (options.interactive()) interactive();
        if (options.cycles > 0) cycles(options.cycles);
        if (options.destroyParentFirst) destroyParentFirst();
        if (options.idleCpuSeconds > 0) idleCpu(options.idleCpuSeconds);
        plugin->close();
        window.close();
        say("END " + std::to_string(failures));
        return failures == 0 ? 0 : 1;
    }

private:
    const Options& options;
    host::HostCallback callback;
    std::shared_ptr<host::PluginLibrary> library;
    std::unique_ptr<host::PluginInstance> plugin;
    host::HostWindow window;
    void* parent = nullptr;
    int width = 0, height = 0;
    int failures = 0;

    void check(bool ok, const std::string& what) {
        say((ok ? "PASS " : "FAIL ") + what);
        if (!ok) ++failures;
    }

    bool editorRect(int& w, int& h) {
        ERect* rect = nullptr;
        plugin->dispatch(effEditGetRect, 0, 0, &rect);
        if (rect == nullptr || rect->right <= rect->left || rect->bottom <= rect->top) return false;
        w = rect->right - rect->left;
        h = rect->bottom - rect->top;
        return true;
    }

    /// Idles as the host does for `ms` milliseconds (the window's events handled in between).
    void idleFor(int ms, int period) {
        const auto start = Clock::now();
        window.runIdleLoop(period, [&] {
            plugin->dispatch(effEditIdle);
            return millisecondsSince(start) < ms;
        });
    }

    /// Opens the host's window of the editor's size and the editor in it. Like hosts, asks the
    /// size again after effEditOpen (this editor has none before) and resizes. With `measure`,
    /// idles every 5 ms until the screen shows the editor and prints the time it took.
    bool openEditor(const char* title, bool measure) {
        int w = 320, h = 240; // until the editor tells
        editorRect(w, h);
        parent = window.open(title, w, h);
        if (parent == nullptr) {
            check(false, "the host window opens: " + window.error());
            return false;
        }
        const host::FirstFrameProbe probe(window, w, h);
        const auto start = Clock::now();
        if (plugin->dispatch(effEditOpen, 0, 0, parent) != 1) {
            check(false, "effEditOpen answers 1");
            window.close();
            return false;
        }
        const double openMs = millisecondsSince(start);
        if (!editorRect(width, height)) {
            width = w;
            height = h;
        }
        if (width != w || height != h) window.resize(width, height);
        if (!measure) return true;
        bool shown = false;
        window.runIdleLoop(5, [&] {
            plugin->dispatch(effEditIdle);
            shown = shown || probe.shown();
            return !shown && millisecondsSince(start) < 5000;
        });
        char figure[128];
        std::snprintf(figure, sizeof figure,
                      "FIGURE open-to-first-frame %.1f ms (effEditOpen returned after %.1f ms)",
                      millisecondsSince(start), openMs);
        say(shown ? figure : "FIGURE open-to-first-frame unknown (the screen cannot be read)");
        return true;
    }

    void closeEditor() {
        plugin->dispatch(effEditClose);
        idleFor(50, 10);
    }

    void measureIdleCall() {
        constexpr int kCalls = 1000;
        std::vector<double> times;
        times.reserve(kCalls);
        for (int i = 0; i < kCalls; ++i) {
            const auto start = Clock::now();
            plugin->dispatch(effEditIdle);
            times.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        std::sort(times.begin(), times.end());
        double sum = 0;
        for (const double t : times)
            sum += t;
        char figure[128];
        std::snprintf(figure, sizeof figure,
                      "FIGURE idle-call mean %.2f us, median %.2f us, max %.1f us (%d calls)",
                      sum / kCalls, times[kCalls / 2], times.back(), kCalls);
        say(figure);
    }

    void reportValues() {
        std::vector<float> values;
        for (int i = 0; i < plugin->effect()->numParams; ++i)
            values.push_back(plugin->getParameter(i));
        say(editorcheck::valuesLine(values));
        say("program " + std::to_string(plugin->dispatch(effGetProgram)));
    }

    /// Reads and removes the command file; answers false on "quit".
    bool followCommands() {
        namespace fs = std::filesystem;
        if (options.commands.empty()) return true;
        const fs::path file = fs::path(options.commands) / "command";
        std::error_code error;
        if (!fs::exists(file, error)) return true;
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        in.close();
        fs::remove(file, error);
        std::vector<std::string> unknown;
        bool goOn = true;
        for (const editorcheck::Command c : editorcheck::parseCommands(text.str(), unknown)) {
            if (c == editorcheck::Command::Values) reportValues();
            if (c == editorcheck::Command::Quit) goOn = false;
        }
        for (const std::string& word : unknown)
            say("ignored command " + word);
        return goOn;
    }

    void interactive() {
        if (!openEditor("editor-check", true)) return;
        idleFor(300, options.idleMs);
        measureIdleCall();
        int x = 0, y = 0;
        window.clientOrigin(x, y);
        say("READY " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(width) +
            " " + std::to_string(height));
        const auto start = Clock::now();
        window.runIdleLoop(options.idleMs, [&] {
            plugin->dispatch(effEditIdle);
            return followCommands() && millisecondsSince(start) < options.seconds * 1000.0;
        });
        if (!window.isOpen()) say("the window was closed");
        plugin->dispatch(effEditClose);
        window.close();
    }

    void cycles(int count) {
        if (!openEditor("editor-check cycles", false)) return;
        idleFor(100, 20);
        const int shownChildren = window.resources().childWindows;
        closeEditor(); // the first open made what lives as long as the library
        const host::HostWindow::Resources before = window.resources();
        check(shownChildren > before.childWindows,
              "the open editor is a window inside the host's (" + std::to_string(shownChildren) +
                  " windows)");
        const auto start = Clock::now();
        int refused = 0;
        for (int i = 0; i < count; ++i) {
            if (plugin->dispatch(effEditOpen, 0, 0, parent) != 1) ++refused;
            idleFor(30, 10);
            plugin->dispatch(effEditClose);
            idleFor(10, 10);
        }
        char figure[96];
        std::snprintf(figure, sizeof figure, "FIGURE %d open/close cycles in %.0f ms", count,
                      millisecondsSince(start));
        say(figure);
        check(refused == 0, std::to_string(count) + " opens answered 1 (" +
                                std::to_string(refused) + " refused)");
        reportLeftovers(before, window.resources(), "after the cycles");
        window.close();
    }

    void destroyParentFirst() {
        if (!openEditor("editor-check parent", false)) return;
        idleFor(200, options.idleMs);
        closeEditor();
        const host::HostWindow::Resources before = window.resources();
        window.close();
        if (!openEditor("editor-check parent", false)) return;
        idleFor(200, options.idleMs);
        window.close(); // the host's window goes while the editor is open
        for (int i = 0; i < 5; ++i) {
            plugin->dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(options.idleMs));
        }
        plugin->dispatch(effEditClose);
        plugin->dispatch(effEditIdle);
        check(true, "no crash when the host's window went before effEditClose");
        // The editor opens again in a new window, and shows.
        if (!openEditor("editor-check parent again", true)) return;
        idleFor(200, options.idleMs);
        closeEditor();
        reportLeftovers(before, window.resources(), "after the parent went first");
        window.close();
    }

    void idleCpu(int seconds) {
        if (!openEditor("editor-check idle", false)) return;
        idleFor(500, options.idleMs);
        const double cpu = host::processCpuSeconds();
        const auto start = Clock::now();
        int idles = 0;
        window.runIdleLoop(options.idleMs, [&] {
            plugin->dispatch(effEditIdle);
            ++idles;
            return millisecondsSince(start) < seconds * 1000.0;
        });
        const double used = host::processCpuSeconds() - cpu;
        char figure[160];
        std::snprintf(
            figure, sizeof figure,
            "FIGURE idle-cpu %.3f %% of one core (%.3f s in %.1f s, %d idles every %d ms)",
            100.0 * used / (millisecondsSince(start) / 1000.0), used,
            millisecondsSince(start) / 1000.0, idles, options.idleMs);
        say(figure);
        closeEditor();
        window.close();
    }

    void reportLeftovers(const host::HostWindow::Resources& before,
                         const host::HostWindow::Resources& after, const std::string& when) {
        char counts[200];
        std::snprintf(counts, sizeof counts,
                      "FIGURE %s: child windows %d -> %d, handles %ld -> %ld, GDI %ld -> %ld, "
                      "USER %ld -> %ld",
                      when.c_str(), before.childWindows, after.childWindows, before.systemHandles,
                      after.systemHandles, before.drawingObjects, after.drawingObjects,
                      before.interfaceObjects, after.interfaceObjects);
        say(counts);
        const std::vector<std::string> grown = editorcheck::leftovers(before, after);
        std::string what;
        for (const std::string& g : grown)
            what += (what.empty() ? "" : ", ") + g;
        check(grown.empty(), "nothing left " + when + (what.empty() ? "" : ": " + what));
    }
};

} // namespace

int main(int argc, char** argv) {
    try {
        const Options options = editorcheck::parseOptions({argv + 1, argv + argc});
        Check check(options);
        return check.run();
    } catch (const editorcheck::UsageError& e) {
        std::fprintf(stderr, "editor-check: %s\n%s", e.what(), editorcheck::kUsage);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "editor-check: %s\n", e.what());
        return 1;
    }
}
