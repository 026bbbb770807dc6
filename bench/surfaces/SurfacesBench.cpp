// The editor's full repaint (a masked 491 x 323 frame onto a back buffer of the same size) and
// a knob frame cut from the 27-frame background strip.
#include "toolkit/cDIBKernels.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

using namespace toolkit;

namespace {

void randomPixels(TAbstractSuperDIB& d) {
    std::mt19937 rng(7);
    std::uint8_t* p = d.Bits();
    for (std::size_t i = 0, n = std::size_t(d.Width()) * d.Height() * 4; i < n; ++i)
        p[i] = static_cast<std::uint8_t>(rng());
}

void BM_TrigTablesFirstUse(benchmark::State& state) {
    // One-time cost paid by the first rotated draw (not at library load).
    for (auto _ : state)
        benchmark::DoNotOptimize(&TrigTables());
}
BENCHMARK(BM_TrigTablesFirstUse)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_DrawMaskedFrame(benchmark::State& state) {
    TMemoryDIB frame(491, 323);
    TWinDIB back(491, 323);
    randomPixels(frame);
    randomPixels(back);
    frame.SetMasked(true);
    for (auto _ : state) {
        frame.Draw(0, 0, 491, 323, back);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 491 * 323);
}
BENCHMARK(BM_DrawMaskedFrame)->Unit(benchmark::kMicrosecond);

void BM_DrawGlyphFrame13(benchmark::State& state) {
    TMemoryDIB strip(13257, 323);
    TWinDIB back(491, 323);
    randomPixels(strip);
    randomPixels(back);
    strip.SetMasked(true);
    for (auto _ : state) {
        strip.DrawGlyph(0, 0, back, 27, 13);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 491 * 323);
}
BENCHMARK(BM_DrawGlyphFrame13)->Unit(benchmark::kMicrosecond);

void BM_DrawGlyphFrame13Rotated(benchmark::State& state) {
    TMemoryDIB strip(13257, 323);
    TWinDIB back(491, 323);
    randomPixels(strip);
    strip.SetMasked(true);
    strip.SetAngle(10);
    strip.DrawGlyph(0, 0, back, 27, 13); // the tables are built once, outside the timing
    for (auto _ : state) {
        strip.DrawGlyph(0, 0, back, 27, 13);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawGlyphFrame13Rotated)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
