// Throughput of processReplacing through the built binary at 44.1 kHz: nanoseconds per stereo
// frame and the real-time factor, for block sizes 32, 64, 512 and 4096, with
//   Demo          the demo material (music with loud and quiet passages)
//   Loud          a signal that never falls below the threshold: a logarithm and an
//                 exponential every sample
//   SilenceAfterLoud  silence once loud material has charged the filters: the band filter
//                 states decay towards the denormal range
//   Listen        the demo material in listen mode

#include "DemoMaterial.h"
#include "PluginRenderer.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr float kRate = 44100.0f;

struct Material {
    std::vector<float> left, right;
};

const Material& demo() {
    static const Material m = [] {
        render::DemoMaterial d = render::synthesiseDemo();
        return Material{std::move(d.left), std::move(d.right)};
    }();
    return m;
}

const Material& loud() {
    static const Material m = [] {
        Material l;
        const size_t n = static_cast<size_t>(kRate) * 10;
        uint32_t state = 12345;
        for (size_t i = 0; i < n; ++i) {
            state = state * 1664525u + 1013904223u;
            // A square wave between 0.6 and 0.9 in level: far above any threshold the
            // factory programs set.
            const float level = 0.6f + 0.3f * static_cast<float>(state >> 8) / 16777216.0f;
            const float sign = (i / 50) % 2 ? 1.0f : -1.0f;
            l.left.push_back(sign * level);
            l.right.push_back(-sign * level);
        }
        return l;
    }();
    return m;
}

const Material& silence() {
    static const Material m{std::vector<float>(static_cast<size_t>(kRate) * 10, 0.0f),
                            std::vector<float>(static_cast<size_t>(kRate) * 10, 0.0f)};
    return m;
}

void run(benchmark::State& state, const Material& material, bool listen, const Material* preroll) {
    const int block = static_cast<int>(state.range(0));
    render::PluginRenderer plugin(WADLING_PLUGIN_PATH);
    if (listen) plugin.setParameter("EQListen", "1");
    plugin.start(kRate, block);
    std::vector<float> inL(block), inR(block), outL(block), outR(block);
    const auto feed = [&](const Material& m, size_t& pos) {
        for (int i = 0; i < block; ++i, pos = (pos + 1) % m.left.size()) {
            inL[i] = m.left[pos];
            inR[i] = m.right[pos];
        }
    };
    if (preroll) {
        size_t pos = 0;
        for (size_t done = 0; done < preroll->left.size(); done += block) {
            feed(*preroll, pos);
            plugin.process(inL.data(), inR.data(), outL.data(), outR.data(), block);
        }
    }
    // The blocks are prepared outside the timed loop; processing walks through the material.
    const size_t blocks = material.left.size() / block;
    std::vector<std::vector<float>> left(blocks), right(blocks);
    size_t pos = 0;
    for (size_t b = 0; b < blocks; ++b) {
        feed(material, pos);
        left[b] = inL;
        right[b] = inR;
    }
    size_t b = 0;
    for (auto _ : state) {
        plugin.process(left[b].data(), right[b].data(), outL.data(), outR.data(), block);
        benchmark::DoNotOptimize(outL.data());
        b = (b + 1) % blocks;
    }
    const double frames = static_cast<double>(state.iterations()) * block;
    // Printed as e.g. "per_frame=25.1ns" and "realtime=900/s" (seconds of audio per second).
    state.counters["per_frame"] =
        benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
    plugin.stop();
}

void Demo(benchmark::State& s) {
    run(s, demo(), false, nullptr);
}
void Loud(benchmark::State& s) {
    run(s, loud(), false, nullptr);
}
void SilenceAfterLoud(benchmark::State& s) {
    run(s, silence(), false, &loud());
}
void Listen(benchmark::State& s) {
    run(s, demo(), true, nullptr);
}

} // namespace

BENCHMARK(Demo)->Arg(32)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(Loud)->Arg(32)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(SilenceAfterLoud)->Arg(32)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(Listen)->Arg(32)->Arg(64)->Arg(512)->Arg(4096);

BENCHMARK_MAIN();
