// The state blob: what a controller set survives a save and a restore, ports that did not move
// do not undo it, and a damaged blob is refused with everything left as it was.

#include <atomic>
#include <bit>
#include <thread>

#include "Lv2Render.h"
#include "lv2/Lv2State.h"

namespace lv2test {
namespace {

constexpr size_t kFrames = 3000;

/// What a host keeps between save and restore: one value per key.
struct StateStore {
    struct Value {
        std::vector<uint8_t> bytes;
        uint32_t type = 0;
    };
    std::map<uint32_t, Value> values;

    static LV2_State_Status store(LV2_State_Handle h, uint32_t key, const void* value, size_t size,
                                  uint32_t type, uint32_t /*flags*/) {
        const auto* bytes = static_cast<const uint8_t*>(value);
        static_cast<StateStore*>(h)->values[key] = {{bytes, bytes + size}, type};
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type,
                                uint32_t* flags) {
        auto& values = static_cast<StateStore*>(h)->values;
        const auto it = values.find(key);
        if (it == values.end()) return nullptr;
        *size = it->second.bytes.size();
        *type = it->second.type;
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return it->second.bytes.data();
    }
};

class Lv2StateTest : public Lv2Fixture {
protected:
    LV2_State_Status save(Lv2Instance& lv2, StateStore& store) {
        return lv2.state()->save(lv2.handle, &StateStore::store, &store, 0, urids.features());
    }
    LV2_State_Status restore(Lv2Instance& lv2, StateStore& store) {
        return lv2.state()->restore(lv2.handle, &StateStore::retrieve, &store, 0, urids.features());
    }
    /// An instance with ports away from the defaults, whose Squeeze and Hi band controllers
    /// then moved the parameters away from the ports.
    std::unique_ptr<Lv2Instance> played(StereoSignal& in) {
        auto lv2 = makeLv2();
        lv2->controls = {0.2f, 0.7f, 0.4f, 0.35f, 0.9f, 0.6f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
        lv2->activate();
        renderLv2(*lv2, in, 128, {{40, {0xB0, 23, 120}}, {900, {0xB0, 22, 5}}});
        return lv2;
    }
    uint32_t stateKey() { return urids.id(lv2glue::kStateKeyUri); }
};

TEST_F(Lv2StateTest, ControllerValuesSurviveSaveAndRestoreWithTheSamePorts) {
    StereoSignal in = dynamicTestSignal(kFrames);
    auto original = played(in);
    StateStore store;
    ASSERT_EQ(save(*original, store), LV2_STATE_SUCCESS);
    ASSERT_EQ(store.values.count(stateKey()), 1u);
    EXPECT_EQ(store.values[stateKey()].type, urids.id(LV2_ATOM__Chunk));

    auto copy = makeLv2();
    copy->controls = original->controls;
    ASSERT_EQ(restore(*copy, store), LV2_STATE_SUCCESS);
    copy->activate();
    original->deactivate();
    original->activate();
    StereoSignal later = dynamicTestSignal(kFrames, 9);
    EXPECT_TRUE(renderLv2(*copy, later, 256).sameSamples(renderLv2(*original, later, 256)));

    // Without the state the ports alone give other samples: the controllers' values mattered.
    auto second = makeLv2();
    second->controls = original->controls;
    ASSERT_EQ(restore(*second, store), LV2_STATE_SUCCESS);
    second->activate();
    auto portsOnly = makeLv2();
    portsOnly->controls = original->controls;
    portsOnly->activate();
    EXPECT_FALSE(renderLv2(*portsOnly, later, 256).sameSamples(renderLv2(*second, later, 256)));
}

TEST_F(Lv2StateTest, StateSavedTwiceIsTheSameBlob) {
    StereoSignal in = dynamicTestSignal(kFrames);
    auto original = played(in);
    StateStore first, second;
    ASSERT_EQ(save(*original, first), LV2_STATE_SUCCESS);
    auto copy = makeLv2();
    ASSERT_EQ(restore(*copy, first), LV2_STATE_SUCCESS);
    ASSERT_EQ(save(*copy, second), LV2_STATE_SUCCESS);
    EXPECT_EQ(first.values[stateKey()].bytes, second.values[stateKey()].bytes);
}

TEST_F(Lv2StateTest, ADamagedBlobIsRefusedAndTheDefaultsStay) {
    StereoSignal in = dynamicTestSignal(kFrames);
    auto original = played(in);
    StateStore good;
    ASSERT_EQ(save(*original, good), LV2_STATE_SUCCESS);
    const std::vector<uint8_t> blob = good.values[stateKey()].bytes;
    ASSERT_EQ(blob.size(), lv2glue::kStateSize);

    const auto damaged = [&](auto change) {
        StateStore store = good;
        change(store.values[stateKey()]);
        return store;
    };
    const auto setWord = [](std::vector<uint8_t>& b, size_t at, uint32_t word) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<uint8_t>(word >> (8 * i));
    };
    const float nan = std::nanf("");
    std::vector<std::pair<std::string, StateStore>> cases = {
        {"empty", damaged([](auto& v) { v.bytes.clear(); })},
        {"cut short", damaged([](auto& v) { v.bytes.pop_back(); })},
        {"too long", damaged([](auto& v) { v.bytes.push_back(0); })},
        {"magic", damaged([](auto& v) { v.bytes[0] ^= 0x20; })},
        {"newer version",
         damaged([&](auto& v) { setWord(v.bytes, 4, lv2glue::kStateVersion + 1); })},
        {"program 12", damaged([&](auto& v) { setWord(v.bytes, 8, 12); })},
        {"program -1", damaged([&](auto& v) { setWord(v.bytes, 8, 0xFFFFFFFF); })},
        {"value 2", damaged([&](auto& v) { setWord(v.bytes, 12, std::bit_cast<uint32_t>(2.0f)); })},
        {"value NaN",
         damaged([&](auto& v) { setWord(v.bytes, 16, std::bit_cast<uint32_t>(nan)); })},
        {"port NaN", damaged([&](auto& v) { setWord(v.bytes, 60, std::bit_cast<uint32_t>(nan)); })},
        {"type", damaged([&](auto& v) { v.type = urids.id(LV2_ATOM__String); })},
        {"missing", StateStore{}},
    };
    StereoSignal later = dynamicTestSignal(kFrames, 5);
    auto fresh = makeLv2();
    fresh->activate();
    const Rendered defaults = renderLv2(*fresh, later, 256);
    for (auto& [name, store] : cases) {
        SCOPED_TRACE(name);
        auto copy = makeLv2();
        EXPECT_NE(restore(*copy, store), LV2_STATE_SUCCESS);
        copy->activate();
        EXPECT_TRUE(renderLv2(*copy, later, 256).sameSamples(defaults));
    }
}

} // namespace
} // namespace lv2test

namespace lv2test {
namespace {

// The controller map is the VST 2 build's file: beside the bundle's library, else the user's.
TEST_F(Lv2StateTest, TheControllerMapGoesBesideTheBundlesLibraryOrToTheUsersCopy) {
    const auto beside = root / "lv2" / "RMXQMIDI.txt";
    const auto userCopy = root / "settings" / "Reedmoor" / "RMXQMIDI.txt";
    makeLv2().reset();
    EXPECT_TRUE(std::filesystem::is_regular_file(beside));
    EXPECT_FALSE(std::filesystem::exists(userCopy));

    // A folder in the file's place: the bundle's folder refuses the map.
    std::filesystem::remove(beside);
    std::filesystem::create_directory(beside);
    makeLv2().reset();
    EXPECT_TRUE(std::filesystem::is_regular_file(userCopy));
}

} // namespace
} // namespace lv2test

namespace lv2test {
namespace {

// LV2 lets a host save while another thread runs the instance (ThreadSanitizer watches this).
TEST_F(Lv2StateTest, SavingWhileRunningGivesWholeBlobs) {
    auto lv2 = makeLv2();
    lv2->activate();
    StereoSignal in = dynamicTestSignal(256);
    StereoSignal out(256);
    std::atomic<bool> done{false};
    std::thread audio([&] {
        for (int block = 0; block < 300; ++block) {
            lv2->controls[param::Squeeze] = static_cast<float>(block % 7) / 7.0f;
            lv2->run(in.left.data(), in.right.data(), out.left.data(), out.right.data(), 256);
        }
        done = true;
    });
    int saves = 0;
    do {
        StateStore store;
        EXPECT_EQ(save(*lv2, store), LV2_STATE_SUCCESS);
        const auto& blob = store.values[stateKey()].bytes;
        EXPECT_TRUE(lv2glue::decodeState(blob.data(), blob.size()).has_value());
        ++saves;
    } while (!done);
    audio.join();
    EXPECT_GT(saves, 0);
}

} // namespace
} // namespace lv2test
