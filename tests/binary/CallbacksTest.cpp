// What the plug-in sends back to its host, through the real binary.

#include <thread>

#include "PluginFixture.h"

namespace {

class CallbacksTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        plugin = &open();
        callback.clearCalls();
    }
    host::PluginInstance* plugin = nullptr;
};

TEST_F(CallbacksTest, SwitchingProcessingOnAsksForMidiEveryTime) {
    plugin->dispatch(effMainsChanged, 0, 1);
    plugin->dispatch(effMainsChanged, 0, 0);
    plugin->dispatch(effMainsChanged, 0, 1);
    const auto calls = callback.calls();
    ASSERT_EQ(calls.size(), 2u);
    for (const host::CallRecord& call : calls) {
        EXPECT_EQ(call.opcode, audioMasterWantMidi);
        EXPECT_EQ(call.value, 1);
        EXPECT_EQ(call.index, 0);
        EXPECT_EQ(call.effect, plugin->effect()) << "the plug-in names its own record";
    }
}

TEST_F(CallbacksTest, ProgramChangesAndQueriesSendNothing) {
    for (int32_t program : {0, 7, 11, 12, -1})
        plugin->dispatch(effSetProgram, 0, program);
    plugin->dispatch(effGetProgram);
    plugin->dispatch(effMainsChanged, 0, 0);
    plugin->text(effGetParamDisplay, 3);
    plugin->canDo("receiveVstEvents");
    EXPECT_TRUE(callback.calls().empty());
}

TEST_F(CallbacksTest, TheHostsAnswerToTheWantMidiRequestDoesNotMatter) {
    callback.setAnswer(audioMasterWantMidi, [](const host::CallRecord&) -> intptr_t { return -7; });
    EXPECT_EQ(plugin->dispatch(effMainsChanged, 0, 1), 0);
    EXPECT_EQ(callback.calls(audioMasterWantMidi).size(), 1u);
}

// The host records calls from any thread; two instances switched on from two threads each get
// their own request recorded against their own record.
TEST_F(CallbacksTest, CallsFromSeveralThreadsAreAllRecorded) {
    host::PluginInstance& other = open();
    callback.clearCalls();
    auto toggle = [](host::PluginInstance* p) {
        for (int i = 0; i < 200; ++i)
            p->dispatch(effMainsChanged, 0, 1);
    };
    std::thread a(toggle, plugin), b(toggle, &other);
    a.join();
    b.join();
    const auto calls = callback.calls(audioMasterWantMidi);
    ASSERT_EQ(calls.size(), 400u);
    size_t fromFirst = 0;
    for (const auto& call : calls)
        fromFirst += call.effect == plugin->effect();
    EXPECT_EQ(fromFirst, 200u);
}

} // namespace
