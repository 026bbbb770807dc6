#pragma once
// The same material through both builds, block by block, with the same MIDI at the same
// frames: what the comparisons in the LV2 tests are made of.

#include <cstring>
#include <random>

#include "../plugin/PluginTestSignals.h"
#include "Lv2TestHost.h"

namespace lv2test {

struct Scheduled {
    int64_t frame;
    std::vector<uint8_t> bytes;
};

struct Rendered {
    std::vector<float> left, right;
    /// Channel messages passed on, with their frame in the whole render (the VST 2 build has
    /// no frame for them: -1 there).
    std::vector<MidiAt> midi;

    bool sameSamples(const Rendered& other) const {
        return left.size() == other.left.size() && right.size() == other.right.size() &&
               std::memcmp(left.data(), other.left.data(), left.size() * sizeof(float)) == 0 &&
               std::memcmp(right.data(), other.right.data(), right.size() * sizeof(float)) == 0;
    }
};

/// Controllers on the default map (CC 20..26 move parameters 0..6) between notes, a program
/// change, pitch bend and a clock byte, at random frames, several sometimes on the same frame.
inline std::vector<Scheduled> midiTraffic(size_t frames, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<Scheduled> events;
    for (int64_t frame = 0; frame < static_cast<int64_t>(frames);) {
        const auto value = static_cast<uint8_t>(random() % 128);
        switch (random() % 6) {
        case 0:
        case 1:
        case 2:
            events.push_back({frame, {0xB0, static_cast<uint8_t>(20 + random() % 6), value}});
            break;
        case 3:
            events.push_back({frame, {0x91, 60, value}});
            break;
        case 4:
            events.push_back({frame, {0xC2, static_cast<uint8_t>(value)}});
            break;
        default:
            events.push_back({frame, {0xF8}});
            events.push_back({frame, {0xE0, 0, value}});
            break;
        }
        frame += random() % 3 == 0 ? 0 : 1 + random() % 1500;
    }
    return events;
}

/// Frames of the channel messages of `events`: the plug-in passes on each of them, in order.
inline std::vector<int64_t> passedOnFrames(const std::vector<Scheduled>& events) {
    std::vector<int64_t> frames;
    for (const Scheduled& e : events)
        if (e.bytes[0] >= 0x80 && e.bytes[0] < 0xF0) frames.push_back(e.frame);
    return frames;
}

/// Bytes of a passed-on VST 2 record: two for program change and channel pressure.
inline std::vector<uint8_t> messageBytes(const VstMidiEvent& e) {
    const auto status = static_cast<uint8_t>(e.midiData[0]);
    const size_t size = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 2 : 3;
    return {reinterpret_cast<const uint8_t*>(e.midiData),
            reinterpret_cast<const uint8_t*>(e.midiData) + size};
}

inline Rendered renderVst(host::PluginInstance& vst, host::HostCallback& callback, StereoSignal& in,
                          uint32_t block, const std::vector<Scheduled>& events = {}) {
    Rendered out;
    out.left.resize(in.size());
    out.right.resize(in.size());
    callback.clearCalls();
    size_t next = 0;
    for (size_t start = 0; start < in.size(); start += block) {
        const auto frames = static_cast<int32_t>(std::min<size_t>(block, in.size() - start));
        MidiEventList list;
        for (; next < events.size() && events[next].frame < int64_t(start) + frames; ++next) {
            const auto& b = events[next].bytes;
            list.midi(static_cast<int32_t>(events[next].frame - int64_t(start)), b[0],
                      b.size() > 1 ? b[1] : 0, b.size() > 2 ? b[2] : 0);
        }
        if (next > 0) vst.dispatch(effProcessEvents, 0, 0, list.get());
        float* inputs[2] = {in.left.data() + start, in.right.data() + start};
        float* outputs[2] = {out.left.data() + start, out.right.data() + start};
        vst.processReplacing(inputs, outputs, frames);
    }
    for (const host::CallRecord& call : callback.calls(audioMasterProcessEvents))
        for (const VstMidiEvent& e : call.midiEvents)
            out.midi.push_back({-1, messageBytes(e)});
    return out;
}

inline Rendered renderLv2(Lv2Instance& lv2, const StereoSignal& in, uint32_t block,
                          const std::vector<Scheduled>& events = {}) {
    Rendered out;
    out.left.resize(in.size());
    out.right.resize(in.size());
    size_t next = 0;
    for (size_t start = 0; start < in.size(); start += block) {
        const auto frames = static_cast<uint32_t>(std::min<size_t>(block, in.size() - start));
        lv2.clearMidiIn();
        for (; next < events.size() && events[next].frame < int64_t(start) + frames; ++next)
            lv2.addEvent(events[next].frame - int64_t(start), events[next].bytes);
        lv2.run(in.left.data() + start, in.right.data() + start, out.left.data() + start,
                out.right.data() + start, frames);
        for (MidiAt e : lv2.midiOut()) {
            e.frame += int64_t(start);
            out.midi.push_back(e);
        }
    }
    return out;
}

} // namespace lv2test
