// The identity, capability, pin and base answers of the plug-in through its dispatcher.

#include <cstring>

#include "PluginFixture.h"
#include "vst/DAudioEffect.h"

namespace {

class AnswersTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        plugin = &open();
    }
    host::PluginInstance* plugin = nullptr;
};

TEST_F(AnswersTest, IdentityTexts) {
    EXPECT_EQ(plugin->text(effGetEffectName), "WadlingCompressor");
    EXPECT_EQ(plugin->text(effGetVendorString), "Reedmoor");
    EXPECT_EQ(plugin->text(effGetProductString), "WadlingCompressor");
    char buffer[64];
    EXPECT_EQ(plugin->dispatch(effGetEffectName, 0, 0, buffer), 1);
    EXPECT_EQ(plugin->dispatch(effGetVendorString, 0, 0, buffer), 1);
    EXPECT_EQ(plugin->dispatch(effGetProductString, 0, 0, buffer), 1);
}

TEST_F(AnswersTest, FixedAnswers) {
    EXPECT_EQ(plugin->dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(plugin->dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(plugin->dispatch(effGetVendorVersion), 1);
    EXPECT_EQ(plugin->dispatch(effGetPlugCategory), 0);
    EXPECT_EQ(plugin->dispatch(effKeysRequired), 1);
    EXPECT_EQ(plugin->dispatch(effGetNumProgramCategories), 1);
    for (int32_t index : {0, 6, 11, 12, -1, 5000})
        EXPECT_EQ(plugin->dispatch(effCanBeAutomated, index), 1) << index;
    EXPECT_EQ(plugin->dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 48000.0f), 1);
    EXPECT_EQ(plugin->dispatch(effConnectInput, 0, 1), 1);
    EXPECT_EQ(plugin->dispatch(effGetCurrentMidiProgram), -1);
}

TEST_F(AnswersTest, OpcodesWithoutMeaningAnswerZero) {
    char scratch[256] = {};
    for (int32_t opcode : {16, 17, 18, 20, 21, 80, 81, 200, -1, -2, -1000})
        EXPECT_EQ(plugin->dispatch(opcode, 1, 1, scratch, 1.0f), 0) << opcode;
    // Editor requests without an editor.
    EXPECT_EQ(plugin->dispatch(effEditKeyDown, 'a', 0, nullptr, 0.0f), 0);
    EXPECT_EQ(plugin->dispatch(effSetEditKnobMode, 0, 1), 0);
    // Defaults that no part of the plug-in overrides.
    EXPECT_EQ(plugin->dispatch(effGetChunk, 0, 0, scratch), 0);
    EXPECT_EQ(plugin->dispatch(effCopyProgram, 1), 0);
    EXPECT_EQ(plugin->dispatch(effBeginSetProgram), 0);
    EXPECT_EQ(plugin->dispatch(effSetBypass, 0, 1), 0);
    EXPECT_EQ(plugin->dispatch(effGetTailSize), 0);
}

TEST_F(AnswersTest, CapabilitiesAreExactAndEverythingElseIsMinusOne) {
    for (const char* yes : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                            "sendVstMidiEvent", "receiveVstTimeInfo"})
        EXPECT_EQ(plugin->canDo(yes), 1) << yes;
    for (const char* no : {"ReceiveVstEvents", "receiveVstEvents ", "receivevstmidievent", "",
                           "bypass", "plugAsChannelInsert", "receiveVstEventsX"})
        EXPECT_EQ(plugin->canDo(no), -1) << '"' << no << '"';
    EXPECT_EQ(plugin->dispatch(effCanDo, 0, 0, nullptr), -1);
}

TEST_F(AnswersTest, PinsZeroAndOneAreActiveStereoAndNamedFromOne) {
    struct Case {
        int32_t opcode, index;
        const char* label;
    };
    for (const Case& c :
         {Case{effGetInputProperties, 0, "Input #1"}, Case{effGetInputProperties, 1, "Input #2"},
          Case{effGetOutputProperties, 0, "Output #1"},
          Case{effGetOutputProperties, 1, "Output #2"}}) {
        VstPinProperties pin;
        std::memset(&pin, 0x7E, sizeof pin);
        EXPECT_EQ(plugin->dispatch(c.opcode, c.index, 0, &pin), 1);
        EXPECT_STREQ(pin.label, c.label);
        EXPECT_EQ(pin.flags, kVstPinIsActive | kVstPinIsStereo);
        // arrangementType and shortLabel are not written.
        EXPECT_EQ(pin.arrangementType, 0x7E7E7E7E);
        EXPECT_EQ(pin.shortLabel[0], 0x7E);
    }
}

TEST_F(AnswersTest, PinsBeyondTheSecondAreRefusedAndLeftUntouched) {
    for (int32_t opcode : {effGetInputProperties, effGetOutputProperties}) {
        for (int32_t index : {2, 3, 100, -1}) {
            VstPinProperties pin, before;
            std::memset(&pin, 0x5C, sizeof pin);
            before = pin;
            EXPECT_EQ(plugin->dispatch(opcode, index, 0, &pin), 0);
            EXPECT_EQ(std::memcmp(&pin, &before, sizeof pin), 0) << opcode << " " << index;
        }
        EXPECT_EQ(plugin->dispatch(opcode, 0, 0, nullptr), 0);
    }
}

// Every text the plug-in writes into a host buffer stays within the bound of its kind, whatever
// the index; a null buffer gets nothing.
TEST_F(AnswersTest, NoTextIsWrittenPastItsBound) {
    struct Kind {
        int32_t opcode;
        size_t bound;
    };
    const Kind kinds[] = {{effGetProgramName, kHostProgramNameSize},
                          {effGetProgramNameIndexed, kHostProgramNameSize},
                          {effGetParamLabel, kHostParamLabelSize},
                          {effGetParamDisplay, kHostParamDisplaySize},
                          {effGetParamName, kHostParamNameSize},
                          {effGetEffectName, kHostEffectNameSize},
                          {effGetVendorString, kHostVendorStringSize},
                          {effGetProductString, kHostProductStringSize},
                          {effGetErrorText, kHostErrorTextSize},
                          {effShellGetNextPlugin, kHostShellNameSize}};
    // Long program names must be cut for the host as well.
    char longName[120];
    std::memset(longName, 'p', sizeof longName - 1);
    longName[sizeof longName - 1] = '\0';
    plugin->dispatch(effSetProgramName, 0, 0, longName);
    for (const Kind& kind : kinds) {
        for (int32_t index = -1; index <= 12; ++index) {
            char buffer[1024];
            std::memset(buffer, '#', sizeof buffer);
            plugin->dispatch(kind.opcode, index, 0, buffer);
            for (size_t i = kind.bound; i < sizeof buffer; ++i)
                ASSERT_EQ(buffer[i], '#') << "opcode " << kind.opcode << " index " << index;
            EXPECT_EQ(plugin->dispatch(kind.opcode, index, 0, nullptr), 0);
        }
    }
}

} // namespace
