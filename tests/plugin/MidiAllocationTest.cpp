// The MIDI event path runs on the audio thread: queueing, dispatch, controller handling and the
// pass-through to the host allocate nothing. Counted by replacing the global allocator of this
// test program.

#include "CountingAllocator.h"
#include "MidiEventList.h"
#include "plugin/uPlugin.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

long passedOn = 0;

intptr_t VSTCALLBACK countingHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    if (opcode == audioMasterProcessEvents) ++passedOn;
    return 0;
}

} // namespace

TEST(MidiEventPath, AllocatesNothing) {
    APlugin plugin(countingHost);
    plugin.setDefaultMidiMap();
    std::vector<float> l(512, 0.25f), r(512, -0.25f);
    float* io[] = {l.data(), r.data()};
    plugin.processReplacing(io, io, 512);

    MidiEventList events;
    for (int e = 0; e < 64; ++e)
        events.cc(e * 8, static_cast<uint8_t>(20 + e % 12), static_cast<uint8_t>(e))
            .midi(e * 8 + 3, 0x90, 60, 0);
    events.midi(600, 0xE0, 1, 2); // carried over to the next block
    VstEvents* list = events.get();

    const long before = wadling_test::allocationCount.load();
    plugin.processEvents(list);
    plugin.processReplacing(io, io, 512);
    plugin.processReplacing(io, io, 512);
    EXPECT_EQ(wadling_test::allocationCount.load() - before, 0);
    EXPECT_EQ(passedOn, 129);
}
