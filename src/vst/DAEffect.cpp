#include "vst/DAEffect.h"

#include "vst/DAudioEffect.h"

namespace {

AudioEffect* objectOf(AEffect* e) {
    return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}

} // namespace

intptr_t VSTCALLBACK dispatchEffectClass(AEffect* e, int32_t opcode, int32_t index, intptr_t value,
                                         void* ptr, float opt) noexcept {
    AudioEffect* effect = objectOf(e);
    if (!effect) return 0;
    if (opcode == effClose) {
        // The object goes even when its close operation fails: the host forgets the record.
        try {
            effect->dispatcher(opcode, index, value, ptr, opt);
        } catch (...) {
        }
        delete effect;
        return 1;
    }
    try {
        return effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

void VSTCALLBACK processClass(AEffect* e, float** inputs, float** outputs,
                              int32_t sampleFrames) noexcept {
    AudioEffect* effect = objectOf(e);
    if (!effect || !inputs || !outputs || sampleFrames <= 0) return;
    try {
        effect->process(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void VSTCALLBACK processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                       int32_t sampleFrames) noexcept {
    AudioEffect* effect = objectOf(e);
    if (!effect || !inputs || !outputs || sampleFrames <= 0) return;
    try {
        effect->processReplacing(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void VSTCALLBACK processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                             int32_t sampleFrames) noexcept {
    AudioEffect* effect = objectOf(e);
    if (!effect || !inputs || !outputs || sampleFrames <= 0) return;
    try {
        effect->processDoubleReplacing(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

void VSTCALLBACK setParameterClass(AEffect* e, int32_t index, float value) noexcept {
    AudioEffect* effect = objectOf(e);
    if (!effect) return;
    try {
        effect->setParameter(index, value);
    } catch (...) {
    }
}

float VSTCALLBACK getParameterClass(AEffect* e, int32_t index) noexcept {
    AudioEffect* effect = objectOf(e);
    if (!effect) return 0.0f;
    try {
        return effect->getParameter(index);
    } catch (...) {
        return 0.0f;
    }
}

AEffect* vstPluginEntry(audioMasterCallback audioMaster, AudioEffectFactory create) noexcept {
    if (!audioMaster || !create) return nullptr;
    try {
        if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
        AudioEffect* effect = create(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    } catch (...) {
        return nullptr;
    }
}
