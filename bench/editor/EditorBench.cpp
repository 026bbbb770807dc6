#include "EditorSession.h"

#include <benchmark/benchmark.h>

using editorbench::Session;

namespace {

void OpenToFirstFrameWarm(benchmark::State& state) {
    Session s;
    s.open();
    s.close();
    for (auto _ : state) {
        if (!s.open()) state.SkipWithError("the editor did not open");
        state.PauseTiming();
        s.close();
        state.ResumeTiming();
    }
}
BENCHMARK(OpenToFirstFrameWarm)->Unit(benchmark::kMillisecond);

void UpdaterTickWithNothingToMove(benchmark::State& state) {
    Session s;
    s.open();
    TPluginEditorWindow& w = *s.wrapper().window;
    for (auto _ : state)
        w.UpdaterTimer(w.Updater);
    if (s.headless.window(w.DIBContainer1->Handle())->waiting.Right != 0)
        state.SkipWithError("a tick with nothing to move left something to paint");
}
BENCHMARK(UpdaterTickWithNothingToMove)->Unit(benchmark::kNanosecond);

void FullRepaint(benchmark::State& state) {
    Session s;
    s.scale(static_cast<int>(state.range(0)));
    s.open();
    TPluginEditorWindow& w = *s.wrapper().window;
    for (auto _ : state) {
        w.DIBContainer1->Invalidate();
        s.headless.paintWaiting();
    }
}
BENCHMARK(FullRepaint)->Arg(100)->Arg(150)->Arg(200)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
