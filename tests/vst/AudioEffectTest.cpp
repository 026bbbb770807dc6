#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "TestEffect.h"

namespace {

class AudioEffectTest : public ::testing::Test {
protected:
    void SetUp() override { RecordingHost::reset(); }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) {
        AEffect* e = effect.getAeffect();
        return e->dispatcher(e, opcode, index, value, ptr, opt);
    }
    TestEffect effect;
};

TEST_F(AudioEffectTest, BaseConstructionFillsTheRecordAndZeroesTheRest) {
    const AEffect& e = *effect.getAeffect();
    EXPECT_EQ(e.magic, 0x56737450);
    EXPECT_EQ(e.dispatcher, &dispatchEffectClass);
    EXPECT_EQ(e.process, &processClass);
    EXPECT_EQ(e.setParameter, &setParameterClass);
    EXPECT_EQ(e.getParameter, &getParameterClass);
    EXPECT_EQ(e.processReplacing, &processClassReplacing);
    EXPECT_EQ(e.processDoubleReplacing, &processClassDoubleReplacing);
    EXPECT_EQ(e.numPrograms, 12);
    EXPECT_EQ(e.numParams, 12);
    EXPECT_EQ(e.numInputs, 1);
    EXPECT_EQ(e.numOutputs, 2);
    EXPECT_EQ(e.flags, effFlagsCanReplacing);
    EXPECT_EQ(e.resvd1, 0);
    EXPECT_EQ(e.resvd2, 0);
    EXPECT_EQ(e.initialDelay, 0);
    EXPECT_EQ(e.ioRatio, 1.0f);
    EXPECT_EQ(e.object, &effect);
    EXPECT_EQ(e.user, nullptr);
    EXPECT_EQ(e.uniqueID, 0x4E6F4566);
    EXPECT_EQ(e.version, 1);
    for (char c : e.future)
        EXPECT_EQ(c, 0);
    EXPECT_EQ(effect.sampleRate, 44100.0f);
    EXPECT_EQ(effect.blockSize, 1024);
    EXPECT_EQ(effect.curProgram.load(), 0);
}

TEST_F(AudioEffectTest, FlagSettersSetAndClearExactlyTheirBit) {
    struct Case {
        void (*set)(TestEffect&, bool);
        int32_t bit;
    };
    const Case cases[] = {
        {[](TestEffect& x, bool s) { x.hasClip(s); }, 2},
        {[](TestEffect& x, bool s) { x.hasVu(s); }, 4},
        {[](TestEffect& x, bool s) { x.canMono(s); }, 8},
        {[](TestEffect& x, bool s) { x.canProcessReplacing(s); }, 16},
        {[](TestEffect& x, bool s) { x.programsAreChunks(s); }, 32},
        {[](TestEffect& x, bool s) { x.isSynth(s); }, 256},
        {[](TestEffect& x, bool s) { x.noTail(s); }, 512},
        {[](TestEffect& x, bool s) { x.wantAsyncOperation(s); }, 1024},
        {[](TestEffect& x, bool s) { x.hasExternalBuffer(s); }, 2048},
        {[](TestEffect& x, bool s) { x.canDoubleReplacing(s); }, 4096},
    };
    int32_t& flags = effect.getAeffect()->flags;
    for (const Case& c : cases) {
        flags = 0x40000000;
        c.set(effect, true);
        EXPECT_EQ(flags, 0x40000000 | c.bit) << c.bit;
        flags = -1;
        c.set(effect, false);
        EXPECT_EQ(flags, ~c.bit) << c.bit;
    }
}

TEST_F(AudioEffectTest, ValueSettersWriteTheirRecordFields) {
    effect.setUniqueID(fourCharCode("KQZP"));
    effect.setNumInputs(2);
    effect.setNumOutputs(6);
    effect.setInitialDelay(64);
    effect.setRealtimeQualities(3);
    effect.setOfflineQualities(4);
    const AEffect& e = *effect.getAeffect();
    EXPECT_EQ(e.uniqueID, 0x4B515A50);
    EXPECT_EQ(e.numInputs, 2);
    EXPECT_EQ(e.numOutputs, 6);
    EXPECT_EQ(e.initialDelay, 64);
    EXPECT_EQ(e.realQualities, 3);
    EXPECT_EQ(e.offQualities, 4);
}

TEST_F(AudioEffectTest, FixedAndDefaultAnswersOfTheDispatcher) {
    EXPECT_EQ(dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(effGetNumProgramCategories), 1);
    EXPECT_EQ(dispatch(effCanBeAutomated, -5), 1);
    EXPECT_EQ(dispatch(effCanBeAutomated, 1000), 1);
    EXPECT_EQ(dispatch(effConnectInput, 0, 1), 1);
    EXPECT_EQ(dispatch(effConnectOutput, 1, 0), 1);
    EXPECT_EQ(dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(dispatch(effSetTotalSampleToProcess, 0, 777), 777);
    EXPECT_EQ(dispatch(effGetProgram), 0);
    EXPECT_EQ(dispatch(effGetVendorVersion), 0);
    EXPECT_EQ(dispatch(effGetTailSize), 0);
    EXPECT_EQ(dispatch(effGetIcon), 0);
    EXPECT_EQ(dispatch(effString2Parameter, 0, 0, const_cast<char*>("1")), 0);
    EXPECT_EQ(dispatch(effGetChunk), 0);
    EXPECT_EQ(dispatch(effGetNumMidiInputChannels), 0);
    for (int32_t opcode :
         {16, 17, 18, 20, 21, 80, 81, 1000, -1, -80, std::numeric_limits<int32_t>::min()})
        EXPECT_EQ(dispatch(opcode, 1, 1, &effect, 1.0f), 0) << opcode;
    EXPECT_TRUE(RecordingHost::calls.empty());
}

TEST_F(AudioEffectTest, PlugCategoryAndKeysFollowTheEffect) {
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategUnknown);
    effect.isSynth(true);
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategSynth);
    // effKeysRequired answers the inverse of keysRequired.
    EXPECT_EQ(dispatch(effKeysRequired), 1);
    effect.wantsKeys = true;
    EXPECT_EQ(dispatch(effKeysRequired), 0);
}

TEST_F(AudioEffectTest, VuIsScaledAndRoundedToNearestEven) {
    const struct {
        float vu;
        intptr_t expected;
    } cases[] = {{0.0f, 0},
                 {1.0f, 32767},
                 {0.5f, 16384},   // 16383.5 -> even
                 {-0.5f, -16384}, // -16383.5 -> even
                 {0.25f, 8192},   // 8191.75
                 {std::numeric_limits<float>::quiet_NaN(), 0},
                 {1e30f, std::numeric_limits<int32_t>::max()},
                 {-1e30f, std::numeric_limits<int32_t>::min()}};
    for (const auto& c : cases) {
        effect.vu = c.vu;
        EXPECT_EQ(dispatch(effGetVu), c.expected) << c.vu;
    }
}

TEST_F(AudioEffectTest, SetProgramHasAnUpperBoundOnly) {
    dispatch(effSetProgram, 0, 12);
    dispatch(effSetProgram, 0, 1000);
    EXPECT_TRUE(effect.log.empty());
    dispatch(effSetProgram, 0, 11);
    dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(effect.log, (std::vector<std::string>{"setProgram 11", "setProgram -1"}));
    EXPECT_EQ(dispatch(effGetProgram), -1);
}

TEST_F(AudioEffectTest, SampleRateAndBlockSizeRequests) {
    EXPECT_EQ(dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 48000.0f), 1);
    EXPECT_EQ(effect.sampleRate, 48000.0f);
    EXPECT_EQ(effect.blockSize, 256);
    EXPECT_TRUE(effect.log.empty()) << "setSampleRate must not be called";

    dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ(effect.log, std::vector<std::string>{"setSampleRate 96000.000000"});
    dispatch(effSetBlockSize, 0, 512);
    EXPECT_EQ(effect.blockSize, 512);

    // Rates that are no positive number and empty blocks are ignored.
    effect.log.clear();
    for (float bad : {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity()}) {
        dispatch(effSetSampleRate, 0, 0, nullptr, bad);
        dispatch(effSetBlockSizeAndSampleRate, 0, 128, nullptr, bad);
    }
    dispatch(effSetBlockSize, 0, 0);
    dispatch(effSetBlockSize, 0, -3);
    EXPECT_TRUE(effect.log.empty());
    EXPECT_EQ(effect.sampleRate, 96000.0f);
    EXPECT_EQ(effect.blockSize, 512);
}

TEST_F(AudioEffectTest, MainsChangedSwitchesBetweenResumeAndSuspend) {
    dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(effect.log, std::vector<std::string>{"suspend"});
    // The base resume asks for MIDI only when the effect receives it or is a synth.
    dispatch(effMainsChanged, 0, 1);
    EXPECT_TRUE(RecordingHost::calls.empty());
    effect.receivesMidi = 1;
    dispatch(effMainsChanged, 0, 5);
    ASSERT_EQ(RecordingHost::calls.size(), 1u);
    EXPECT_EQ(RecordingHost::calls[0].opcode, audioMasterWantMidi);
    EXPECT_EQ(RecordingHost::calls[0].value, 1);
    effect.receivesMidi = -1;
    effect.isSynth(true);
    dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(RecordingHost::calls.size(), 2u);
}

TEST_F(AudioEffectTest, EditorRequestsAnswerZeroWithoutAnEditor) {
    ERect* rect = reinterpret_cast<ERect*>(&effect);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, reinterpret_cast<ERect*>(&effect));
    EXPECT_EQ(dispatch(effEditOpen, 0, 0, &effect), 0);
    EXPECT_EQ(dispatch(effEditClose), 0);
    EXPECT_EQ(dispatch(effEditIdle), 0);
    EXPECT_EQ(dispatch(effEditKeyDown, 'a', 1, nullptr, 2.0f), 0);
    EXPECT_EQ(dispatch(effEditKeyUp, 'a', 1, nullptr, 2.0f), 0);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 0);
}

TEST_F(AudioEffectTest, EditorRequestsReachTheEditor) {
    std::vector<std::string> log;
    auto editor = std::make_unique<TestEditor>(&effect, log);
    TestEditor* view = editor.get();
    effect.setEditor(std::move(editor));
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);

    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_EQ(rect, &view->r);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, nullptr), 0) << "null out pointer";
    EXPECT_EQ(dispatch(effEditOpen, 0, 0, &rect), 1);
    EXPECT_EQ(dispatch(effEditIdle), 0);
    EXPECT_EQ(dispatch(effEditClose), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"open parent", "idle", "close"}));

    // Key code: character = index, virt = low byte of value, modifier = opt rounded, low byte.
    EXPECT_EQ(dispatch(effEditKeyDown, 'q', 0x1234, nullptr, 2.6f), 1);
    EXPECT_EQ(view->lastKey.character, 'q');
    EXPECT_EQ(view->lastKey.virt, 0x34);
    EXPECT_EQ(view->lastKey.modifier, 3);
    EXPECT_EQ(dispatch(effEditKeyUp, 7, 0x1FF, nullptr, 258.0f), 0);
    EXPECT_EQ(view->lastKey.virt, 0xFF);
    EXPECT_EQ(view->lastKey.modifier, 2);
    dispatch(effEditKeyUp, 7, 1, nullptr, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(view->lastKey.modifier, 0);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 1);

    effect.setEditor(nullptr);
    EXPECT_EQ(effect.getAeffect()->flags & effFlagsHasEditor, 0);
    EXPECT_EQ(log.back(), "editor destroyed");
}

TEST(AudioEffectLifetime, DestructionDestroysTheEditor) {
    std::vector<std::string> log;
    {
        TestEffect effect;
        effect.setEditor(std::make_unique<TestEditor>(&effect, log));
    }
    EXPECT_EQ(log, std::vector<std::string>{"editor destroyed"});
}

TEST_F(AudioEffectTest, BaseEditorDefaults) {
    AEffEditor editor(&effect);
    ERect* rect = reinterpret_cast<ERect*>(&effect);
    EXPECT_FALSE(editor.getRect(&rect));
    EXPECT_EQ(rect, nullptr);
    EXPECT_FALSE(editor.isOpen());
    int parent = 0;
    editor.open(&parent);
    EXPECT_TRUE(editor.isOpen());
    editor.close();
    EXPECT_FALSE(editor.isOpen());
    VstKeyCode key{};
    EXPECT_FALSE(editor.onKeyDown(key));
    EXPECT_FALSE(editor.setKnobMode(1));
}

TEST_F(AudioEffectTest, SpeakerArrangementDefaultWritesNullThroughBoth) {
    auto* marker = reinterpret_cast<VstSpeakerArrangement*>(&effect);
    VstSpeakerArrangement* input = marker;
    VstSpeakerArrangement* output = marker;
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&input), &output),
              0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 0);
}

// ---- Texts written into host buffers -------------------------------------------------------

struct TextOpcode {
    int32_t opcode;
    size_t bound;
};

const TextOpcode kTextOpcodes[] = {
    {effGetProgramName, kHostProgramNameSize},
    {effGetParamLabel, kHostParamLabelSize},
    {effGetParamDisplay, kHostParamDisplaySize},
    {effGetParamName, kHostParamNameSize},
    {effGetProgramNameIndexed, kHostProgramNameSize},
    {effGetEffectName, kHostEffectNameSize},
    {effGetVendorString, kHostVendorStringSize},
    {effGetProductString, kHostProductStringSize},
    {effGetErrorText, kHostErrorTextSize},
    {effShellGetNextPlugin, kHostShellNameSize},
};

TEST_F(AudioEffectTest, LongTextsAreCutAtTheBoundOfTheirKind) {
    effect.textToWrite = std::string(300, 'w');
    for (const TextOpcode& t : kTextOpcodes) {
        char buffer[600];
        std::memset(buffer, '#', sizeof buffer);
        dispatch(t.opcode, 0, 0, buffer);
        EXPECT_EQ(strnlen(buffer, sizeof buffer), t.bound - 1) << t.opcode;
        for (size_t i = t.bound; i < sizeof buffer; ++i)
            ASSERT_EQ(buffer[i], '#') << "opcode " << t.opcode << " wrote at " << i;
    }
}

TEST_F(AudioEffectTest, ShortTextsArriveWhole) {
    effect.textToWrite = "Quacky";
    for (const TextOpcode& t : kTextOpcodes) {
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        dispatch(t.opcode, 0, 0, buffer);
        EXPECT_STREQ(buffer, "Quacky") << t.opcode;
        EXPECT_EQ(buffer[7], '#') << "nothing beyond the terminator";
    }
}

TEST_F(AudioEffectTest, AnOperationThatWritesNothingLeavesTheHostBufferAlone) {
    effect.writeNothing = true;
    for (const TextOpcode& t : kTextOpcodes) {
        char buffer[300];
        std::memset(buffer, '#', sizeof buffer); // not even terminated
        dispatch(t.opcode, 0, 0, buffer);
        for (char c : buffer)
            ASSERT_EQ(c, '#') << t.opcode;
    }
}

TEST_F(AudioEffectTest, NullTextBuffersGetNothingAndAnswerZero) {
    effect.textToWrite = "text";
    for (const TextOpcode& t : kTextOpcodes)
        EXPECT_EQ(dispatch(t.opcode, 0, 0, nullptr), 0);
    VstPinProperties* none = nullptr;
    EXPECT_EQ(dispatch(effGetInputProperties, 0, 0, none), 0);
    EXPECT_EQ(dispatch(effProcessEvents, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effSetProgramName, 0, 0, nullptr), 0);
}

TEST_F(AudioEffectTest, ProgramNameFromTheHostIsReadNoFurtherThanItsRoom) {
    struct NameTaker : TestEffect {
        std::string taken;
        void setProgramName(char* name) override { taken = name; }
    } taker;
    char unterminated[kTextScratchSize + 50];
    std::memset(unterminated, 'n', sizeof unterminated);
    AEffect* e = taker.getAeffect();
    e->dispatcher(e, effSetProgramName, 0, 0, unterminated, 0.0f);
    EXPECT_EQ(taker.taken.size(), kTextScratchSize - 1);
}

} // namespace
