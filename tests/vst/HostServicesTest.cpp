#include <gtest/gtest.h>

#include <functional>

#include "TestEffect.h"

namespace {

class HostServicesTest : public ::testing::Test {
protected:
    void SetUp() override { RecordingHost::reset(); }
    const RecordedCall& onlyCall() {
        EXPECT_EQ(RecordingHost::calls.size(), 1u);
        static RecordedCall none{};
        return RecordingHost::calls.empty() ? none : RecordingHost::calls.back();
    }
    TestEffect effect;
};

// Each operation with the opcode and arguments it must send; every answer the host gives back
// is checked in the tests below.
TEST_F(HostServicesTest, EachOperationSendsItsOpcodeAndArguments) {
    int marker = 0;
    auto* p = &marker;
    struct Case {
        std::function<void(TestEffect&)> call;
        int32_t opcode, index;
        intptr_t value;
        void* ptr;
        float opt;
    };
    const Case cases[] = {
        {[](TestEffect& x) { x.getMasterVersion(); }, 1, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.getCurrentUniqueId(); }, 2, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.masterIdle(); }, 3, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.isInputConnected(3); }, 4, 3, 0, nullptr, 0},
        {[](TestEffect& x) { x.isOutputConnected(5); }, 4, 5, 1, nullptr, 0},
        {[](TestEffect& x) { x.wantEvents(1); }, 6, 0, 1, nullptr, 0},
        {[](TestEffect& x) { x.getTimeInfo(0x202); }, 7, 0, 0x202, nullptr, 0},
        {[p](TestEffect& x) { x.sendVstEventsToHost(reinterpret_cast<VstEvents*>(p)); }, 8, 0, 0, p,
         0},
        {[](TestEffect& x) { x.tempoAt(99); }, 10, 0, 99, nullptr, 0},
        {[](TestEffect& x) { x.getNumAutomatableParameters(); }, 11, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.getParameterQuantization(); }, 12, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.ioChanged(); }, 13, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.needIdle(); }, 14, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.sizeWindow(490, 322); }, 15, 490, 322, nullptr, 0},
        {[](TestEffect& x) { x.updateSampleRate(); }, 16, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.updateBlockSize(); }, 17, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.getInputLatency(); }, 18, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.getOutputLatency(); }, 19, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.getPreviousPlug(4); }, 20, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.getNextPlug(4); }, 21, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.willProcessReplacing(); }, 22, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.getCurrentProcessLevel(); }, 23, 0, 0, nullptr, 0},
        {[p](TestEffect& x) { x.offlineStart(reinterpret_cast<VstAudioFile*>(p), 3, 2); }, 25, 2, 3,
         p, 0},
        {[p](TestEffect& x) { x.offlineRead(reinterpret_cast<VstOfflineTask*>(p), 7, false); }, 26,
         0, 7, p, 0},
        {[p](TestEffect& x) { x.offlineRead(reinterpret_cast<VstOfflineTask*>(p), 7); }, 26, 1, 7,
         p, 0},
        {[p](TestEffect& x) { x.offlineWrite(reinterpret_cast<VstOfflineTask*>(p), 8); }, 27, 0, 8,
         p, 0},
        {[](TestEffect& x) { x.offlineGetCurrentPass(); }, 28, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.offlineGetCurrentMetaPass(); }, 29, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.setOutputSamplerate(22050.0f); }, 30, 0, 0, nullptr, 22050.0f},
        {[](TestEffect& x) { x.getOutputSpeakerArrangement(); }, 31, 0, 0, nullptr, 0},
        {[p](TestEffect& x) { x.getHostVendorString(reinterpret_cast<char*>(p)); }, 32, 0, 0, p, 0},
        {[p](TestEffect& x) { x.getHostProductString(reinterpret_cast<char*>(p)); }, 33, 0, 0, p,
         0},
        {[](TestEffect& x) { x.getHostVendorVersion(); }, 34, 0, 0, nullptr, 0},
        {[p](TestEffect& x) { x.hostVendorSpecific(5, 6, p, 0.5f); }, 35, 5, 6, p, 0.5f},
        {[p](TestEffect& x) { x.canHostDo(reinterpret_cast<char*>(p)); }, 37, 0, 0, p, 0},
        {[p](TestEffect& x) { x.openWindow(reinterpret_cast<VstWindow*>(p)); }, 39, 0, 0, p, 0},
        {[p](TestEffect& x) { x.closeWindow(reinterpret_cast<VstWindow*>(p)); }, 40, 0, 0, p, 0},
        {[](TestEffect& x) { x.getDirectory(); }, 41, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.updateDisplay(); }, 42, 0, 0, nullptr, 0},
        {[](TestEffect& x) { x.beginEdit(6); }, 43, 6, 0, nullptr, 0},
        {[](TestEffect& x) { x.endEdit(6); }, 44, 6, 0, nullptr, 0},
        {[p](TestEffect& x) { x.openFileSelector(reinterpret_cast<VstFileSelect*>(p)); }, 45, 0, 0,
         p, 0},
        {[p](TestEffect& x) { x.closeFileSelector(reinterpret_cast<VstFileSelect*>(p)); }, 46, 0, 0,
         p, 0},
        {[p](TestEffect& x) { x.getChunkFile(p); }, 48, 0, 0, p, 0},
        {[](TestEffect& x) { x.getInputSpeakerArrangement(); }, 49, 0, 0, nullptr, 0},
    };
    for (const Case& c : cases) {
        RecordingHost::calls.clear();
        c.call(effect);
        const RecordedCall& sent = onlyCall();
        EXPECT_EQ(sent.opcode, c.opcode);
        EXPECT_EQ(sent.index, c.index) << c.opcode;
        EXPECT_EQ(sent.value, c.value) << c.opcode;
        EXPECT_EQ(sent.ptr, c.ptr) << c.opcode;
        EXPECT_EQ(sent.opt, c.opt) << c.opcode;
    }
}

TEST_F(HostServicesTest, AutomationStoresFirstAndReportsTheCallersValue) {
    RecordingHost::calls.clear();
    effect.setParameterAutomated(3, 1.5f);
    EXPECT_EQ(effect.log, std::vector<std::string>{"setParameter 3 1.500000"});
    const RecordedCall& sent = onlyCall();
    EXPECT_EQ(sent.opcode, audioMasterAutomate);
    EXPECT_EQ(sent.index, 3);
    EXPECT_EQ(sent.value, 0);
    EXPECT_EQ(sent.opt, 1.5f);
}

TEST_F(HostServicesTest, AnswersAreInterpretedPerOperation) {
    RecordingHost::answerVersion = 0;
    EXPECT_EQ(effect.getMasterVersion(), 1);
    RecordingHost::answerVersion = 2400;
    EXPECT_EQ(effect.getMasterVersion(), 2400);

    RecordingHost::answerOther = 2;
    EXPECT_FALSE(effect.sendVstEventsToHost(nullptr));
    EXPECT_TRUE(effect.ioChanged());
    EXPECT_EQ(effect.canHostDo(nullptr), 2);
    RecordingHost::answerOther = 1;
    EXPECT_TRUE(effect.sendVstEventsToHost(nullptr));
    EXPECT_FALSE(effect.isInputConnected(0)) << "the host answers 0 for a connected pin";
    RecordingHost::answerOther = -1;
    EXPECT_EQ(effect.canHostDo(nullptr), -1);
    RecordingHost::answerOther = 0;
    EXPECT_TRUE(effect.isInputConnected(0));
    EXPECT_TRUE(effect.isOutputConnected(1));
    EXPECT_FALSE(effect.updateDisplay());
    EXPECT_FALSE(effect.sizeWindow(1, 1));
    EXPECT_EQ(effect.getTimeInfo(0), nullptr);
}

TEST_F(HostServicesTest, SampleRateAndBlockSizeOnlyFromPositiveAnswers) {
    RecordingHost::answerOther = 48000;
    EXPECT_EQ(effect.updateSampleRate(), 48000.0f);
    EXPECT_EQ(effect.sampleRate, 48000.0f);
    EXPECT_TRUE(effect.log.empty()) << "setSampleRate is not called";
    EXPECT_EQ(effect.updateBlockSize(), 48000);
    for (intptr_t answer : {0, -1}) {
        RecordingHost::answerOther = answer;
        EXPECT_EQ(effect.updateSampleRate(), 48000.0f);
        EXPECT_EQ(effect.updateBlockSize(), 48000);
    }
}

TEST_F(HostServicesTest, NullSelectorsAndPathsSendNothing) {
    RecordingHost::answerOther = 1;
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_FALSE(effect.closeFileSelector(nullptr));
    EXPECT_FALSE(effect.getChunkFile(nullptr));
    EXPECT_TRUE(RecordingHost::calls.empty());
}

TEST(HostServicesWithoutHost, EveryOperationIsANoOpWithItsNeutralAnswer) {
    RecordingHost::reset();
    TestEffect effect(nullptr);
    EXPECT_EQ(effect.getMasterVersion(), 1);
    EXPECT_TRUE(effect.isInputConnected(0));
    EXPECT_TRUE(effect.isOutputConnected(0));
    EXPECT_EQ(effect.getCurrentUniqueId(), 0);
    EXPECT_FALSE(effect.sendVstEventsToHost(nullptr));
    EXPECT_EQ(effect.getTimeInfo(0), nullptr);
    EXPECT_EQ(effect.updateSampleRate(), 44100.0f);
    EXPECT_EQ(effect.updateBlockSize(), 1024);
    EXPECT_EQ(effect.getDirectory(), nullptr);
    EXPECT_FALSE(effect.beginEdit(0));
    effect.setParameterAutomated(1, 0.5f);
    effect.wantEvents(1);
    effect.masterIdle();
    EXPECT_EQ(effect.log, std::vector<std::string>{"setParameter 1 0.500000"});
    EXPECT_TRUE(RecordingHost::calls.empty());
}

} // namespace
