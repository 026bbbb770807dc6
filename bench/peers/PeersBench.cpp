// Our plug-in against the free stereo compressors of the distribution, measured side by side in
// one process. For each material and block size every plug-in gets a fresh instance; then each
// round processes the same material through every plug-in in turn (the order rotating from round
// to round), and a plug-in's figure is the median of 9 rounds in nanoseconds of processor time
// per stereo frame. Processor time leaves out waiting for the processor, not the caches and
// memory (and, on a shared core, the execution units) that other work competes for: so every
// run prints the load average before and after, how busy the rest of the machine was and what
// else was seen running. Peers that are not installed are left out. The column "floor" is the
// three recursions of the loop alone (RecursionFloor.h), the least any bit-exact loop can take.
//
//   bench_peers [--runs N] [--plugin NAME=PATH]...
//     --runs N         repeat the whole measurement N times and end with the spread of every
//                      ratio (lowest and highest over the runs)
//     --plugin NAME=PATH  another build of ours, measured with our settings beside ours

#include "DemoMaterial.h"
#include "PluginRenderer.h"
#include "RecursionFloor.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr float kRate = 44100.0f;
constexpr int kRounds = 9;
constexpr int kBlocks[] = {32, 64, 512, 4096};

struct Material {
    std::string name;
    std::vector<float> left, right;
    bool listen = false;               // our plug-ins in listen mode (the peers have none)
    const Material* preroll = nullptr; // processed untimed before every round
};

// Levels between 0.6 and 0.9 in a square wave of 441 Hz: far above every threshold set below
// except ZamCompX2's default.
Material loudSignal(size_t frames) {
    Material m{"loud", {}, {}};
    uint32_t state = 12345;
    for (size_t i = 0; i < frames; ++i) {
        state = state * 1664525u + 1013904223u;
        const float level = 0.6f + 0.3f * static_cast<float>(state >> 8) / 16777216.0f;
        const float sign = (i / 50) % 2 ? 1.0f : -1.0f;
        m.left.push_back(sign * level);
        m.right.push_back(-sign * level);
    }
    return m;
}

// One way of setting a plug-in up, applied to a fresh instance.
struct Setting {
    std::string label;
    std::function<void(render::PluginRenderer&)> apply;
};

struct Candidate {
    std::string name; // "binary setting"
    std::string path;
    bool ours;
    Setting setting;
    std::unique_ptr<render::PluginRenderer> plugin;
    std::vector<double> nsPerFrame;
};

bool exists(const std::string& path) {
    return std::ifstream(path).good();
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A threshold at its lowest (normalised 0), so that the loud signal is compressed throughout.
void lowestThreshold(render::PluginRenderer& p) {
    for (int i = 0; i < p.numParams(); ++i)
        if (lower(p.parameterName(i)).find("thresh") != std::string::npos)
            p.setParameter(std::to_string(i), "0");
}

std::string thresholdText(render::PluginRenderer& p) {
    for (int i = 0; i < p.numParams(); ++i)
        if (lower(p.parameterName(i)).find("thresh") != std::string::npos)
            return p.parameterName(i) + " " + p.parameterText(i);
    return "no threshold parameter";
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Busy processor ticks of the whole machine and of this process (USER_HZ).
struct Ticks {
    unsigned long long machine = 0, self = 0;
};

Ticks ticksNow() {
    Ticks t;
    std::ifstream stat("/proc/stat");
    std::string cpu;
    unsigned long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0,
                       steal = 0;
    if (stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal)
        t.machine = user + nice + system + irq + softirq + steal;
    std::ifstream self("/proc/self/stat");
    std::string line;
    if (std::getline(self, line) && line.rfind(')') != std::string::npos) {
        // utime and stime are the 12th and 13th fields after the command name.
        std::istringstream rest(line.substr(line.rfind(')') + 2));
        std::string field;
        for (int i = 0; i < 11 && rest >> field; ++i) {
        }
        unsigned long long utime = 0, stime = 0;
        rest >> utime >> stime;
        t.self = utime + stime;
    }
    return t;
}

// The other processes running at this moment, by command name.
void countRunning(std::map<std::string, int>& seen) {
    std::error_code ec;
    const std::string self = std::filesystem::read_symlink("/proc/self", ec).string();
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0])) || name == self)
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 2 >= line.size())
            continue;
        if (line[close + 2] == 'R') ++seen[line.substr(open + 1, close - open - 1)];
    }
}

std::string loadAverage() {
    std::ifstream f("/proc/loadavg");
    double a = 0, b = 0, c = 0;
    if (!(f >> a >> b >> c)) return "unknown";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", a, b, c);
    return text;
}

// How busy the rest of the machine was between two readings, and what was seen running.
std::string otherWork(const Ticks& before, const Ticks& after, double seconds,
                      const std::map<std::string, int>& seen, int looks) {
    const double ticksPerSecond = 100.0; // USER_HZ on Linux
    const double others = (static_cast<double>(after.machine - before.machine) -
                           static_cast<double>(after.self - before.self)) /
                          ticksPerSecond / seconds;
    char text[96];
    std::snprintf(text, sizeof text, "%.2f processors busy with other work", others);
    std::string result = text;
    std::vector<std::pair<int, std::string>> byCount;
    for (const auto& [name, count] : seen)
        byCount.emplace_back(count, name);
    std::sort(byCount.rbegin(), byCount.rend());
    std::snprintf(text, sizeof text, "; processes running at %d looks:", looks);
    result += text;
    for (size_t i = 0; i < byCount.size() && i < 5; ++i) {
        std::snprintf(text, sizeof text, " %s %d", byCount[i].second.c_str(), byCount[i].first);
        result += text;
    }
    return result;
}

struct Case {
    const Material* material;
    int block;
};

void processAll(Candidate& c, const Material& m, int block, std::vector<float>& inL,
                std::vector<float>& inR, std::vector<float>& outL, std::vector<float>& outR) {
    for (size_t pos = 0; pos + block <= m.left.size(); pos += block) {
        std::copy_n(m.left.data() + pos, block, inL.data());
        std::copy_n(m.right.data() + pos, block, inR.data());
        c.plugin->process(inL.data(), inR.data(), outL.data(), outR.data(), block);
    }
}

// One material at one block size: fresh instances, a warm-up pass, then the rounds.
void measure(std::vector<Candidate>& candidates, const Case& k) {
    const Material& m = *k.material;
    for (Candidate& c : candidates) {
        c.plugin = std::make_unique<render::PluginRenderer>(c.path);
        c.setting.apply(*c.plugin);
        if (c.ours && m.listen) c.plugin->setParameter("EQListen", "1");
        c.plugin->start(kRate, k.block);
        c.nsPerFrame.clear();
    }
    std::vector<float> inL(k.block), inR(k.block), outL(k.block), outR(k.block);
    const size_t frames = m.left.size() / k.block * k.block;
    const auto roundOf = [&](Candidate& c) {
        if (m.preroll) processAll(c, *m.preroll, k.block, inL, inR, outL, outR);
        const std::clock_t start = std::clock();
        processAll(c, m, k.block, inL, inR, outL, outR);
        const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        return seconds * 1e9 / static_cast<double>(frames);
    };
    for (Candidate& c : candidates)
        roundOf(c); // warm-up: caches, lazy initialisation
    for (int round = 0; round < kRounds; ++round)
        for (size_t i = 0; i < candidates.size(); ++i) {
            Candidate& c = candidates[(i + round) % candidates.size()];
            c.nsPerFrame.push_back(roundOf(c));
        }
    for (Candidate& c : candidates) {
        c.plugin->stop();
        c.plugin.reset();
    }
}

struct Ratio {
    size_t ours, peer;
};

} // namespace

int main(int argc, char** argv) {
    int runs = 1;
    std::vector<std::pair<std::string, std::string>> binaries = {{"Wadling", WADLING_PLUGIN_PATH}};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string value = argv[i + 1];
        const size_t eq = value.find('=');
        if (std::strcmp(argv[i], "--runs") == 0 && std::atoi(value.c_str()) > 0) {
            runs = std::atoi(value.c_str());
        } else if (std::strcmp(argv[i], "--plugin") == 0 && eq != std::string::npos) {
            binaries.emplace_back(value.substr(0, eq), value.substr(eq + 1));
        } else {
            std::fprintf(stderr, "usage: bench_peers [--runs N] [--plugin NAME=PATH]...\n");
            return 2;
        }
    }

    const Setting program0{"P0", [](render::PluginRenderer& p) { p.selectProgram("0"); }};
    const Setting squeezed{"S.8", [](render::PluginRenderer& p) {
                               p.selectProgram("0");
                               p.setParameter("Squeeze", "0.8");
                               p.setParameter("Dry/Wet", "0.7");
                           }};
    const Setting defaults{"def", [](render::PluginRenderer&) {}};
    const Setting lowest{"low", lowestThreshold};
    std::vector<Candidate> candidates;
    for (const auto& [name, path] : binaries)
        for (const Setting& s : {program0, squeezed})
            candidates.push_back({name + " " + s.label, path, true, s, nullptr, {}});
    const size_t oursCount = candidates.size();
    const std::string zam = "/usr/lib/vst/ZamCompX2-vst.so";
    const std::string lsp = "/usr/lib/vst/lsp-plugins/compressor-stereo.so";
    if (exists(zam)) {
        candidates.push_back({"Zam def", zam, false, defaults, nullptr, {}});
        candidates.push_back({"Zam low", zam, false, lowest, nullptr, {}});
    } else {
        std::printf("ZamCompX2 not installed (%s; Debian package zam-plugins)\n", zam.c_str());
    }
    if (exists(lsp))
        candidates.push_back({"LSP def", lsp, false, defaults, nullptr, {}});
    else
        std::printf("LSP Compressor Stereo not installed (%s; Debian package lsp-plugins-vst)\n",
                    lsp.c_str());

    // Check every binary once and say what each setting is.
    std::vector<Candidate> loaded;
    for (Candidate& c : candidates) {
        try {
            render::PluginRenderer p(c.path);
            c.setting.apply(p);
            std::printf("%-14s %s: %s\n", c.name.c_str(), c.path.c_str(), thresholdText(p).c_str());
            loaded.push_back(std::move(c));
        } catch (const std::exception& e) {
            std::printf("%s: cannot load %s: %s\n", c.name.c_str(), c.path.c_str(), e.what());
        }
    }
    if (loaded.empty() || !loaded[0].ours) return 1;
    std::printf("P0: program 0 (Squeeze 0.3, Dry/Wet 0.5); S.8: program 0 with Squeeze 0.8 and "
                "Dry/Wet 0.7; def: the peer's defaults; low: its threshold at its lowest.\n");

    const render::DemoMaterial demo = render::synthesiseDemo();
    const Material music{"demo", demo.left, demo.right};
    const Material loud = loudSignal(44100 * 4);
    const Material preroll = loudSignal(44100);
    const Material silence{"silence after loud", std::vector<float>(44100 * 4, 0.0f),
                           std::vector<float>(44100 * 4, 0.0f), false, &preroll};
    Material listen = music;
    listen.name = "listen (demo)";
    listen.listen = true;
    std::vector<Case> cases;
    for (const Material* m : {&music, &loud, &silence, static_cast<const Material*>(&listen)})
        for (int block : kBlocks)
            cases.push_back({m, block});

    std::vector<Ratio> ratios;
    for (size_t o = 0; o < oursCount && o < loaded.size(); ++o)
        for (size_t p = 0; p < loaded.size(); ++p)
            if (!loaded[p].ours) ratios.push_back({o, p});
    // spread[case][ratio]: lowest and highest over the runs.
    std::vector<std::vector<std::pair<double, double>>> spread(
        cases.size(), std::vector<std::pair<double, double>>(ratios.size(), {1e300, 0.0}));

    for (int run = 0; run < runs; ++run) {
        const Ticks before = ticksNow();
        std::map<std::string, int> seen;
        int looks = 0;
        const auto wallStart = std::chrono::steady_clock::now();
        std::printf("\nrun %d of %d, load average %s\n", run + 1, runs, loadAverage().c_str());
        std::printf("%-24s", "ns per stereo frame");
        for (const Candidate& c : loaded)
            std::printf(" %10s", c.name.c_str());
        std::printf(" %10s %10s\n", "floor", "P0/floor");
        std::vector<std::vector<double>> medians;
        for (const Case& k : cases) {
            measure(loaded, k);
            countRunning(seen);
            ++looks;
            std::printf("%-19s %4d", k.material->name.c_str(), k.block);
            medians.emplace_back();
            for (const Candidate& c : loaded) {
                medians.back().push_back(median(c.nsPerFrame));
                std::printf(" %10.2f", medians.back().back());
            }
            const double floor =
                bench::recursionFloorNs(k.material->left, k.material->right, kRounds);
            std::printf(" %10.2f %10.2f\n", floor, medians.back().front() / floor);
        }
        std::printf("%-24s", "ratio");
        for (const Ratio& r : ratios)
            std::printf(" %18s", (loaded[r.ours].name + "/" + loaded[r.peer].name).c_str());
        std::printf("\n");
        for (size_t k = 0; k < cases.size(); ++k) {
            std::printf("%-19s %4d", cases[k].material->name.c_str(), cases[k].block);
            for (size_t r = 0; r < ratios.size(); ++r) {
                const double v = medians[k][ratios[r].ours] / medians[k][ratios[r].peer];
                spread[k][r] = {std::min(spread[k][r].first, v), std::max(spread[k][r].second, v)};
                std::printf(" %18.3f", v);
            }
            std::printf("\n");
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        std::printf("load average %s; over the run's %.0f s: %s\n", loadAverage().c_str(), seconds,
                    otherWork(before, ticksNow(), seconds, seen, looks).c_str());
        std::fflush(stdout);
    }

    if (runs > 1) {
        std::printf("\nspread of every ratio over %d runs (lowest to highest)\n%-24s", runs, "");
        for (const Ratio& r : ratios)
            std::printf(" %18s", (loaded[r.ours].name + "/" + loaded[r.peer].name).c_str());
        std::printf("\n");
        for (size_t k = 0; k < cases.size(); ++k) {
            std::printf("%-19s %4d", cases[k].material->name.c_str(), cases[k].block);
            for (size_t r = 0; r < ratios.size(); ++r)
                std::printf("    %.3f to %.3f", spread[k][r].first, spread[k][r].second);
            std::printf("\n");
        }
    }
    return 0;
}
