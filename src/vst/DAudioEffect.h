#pragma once
// AudioEffect: the base plug-in class of the VST 1 set. Turns effect opcodes 0..24 into virtual
// operations with neutral defaults and wraps host opcodes 0..4.

#include <atomic>
#include <memory>

#include "vst/DAEffEditor.h"
#include "vst/DAEffectX.h"

// Bounds for texts written into host buffers (terminator included). The interface's own
// limits are far below what plug-ins write in practice (8 characters for parameter texts), so
// hosts give more room than the limits say; but a host may give exactly the limit, and nothing
// tells us the size. Each kind of text gets the smallest bound that holds this plug-in's
// longest text of that kind, and never more than hosts are known to provide:
/// Parameter names and display texts: the longest name has 21 characters and displays reach 18.
/// Hosts show these in wide columns and give at least 24 bytes; 24 is also the program-name
/// limit, the size hosts use for the neighbouring buffer.
constexpr size_t kHostParamNameSize = 24;
constexpr size_t kHostParamDisplaySize = 24;
/// Parameter labels are units ("dB"): the interface limit of 8 holds them.
constexpr size_t kHostParamLabelSize = kVstMaxParamStrLen;
/// Program names: the interface limit of 24, which hosts allocate exactly. Longer names (a
/// program name holds up to 50 characters) reach the host cut to 23 characters.
constexpr size_t kHostProgramNameSize = kVstMaxProgNameLen;
/// Effect name 32, vendor and product 64: the interface limits, which hosts allocate.
constexpr size_t kHostEffectNameSize = kVstMaxEffectNameLen;
constexpr size_t kHostVendorStringSize = kVstMaxVendorStrLen;
constexpr size_t kHostProductStringSize = kVstMaxProductStrLen;
/// Shell plug-in names and error texts: the sizes the interface documents for these buffers.
constexpr size_t kHostShellNameSize = 64;
constexpr size_t kHostErrorTextSize = 256;
/// Room the operations get to write into, well above every bound; what exceeds the bound of
/// its kind is cut when the text is copied to the host.
constexpr size_t kTextScratchSize = 512;

/// Copies `source` into `dest` of `size` bytes, cut and always terminated; nothing when `dest`
/// is null or `size` is 0.
void copyBoundedText(char* dest, const char* source, size_t size) noexcept;

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
    virtual ~AudioEffect();
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // Slots 0..9
    virtual void setSampleRate(float newSampleRate) { sampleRate = newSampleRate; }
    virtual void setBlockSize(int32_t newBlockSize) { blockSize = newBlockSize; }
    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt);
    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) = 0;
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/,
                                        int32_t /*sampleFrames*/) {}
    virtual void setParameter(int32_t /*index*/, float /*value*/) {}

    // Slots 10..19
    virtual float getParameter(int32_t /*index*/) { return 0.0f; }
    /// Sets the parameter, then reports the caller's value to the host for automation.
    virtual void setParameterAutomated(int32_t index, float value);
    virtual int32_t getProgram() { return curProgram.load(std::memory_order_relaxed); }
    virtual void setProgram(int32_t program) {
        curProgram.store(program, std::memory_order_relaxed);
    }
    virtual void setProgramName(char* /*name*/) {}
    virtual void getProgramName(char* name) { copyBoundedText(name, "", 1); }
    virtual void getParameterLabel(int32_t /*index*/, char* label) {
        copyBoundedText(label, "", 1);
    }
    virtual void getParameterDisplay(int32_t /*index*/, char* text) {
        copyBoundedText(text, "", 1);
    }
    virtual void getParameterName(int32_t /*index*/, char* text) { copyBoundedText(text, "", 1); }
    virtual int32_t getChunk(void** /*data*/, bool /*isPreset*/ = false) { return 0; }

    // Slots 20..29
    virtual int32_t setChunk(void* /*data*/, int32_t /*byteSize*/, bool /*isPreset*/ = false) {
        return 0;
    }
    virtual void setUniqueID(int32_t iD) { cEffect.uniqueID = iD; }
    virtual void setNumInputs(int32_t inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(int32_t outputs) { cEffect.numOutputs = outputs; }
    virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    virtual void canDoubleReplacing(bool state = true) {
        setFlag(effFlagsCanDoubleReplacing, state);
    }
    virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    virtual void setInitialDelay(int32_t delay) { cEffect.initialDelay = delay; }
    /// The host's VST version; 1 when it answers 0 or there is no host.
    virtual int32_t getMasterVersion();
    virtual int32_t getCurrentUniqueId();

    // Slots 30..39
    virtual void masterIdle();
    virtual void process(float** /*inputs*/, float** /*outputs*/, int32_t /*sampleFrames*/) {}
    virtual float getVu() { return 0.0f; }
    virtual void hasVu(bool state = true) { setFlag(effFlagsHasVu, state); }
    virtual void hasClip(bool state = true) { setFlag(effFlagsHasClip, state); }
    virtual void canMono(bool state = true) { setFlag(effFlagsCanMono, state); }
    virtual void setRealtimeQualities(int32_t qualities) { cEffect.realQualities = qualities; }
    virtual void setOfflineQualities(int32_t qualities) { cEffect.offQualities = qualities; }
    /// True unless the host says the pin is not connected (it answers 0 for connected).
    virtual bool isInputConnected(int32_t input);
    virtual bool isOutputConnected(int32_t output);

    /// The record handed to the host; it lives as long as this object.
    AEffect* getAeffect() { return &cEffect; }
    /// Takes ownership of the editor (null removes it) and sets effFlagsHasEditor to match.
    void setEditor(std::unique_ptr<AEffEditor> newEditor);
    AEffEditor* getEditor() const { return editor.get(); }

protected:
    /// Calls the host; 0 without a callback. Arguments not given are 0.
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    void setFlag(int32_t flag, bool state);
    bool hasFlag(int32_t flag) const { return (cEffect.flags & flag) != 0; }

    audioMasterCallback audioMaster;
    AEffect cEffect;
    std::unique_ptr<AEffEditor> editor;
    // The host changes these only while processing is switched off (the VST 2 contract), so
    // the processing thread never sees them change under it.
    float sampleRate = 44100.0f;
    int32_t blockSize = 1024;
    int32_t numPrograms;
    int32_t numParams;
    // Program changes may come on another thread than parameter changes, which read it.
    std::atomic<int32_t> curProgram{0};
};
