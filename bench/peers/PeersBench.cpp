// Our plug-in against the free stereo compressors of the distribution, measured side by side in
// one process: each round processes the same loud signal (every sample above the threshold) in
// 512-frame blocks through every plug-in in turn; the figure is the median of 9 rounds, in
// nanoseconds of processor time per stereo frame (processor time, so that other work on a
// shared machine does not count). Peers that are not installed are left out.
//
//   bench_peers [--plugin NAME=PATH]...   more plug-ins to measure (another build of ours, say)

#include "PluginRenderer.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr float kRate = 44100.0f;
constexpr int kBlock = 512;
constexpr int kRounds = 9;
constexpr int kFramesPerRound = 44100 * 4;

struct Candidate {
    std::string name, path;
    std::unique_ptr<render::PluginRenderer> plugin;
    std::vector<double> nsPerFrame;
};

// Levels between 0.6 and 0.9 in a square wave of 441 Hz: far above every threshold set below.
void loudSignal(std::vector<float>& left, std::vector<float>& right) {
    uint32_t state = 12345;
    for (int i = 0; i < kFramesPerRound; ++i) {
        state = state * 1664525u + 1013904223u;
        const float level = 0.6f + 0.3f * static_cast<float>(state >> 8) / 16777216.0f;
        const float sign = (i / 50) % 2 ? 1.0f : -1.0f;
        left.push_back(sign * level);
        right.push_back(-sign * level);
    }
}

bool exists(const std::string& path) {
    return std::ifstream(path).good();
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A threshold at its lowest (normalised 0), so that the loud signal is compressed throughout.
void lowestThreshold(Candidate& c) {
    for (int i = 0; i < c.plugin->numParams(); ++i) {
        const std::string name = c.plugin->parameterName(i);
        if (lower(name).find("thresh") == std::string::npos) continue;
        c.plugin->setParameter(std::to_string(i), "0");
        std::printf("  %s: \"%s\" = %s\n", c.name.c_str(), name.c_str(),
                    c.plugin->parameterText(i).c_str());
    }
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    std::vector<Candidate> candidates;
    candidates.push_back({"WadlingCompressor", WADLING_PLUGIN_PATH, nullptr, {}});
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string spec = argv[i + 1];
        const size_t eq = spec.find('=');
        if (std::strcmp(argv[i], "--plugin") != 0 || eq == std::string::npos) {
            std::fprintf(stderr, "usage: bench_peers [--plugin NAME=PATH]...\n");
            return 2;
        }
        candidates.push_back({spec.substr(0, eq), spec.substr(eq + 1), nullptr, {}});
    }
    const size_t ours = candidates.size();
    for (const auto& [name, path] :
         {std::pair<std::string, std::string>{"ZamCompX2", "/usr/lib/vst/ZamCompX2-vst.so"},
          {"LSP Compressor Stereo", "/usr/lib/vst/lsp-plugins/compressor-stereo.so"}}) {
        if (exists(path))
            candidates.push_back({name, path, nullptr, {}});
        else
            std::printf("%s not installed (%s)\n", name.c_str(), path.c_str());
    }

    std::vector<Candidate> loaded;
    for (Candidate& c : candidates) {
        try {
            c.plugin = std::make_unique<render::PluginRenderer>(c.path);
            if (&c - candidates.data() == 0) c.plugin->selectProgram("0");
            lowestThreshold(c);
            c.plugin->start(kRate, kBlock);
            loaded.push_back(std::move(c));
        } catch (const std::exception& e) {
            std::printf("%s: cannot load %s: %s\n", c.name.c_str(), c.path.c_str(), e.what());
        }
    }

    std::vector<float> inL, inR;
    loudSignal(inL, inR);
    std::vector<float> outL(kBlock), outR(kBlock);
    const auto roundOf = [&](Candidate& c) {
        const std::clock_t start = std::clock();
        for (int pos = 0; pos + kBlock <= kFramesPerRound; pos += kBlock)
            c.plugin->process(inL.data() + pos, inR.data() + pos, outL.data(), outR.data(), kBlock);
        const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        return seconds * 1e9 / (kFramesPerRound / kBlock * kBlock);
    };
    for (Candidate& c : loaded)
        roundOf(c); // warm-up: caches, lazy initialisation
    for (int round = 0; round < kRounds; ++round)
        for (Candidate& c : loaded)
            c.nsPerFrame.push_back(roundOf(c));

    std::printf("%-24s %10s %10s %10s\n", "plug-in", "ns/frame", "min", "max");
    for (const Candidate& c : loaded)
        std::printf("%-24s %10.2f %10.2f %10.2f\n", c.name.c_str(), median(c.nsPerFrame),
                    *std::min_element(c.nsPerFrame.begin(), c.nsPerFrame.end()),
                    *std::max_element(c.nsPerFrame.begin(), c.nsPerFrame.end()));
    if (loaded.empty() || loaded[0].name != "WadlingCompressor") return 1;
    const double oursNs = median(loaded[0].nsPerFrame);
    for (size_t i = 1; i < loaded.size(); ++i)
        std::printf("WadlingCompressor / %-24s %6.3f%s\n", loaded[i].name.c_str(),
                    oursNs / median(loaded[i].nsPerFrame), i < ours ? "" : "  (peer)");
    return 0;
}
