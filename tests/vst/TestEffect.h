#pragma once
// A plug-in built on the base classes for their unit tests, and a host callback that records.

#include <cstring>
#include <string>
#include <vector>

#include "vst/DAudioEffectX.h"

struct RecordedCall {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
};

/// Records every call and answers `nextAnswer` (per opcode when set in `answers`).
struct RecordingHost {
    static inline std::vector<RecordedCall> calls;
    static inline intptr_t answerVersion = 2400;
    static inline intptr_t answerOther = 0;
    static void reset() {
        calls.clear();
        answerVersion = 2400;
        answerOther = 0;
    }
    static intptr_t VSTCALLBACK callback(AEffect*, int32_t opcode, int32_t index, intptr_t value,
                                         void* ptr, float opt) {
        calls.push_back({opcode, index, value, ptr, opt});
        return opcode == audioMasterVersion ? answerVersion : answerOther;
    }
};

class TestEffect : public AudioEffectX {
public:
    explicit TestEffect(audioMasterCallback master = RecordingHost::callback, int32_t programs = 12,
                        int32_t params = 12)
        : AudioEffectX(master, programs, params) {}

    void processReplacing(float**, float**, int32_t) override {}

    // Observations
    std::vector<std::string> log;
    float vu = 0.0f;
    int32_t receivesMidi = 0;
    bool wantsKeys = false;
    std::string textToWrite; // written by every text operation unless `writeNothing`
    bool writeNothing = false;

    void setSampleRate(float rate) override {
        log.push_back("setSampleRate " + std::to_string(rate));
        AudioEffectX::setSampleRate(rate);
    }
    void setProgram(int32_t program) override {
        log.push_back("setProgram " + std::to_string(program));
        AudioEffectX::setProgram(program);
    }
    void setParameter(int32_t index, float value) override {
        log.push_back("setParameter " + std::to_string(index) + " " + std::to_string(value));
    }
    void suspend() override { log.push_back("suspend"); }
    float getVu() override { return vu; }
    int32_t canDo(char* text) override {
        return std::strcmp(text, "receiveVstMidiEvent") == 0 ? receivesMidi : 0;
    }
    bool keysRequired() override { return wantsKeys; }

    void getProgramName(char* t) override { write(t); }
    void getParameterLabel(int32_t, char* t) override { write(t); }
    void getParameterDisplay(int32_t, char* t) override { write(t); }
    void getParameterName(int32_t, char* t) override { write(t); }
    bool getProgramNameIndexed(int32_t, int32_t, char* t) override { return write(t); }
    bool getEffectName(char* t) override { return write(t); }
    bool getVendorString(char* t) override { return write(t); }
    bool getProductString(char* t) override { return write(t); }
    bool getErrorText(char* t) override { return write(t); }
    int32_t getNextShellPlugin(char* t) override { return write(t); }

    // Widen access for the tests.
    using AudioEffect::blockSize;
    using AudioEffect::curProgram;
    using AudioEffect::sampleRate;

private:
    bool write(char* text) {
        if (writeNothing) return false;
        std::memcpy(text, textToWrite.c_str(), textToWrite.size() + 1);
        return true;
    }
};

/// An editor that tells what reached it.
class TestEditor : public AEffEditor {
public:
    TestEditor(AudioEffect* effect, std::vector<std::string>& log) : AEffEditor(effect), log(log) {}
    ~TestEditor() override { log.push_back("editor destroyed"); }
    bool getRect(ERect** rect) override {
        *rect = &r;
        return true;
    }
    bool open(void* parent) override {
        log.push_back(parent ? "open parent" : "open null");
        return true;
    }
    void close() override { log.push_back("close"); }
    void idle() override { log.push_back("idle"); }
    bool onKeyDown(VstKeyCode& key) override {
        lastKey = key;
        return true;
    }
    bool onKeyUp(VstKeyCode& key) override {
        lastKey = key;
        return false;
    }
    bool setKnobMode(int32_t mode) override { return mode == 2; }

    ERect r{0, 0, 322, 490};
    VstKeyCode lastKey{};
    std::vector<std::string>& log;
};
