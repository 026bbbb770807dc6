// libFuzzer target: MIDI event lists from a host, queued by processEvents and dispatched by the
// audio loop. Every 8 bytes make one event: type selector, position (2 bytes), three MIDI
// bytes, and two bytes choosing the block length.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "plugin/uPlugin.h"

namespace {

intptr_t VSTCALLBACK quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

APlugin& plugin() {
    static APlugin* instance = [] {
        auto* p = new APlugin(quietHost);
        p->resume();
        return p;
    }();
    return *instance;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kRecord = 8;
    const size_t count = size / kRecord;
    std::vector<VstMidiEvent> events(count);
    int32_t frames = 64;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* r = data + i * kRecord;
        VstMidiEvent& e = events[i];
        e.type = r[0] < 240 ? kVstMidiType : int32_t(r[0]) - 240;
        e.byteSize = sizeof(VstMidiEvent);
        e.deltaFrames = int16_t(uint16_t(r[1] | r[2] << 8));
        e.midiData[0] = char(r[3]);
        e.midiData[1] = char(r[4]);
        e.midiData[2] = char(r[5]);
        frames = 1 + (r[6] | r[7] << 8) % 2048;
    }
    std::vector<intptr_t> storage(2 + count + 2, 0);
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = int32_t(count);
    VstEvent** slots = list->events; // hosts allocate as many slots as events
    for (size_t i = 0; i < count; ++i)
        slots[i] = reinterpret_cast<VstEvent*>(&events[i]);

    APlugin& p = plugin();
    p.processEvents(list);
    std::vector<float> l(size_t(frames), 0.25f), r(size_t(frames), -0.25f);
    float* channels[2] = {l.data(), r.data()};
    for (int block = 0; block < 2; ++block) {
        p.processReplacing(channels, channels, frames);
        for (int32_t i = 0; i < frames; ++i)
            if (!std::isfinite(l[size_t(i)]) || !std::isfinite(r[size_t(i)])) std::abort();
    }
    for (int32_t i = 0; i < 12; ++i) {
        const float v = p.getParameter(i);
        if (!(v >= 0.0f && v <= 1.0f)) std::abort();
    }
    return 0;
}
