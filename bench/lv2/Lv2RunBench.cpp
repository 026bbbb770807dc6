// The cost of the LV2 bundle's run beside the VST 2 binary's processReplacing on the demo
// material at 44.1 kHz, program 0, for blocks of 32, 64, 512 and 4096 frames: nanoseconds per
// stereo frame. The two are registered alternately, so that a busy machine slows both alike;
// the glue's own work (ports, the empty MIDI sequences) is the difference.

#include "DemoMaterial.h"
#include "PluginRenderer.h"
#include "lv2/Lv2Ports.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;

const render::DemoMaterial& demo() {
    static const render::DemoMaterial m = render::synthesiseDemo();
    return m;
}

/// The blocks of the demo material, prepared outside the timed loops.
struct Blocks {
    explicit Blocks(int block) {
        const auto& m = demo();
        const std::size_t count = m.left.size() / std::size_t(block);
        for (std::size_t b = 0; b < count; ++b) {
            left.emplace_back(m.left.begin() + long(b * block),
                              m.left.begin() + long((b + 1) * block));
            right.emplace_back(m.right.begin() + long(b * block),
                               m.right.begin() + long((b + 1) * block));
        }
    }
    std::vector<std::vector<float>> left, right;
};

void perFrame(benchmark::State& state, int block) {
    const double frames = double(state.iterations()) * block;
    state.counters["per_frame"] =
        benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void Vst(benchmark::State& state) {
    const int block = int(state.range(0));
    Blocks blocks(block);
    render::PluginRenderer plugin(WADLING_PLUGIN_PATH);
    plugin.start(float(kRate), block);
    const auto frames = static_cast<std::size_t>(block);
    std::vector<float> outL(frames), outR(frames);
    std::size_t b = 0;
    for (auto _ : state) {
        plugin.process(blocks.left[b].data(), blocks.right[b].data(), outL.data(), outR.data(),
                       block);
        benchmark::DoNotOptimize(outL.data());
        b = (b + 1) % blocks.left.size();
    }
    perFrame(state, block);
    plugin.stop();
}

/// A host's minimum: URIs mapped, every port connected, empty MIDI sequences each block.
struct Lv2Host {
    Lv2Host() {
        library = dlopen(WADLING_LV2_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            std::fprintf(stderr, "%s\n", dlerror());
            std::exit(1);
        }
        const auto entry =
            reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
        descriptor = entry != nullptr ? entry(0) : nullptr;
        if (descriptor == nullptr) std::exit(1);
    }
    ~Lv2Host() { dlclose(library); }
    LV2_URID id(const char* uri) {
        return ids.emplace(uri, LV2_URID(ids.size() + 1)).first->second;
    }

    void* library = nullptr;
    const LV2_Descriptor* descriptor = nullptr;
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) {
                         return static_cast<Lv2Host*>(h)->id(uri);
                     }};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[2] = {&mapFeature, nullptr};
};

void Lv2(benchmark::State& state) {
    const int block = int(state.range(0));
    Blocks blocks(block);
    Lv2Host host;
    LV2_Handle handle = host.descriptor->instantiate(host.descriptor, kRate, "", host.features);
    if (handle == nullptr) {
        state.SkipWithError("the bundle refused to instantiate");
        return;
    }
    const auto frames = static_cast<std::size_t>(block);
    std::vector<float> controls(APlugin::kNumParams), outL(frames), outR(frames);
    APlugin defaults(nullptr);
    for (int i = 0; i < APlugin::kNumParams; ++i) {
        controls[std::size_t(i)] = defaults.getParameter(i);
        host.descriptor->connect_port(handle, lv2glue::FirstControl + uint32_t(i),
                                      &controls[std::size_t(i)]);
    }
    std::vector<uint64_t> in(512), out(512);
    auto* seqIn = reinterpret_cast<LV2_Atom_Sequence*>(in.data());
    auto* seqOut = reinterpret_cast<LV2_Atom_Sequence*>(out.data());
    host.descriptor->connect_port(handle, lv2glue::MidiIn, seqIn);
    host.descriptor->connect_port(handle, lv2glue::MidiOut, seqOut);
    host.descriptor->connect_port(handle, lv2glue::OutL, outL.data());
    host.descriptor->connect_port(handle, lv2glue::OutR, outR.data());
    host.descriptor->activate(handle);
    const LV2_URID sequence = host.id(LV2_ATOM__Sequence);
    std::size_t b = 0;
    for (auto _ : state) {
        seqIn->atom = {sizeof(LV2_Atom_Sequence_Body), sequence};
        seqIn->body = {0, 0};
        seqOut->atom = {uint32_t(out.size() * 8 - sizeof(LV2_Atom)), 0};
        host.descriptor->connect_port(handle, lv2glue::InL, blocks.left[b].data());
        host.descriptor->connect_port(handle, lv2glue::InR, blocks.right[b].data());
        host.descriptor->run(handle, uint32_t(block));
        benchmark::DoNotOptimize(outL.data());
        b = (b + 1) % blocks.left.size();
    }
    perFrame(state, block);
    host.descriptor->deactivate(handle);
    host.descriptor->cleanup(handle);
}

} // namespace

BENCHMARK(Vst)->Arg(32);
BENCHMARK(Lv2)->Arg(32);
BENCHMARK(Vst)->Arg(64);
BENCHMARK(Lv2)->Arg(64);
BENCHMARK(Vst)->Arg(512);
BENCHMARK(Lv2)->Arg(512);
BENCHMARK(Vst)->Arg(4096);
BENCHMARK(Lv2)->Arg(4096);

BENCHMARK_MAIN();
