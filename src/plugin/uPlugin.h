#pragma once
// APlugin: the compressor as the host sees it.

#include <cstdint>

#include "vst/DAudioEffectX.h"

class APlugin : public AudioEffectX {
public:
    static constexpr int32_t kNumPrograms = 12;
    static constexpr int32_t kNumParams = 12;

    explicit APlugin(audioMasterCallback audioMaster);
    ~APlugin() override;

    // ---- Identity & host queries -------------------------------------------------------------
    static constexpr const char* kEffectName = "WadlingCompressor";
    static constexpr const char* kVendorString = "Reedmoor";
    static constexpr const char* kProductString = "WadlingCompressor";
    static constexpr int32_t kVendorVersion = 1;
    static constexpr int32_t kUniqueID = fourCharCode("KQZP");

    /// Asks the host for MIDI events; nothing else (the base resume is not run).
    void resume() override;
    /// 1 for the five capabilities below, -1 for any other text.
    int32_t canDo(char* text) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32_t getVendorVersion() override { return kVendorVersion; }
    /// Pins 0 and 1: "Input #1"/"Input #2" (or "Output #..."), active and stereo.
    bool getInputProperties(int32_t index, VstPinProperties* properties) override;
    bool getOutputProperties(int32_t index, VstPinProperties* properties) override;

    // ---- Parameters & programs ---------------------------------------------------------------

    // ---- Processing --------------------------------------------------------------------------
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;

    // ---- MIDI --------------------------------------------------------------------------------

    // ---- Editor ------------------------------------------------------------------------------

private:
    // Member order matters for destruction: members go in reverse order of declaration, and
    // the design frees the work buffers, then the programs, then the event pool. Declare the
    // event pool before the programs, and the programs before the work buffers.
};
