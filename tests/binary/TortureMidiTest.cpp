// MIDI event lists of every size and content a host could send: 0 to 10,000 events, every
// status byte, positions before, inside, at and past the block.

#include <cstring>

#include "TortureSupport.h"
#include "plugin/uPlugin.h"

namespace {

using torture::Stereo;

/// A VstEvents list of any length (the record declares two pointers; hosts allocate more).
class EventList {
public:
    explicit EventList(const std::vector<VstMidiEvent>& midi) : events(midi) {
        const size_t bytes = offsetof(VstEvents, events) + sizeof(VstEvent*) * (events.size() + 2);
        storage.assign(bytes / sizeof(intptr_t) + 1, 0);
        auto* list = reinterpret_cast<VstEvents*>(storage.data());
        list->numEvents = int32_t(events.size());
        auto** slots = reinterpret_cast<VstEvent**>(reinterpret_cast<char*>(list) +
                                                    offsetof(VstEvents, events));
        for (size_t i = 0; i < events.size(); ++i)
            slots[i] = reinterpret_cast<VstEvent*>(&events[i]);
    }
    VstEvents* list() { return reinterpret_cast<VstEvents*>(storage.data()); }

private:
    std::vector<VstMidiEvent> events;
    std::vector<intptr_t> storage;
};

VstMidiEvent midiEvent(int32_t delta, unsigned status, unsigned data1, unsigned data2) {
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = sizeof(VstMidiEvent);
    e.deltaFrames = delta;
    e.midiData[0] = char(status);
    e.midiData[1] = char(data1);
    e.midiData[2] = char(data2);
    return e;
}

class TortureMidi : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        plugin = &open();
        plugin->dispatch(effMainsChanged, 0, 1);
        callback.clearCalls();
    }
    /// Sends `events`, then processes `blocks` blocks of `n` frames; the output stays finite.
    void sendAndProcess(const std::vector<VstMidiEvent>& events, int32_t n, int blocks = 3) {
        EventList list(events);
        plugin->dispatch(effProcessEvents, 0, 0, list.list());
        Stereo in(static_cast<size_t>(n), 0.3f), out{static_cast<size_t>(n)};
        for (int b = 0; b < blocks; ++b) {
            plugin->processReplacing(in.channels(), out.channels(), n);
            ASSERT_EQ(torture::firstNonFinite(out), -1);
        }
        for (int32_t i = 0; i < 12; ++i) {
            const float v = plugin->getParameter(i);
            ASSERT_TRUE(v >= 0.0f && v <= 1.0f);
        }
    }
    /// The queue still works: a controller for "Squeeze" sent now takes effect in one block.
    void expectQueueStillWorks() {
        sendAndProcess({midiEvent(0, 0xB0, 23, 127)}, 64, 1);
        EXPECT_EQ(plugin->getParameter(param::Squeeze), 1.0f);
        sendAndProcess({midiEvent(5, 0xB0, 23, 0)}, 64, 1);
        EXPECT_EQ(plugin->getParameter(param::Squeeze), 0.0f);
    }
    host::PluginInstance* plugin = nullptr;
};

TEST_F(TortureMidi, ListsOfEverySizeAreQueuedUpToTheLimit) {
    for (size_t count : {size_t(0), size_t(1), size_t(250), size_t(251), size_t(10000)}) {
        callback.clearCalls();
        std::vector<VstMidiEvent> events;
        for (size_t i = 0; i < count; ++i)
            events.push_back(midiEvent(int32_t(i % 512), 0x90 | (i % 16), i % 128, 1 + i % 127));
        sendAndProcess(events, 512);
        const size_t passed = callback.calls(audioMasterProcessEvents).size();
        EXPECT_EQ(passed, std::min<size_t>(count, 250)) << count << " events sent";
        expectQueueStillWorks();
    }
}

TEST_F(TortureMidi, EveryStatusByteAtEveryKindOfPosition) {
    std::mt19937 random(255);
    const int32_t n = 256;
    const int32_t positions[] = {-1000000, -1,    0, 1,     31,      32,
                                 100,      n - 1, n, n + 1, 1 << 30, INT32_MAX};
    for (unsigned status = 0; status < 256; ++status) {
        std::vector<VstMidiEvent> events;
        for (int32_t at : positions)
            events.push_back(midiEvent(at, status, random() % 256, random() % 256));
        sendAndProcess(events, n);
        if (HasFailure()) {
            ADD_FAILURE() << "status " << status;
            return;
        }
    }
    // Nothing but channel messages reaches the host, and every event that reaches it is whole.
    for (const host::CallRecord& call : callback.calls(audioMasterProcessEvents)) {
        ASSERT_EQ(call.midiEvents.size(), 1u);
        const unsigned char status = static_cast<unsigned char>(call.midiEvents[0].midiData[0]);
        EXPECT_GE(status, 0x80);
        EXPECT_LT(status, 0xF0);
        EXPECT_EQ(call.midiEvents[0].type, kVstMidiType);
        EXPECT_EQ(call.midiEvents[0].deltaFrames, 0);
    }
    expectQueueStillWorks();
}

TEST_F(TortureMidi, EventsOfOtherTypesAndZeroBlocksAreHarmless) {
    std::vector<VstMidiEvent> events(20, midiEvent(3, 0xB0, 23, 64));
    for (size_t i = 0; i < events.size(); ++i)
        events[i].type = int32_t(i) - 5 == kVstMidiType ? 2 : int32_t(i) - 5;
    EventList list(events);
    plugin->dispatch(effProcessEvents, 0, 0, list.list());
    Stereo in(0), out(0);
    plugin->processReplacing(in.channels(), out.channels(), 0);
    sendAndProcess({}, 64);
    EXPECT_TRUE(callback.calls(audioMasterProcessEvents).empty());
    plugin->dispatch(effProcessEvents, 0, 0, nullptr);
    expectQueueStillWorks();
}

} // namespace
