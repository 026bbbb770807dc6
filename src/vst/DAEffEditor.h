#pragma once
// The editor base: the editor requests of the VST 2 interface with their neutral defaults.
// The plug-in's editor derives from it; the effect owns it (AudioEffect::setEditor).

#include "vst/DAEffectX.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
    virtual ~AEffEditor() = default;
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    /// Hands the host the editor's rectangle; the base has none.
    virtual bool getRect(ERect** rect) {
        if (rect) *rect = nullptr;
        return false;
    }
    /// Opens the editor inside the host's window `ptr`.
    virtual bool open(void* ptr) {
        systemWindow = ptr;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual bool isOpen() { return systemWindow != nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool onKeyUp(VstKeyCode& /*keyCode*/) { return false; }
    virtual bool setKnobMode(int32_t /*mode*/) { return false; }
    virtual bool onWheel(float /*distance*/) { return false; }

protected:
    AudioEffect* effect;
    void* systemWindow = nullptr;
};
