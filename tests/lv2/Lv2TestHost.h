#pragma once
// A tiny LV2 host for the tests: loads the bundle's library through lv2_descriptor, maps URIs,
// owns every port's buffer and writes and reads the MIDI atom sequences. Beside it, the VST 2
// build loaded through the project's own host, driven the way a VST 2 host drives it, to
// compare with.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "../support/MidiEventList.h"
#include "../support/UserSettings.h"
#include "host/VstHost.h"
#include "lv2/Lv2Ports.h"

namespace lv2test {

constexpr int kParams = APlugin::kNumParams;

/// URIs numbered from 1 in the order first asked for.
class UridMap {
public:
    UridMap() : feature{LV2_URID__map, &map} {}
    LV2_URID id(const std::string& uri) {
        auto [it, added] = ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1));
        return it->second;
    }
    const LV2_Feature* const* features() { return list; }

    LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) {
                         return static_cast<UridMap*>(h)->id(uri);
                     }};
    LV2_Feature feature;

private:
    std::map<std::string, LV2_URID> ids;
    const LV2_Feature* list[2] = {&feature, nullptr};
};

/// A MIDI message at a frame of a block.
struct MidiAt {
    int64_t frame;
    std::vector<uint8_t> bytes;
    bool operator==(const MidiAt&) const = default;
    friend void PrintTo(const MidiAt& e, std::ostream* os) {
        *os << "frame " << e.frame << " bytes";
        for (uint8_t b : e.bytes)
            *os << ' ' << int(b);
    }
};

/// One instance with its port buffers; every port is connected unless a test says otherwise.
class Lv2Instance {
public:
    static constexpr uint32_t kSequenceBytes = 1 << 16;

    Lv2Instance(const LV2_Descriptor& d, UridMap& urids, double rate = 44100.0,
                const LV2_Feature* const* features = nullptr)
        : descriptor(d), urids(urids) {
        handle = d.instantiate(&d, rate, "/nowhere/", features ? features : urids.features());
        if (!handle) return;
        for (int i = 0; i < kParams; ++i)
            connect(lv2glue::FirstControl + i, &controls[i]);
        connect(lv2glue::MidiIn, midiInBuffer.data());
        connect(lv2glue::MidiOut, midiOutBuffer.data());
        clearMidiIn();
    }
    ~Lv2Instance() {
        if (handle) descriptor.cleanup(handle);
    }
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    bool valid() const { return handle != nullptr; }
    void connect(uint32_t port, void* data) { descriptor.connect_port(handle, port, data); }
    void activate() { descriptor.activate(handle); }
    void deactivate() { descriptor.deactivate(handle); }

    LV2_Atom_Sequence* midiInSequence() {
        return reinterpret_cast<LV2_Atom_Sequence*>(midiInBuffer.data());
    }
    LV2_Atom_Sequence* midiOutSequence() {
        return reinterpret_cast<LV2_Atom_Sequence*>(midiOutBuffer.data());
    }
    void clearMidiIn() {
        LV2_Atom_Sequence* seq = midiInSequence();
        seq->atom.type = urids.id(LV2_ATOM__Sequence);
        seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
        seq->body.unit = 0;
        seq->body.pad = 0;
    }
    /// Appends an event of any type; MIDI by default.
    void addEvent(int64_t frame, const std::vector<uint8_t>& bytes,
                  const char* type = LV2_MIDI__MidiEvent) {
        struct {
            LV2_Atom_Event header;
            uint8_t body[64];
        } ev{};
        ev.header.time.frames = frame;
        ev.header.body.type = urids.id(type);
        ev.header.body.size = static_cast<uint32_t>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), ev.body);
        ASSERT_NE(lv2_atom_sequence_append_event(midiInSequence(), kSequenceBytes, &ev.header),
                  nullptr);
    }

    /// One run over planar stereo buffers; the output sequence gets `outCapacity` bytes.
    void run(const float* inL, const float* inR, float* outL, float* outR, uint32_t frames,
             uint32_t outCapacity = kSequenceBytes - sizeof(LV2_Atom)) {
        connect(lv2glue::InL, const_cast<float*>(inL));
        connect(lv2glue::InR, const_cast<float*>(inR));
        connect(lv2glue::OutL, outL);
        connect(lv2glue::OutR, outR);
        midiOutSequence()->atom.size = outCapacity;
        descriptor.run(handle, frames);
    }

    /// The MIDI events of the last run's output sequence.
    std::vector<MidiAt> midiOut() {
        std::vector<MidiAt> events;
        const LV2_Atom_Sequence* seq = midiOutSequence();
        LV2_ATOM_SEQUENCE_FOREACH(seq, ev) {
            const auto* body = static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&ev->body));
            events.push_back({ev->time.frames, {body, body + ev->body.size}});
        }
        return events;
    }

    const LV2_State_Interface* state() const {
        return static_cast<const LV2_State_Interface*>(
            descriptor.extension_data(LV2_STATE__interface));
    }

    std::array<float, kParams> controls{};
    LV2_Handle handle = nullptr;

private:
    const LV2_Descriptor& descriptor;
    UridMap& urids;
    // 8-byte aligned, as atom buffers must be.
    std::vector<uint64_t> midiInBuffer = std::vector<uint64_t>(kSequenceBytes / 8);
    std::vector<uint64_t> midiOutBuffer = std::vector<uint64_t>(kSequenceBytes / 8);
};

/// The built bundle library and the built VST 2 binary, each copied into a fresh folder (both
/// keep their controller map beside themselves), with the user's settings folder pointed at
/// another fresh folder.
class Lv2Fixture : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        root = std::filesystem::temp_directory_path() /
               ("wadling-lv2-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(root / "lv2");
        std::filesystem::create_directories(root / "vst");
        testsupport::setUserSettingsFolder((root / "settings").string());
        const auto lv2Copy = root / "lv2" / "WadlingCompressor.so";
        const auto vstCopy = root / "vst" / "WadlingCompressor.so";
        std::filesystem::copy_file(WADLING_LV2_LIBRARY, lv2Copy);
        std::filesystem::copy_file(WADLING_PLUGIN_PATH, vstCopy);
        lv2Library = dlopen(lv2Copy.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lv2Library, nullptr) << dlerror();
        const auto entry =
            reinterpret_cast<LV2_Descriptor_Function>(dlsym(lv2Library, "lv2_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        vstLibrary = host::PluginLibrary::load(vstCopy.string());
    }
    void TearDown() override {
        vstLibrary.reset();
        if (lv2Library) dlclose(lv2Library);
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    std::unique_ptr<Lv2Instance> makeLv2(double rate = 44100.0) {
        auto instance = std::make_unique<Lv2Instance>(*descriptor, urids, rate);
        EXPECT_TRUE(instance->valid());
        return instance;
    }

    /// A VST 2 instance as a host starts one: rate, block size, processing on.
    std::unique_ptr<host::PluginInstance> makeVst(float rate = 44100.0f, int32_t block = 4096) {
        auto instance = std::make_unique<host::PluginInstance>(vstLibrary, vstHost);
        instance->dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        instance->dispatch(effSetBlockSize, 0, block);
        instance->dispatch(effMainsChanged, 0, 1);
        return instance;
    }

    std::filesystem::path root;
    void* lv2Library = nullptr;
    const LV2_Descriptor* descriptor = nullptr;
    UridMap urids;
    host::HostCallback vstHost;
    std::shared_ptr<host::PluginLibrary> vstLibrary;
};

} // namespace lv2test
