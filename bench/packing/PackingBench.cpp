// Packing and unpacking of raw records the size of the editor's background strip
// (13257 x 323 pixels, 17,128,048 bytes), smooth and noisy artwork, and unpacking the strip
// itself as the editor stores it.

#include "editor/art/EditorArt.h"
#include "toolkit/DIBLZH.h"
#include "toolkit/cDIBCompressor.h"
#include "toolkit/cDIBStandardCompressors.h"

#include "PackingTestData.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <vector>

using namespace toolkit;
using Bytes = std::vector<std::uint8_t>;

namespace {

constexpr int kWidth = 13257;
constexpr int kHeight = 323;

// A plain horizontal gradient: every row of a frame sorts the same way, which makes the
// reference match search walk long paths. The slowest input for packing that we know of.
Bytes flatGradientRecord() {
    Bytes r(4 + std::size_t(kWidth) * kHeight * 4);
    r[0] = std::uint8_t(kWidth);
    r[1] = std::uint8_t(kWidth >> 8);
    r[2] = std::uint8_t(kHeight);
    r[3] = std::uint8_t(kHeight >> 8);
    std::uint8_t* p = r.data() + 4;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            *p++ = std::uint8_t((x % 491) * 255 / 491);
            *p++ = std::uint8_t(y * 255 / kHeight);
            *p++ = 128;
            *p++ = 255;
        }
    return r;
}

// Kinds: 0 smooth artwork, 1 noisy artwork, 2 flat horizontal gradient.
const Bytes& record(int kind) {
    static std::map<int, Bytes> cache;
    auto it = cache.find(kind);
    if (it == cache.end())
        it = cache
                 .emplace(kind, kind == 0   ? packingtest::smoothRecord(kWidth, kHeight)
                                : kind == 1 ? packingtest::noisyRecord(kWidth, kHeight, 7)
                                            : flatGradientRecord())
                 .first;
    return it->second;
}

const Bytes& packedLZH(int kind) {
    static std::map<int, Bytes> cache;
    auto it = cache.find(kind);
    if (it == cache.end()) {
        const Bytes& raw = record(kind);
        Bytes out(raw.size());
        TLZHStream codec;
        out.resize(codec.Pack(raw.data(), raw.size(), out.data(), out.size()));
        it = cache.emplace(kind, std::move(out)).first;
    }
    return it->second;
}

void LZHPack(benchmark::State& state) {
    const Bytes& raw = record(int(state.range(0)));
    Bytes out(raw.size());
    std::size_t n = 0;
    for (auto _ : state) {
        TLZHStream codec;
        n = codec.Pack(raw.data(), raw.size(), out.data(), out.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(raw.size()));
    state.counters["ratio%"] = 100.0 * double(n) / double(raw.size());
}

void LZHUnpack(benchmark::State& state) {
    const int kind = int(state.range(0));
    const Bytes& payload = packedLZH(kind);
    Bytes out(record(kind).size());
    for (auto _ : state) {
        TLZHStream codec;
        codec.Unpack(payload.data(), payload.size(), out.data(), out.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(out.size()));
}

// The editor's own strip, item 0: its payload follows the stream's header.
void LZHUnpackEditorStrip(benchmark::State& state) {
    const auto packed = editorart::packedImage(0);
    const std::uint8_t* payload = packed.data() + kDIBHeaderLength;
    const std::size_t payloadLength = packed.size() - kDIBHeaderLength;
    const std::size_t length = std::size_t(payload[0]) | std::size_t(payload[1]) << 8 |
                               std::size_t(payload[2]) << 16 | std::size_t(payload[3]) << 24;
    Bytes out(length);
    for (auto _ : state) {
        TLZHStream codec;
        codec.Unpack(payload, payloadLength, out.data(), out.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(out.size()));
}

void RLEPackUnpack(benchmark::State& state) {
    const Bytes& raw = record(int(state.range(0)));
    Bytes packed(raw.size());
    Bytes back(raw.size());
    for (auto _ : state) {
        const std::size_t n = Shuffle4RLEPack(raw.data(), raw.size(), packed.data());
        if (n > 0) Shuffle4RLEUnpack(packed.data(), n, back.data(), back.size());
        benchmark::DoNotOptimize(back.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(raw.size()));
}

} // namespace

BENCHMARK(LZHPack)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(LZHUnpack)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(LZHUnpackEditorStrip)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(RLEPackUnpack)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
