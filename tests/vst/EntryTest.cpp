#include <gtest/gtest.h>

#include <stdexcept>

#include "TestEffect.h"

namespace {

// An effect whose every entry throws, and which counts its own destruction.
class ThrowingEffect : public TestEffect {
public:
    static inline int destroyed = 0;
    ~ThrowingEffect() override { ++destroyed; }
    intptr_t dispatcher(int32_t, int32_t, intptr_t, void*, float) override {
        throw std::runtime_error("dispatcher");
    }
    void processReplacing(float**, float**, int32_t) override { throw std::bad_alloc(); }
    void process(float**, float**, int32_t) override { throw 42; }
    void setParameter(int32_t, float) override { throw std::logic_error("set"); }
    float getParameter(int32_t) override { throw std::logic_error("get"); }
};

TEST(EntryGlue, NoExceptionCrossesAnEntry) {
    auto* effect = new ThrowingEffect; // the entry owns it from here on, as for a host
    AEffect* e = effect->getAeffect();
    float in[4] = {}, out[4] = {};
    float* ins[2] = {in, in};
    float* outs[2] = {out, out};
    EXPECT_EQ(e->dispatcher(e, effGetVendorVersion, 0, 0, nullptr, 0.0f), 0);
    e->processReplacing(e, ins, outs, 4);
    e->process(e, ins, outs, 4);
    e->setParameter(e, 0, 0.5f);
    EXPECT_EQ(e->getParameter(e, 0), 0.0f);
    // effClose destroys the object even though its dispatcher throws, and answers 1.
    ThrowingEffect::destroyed = 0;
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(ThrowingEffect::destroyed, 1);
}

TEST(EntryGlue, EntriesWithoutAnObjectAnswerNeutrally) {
    AEffect blank{};
    float* none[2] = {nullptr, nullptr};
    EXPECT_EQ(dispatchEffectClass(nullptr, effIdentify, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(dispatchEffectClass(&blank, effClose, 0, 0, nullptr, 0.0f), 0);
    processClassReplacing(&blank, none, none, 16);
    setParameterClass(nullptr, 0, 1.0f);
    EXPECT_EQ(getParameterClass(&blank, 0), 0.0f);
}

TEST(EntryGlue, ProcessingEntriesIgnoreMissingBuffersAndEmptyBlocks) {
    struct Counting : TestEffect {
        int calls = 0;
        void processReplacing(float**, float**, int32_t) override { ++calls; }
    } effect;
    AEffect* e = effect.getAeffect();
    float sample = 0.0f;
    float* channels[2] = {&sample, &sample};
    e->processReplacing(e, nullptr, channels, 1);
    e->processReplacing(e, channels, nullptr, 1);
    e->processReplacing(e, channels, channels, 0);
    e->processReplacing(e, channels, channels, -5);
    EXPECT_EQ(effect.calls, 0);
    e->processReplacing(e, channels, channels, 1);
    EXPECT_EQ(effect.calls, 1);
}

int created = 0;
AudioEffect* makeEffect(audioMasterCallback master) {
    ++created;
    return new TestEffect(master);
}
AudioEffect* failToMake(audioMasterCallback) {
    throw std::bad_alloc();
}

TEST(EntryGlue, TheEntryAsksForTheVersionFirstAndCreatesOnlyWhenItIsNotZero) {
    RecordingHost::reset();
    created = 0;
    RecordingHost::answerVersion = 0;
    EXPECT_EQ(vstPluginEntry(RecordingHost::callback, makeEffect), nullptr);
    EXPECT_EQ(created, 0);
    ASSERT_EQ(RecordingHost::calls.size(), 1u);
    EXPECT_EQ(RecordingHost::calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(RecordingHost::calls[0].index, 0);
    EXPECT_EQ(RecordingHost::calls[0].value, 0);
    EXPECT_EQ(RecordingHost::calls[0].ptr, nullptr);

    for (intptr_t version : {1, 2400}) {
        RecordingHost::answerVersion = version;
        AEffect* e = vstPluginEntry(RecordingHost::callback, makeEffect);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->magic, kEffectMagic);
        EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    }
    EXPECT_EQ(created, 2);
}

TEST(EntryGlue, TheEntryAnswersNullWhenCreationFailsOrThereIsNoHost) {
    RecordingHost::reset();
    EXPECT_EQ(vstPluginEntry(RecordingHost::callback, failToMake), nullptr);
    EXPECT_EQ(vstPluginEntry(nullptr, makeEffect), nullptr);
}

} // namespace
