#include "vst/DAEffect.h"

#include "vst/DAudioEffect.h"

namespace {

AudioEffect* objectOf(AEffect* e) {
    return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}

// No exception crosses an entry: a failing call answers the entry's neutral value.
template <typename Result, typename Call>
Result guarded(Result neutral, Call&& call) noexcept {
    try {
        return call();
    } catch (...) {
        return neutral;
    }
}

template <typename Call>
void guarded(Call&& call) noexcept {
    try {
        call();
    } catch (...) {
    }
}

template <typename Sample>
void processEntry(AEffect* e, Sample** inputs, Sample** outputs, int32_t sampleFrames,
                  void (AudioEffect::*process)(Sample**, Sample**, int32_t)) noexcept {
    AudioEffect* effect = objectOf(e);
    if (!effect || !inputs || !outputs || sampleFrames <= 0) return;
    guarded([&] { (effect->*process)(inputs, outputs, sampleFrames); });
}

} // namespace

intptr_t VSTCALLBACK dispatchEffectClass(AEffect* e, int32_t opcode, int32_t index, intptr_t value,
                                         void* ptr, float opt) noexcept {
    AudioEffect* effect = objectOf(e);
    if (!effect) return 0;
    const auto dispatch = [&] { return effect->dispatcher(opcode, index, value, ptr, opt); };
    if (opcode != effClose) return guarded<intptr_t>(0, dispatch);
    // The object goes even when its close operation fails: the host forgets the record.
    guarded(dispatch);
    delete effect;
    return 1;
}

void VSTCALLBACK processClass(AEffect* e, float** inputs, float** outputs,
                              int32_t sampleFrames) noexcept {
    processEntry(e, inputs, outputs, sampleFrames, &AudioEffect::process);
}

void VSTCALLBACK processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                       int32_t sampleFrames) noexcept {
    processEntry(e, inputs, outputs, sampleFrames, &AudioEffect::processReplacing);
}

void VSTCALLBACK processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                             int32_t sampleFrames) noexcept {
    processEntry(e, inputs, outputs, sampleFrames, &AudioEffect::processDoubleReplacing);
}

void VSTCALLBACK setParameterClass(AEffect* e, int32_t index, float value) noexcept {
    if (AudioEffect* effect = objectOf(e)) guarded([&] { effect->setParameter(index, value); });
}

float VSTCALLBACK getParameterClass(AEffect* e, int32_t index) noexcept {
    AudioEffect* effect = objectOf(e);
    return effect ? guarded(0.0f, [&] { return effect->getParameter(index); }) : 0.0f;
}

AEffect* vstPluginEntry(audioMasterCallback audioMaster, AudioEffectFactory create) noexcept {
    if (!audioMaster || !create) return nullptr;
    return guarded<AEffect*>(nullptr, [&]() -> AEffect* {
        if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
        AudioEffect* effect = create(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    });
}
