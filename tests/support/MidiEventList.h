#pragma once
// An event list as a host builds it for effProcessEvents: any number of events, each a
// 32-byte record, behind a VstEvents header whose pointer array runs past its declared two.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "vst/DAEffectX.h"

class MidiEventList {
public:
    /// A MIDI event with status and data bytes at `deltaFrames`.
    MidiEventList& midi(int32_t deltaFrames, uint8_t status, uint8_t data1 = 0, uint8_t data2 = 0) {
        VstMidiEvent e{};
        e.type = kVstMidiType;
        e.byteSize = sizeof(VstMidiEvent);
        e.deltaFrames = deltaFrames;
        e.midiData[0] = static_cast<char>(status);
        e.midiData[1] = static_cast<char>(data1);
        e.midiData[2] = static_cast<char>(data2);
        return add(e);
    }
    /// A control change on channel 0.
    MidiEventList& cc(int32_t deltaFrames, uint8_t controller, uint8_t value) {
        return midi(deltaFrames, 0xB0, controller, value);
    }
    /// Any record, for events of other types and odd fields.
    MidiEventList& add(const VstMidiEvent& event) {
        records.push_back(event);
        return *this;
    }
    /// A null entry in the pointer array.
    MidiEventList& hole() {
        holes.push_back(records.size());
        records.push_back(VstMidiEvent{});
        return *this;
    }

    /// The list, valid until the next change.
    VstEvents* get() {
        const size_t n = records.size();
        const size_t bytes = sizeof(VstEvents) + (n > 2 ? n - 2 : 0) * sizeof(VstEvent*);
        storage.assign((bytes + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t), {});
        auto* list = reinterpret_cast<VstEvents*>(storage.data());
        list->numEvents = static_cast<int32_t>(n);
        VstEvent** pointers = list->events;
        for (size_t i = 0; i < n; ++i)
            pointers[i] = reinterpret_cast<VstEvent*>(&records[i]);
        for (size_t i : holes)
            pointers[i] = nullptr;
        return list;
    }

private:
    std::deque<VstMidiEvent> records; // stable addresses
    std::vector<size_t> holes;
    std::vector<std::max_align_t> storage; // the header and its pointers, suitably aligned
};
