#include "vst/DAudioEffect.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "vst/HostText.h"

using vst_detail::HostTextIn;
using vst_detail::HostTextOut;

void copyBoundedText(char* dest, const char* source, size_t size) noexcept {
    if (!dest || size == 0) return;
    const size_t length = source ? strnlen(source, size - 1) : 0;
    std::memcpy(dest, source ? source : "", length);
    dest[length] = '\0';
}

namespace {

// effGetVu: the meter value scaled to 32767 and rounded to nearest, ties to even. Values no
// int32 holds (and NaN) would be undefined behaviour in the conversion; they are clamped.
intptr_t vuToHost(float vu) {
    const double scaled = std::nearbyint(static_cast<double>(vu) * 32767.0);
    if (std::isnan(scaled)) return 0;
    if (scaled >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    if (scaled <= static_cast<double>(INT32_MIN)) return INT32_MIN;
    return static_cast<intptr_t>(scaled);
}

bool isUsableSampleRate(float rate) {
    return std::isfinite(rate) && rate > 0.0f;
}

} // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams)
    : audioMaster(audioMaster), cEffect{}, numPrograms(numPrograms), numParams(numParams) {
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = kDefaultUniqueID;
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
    canProcessReplacing(true);
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect() = default;

void AudioEffect::setEditor(std::unique_ptr<AEffEditor> newEditor) {
    editor = std::move(newEditor);
    setFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::setFlag(int32_t flag, bool state) {
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

intptr_t AudioEffect::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                               float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::setParameterAutomated(int32_t index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

int32_t AudioEffect::getMasterVersion() {
    const auto version = static_cast<int32_t>(callHost(audioMasterVersion));
    return version == 0 ? 1 : version;
}

int32_t AudioEffect::getCurrentUniqueId() {
    return static_cast<int32_t>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle() {
    callHost(audioMasterIdle);
}

bool AudioEffect::isInputConnected(int32_t input) {
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(int32_t output) {
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt) {
    // Runs `write` into room of our own and hands the host at most `bound` bytes of it.
    auto textOut = [ptr](size_t bound, auto write) -> intptr_t {
        if (!ptr) return 0;
        HostTextOut text(ptr, bound);
        write(text.data());
        text.commit();
        return 0;
    };

    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        // Only an upper bound here; the program operation itself ignores negative numbers.
        if (value < numPrograms && value >= INT32_MIN) setProgram(static_cast<int32_t>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (ptr) setProgramName(HostTextIn(ptr).data());
        return 0;
    case effGetProgramName:
        return textOut(kHostProgramNameSize, [this](char* t) { getProgramName(t); });
    case effGetParamLabel:
        return textOut(kHostParamLabelSize, [&](char* t) { getParameterLabel(index, t); });
    case effGetParamDisplay:
        return textOut(kHostParamDisplaySize, [&](char* t) { getParameterDisplay(index, t); });
    case effGetParamName:
        return textOut(kHostParamNameSize, [&](char* t) { getParameterName(index, t); });
    case effGetVu:
        return vuToHost(getVu());
    case effSetSampleRate:
        // A rate of 0, below 0 or not a number would poison every coefficient: ignored.
        if (isUsableSampleRate(opt)) setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        if (value > 0 && value <= INT32_MAX) setBlockSize(static_cast<int32_t>(value));
        return 0;
    case effMainsChanged:
        if (value != 0)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        return editor && ptr ? editor->getRect(static_cast<ERect**>(ptr)) : 0;
    case effEditOpen:
        return editor ? editor->open(ptr) : 0;
    case effEditClose:
        if (editor) editor->close();
        return 0;
    case effEditIdle:
        if (editor) editor->idle();
        return 0;
    case effIdentify:
        return kEffectIdentify;
    case effGetChunk:
        return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk:
        if (!ptr || value < 0 || value > INT32_MAX) return 0;
        return setChunk(ptr, static_cast<int32_t>(value), index != 0);
    default: // effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep, unknown
        return 0;
    }
}
