// libFuzzer target: bytes an LV2 host hands over, by the first byte's choice:
//   0: a midi_in sequence body (after its atom header) through one block of run, with the
//      notify port connected; the second byte chooses the block length
//   1: a state blob through decodeState
//   2: a map report through the editor's reader
// URIs are numbered in a fixed order first, so that inputs can name the types they need:
// 1 atom:Sequence, 2 atom:Object, 3 atom:Int, 4 midi:MidiEvent, 5 the request type, 6 its
// command, 7 its parameter, 8 atom:Vector, 9 the report type, 10 its map, 11 its learning.

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>

#include "lv2/Lv2MapReport.h"
#include "lv2/Lv2Plugin.h"
#include "lv2/Lv2State.h"

namespace {

struct Urids {
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map map{
        this, [](LV2_URID_Map_Handle h, const char* uri) {
            auto& ids = static_cast<Urids*>(h)->ids;
            return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
        }};
    Urids() {
        for (const char* uri :
             {LV2_ATOM__Sequence, LV2_ATOM__Object, LV2_ATOM__Int, LV2_MIDI__MidiEvent,
              lv2glue::kMidiMapRequestUri, lv2glue::kCommandUri, lv2glue::kParameterUri,
              LV2_ATOM__Vector, lv2glue::kMidiMapStateUri, lv2glue::kMapUri, lv2glue::kLearningUri})
            map.map(map.handle, uri);
    }
};

Urids& urids() {
    static Urids u;
    return u;
}

lv2glue::Lv2Plugin& instance() {
    static lv2glue::Lv2Plugin* p = [] {
        const LV2_Feature mapFeature{LV2_URID__map, &urids().map};
        const LV2_Feature* features[] = {&mapFeature, nullptr};
        auto made = lv2glue::Lv2Plugin::create(44100.0, features);
        made->activate();
        return made.release();
    }();
    return *p;
}

void runBlock(const uint8_t* data, size_t size) {
    if (size < 1) return;
    const uint32_t frames = data[0] * 4u;
    ++data;
    --size;
    // The sequence exactly as long as its size says, so that a read past it is caught.
    std::vector<uint64_t> words((sizeof(LV2_Atom) + size + 7) / 8);
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(words.data());
    sequence->atom = {static_cast<uint32_t>(size), 1}; // atom:Sequence
    std::memcpy(&sequence->body, data, size);
    std::vector<uint64_t> notifyWords(1024);
    auto* notify = reinterpret_cast<LV2_Atom_Sequence*>(notifyWords.data());
    notify->atom.size = notifyWords.size() * 8 - sizeof(LV2_Atom);
    std::vector<float> inL(frames, 0.5f), inR(frames, -0.25f), outL(frames), outR(frames);
    std::vector<uint64_t> outWords(512);
    auto* midiOut = reinterpret_cast<LV2_Atom_Sequence*>(outWords.data());
    midiOut->atom.size = outWords.size() * 8 - sizeof(LV2_Atom);

    lv2glue::Lv2Plugin& p = instance();
    p.connectPort(lv2glue::InL, inL.data());
    p.connectPort(lv2glue::InR, inR.data());
    p.connectPort(lv2glue::OutL, outL.data());
    p.connectPort(lv2glue::OutR, outR.data());
    p.connectPort(lv2glue::MidiIn, sequence);
    p.connectPort(lv2glue::MidiOut, midiOut);
    p.connectPort(lv2glue::Notify, notify);
    p.run(frames);
    p.connectPort(lv2glue::MidiIn, nullptr);
    const lv2glue::MapReportUrids reportUrid(urids().map);
    if (notify->atom.size > sizeof(LV2_Atom_Sequence_Body)) {
        const auto* event = lv2_atom_sequence_begin(&notify->body);
        if (!lv2glue::readMapReport(&event->body, lv2_atom_total_size(&event->body), reportUrid))
            __builtin_trap(); // the instance's own report must read back
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t choice = data[0] % 3;
    ++data;
    --size;
    if (choice == 0) {
        runBlock(data, size);
    } else if (choice == 1) {
        (void)lv2glue::decodeState(data, size);
    } else {
        std::vector<uint64_t> words((size + 7) / 8 + 1);
        std::memcpy(words.data(), data, size);
        (void)lv2glue::readMapReport(words.data(), static_cast<uint32_t>(size),
                                     lv2glue::MapReportUrids(urids().map));
    }
    return 0;
}
