// Editors of several instances in one process, each in a window of its own, as hosts open them:
// processor and wall time from effEditOpen to each first frame, and the resident memory after
// each step, once every editor has closed and once every instance has closed. Headless backend,
// plug-in linked in. Usage: editor_open_many [COUNT] (1..64, default 8).
#include "EditorFigures.h"
#include "LinkedPlugin.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using editorbench::report;
using editorbench::Stopwatch;

struct Many {
    platform::HeadlessSession headless;
    host::HostCallback host;
    std::vector<std::unique_ptr<host::PluginInstance>> plugins;
    std::vector<int> parents; // pretend host windows: their addresses are the handles

    explicit Many(int count) : parents(std::size_t(count)) {
        for (int k = 0; k < count; ++k)
            plugins.push_back(
                std::make_unique<host::PluginInstance>(&testsupport::linkedEntry, host));
    }

    /// effEditOpen of instance k and the paint of its first frame.
    bool open(int k) {
        const bool opened =
            plugins[std::size_t(k)]->dispatch(effEditOpen, 0, 0, &parents[std::size_t(k)]) == 1;
        headless.paintWaiting();
        return opened;
    }
    void close(int k) { plugins[std::size_t(k)]->dispatch(effEditClose); }
};

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 64) : 8;
    auto many = std::make_unique<Many>(count);
    const long long base = editorbench::residentBytes();
    report((std::to_string(count) + " instances, no editor").c_str(), nullptr, base);
    for (int k = 0; k < count; ++k) {
        const Stopwatch watch;
        if (!many->open(k)) {
            std::fprintf(stderr, "editor %d did not open\n", k + 1);
            return 1;
        }
        report(("open editor " + std::to_string(k + 1)).c_str(), &watch, base);
    }
    {
        many->close(count - 1);
        const Stopwatch watch;
        many->open(count - 1);
        report("reopen, other editors open", &watch, base);
    }
    for (int k = 0; k < count; ++k)
        many->close(k);
    report("every editor closed", nullptr, base);
    {
        const Stopwatch watch;
        many->open(0);
        report("reopen, no other editor open", &watch, base);
        many->close(0);
    }
    report("every editor closed again", nullptr, base);
    many->plugins.clear();
    report("every instance closed", nullptr, base);
    return 0;
}
