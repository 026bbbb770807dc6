// A 512-sample block at 44.1 kHz with 64 controller events spread over it (one every 8 samples,
// alternating between "Squeeze" and "Dry/Wet", so every event moves a parameter, reports the
// change and is passed on to the host), against the same block without events. Reports
// nanoseconds per stereo frame.

#include "MidiEventList.h"
#include "plugin/uPlugin.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr int kBlock = 512;

intptr_t VSTCALLBACK quietHost(AEffect*, int32_t, int32_t, intptr_t, void*, float) {
    return 0;
}

void run(benchmark::State& state, int events) {
    auto plugin = std::make_unique<APlugin>(quietHost);
    plugin->setDefaultMidiMap();
    plugin->resume();
    std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    for (int i = 0; i < kBlock; ++i) {
        inL[i] = 0.8f * std::sin(static_cast<float>(i) * 0.05f);
        inR[i] = 0.8f * std::cos(static_cast<float>(i) * 0.03f);
    }
    float* ins[] = {inL.data(), inR.data()};
    float* outs[] = {outL.data(), outR.data()};
    MidiEventList list;
    for (int e = 0; e < events; ++e)
        list.cc(e * kBlock / events, e % 2 ? 24 : 23, static_cast<uint8_t>((e * 37) % 128));
    VstEvents* pending = list.get();
    for (auto _ : state) {
        if (events > 0) plugin->processEvents(pending);
        plugin->processReplacing(ins, outs, kBlock);
        benchmark::DoNotOptimize(outL.data());
    }
    const double frames = static_cast<double>(state.iterations()) * kBlock;
    state.counters["ns_per_frame"] = benchmark::Counter(
        frames * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void Block512NoEvents(benchmark::State& s) {
    run(s, 0);
}
void Block512With64Controllers(benchmark::State& s) {
    run(s, 64);
}

} // namespace

BENCHMARK(Block512NoEvents);
BENCHMARK(Block512With64Controllers);
BENCHMARK_MAIN();
