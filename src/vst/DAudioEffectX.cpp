#include "vst/DAudioEffectX.h"

#include <climits>
#include <cmath>

#include "vst/HostText.h"

using vst_detail::HostTextIn;
using vst_detail::HostTextOut;

namespace {

// effEditKeyDown/Up carry the modifier as a float: rounded, low byte; nothing usable is 0.
unsigned char modifierByte(float opt) {
    const double rounded = std::nearbyint(static_cast<double>(opt));
    if (!std::isfinite(rounded) || std::fabs(rounded) > 1e9) return 0;
    return static_cast<unsigned char>(static_cast<int64_t>(rounded) & 0xFF);
}

int32_t toInt32(intptr_t value) {
    return value > INT32_MAX   ? INT32_MAX
           : value < INT32_MIN ? INT32_MIN
                               : static_cast<int32_t>(value);
}

} // namespace

intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                  float opt) {
    auto textOut = [ptr](size_t bound, auto write) -> intptr_t {
        if (!ptr) return 0;
        HostTextOut text(ptr, bound);
        const auto result = write(text.data());
        text.commit();
        return result;
    };
    auto keyCode = [&] {
        return VstKeyCode{index, static_cast<unsigned char>(value & 0xFF), modifierByte(opt)};
    };
    const int32_t value32 = toInt32(value);

    switch (opcode) {
    case effProcessEvents:
        return ptr ? processEvents(static_cast<VstEvents*>(ptr)) : 0;
    case effCanBeAutomated:
        return canParameterBeAutomated(index);
    case effString2Parameter:
        return ptr ? string2parameter(index, HostTextIn(ptr).data()) : 0;
    case effGetNumProgramCategories:
        return getNumCategories();
    case effGetProgramNameIndexed:
        return textOut(kHostProgramNameSize,
                       [&](char* t) { return getProgramNameIndexed(value32, index, t); });
    case effCopyProgram:
        return copyProgram(index);
    case effConnectInput:
        inputConnected(index, value != 0);
        return 1;
    case effConnectOutput:
        outputConnected(index, value != 0);
        return 1;
    case effGetInputProperties:
        return ptr ? getInputProperties(index, static_cast<VstPinProperties*>(ptr)) : 0;
    case effGetOutputProperties:
        return ptr ? getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effGetCurrentPosition:
        return reportCurrentPosition();
    case effGetDestinationBuffer:
        return reinterpret_cast<intptr_t>(reportDestinationBuffer());
    case effOfflineNotify:
        return offlineNotify(static_cast<VstAudioFile*>(ptr), value32, index != 0);
    case effOfflinePrepare:
        return offlinePrepare(static_cast<VstOfflineTask*>(ptr), value32);
    case effOfflineRun:
        return offlineRun(static_cast<VstOfflineTask*>(ptr), value32);
    case effProcessVarIo:
        return processVariableIo(static_cast<VstVariableIo*>(ptr));
    case effSetSpeakerArrangement:
        return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                     static_cast<VstSpeakerArrangement*>(ptr));
    case effSetBlockSizeAndSampleRate:
        // Unusable values (a block of 0 samples, a rate that is no positive number) are ignored.
        if (value > 0 && value <= INT32_MAX && std::isfinite(opt) && opt > 0.0f)
            setBlockSizeAndSampleRate(value32, opt);
        return 1;
    case effSetBypass:
        return setBypass(value != 0);
    case effGetEffectName:
        return textOut(kHostEffectNameSize, [this](char* t) { return getEffectName(t); });
    case effGetErrorText:
        return textOut(kHostErrorTextSize, [this](char* t) { return getErrorText(t); });
    case effGetVendorString:
        return textOut(kHostVendorStringSize, [this](char* t) { return getVendorString(t); });
    case effGetProductString:
        return textOut(kHostProductStringSize, [this](char* t) { return getProductString(t); });
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return canDo(HostTextIn(ptr).data());
    case effGetTailSize:
        return getGetTailSize();
    case effIdle:
        return fxIdle();
    case effGetIcon:
        return reinterpret_cast<intptr_t>(getIcon());
    case effSetViewPosition:
        return setViewPosition(index, value32);
    case effGetParameterProperties:
        return ptr ? getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) : 0;
    case effKeysRequired:
        return keysRequired() ? 0 : 1;
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
        if (!editor) return 0;
        {
            VstKeyCode key = keyCode();
            return editor->onKeyDown(key);
        }
    case effEditKeyUp:
        if (!editor) return 0;
        {
            VstKeyCode key = keyCode();
            return editor->onKeyUp(key);
        }
    case effSetEditKnobMode:
        return editor ? editor->setKnobMode(value32) : 0;
    case effGetMidiProgramName:
        return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
    case effGetCurrentMidiProgram:
        return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory:
        return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
    case effHasMidiProgramsChanged:
        return hasMidiProgramsChanged(index);
    case effGetMidiKeyName:
        return getMidiKeyName(index, static_cast<MidiKeyName*>(ptr));
    case effBeginSetProgram:
        return beginSetProgram();
    case effEndSetProgram:
        return endSetProgram();
    case effGetSpeakerArrangement:
        return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                     static_cast<VstSpeakerArrangement**>(ptr));
    case effShellGetNextPlugin:
        return textOut(kHostShellNameSize, [this](char* t) { return getNextShellPlugin(t); });
    case effStartProcess:
        return startProcess();
    case effStopProcess:
        return stopProcess();
    case effSetTotalSampleToProcess:
        return setTotalSampleToProcess(value32);
    case effSetPanLaw:
        return setPanLaw(value32, opt);
    case effBeginLoadBank:
        return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
    case effBeginLoadProgram:
        return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
    case effSetProcessPrecision:
        return setProcessPrecision(value32);
    case effGetNumMidiInputChannels:
        return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels:
        return getNumMidiOutputChannels();
    default:
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

void AudioEffectX::resume() {
    char receiveMidi[] = "receiveVstMidiEvent";
    if (hasFlag(effFlagsIsSynth) || canDo(receiveMidi) == 1) wantEvents(1);
}

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** input,
                                         VstSpeakerArrangement** output) {
    if (input) *input = nullptr;
    if (output) *output = nullptr;
    return false;
}

// Host services. Without a callback each sends nothing and answers its neutral value.
bool AudioEffectX::beginEdit(int32_t index) {
    return callHost(audioMasterBeginEdit, index) != 0;
}
bool AudioEffectX::endEdit(int32_t index) {
    return callHost(audioMasterEndEdit, index) != 0;
}
bool AudioEffectX::ioChanged() {
    return callHost(audioMasterIOChanged) != 0;
}

float AudioEffectX::updateSampleRate() {
    const intptr_t rate = callHost(audioMasterGetSampleRate);
    if (rate > 0) sampleRate = static_cast<float>(rate);
    return sampleRate;
}

int32_t AudioEffectX::updateBlockSize() {
    const intptr_t size = callHost(audioMasterGetBlockSize);
    if (size > 0) blockSize = toInt32(size);
    return blockSize;
}

int32_t AudioEffectX::getInputLatency() {
    return toInt32(callHost(audioMasterGetInputLatency));
}
int32_t AudioEffectX::getOutputLatency() {
    return toInt32(callHost(audioMasterGetOutputLatency));
}

VstTimeInfo* AudioEffectX::getTimeInfo(int32_t filter) {
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

int32_t AudioEffectX::getCurrentProcessLevel() {
    return toInt32(callHost(audioMasterGetCurrentProcessLevel));
}

bool AudioEffectX::sendVstEventsToHost(VstEvents* events) {
    return callHost(audioMasterProcessEvents, 0, 0, events) == 1;
}

bool AudioEffectX::getHostVendorString(char* text) {
    return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}
bool AudioEffectX::getHostProductString(char* text) {
    return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}
int32_t AudioEffectX::getHostVendorVersion() {
    return toInt32(callHost(audioMasterGetVendorVersion));
}
intptr_t AudioEffectX::hostVendorSpecific(int32_t arg1, intptr_t arg2, void* ptrArg,
                                          float floatArg) {
    return callHost(audioMasterVendorSpecific, arg1, arg2, ptrArg, floatArg);
}
int32_t AudioEffectX::canHostDo(char* text) {
    return toInt32(callHost(audioMasterCanDo, 0, 0, text));
}

void* AudioEffectX::getDirectory() {
    return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}
bool AudioEffectX::updateDisplay() {
    return callHost(audioMasterUpdateDisplay) != 0;
}
bool AudioEffectX::sizeWindow(int32_t width, int32_t height) {
    return callHost(audioMasterSizeWindow, width, height) != 0;
}
bool AudioEffectX::openFileSelector(VstFileSelect* selector) {
    return selector && callHost(audioMasterOpenFileSelector, 0, 0, selector) != 0;
}
bool AudioEffectX::closeFileSelector(VstFileSelect* selector) {
    return selector && callHost(audioMasterCloseFileSelector, 0, 0, selector) != 0;
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, int32_t option, bool readSource) {
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}
bool AudioEffectX::offlineWrite(VstOfflineTask* offline, int32_t option) {
    return callHost(audioMasterOfflineWrite, 0, option, offline) != 0;
}
bool AudioEffectX::offlineStart(VstAudioFile* ptr, int32_t numAudioFiles,
                                int32_t numNewAudioFiles) {
    return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, ptr) != 0;
}
int32_t AudioEffectX::offlineGetCurrentPass() {
    return toInt32(callHost(audioMasterOfflineGetCurrentPass));
}
int32_t AudioEffectX::offlineGetCurrentMetaPass() {
    return toInt32(callHost(audioMasterOfflineGetCurrentMetaPass));
}

void AudioEffectX::wantEvents(int32_t filter) {
    callHost(audioMasterWantMidi, 0, filter);
}
int32_t AudioEffectX::tempoAt(int32_t pos) {
    return toInt32(callHost(audioMasterTempoAt, 0, pos));
}
int32_t AudioEffectX::getNumAutomatableParameters() {
    return toInt32(callHost(audioMasterGetNumAutomatableParameters));
}
int32_t AudioEffectX::getParameterQuantization() {
    return toInt32(callHost(audioMasterGetParameterQuantization));
}
bool AudioEffectX::needIdle() {
    return callHost(audioMasterNeedIdle) != 0;
}

AEffect* AudioEffectX::getPreviousPlug(int32_t /*input*/) {
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug));
}
AEffect* AudioEffectX::getNextPlug(int32_t /*output*/) {
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug));
}
int32_t AudioEffectX::willProcessReplacing() {
    return toInt32(callHost(audioMasterWillReplaceOrAccumulate));
}
void AudioEffectX::setOutputSamplerate(float samplerate) {
    callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, samplerate);
}

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement() {
    return reinterpret_cast<VstSpeakerArrangement*>(
        callHost(audioMasterGetInputSpeakerArrangement));
}
VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement() {
    return reinterpret_cast<VstSpeakerArrangement*>(
        callHost(audioMasterGetOutputSpeakerArrangement));
}
void* AudioEffectX::openWindow(VstWindow* window) {
    return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window));
}
bool AudioEffectX::closeWindow(VstWindow* window) {
    return callHost(audioMasterCloseWindow, 0, 0, window) != 0;
}
bool AudioEffectX::getChunkFile(void* nativePath) {
    return nativePath && callHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0;
}
