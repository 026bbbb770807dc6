// run allocates nothing, whatever the block size and the MIDI traffic: a program of its own,
// because it replaces the global allocator (the bundle's library allocates through it too).

#include "../support/CountingAllocator.h"
#include "Lv2Render.h"

namespace lv2test {
namespace {

using Lv2AllocationTest = Lv2Fixture;

TEST_F(Lv2AllocationTest, RunAllocatesNothing) {
    // The counter sees the library's allocations: instantiating allocates.
    urids.id(LV2_ATOM__Sequence); // the test's map allocates as it learns a URI
    const long beforeInstance = wadling_test::allocationCount.load();
    LV2_Handle probe = descriptor->instantiate(descriptor, 44100.0, "/", urids.features());
    ASSERT_GT(wadling_test::allocationCount.load() - beforeInstance, 0);
    descriptor->cleanup(probe);
    auto lv2 = makeLv2();
    lv2->activate();
    StereoSignal in = dynamicTestSignal(30000);
    StereoSignal out(30000);
    long during = 0;
    for (uint32_t block : {1u, 7u, 64u, 4096u, 8192u, 30000u}) {
        lv2->clearMidiIn();
        for (uint32_t f = 0; f < block; f += 1 + block / 40) {
            lv2->addEvent(f,
                          {0xB0, static_cast<uint8_t>(20 + f % 12), static_cast<uint8_t>(f % 128)});
            lv2->addEvent(f, {0x90, 64, 100});
        }
        lv2->controls[param::Squeeze] = static_cast<float>(block % 10) / 10.0f;
        const long before = wadling_test::allocationCount.load();
        lv2->run(in.left.data(), in.right.data(), out.left.data(), out.right.data(), block);
        during += wadling_test::allocationCount.load() - before;
    }
    EXPECT_EQ(during, 0);
    EXPECT_FALSE(lv2->midiOut().empty()); // the runs passed MIDI on
}

} // namespace
} // namespace lv2test
