#include "plugin/uPlugin.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kCapabilities[] = {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                                         "sendVstMidiEvent", "receiveVstTimeInfo"};

bool writePinProperties(const char* prefix, int32_t index, VstPinProperties* properties) {
    if (!properties || index < 0 || index > 1) return false;
    std::snprintf(properties->label, sizeof properties->label, "%s #%d", prefix,
                  static_cast<int>(index + 1));
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

} // namespace

APlugin::APlugin(audioMasterCallback audioMaster, APluginEditorFactory editorFactory)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams) {
    // C++ builds the base record first; the plug-in's own earlier steps follow on top of it, which
    // the host cannot tell apart (the base writes the same sample rate).
    setSampleRate(44100.0f);
    setProcessingDefaults();
    loadMidiMap();
    createMidiEventPool();
    createPrograms();
    if (editorFactory) setEditor(editorFactory(*this));
    suspend();
    // Host-visible properties, in this order.
    hasVu(false);
    setNumInputs(2);
    setNumOutputs(2);
    canMono(true);
    canProcessReplacing(true);
    isSynth(false);
    setUniqueID(kUniqueID);
    // Program 0: pushes its values through setParameter so that every derived field agrees.
    curProgram = 0;
    setProgram(0);
}

APlugin::~APlugin() {
    // The editor goes first: its window reads the plug-in's state until it is gone.
    setEditor(nullptr);
    // A map that no place takes is lost for this instance only; closing goes on. (Work
    // buffers, programs and event pool are members and are released after this body, in the
    // order noted in the header.)
    saveMidiMap();
}

// ---- Identity & host queries -----------------------------------------------------------------

void APlugin::resume() {
    wantEvents(1);
}

intptr_t APlugin::vendorSpecific(int32_t index, intptr_t value, void*, float opt) {
    constexpr int32_t kScaleIndex = fourCharCode("PreS");
    constexpr intptr_t kScaleValue = fourCharCode("AeCs");
    if (index != kScaleIndex || value != kScaleValue || editorNotice == nullptr) return 0;
    return editorNotice->hostScale(opt) ? 1 : 0;
}

int32_t APlugin::canDo(char* text) {
    if (!text) return -1;
    for (const char* capability : kCapabilities)
        if (std::strcmp(text, capability) == 0) return 1;
    return -1;
}

bool APlugin::getEffectName(char* name) {
    copyBoundedText(name, kEffectName, kVstMaxEffectNameLen);
    return true;
}

bool APlugin::getVendorString(char* text) {
    copyBoundedText(text, kVendorString, kVstMaxVendorStrLen);
    return true;
}

bool APlugin::getProductString(char* text) {
    copyBoundedText(text, kProductString, kVstMaxProductStrLen);
    return true;
}

bool APlugin::getInputProperties(int32_t index, VstPinProperties* properties) {
    return writePinProperties("Input", index, properties);
}

bool APlugin::getOutputProperties(int32_t index, VstPinProperties* properties) {
    return writePinProperties("Output", index, properties);
}
