#pragma once
// One LV2 instance of the compressor: the host's ports and atom sequences turned into the calls
// a VST 2 host makes (setParameter, processEvents, processReplacing), so that both formats run
// the same plug-in object and give the same samples.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "lv2/Lv2MapReport.h"
#include "lv2/Lv2Ports.h"
#include "plugin/uPlugin.h"

namespace lv2glue {

class Lv2Plugin {
public:
    /// Null without the host's urid:map, or when the plug-in cannot be made.
    static std::unique_ptr<Lv2Plugin> create(double sampleRate, const LV2_Feature* const* features);
    /// An instance at the plug-in's default rate; create is the way in from a host.
    explicit Lv2Plugin(const LV2_URID_Map& map);
    ~Lv2Plugin();
    Lv2Plugin(const Lv2Plugin&) = delete;
    Lv2Plugin& operator=(const Lv2Plugin&) = delete;

    /// Unknown ports are ignored; null disconnects.
    void connectPort(uint32_t port, void* data);
    /// Resets the filters and the detector, as effMainsChanged does.
    void activate();
    void deactivate();
    void run(uint32_t frames);

    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    /// Leaves everything as it was unless the whole blob is good.
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    APlugin& plugin() { return *effect; }

private:
    static intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index,
                                             intptr_t value, void* ptr, float opt);
    void applyControls();
    void beginMidiOut();
    /// Whether midi_in is connected to a sequence the plug-in can read.
    bool midiInReadable() const;
    /// The editor's MIDI map requests of this block, before any of its MIDI is handled.
    void applyRequests();
    void queueMidiIn(uint32_t pieceStart, uint32_t pieceEnd, uint32_t frames);
    void passMidiOut(const VstEvents& events);
    /// The audio and MIDI of a block, in pieces the plug-in's buffers hold.
    void process(uint32_t frames);
    /// The controller map on notify when it changed since the last report or was asked for.
    void reportMap(uint32_t frames);

    struct Urids {
        LV2_URID atomSequence, atomChunk, midiEvent, stateKey;
        LV2_URID atomObject, atomInt, midiMapRequest, command, parameter;
    } urid;
    MapReportUrids reportUrid;
    std::unique_ptr<APlugin> effect;

    const float* audioIn[2] = {};
    float* audioOut[2] = {};
    const LV2_Atom_Sequence* midiIn = nullptr;
    LV2_Atom_Sequence* midiOut = nullptr;
    LV2_Atom_Sequence* notify = nullptr;
    MapReport lastReport{};
    bool reportWanted = false;
    std::array<const float*, APlugin::kNumParams> controls{};
    /// The port values last handed to the plug-in: a port that keeps its value leaves what a
    /// controller or MIDI learn set since. Atomic: a host may save state while run writes them.
    std::array<std::atomic<float>, APlugin::kNumParams> lastApplied{};

    // The event list handed to processEvents, made once: run allocates nothing.
    static constexpr int32_t kMaxQueued = APlugin::kMidiPoolSize - 1;
    std::unique_ptr<VstMidiEvent[]> midiRecords;
    std::unique_ptr<std::byte[]> midiListStorage;
    VstEvents* midiList = nullptr;

    /// The longest piece of a block handed to the plug-in at once: what its buffers hold.
    uint32_t pieceLimit = 512;
    uint32_t midiOutCapacity = 0;
    uint32_t pieceStart = 0;
    uint32_t pieceFrames = 0;
    int64_t lastOutFrame = 0;
};

} // namespace lv2glue
