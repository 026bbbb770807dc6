#pragma once
// AudioEffectX: the VST 2 extensions. Turns effect opcodes 25..79 into virtual operations with
// neutral defaults (everything else goes to AudioEffect) and wraps host opcodes 6..49.

#include "vst/DAudioEffect.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams)
        : AudioEffect(audioMaster, numPrograms, numParams) {}

    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                        float opt) override;
    /// Asks for MIDI events when the effect is a synth or says it receives MIDI.
    void resume() override;

    // Slots 40..49
    virtual bool canParameterBeAutomated(int32_t /*index*/) { return true; }
    virtual bool string2parameter(int32_t /*index*/, char* /*text*/) { return false; }
    virtual bool getParameterProperties(int32_t /*index*/, VstParameterProperties* /*p*/) {
        return false;
    }
    virtual bool beginEdit(int32_t index);
    virtual bool endEdit(int32_t index);
    virtual bool getProgramNameIndexed(int32_t /*category*/, int32_t /*index*/, char* /*text*/) {
        return false;
    }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual int32_t beginLoadBank(VstPatchChunkInfo* /*info*/) { return 0; }
    virtual int32_t beginLoadProgram(VstPatchChunkInfo* /*info*/) { return 0; }

    // Slots 50..59
    virtual bool ioChanged();
    /// Takes the host's sample rate when it is above 0; answers the stored rate either way.
    virtual float updateSampleRate();
    virtual int32_t updateBlockSize();
    virtual int32_t getInputLatency();
    virtual int32_t getOutputLatency();
    virtual bool getInputProperties(int32_t /*index*/, VstPinProperties* /*properties*/) {
        return false;
    }
    virtual bool getOutputProperties(int32_t /*index*/, VstPinProperties* /*properties*/) {
        return false;
    }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* /*input*/,
                                       VstSpeakerArrangement* /*output*/) {
        return false;
    }
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** input,
                                       VstSpeakerArrangement** output);
    virtual bool setBypass(bool /*onOff*/) { return false; }

    // Slots 60..69
    virtual bool setPanLaw(int32_t /*type*/, float /*gain*/) { return false; }
    virtual bool setProcessPrecision(int32_t /*precision*/) { return false; }
    virtual int32_t getNumMidiInputChannels() { return 0; }
    virtual int32_t getNumMidiOutputChannels() { return 0; }
    virtual VstTimeInfo* getTimeInfo(int32_t filter);
    virtual int32_t getCurrentProcessLevel();
    virtual int32_t processEvents(VstEvents* /*events*/) { return 0; }
    /// Hands events to the host; true exactly when the host answers 1.
    virtual bool sendVstEventsToHost(VstEvents* events);
    virtual int32_t startProcess() { return 0; }
    virtual int32_t stopProcess() { return 0; }

    // Slots 70..79
    virtual bool processVariableIo(VstVariableIo* /*varIo*/) { return false; }
    virtual int32_t setTotalSampleToProcess(int32_t value) { return value; }
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual int32_t getHostVendorVersion();
    virtual intptr_t hostVendorSpecific(int32_t arg1, intptr_t arg2, void* ptrArg, float floatArg);
    virtual int32_t canHostDo(char* text);
    virtual void isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); }
    virtual void noTail(bool state = true) { setFlag(effFlagsNoSoundInStop, state); }
    virtual int32_t getGetTailSize() { return 0; }

    // Slots 80..89
    virtual void* getDirectory();
    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual int32_t getVendorVersion() { return 0; }
    virtual intptr_t vendorSpecific(int32_t /*index*/, intptr_t /*value*/, void* /*ptr*/,
                                    float /*opt*/) {
        return 0;
    }
    virtual int32_t canDo(char* /*text*/) { return 0; }
    virtual int32_t getVstVersion() { return 2400; }
    virtual int32_t getPlugCategory() {
        return hasFlag(effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
    }
    virtual int32_t getMidiProgramName(int32_t /*channel*/, MidiProgramName* /*name*/) { return 0; }

    // Slots 90..99
    virtual int32_t getCurrentMidiProgram(int32_t /*channel*/, MidiProgramName* /*current*/) {
        return -1;
    }
    virtual int32_t getMidiProgramCategory(int32_t /*channel*/, MidiProgramCategory* /*c*/) {
        return 0;
    }
    virtual bool hasMidiProgramsChanged(int32_t /*channel*/) { return false; }
    virtual bool getMidiKeyName(int32_t /*channel*/, MidiKeyName* /*keyName*/) { return false; }
    virtual bool updateDisplay();
    virtual bool sizeWindow(int32_t width, int32_t height);
    /// Nothing is sent for a null selector.
    virtual bool openFileSelector(VstFileSelect* selector);
    virtual bool closeFileSelector(VstFileSelect* selector);
    virtual int32_t getNextShellPlugin(char* name) {
        copyBoundedText(name, "", 1);
        return 0;
    }
    virtual bool allocateArrangement(VstSpeakerArrangement** /*arrangement*/,
                                     int32_t /*nbChannels*/) {
        return false;
    }

    // Slots 100..109
    virtual bool deallocateArrangement(VstSpeakerArrangement** /*arrangement*/) { return false; }
    virtual bool copySpeaker(VstSpeakerProperties* /*to*/, VstSpeakerProperties* /*from*/) {
        return false;
    }
    virtual bool matchArrangement(VstSpeakerArrangement** /*to*/, VstSpeakerArrangement* /*from*/) {
        return false;
    }
    virtual bool offlineRead(VstOfflineTask* offline, int32_t option, bool readSource = true);
    virtual bool offlineWrite(VstOfflineTask* offline, int32_t option);
    virtual bool offlineStart(VstAudioFile* ptr, int32_t numAudioFiles, int32_t numNewAudioFiles);
    virtual int32_t offlineGetCurrentPass();
    virtual int32_t offlineGetCurrentMetaPass();
    virtual bool offlineNotify(VstAudioFile* /*ptr*/, int32_t /*numAudioFiles*/, bool /*start*/) {
        return false;
    }
    virtual bool offlinePrepare(VstOfflineTask* /*offline*/, int32_t /*count*/) { return false; }

    // Slots 110..119
    virtual bool offlineRun(VstOfflineTask* /*offline*/, int32_t /*count*/) { return false; }
    virtual int32_t offlineGetNumPasses() { return 0; }
    virtual int32_t offlineGetNumMetaPasses() { return 0; }
    virtual void wantEvents(int32_t filter = 1);
    virtual int32_t tempoAt(int32_t pos);
    virtual int32_t getNumAutomatableParameters();
    virtual int32_t getParameterQuantization();
    virtual int32_t getNumCategories() { return 1; }
    virtual bool copyProgram(int32_t /*destination*/) { return false; }
    virtual bool needIdle();

    // Slots 120..129
    virtual AEffect* getPreviousPlug(int32_t input);
    virtual AEffect* getNextPlug(int32_t output);
    virtual void inputConnected(int32_t /*index*/, bool /*state*/) {}
    virtual void outputConnected(int32_t /*index*/, bool /*state*/) {}
    virtual int32_t willProcessReplacing();
    virtual void wantAsyncOperation(bool state = true) { setFlag(effFlagsExtIsAsync, state); }
    virtual void hasExternalBuffer(bool state = true) { setFlag(effFlagsExtHasBuffer, state); }
    virtual int32_t reportCurrentPosition() { return 0; }
    virtual float* reportDestinationBuffer() { return nullptr; }
    virtual void setOutputSamplerate(float samplerate);

    // Slots 130..140
    virtual VstSpeakerArrangement* getInputSpeakerArrangement();
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
    virtual void* openWindow(VstWindow* window);
    virtual bool closeWindow(VstWindow* window);
    /// Stores both directly, without setSampleRate: coefficients are not recomputed.
    virtual void setBlockSizeAndSampleRate(int32_t newBlockSize, float newSampleRate) {
        blockSize = newBlockSize;
        sampleRate = newSampleRate;
    }
    virtual bool getErrorText(char* /*text*/) { return false; }
    virtual void* getIcon() { return nullptr; }
    virtual bool setViewPosition(int32_t /*x*/, int32_t /*y*/) { return false; }
    virtual int32_t fxIdle() { return 0; }
    virtual bool keysRequired() { return false; }
    /// Nothing is sent for a null path.
    virtual bool getChunkFile(void* nativePath);
};
