// editor_open_many through the plug-in binary on an X server: each instance's editor in a host
// window of its own, timed from effEditOpen until the screen shows it (any of nine probe
// points changes), with the resident memory after each step. The processor time is the
// plug-in's (inside effEditOpen and the idle calls until the frame shows), not the probes'.
// Usage: editor_open_x11 PLUGIN [COUNT] (1..16, default 8), on a display (xvfb-run).
#include "EditorFigures.h"
#include "host/HostWindow.h"
#include "host/VstHost.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

using editorbench::report;
using editorbench::Stopwatch;

struct Editor {
    std::unique_ptr<host::PluginInstance> plugin;
    host::HostWindow window;

    /// Opens a host window of the editor's size and the editor in it, and idles until the
    /// screen shows it; false when either does not open or nothing shows within 5 s.
    bool open(const std::string& title) {
        int w = 490, h = 322; // this editor tells its size only once open
        void* parent = window.open(title, w, h);
        if (parent == nullptr) return false;
        const host::FirstFrameProbe probe(window, w, h);
        const Stopwatch watch;
        double processor = 0;
        const auto timed = [&](auto&& call) {
            const Stopwatch inside;
            call();
            processor += inside.processorMs();
        };
        bool opened = false;
        timed([&] { opened = plugin->dispatch(effEditOpen, 0, 0, parent) == 1; });
        if (!opened) return false;
        bool shown = false;
        window.runIdleLoop(1, [&] {
            timed([&] { plugin->dispatch(effEditIdle); });
            shown = shown || probe.shown();
            return !shown && watch.wallMs() < 5000;
        });
        lastOpen = {processor, watch.wallMs()};
        return shown;
    }

    void close() {
        plugin->dispatch(effEditClose);
        plugin->dispatch(effEditIdle);
        window.close();
    }

    std::pair<double, double> lastOpen;
};

void reportOpen(const std::string& what, const Editor& editor, long long base) {
    std::printf("%-34s processor %6.2f ms, wall %7.2f ms, ", what.c_str(), editor.lastOpen.first,
                editor.lastOpen.second);
    const long long now = editorbench::residentBytes();
    std::printf("resident %7.1f MB (%+.1f MB)\n", editorbench::megabytes(now),
                editorbench::megabytes(now - base));
    std::fflush(stdout);
}

int run(const std::string& path, int count) {
    host::HostCallback callback;
    auto library = host::PluginLibrary::load(path);
    std::vector<Editor> editors(static_cast<std::size_t>(count));
    for (Editor& e : editors)
        e.plugin = std::make_unique<host::PluginInstance>(library, callback);
    const long long base = editorbench::residentBytes();
    report((std::to_string(count) + " instances, no editor").c_str(), nullptr, base);
    for (int k = 0; k < count; ++k) {
        const std::string name = "editor " + std::to_string(k + 1);
        if (!editors[std::size_t(k)].open(name)) {
            std::fprintf(stderr, "%s did not show\n", name.c_str());
            return 1;
        }
        reportOpen("open " + name, editors[std::size_t(k)], base);
    }
    Editor& last = editors.back();
    last.close();
    if (!last.open("reopened")) return 1;
    reportOpen("reopen, other editors open", last, base);
    for (Editor& e : editors)
        e.close();
    report("every editor closed", nullptr, base);
    if (!editors.front().open("reopened")) return 1;
    reportOpen("reopen, no other editor open", editors.front(), base);
    editors.front().close();
    report("every editor closed again", nullptr, base);
    for (Editor& e : editors)
        e.plugin.reset();
    report("every instance closed", nullptr, base);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: editor_open_x11 PLUGIN [COUNT]\n");
        return 2;
    }
    try {
        return run(argv[1], argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 16) : 8);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "editor_open_x11: %s\n", e.what());
        return 1;
    }
}
