// The editor's MIDI map requests as the instance receives them from a UI in another process:
// atom objects on midi_in, applied before the block's MIDI, damaged ones ignored; and the map's
// reports that go back to the UI on notify.

#include "Lv2TestHost.h"
#include "lv2/Lv2MapReport.h"
#include "lv2/Lv2State.h"

namespace lv2test {
namespace {

class Lv2RequestTest : public Lv2Fixture {
protected:
    /// The body of a request object, as the UI forges it; `size` cuts it short.
    std::vector<uint8_t> request(int32_t command, int32_t parameter, const char* otype = nullptr,
                                 size_t size = 56) {
        const uint32_t intType = urids.id(LV2_ATOM__Int);
        const uint32_t words[14] = {0,
                                    urids.id(otype ? otype : lv2glue::kMidiMapRequestUri),
                                    urids.id(lv2glue::kCommandUri),
                                    0,
                                    sizeof(int32_t),
                                    intType,
                                    static_cast<uint32_t>(command),
                                    0,
                                    urids.id(lv2glue::kParameterUri),
                                    0,
                                    sizeof(int32_t),
                                    intType,
                                    static_cast<uint32_t>(parameter),
                                    0};
        const auto* first = reinterpret_cast<const uint8_t*>(words);
        std::vector<uint8_t> bytes(first, first + std::min(size, sizeof words));
        return bytes;
    }
    /// An instance that ran one empty block: its control ports applied, its values settled.
    std::unique_ptr<Lv2Instance> running() {
        auto lv2 = makeLv2();
        lv2->activate();
        run(*lv2);
        return lv2;
    }
    void addRequest(Lv2Instance& lv2, const std::vector<uint8_t>& body) {
        lv2.addEvent(0, body, LV2_ATOM__Object);
    }
    /// Runs one short block with the events queued, then clears them.
    void run(Lv2Instance& lv2) {
        std::vector<float> in(64, 0.0f), outL(64), outR(64);
        lv2.run(in.data(), in.data(), outL.data(), outR.data(), 64);
        lv2.clearMidiIn();
    }
    /// The parameter values the instance holds, from its state blob.
    std::array<float, kParams> values(Lv2Instance& lv2) {
        std::vector<uint8_t> blob;
        const auto store = [](LV2_State_Handle h, uint32_t, const void* value, size_t size,
                              uint32_t, uint32_t) {
            auto* bytes = static_cast<const uint8_t*>(value);
            static_cast<std::vector<uint8_t>*>(h)->assign(bytes, bytes + size);
            return LV2_STATE_SUCCESS;
        };
        EXPECT_EQ(lv2.state()->save(lv2.handle, store, &blob, 0, urids.features()),
                  LV2_STATE_SUCCESS);
        const auto state = lv2glue::decodeState(blob.data(), blob.size());
        EXPECT_TRUE(state.has_value());
        return state ? state->values : std::array<float, kParams>{};
    }
    /// Runs one block with notify connected to a buffer of capacity bytes and answers the
    /// reports found there.
    std::vector<lv2glue::MapReport> reportsOfBlock(Lv2Instance& lv2, uint32_t capacity) {
        constexpr uint8_t kUntouched = 0xA5;
        std::vector<uint64_t> words(capacity / 8 + 8);
        auto* bytes = reinterpret_cast<uint8_t*>(words.data());
        std::fill_n(bytes, words.size() * 8, kUntouched);
        auto* notify = reinterpret_cast<LV2_Atom_Sequence*>(words.data());
        notify->atom.size = capacity;
        lv2.connect(lv2glue::Notify, notify);
        run(lv2);
        lv2.connect(lv2glue::Notify, nullptr);
        for (size_t i = sizeof(LV2_Atom) + capacity; i < words.size() * 8; ++i)
            EXPECT_EQ(bytes[i], kUntouched) << "written past the buffer at " << i;
        std::vector<lv2glue::MapReport> reports;
        if (capacity < sizeof(LV2_Atom_Sequence_Body)) return reports;
        EXPECT_LE(notify->atom.size, capacity) << "a sequence longer than its buffer";
        const lv2glue::MapReportUrids reportUrid(urids.map);
        LV2_ATOM_SEQUENCE_FOREACH(notify, ev) {
            const auto report =
                lv2glue::readMapReport(&ev->body, lv2_atom_total_size(&ev->body), reportUrid);
            EXPECT_TRUE(report.has_value()) << "only reports go to notify";
            if (report) reports.push_back(*report);
        }
        return reports;
    }
    /// A controller message: status 0xB0, controller, value.
    static std::vector<uint8_t> cc(uint8_t controller, uint8_t value) {
        return {0xB0, controller, value};
    }
};

TEST_F(Lv2RequestTest, ALearnRequestGivesTheNextControllerToItsParameter) {
    auto lv2 = running();
    const float before = values(*lv2)[param::EQMid];
    lv2->addEvent(0, cc(70, 127));
    run(*lv2);
    EXPECT_EQ(values(*lv2)[param::EQMid], before) << "70 is no controller of the default map";

    // The request in the same block as the controller: requests come first.
    addRequest(*lv2, request(lv2glue::LearnParameter, param::EQMid));
    lv2->addEvent(10, cc(70, 127));
    run(*lv2);
    EXPECT_EQ(values(*lv2)[param::EQMid], 1.0f);
    lv2->addEvent(0, cc(70, 0));
    run(*lv2);
    EXPECT_EQ(values(*lv2)[param::EQMid], 0.0f) << "the controller stays learnt";
    lv2->addEvent(0, cc(20 + param::EQMid, 127));
    run(*lv2);
    EXPECT_EQ(values(*lv2)[param::EQMid], 0.0f) << "learning took the parameter's old controller";
}

TEST_F(Lv2RequestTest, ClearAndDefaultRequestsResetTheMap) {
    auto lv2 = running();
    addRequest(*lv2, request(lv2glue::ClearMidiMap, -1));
    lv2->addEvent(0, cc(20, 127));
    run(*lv2);
    const float cleared = values(*lv2)[param::EQLo];
    EXPECT_NE(cleared, 1.0f) << "controller 20 moves nothing once the map is cleared";

    addRequest(*lv2, request(lv2glue::DefaultMidiMap, -1));
    lv2->addEvent(0, cc(20, 127));
    run(*lv2);
    EXPECT_EQ(values(*lv2)[param::EQLo], 1.0f);
}

TEST_F(Lv2RequestTest, DamagedOrForeignRequestsAreIgnored) {
    const auto defaults = values(*running());
    // Whether controller 70 moved anything after the request.
    const auto learnt = [&](const std::vector<uint8_t>& body) {
        auto lv2 = running();
        addRequest(*lv2, body);
        lv2->addEvent(0, cc(70, 64));
        run(*lv2);
        const bool moved = values(*lv2) != defaults;
        // The instance leaves its map beside the library for the next one: leave the default.
        addRequest(*lv2, request(lv2glue::DefaultMidiMap, -1));
        run(*lv2);
        return moved;
    };
    EXPECT_TRUE(learnt(request(lv2glue::LearnParameter, param::DryWet))) << "the good one";
    EXPECT_FALSE(learnt(request(lv2glue::LearnParameter, kParams))) << "no such parameter";
    EXPECT_FALSE(learnt(request(lv2glue::LearnParameter, -7)));
    EXPECT_FALSE(learnt(request(lv2glue::LearnParameter, 1, LV2_ATOM__Object))) << "other type";
    EXPECT_FALSE(learnt(request(lv2glue::LearnParameter, 1, nullptr, 48))) << "value cut off";
    EXPECT_FALSE(learnt(request(lv2glue::LearnParameter, 1, nullptr, 4))) << "no body";
    EXPECT_FALSE(learnt(request(99, 1))) << "unknown command";
}

TEST_F(Lv2RequestTest, TheMapGoesToNotifyWhenItChangesAndWhenAskedFor) {
    auto lv2 = running();
    constexpr uint32_t kRoom = 4096;
    auto reports = reportsOfBlock(*lv2, kRoom);
    ASSERT_EQ(reports.size(), 1u) << "the first block with notify connected reports";
    const lv2glue::MapReport first = reports[0];
    EXPECT_EQ(first.learning, -1);
    EXPECT_EQ(first.map[20 + param::EQLo], param::EQLo) << "the default map";
    EXPECT_TRUE(reportsOfBlock(*lv2, kRoom).empty()) << "nothing changed";

    // Learning in two steps: the request, then the controller; each change is reported.
    addRequest(*lv2, request(lv2glue::LearnParameter, param::EQMid));
    reports = reportsOfBlock(*lv2, kRoom);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].learning, param::EQMid);
    lv2->addEvent(5, cc(70, 127));
    reports = reportsOfBlock(*lv2, kRoom);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].learning, -1);
    EXPECT_EQ(reports[0].map[70], param::EQMid);
    EXPECT_EQ(reports[0].map[20 + param::EQMid], -1) << "the parameter's old controller";

    // Asked for: the same map again, as a UI that opens later needs it.
    addRequest(*lv2, request(lv2glue::ReportMidiMap, -1));
    const auto asked = reportsOfBlock(*lv2, kRoom);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], reports[0]);

    // No room: nothing is written past the buffer, and the report waits for a block with room.
    addRequest(*lv2, request(lv2glue::DefaultMidiMap, -1));
    EXPECT_TRUE(reportsOfBlock(*lv2, lv2glue::mapReportEventSize() - 8).empty());
    EXPECT_TRUE(reportsOfBlock(*lv2, 4).empty()) << "less than a sequence's body";
    reports = reportsOfBlock(*lv2, kRoom);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], first);
}

} // namespace
} // namespace lv2test
