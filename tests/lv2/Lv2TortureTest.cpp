// What a careless or hostile host does to the LV2 entry points: many instances driven in random
// orders, legal and not (run before activate, twice activated, ports connected late, to null or
// out of range, blocks of 0 to 100,000 frames, MIDI with any bytes at any frame), each checked
// for what a host relies on: no write past the block, finite output for finite input, a
// well-formed output sequence, and an instance that works normally afterwards.
#include "Lv2TestHost.h"
#include "lv2/Lv2MapReport.h"

#include <cmath>
#include <cstdint>
#include <random>

namespace {

using lv2test::Lv2Fixture;
using lv2test::Lv2Instance;

constexpr uint32_t kMaxFrames = 100000;
constexpr uint32_t kGuard = 64;
constexpr float kSentinel = -12345.0f;
constexpr int kListen = 6; // listen off: the effect, whatever the detector's EQ

constexpr uint8_t kNotifyGuard = 0x5A;

/// One instance with audio buffers larger than any block, guarded at their ends.
struct Tortured {
    std::unique_ptr<Lv2Instance> instance;
    std::vector<float> outL = std::vector<float>(kMaxFrames + kGuard, kSentinel);
    std::vector<float> outR = std::vector<float>(kMaxFrames + kGuard, kSentinel);
    bool active = false;
    bool midiOut = true; ///< whether the output sequence is connected (else it holds old bytes)
    /// The editor's notify port: a buffer guarded past the capacity the host announces, or
    /// nothing connected (capacity 0).
    std::vector<uint8_t> notify = std::vector<uint8_t>(8192, kNotifyGuard);
    uint32_t notifyCapacity = 0;
};

class Lv2Torture : public Lv2Fixture {
protected:
    void SetUp() override {
        Lv2Fixture::SetUp();
        inL.resize(kMaxFrames);
        inR.resize(kMaxFrames);
        for (uint32_t i = 0; i < kMaxFrames; ++i) {
            inL[i] = 0.9f * std::sin(0.031f * float(i)) * (i % 9000 < 4500 ? 1.0f : 0.05f);
            inR[i] = 0.8f * std::sin(0.017f * float(i) + 1.0f);
        }
    }

    uint32_t pickFrames() {
        static constexpr uint32_t kSizes[] = {0, 1, 7, 32, 64, 511, 512, 4096, 8193, kMaxFrames};
        std::uniform_int_distribution<std::size_t> pick(0, std::size(kSizes) - 1);
        const uint32_t frames = kSizes[pick(rng)];
        // The largest block only now and then: it is slow under the sanitizers.
        return frames == kMaxFrames && rng() % 4 != 0 ? 4096 : frames;
    }

    void addRandomEvents(Lv2Instance& instance, uint32_t frames) {
        instance.clearMidiIn();
        const int count = int(rng() % 6);
        for (int e = 0; e < count; ++e) {
            std::vector<uint8_t> bytes(1 + rng() % 3);
            for (uint8_t& b : bytes)
                b = static_cast<uint8_t>(rng());
            const int64_t frame = rng() % 5 == 0 ? int64_t(rng() % 3) - 1 + int64_t(frames)
                                                 : int64_t(rng() % (frames + 1));
            instance.addEvent(frame, bytes, rng() % 7 == 0 ? LV2_ATOM__Float : LV2_MIDI__MidiEvent);
        }
        // Now and then the editor asks for the map, or to learn a parameter.
        if (rng() % 5 == 0) {
            const uint32_t intType = urids.id(LV2_ATOM__Int);
            const uint32_t request[14] = {0,
                                          urids.id(lv2glue::kMidiMapRequestUri),
                                          urids.id(lv2glue::kCommandUri),
                                          0,
                                          sizeof(int32_t),
                                          intType,
                                          static_cast<uint32_t>(rng() % 4),
                                          0,
                                          urids.id(lv2glue::kParameterUri),
                                          0,
                                          sizeof(int32_t),
                                          intType,
                                          static_cast<uint32_t>(int(rng() % 14) - 1),
                                          0};
            const auto* first = reinterpret_cast<const uint8_t*>(request);
            instance.addEvent(0, std::vector<uint8_t>(first, first + sizeof request),
                              LV2_ATOM__Object);
        }
    }

    /// Runs a block and checks what a host relies on.
    void runChecked(Tortured& t, uint32_t frames) {
        std::fill(t.outL.begin(), t.outL.end(), kSentinel);
        std::fill(t.outR.begin(), t.outR.end(), kSentinel);
        addRandomEvents(*t.instance, frames);
        std::fill(t.notify.begin(), t.notify.end(), kNotifyGuard);
        auto* notify = reinterpret_cast<LV2_Atom_Sequence*>(t.notify.data());
        if (t.notifyCapacity > 0) notify->atom.size = t.notifyCapacity;
        t.instance->run(inL.data(), inR.data(), t.outL.data(), t.outR.data(), frames);
        if (t.notifyCapacity > 0) {
            for (std::size_t i = sizeof(LV2_Atom) + t.notifyCapacity; i < t.notify.size(); ++i)
                ASSERT_EQ(t.notify[i], kNotifyGuard) << "notify written past its buffer at " << i;
            if (t.notifyCapacity >= sizeof(LV2_Atom_Sequence_Body)) {
                ASSERT_LE(notify->atom.size, t.notifyCapacity);
                const lv2glue::MapReportUrids reportUrid(urids.map);
                LV2_ATOM_SEQUENCE_FOREACH(notify, ev) {
                    EXPECT_TRUE(lv2glue::readMapReport(&ev->body, lv2_atom_total_size(&ev->body),
                                                       reportUrid));
                    ++reportsSeen;
                }
            }
        }
        for (uint32_t i = frames; i < frames + kGuard; ++i)
            ASSERT_TRUE(t.outL[i] == kSentinel && t.outR[i] == kSentinel)
                << "written past a block of " << frames << " at " << i;
        for (uint32_t i = 0; i < frames; ++i)
            ASSERT_TRUE(std::isfinite(t.outL[i]) && std::isfinite(t.outR[i]))
                << "frame " << i << " of " << frames;
        if (!t.midiOut) return;
        const LV2_Atom_Sequence* seq = t.instance->midiOutSequence();
        ASSERT_LE(seq->atom.size, Lv2Instance::kSequenceBytes - sizeof(LV2_Atom));
        for (const auto& event : t.instance->midiOut()) {
            EXPECT_GE(event.frame, 0);
            EXPECT_LE(event.frame, int64_t(frames));
        }
    }

    std::mt19937 rng{20261209};
    int reportsSeen = 0;
    std::vector<float> inL, inR;
};

TEST_F(Lv2Torture, ManyInstancesInRandomLegalAndIllegalOrdersNeverMisbehave) {
    constexpr int kInstances = 12, kSteps = 1500;
    std::vector<Tortured> all(kInstances);
    for (Tortured& t : all)
        t.instance = makeLv2();
    const double rates[] = {1.0, 22050.0, 44100.0, 96000.0, 768000.0};
    for (int step = 0; step < kSteps; ++step) {
        Tortured& t = all[rng() % kInstances];
        switch (rng() % 9) {
        case 0: // a fresh instance in place of the old one, active or not
            t.instance.reset();
            t.instance = std::make_unique<Lv2Instance>(*descriptor, urids, rates[rng() % 5]);
            ASSERT_TRUE(t.instance->valid());
            t.active = false;
            t.midiOut = true;
            t.notifyCapacity = 0;
            break;
        case 1:
            t.instance->activate(); // twice in a row is not allowed, and must not hurt
            t.active = true;
            break;
        case 2:
            t.instance->deactivate();
            t.active = false;
            break;
        case 3: { // a control port to another value, to NaN, or left unconnected
            const int p = int(rng() % lv2test::kParams);
            const uint32_t kind = rng() % 4;
            t.instance->controls[std::size_t(p)] =
                kind == 0 ? NAN : std::uniform_real_distribution<float>(-0.5f, 1.5f)(rng);
            if (kind == 1) t.instance->connect(lv2glue::FirstControl + uint32_t(p), nullptr);
            if (kind == 2)
                t.instance->connect(lv2glue::FirstControl + uint32_t(p),
                                    &t.instance->controls[std::size_t(p)]);
            break;
        }
        case 4: // ports that do not exist, and the MIDI and notify ports taken away
            t.instance->connect(1000 + rng() % 1000, &t.instance->controls[0]);
            if (rng() % 2) {
                t.instance->connect(lv2glue::Notify, nullptr);
                t.notifyCapacity = 0;
            }
            if (rng() % 2) t.instance->connect(lv2glue::MidiIn, nullptr);
            if (rng() % 2) {
                t.instance->connect(lv2glue::MidiOut, nullptr);
                t.midiOut = false;
            }
            break;
        case 5: { // the MIDI ports back, notify with room for a report or not
            t.instance->connect(lv2glue::MidiIn, t.instance->midiInSequence());
            t.instance->connect(lv2glue::MidiOut, t.instance->midiOutSequence());
            t.midiOut = true;
            const uint32_t report = lv2glue::mapReportEventSize();
            const uint32_t capacities[] = {4, 8, 16, report, report + 8, 4096};
            t.notifyCapacity = capacities[rng() % std::size(capacities)];
            t.instance->connect(lv2glue::Notify, t.notify.data());
            break;
        }
        default: // most steps run a block, active or not
            runChecked(t, pickFrames());
            break;
        }
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(reportsSeen, 10) << "the editor's map reports were exercised";
    // Afterwards every instance, once its ports are back and it is active, works normally. A
    // port applies only a value that changed, and controllers may have moved any parameter:
    // every port moves twice, the second time to the effect at its middle settings.
    for (Tortured& t : all) {
        t.instance->connect(lv2glue::MidiIn, t.instance->midiInSequence());
        t.instance->connect(lv2glue::MidiOut, t.instance->midiOutSequence());
        if (!t.active) t.instance->activate();
        for (const float value : {0.25f, 0.5f}) {
            for (int p = 0; p < lv2test::kParams; ++p) {
                t.instance->controls[std::size_t(p)] = p == kListen ? value - 0.25f : value;
                t.instance->connect(lv2glue::FirstControl + uint32_t(p),
                                    &t.instance->controls[std::size_t(p)]);
            }
            t.instance->clearMidiIn();
            t.instance->run(inL.data(), inR.data(), t.outL.data(), t.outR.data(), 4096);
        }
        float peak = 0;
        for (uint32_t i = 0; i < 4096; ++i) {
            ASSERT_TRUE(std::isfinite(t.outL[i]));
            peak = std::max(peak, std::fabs(t.outL[i]));
        }
        EXPECT_GT(peak, 0.01f) << "a working instance passes sound";
    }
}

} // namespace
