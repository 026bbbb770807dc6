// The MIDI event path runs on the audio thread: queueing, dispatch, controller handling and the
// pass-through to the host allocate nothing. Counted by replacing the global allocator of this
// test program.

#include "MidiEventList.h"
#include "plugin/uPlugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// GCC takes the free() inside a replaced operator delete for a mismatch with operator new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept {
    std::free(p);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
void operator delete(void* p, std::size_t) noexcept {
    ::operator delete(p);
}

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

    const long before = allocations.load();
    plugin.processEvents(list);
    plugin.processReplacing(io, io, 512);
    plugin.processReplacing(io, io, 512);
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_EQ(passedOn, 129);
}
