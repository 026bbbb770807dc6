#pragma once
// APlugin: the compressor as the host sees it.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "plugin/uPluginMidiMap.h"
#include "vst/DAudioEffectX.h"

/// Parameter indices as hosts, programs, the MIDI map and the editor's tags number them; the
/// indices from EQListen + 1 up to Count - 1 are reserved.
namespace param {
enum : int32_t { EQLo = 0, EQMid, EQHi, Squeeze, DryWet, Skweezy, EQListen, Count = 12 };
}

class APlugin;

/// How the plug-in tells its editor that parameter values changed, knowing no window: `update`
/// after every setParameter, and once more after setProgram and setProgramName while the editor
/// is open. It comes on whichever thread set the parameter, the audio thread included, so it
/// takes no lock; the editor reads the values it shows through getParameter.
class APluginEditorNotice {
public:
    virtual void update() = 0;
    /// The host's scale for the editor (1 = 100 %), given before or while it is open (on the
    /// host's user-interface thread). Answers whether the editor takes it.
    virtual bool hostScale(float factor) {
        (void)factor;
        return false;
    }

protected:
    ~APluginEditorNotice() = default;
};

/// Makes the editor of a plug-in (the editor layer's createPluginEditor); the plug-in's own
/// layer never links the window code.
using APluginEditorFactory = std::unique_ptr<AEffEditor> (*)(APlugin& plugin);

/// One program: twelve parameter values and a name of at most 50 characters.
struct APluginProgram {
    static constexpr int kNameSize = 51;
    APluginProgram();
    // Written by setParameter from whichever thread changes a parameter.
    std::array<std::atomic<float>, param::Count> values;
    char name[kNameSize];
};

class APlugin : public AudioEffectX {
public:
    static constexpr int32_t kNumPrograms = 12;
    static constexpr int32_t kNumParams = param::Count;

    /// `editorFactory` makes the editor (the library passes createPluginEditor); without one the
    /// plug-in has no editor.
    explicit APlugin(audioMasterCallback audioMaster, APluginEditorFactory editorFactory = nullptr);
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
    /// 'PreS' with 'AeCs' and the scale in `opt` goes to the editor (1 when it takes it); any
    /// other call answers 0.
    intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) override;
    /// Pins 0 and 1: "Input #1"/"Input #2" (or "Output #..."), active and stereo.
    bool getInputProperties(int32_t index, VstPinProperties* properties) override;
    bool getOutputProperties(int32_t index, VstPinProperties* properties) override;

    // ---- Parameters & programs ---------------------------------------------------------------
    /// Clamps to 0..1 (NaN gives 0), stores into the store and the current program, then maps
    /// the value to the processing state. Indices outside 0..11 are ignored.
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    void getParameterName(int32_t index, char* text) override;
    void getParameterLabel(int32_t index, char* label) override;
    /// Display text; indices 7..11 leave the host's buffer as it was.
    void getParameterDisplay(int32_t index, char* text) override;
    /// Makes the program current and pushes its twelve values through setParameter.
    void setProgram(int32_t program) override;
    /// Renames the current program; a name longer than 50 characters is cut to 50.
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;

    // ---- Processing --------------------------------------------------------------------------
    /// Recomputes every rate-dependent coefficient and resets the filters and the detector.
    /// A rate that is not positive is ignored; others are held within 2 kHz to 10 MHz, where
    /// the band filters stay stable.
    void setSampleRate(float newSampleRate) override;
    /// Resets the filter and detector state; parameter-driven fields stay.
    void suspend() override;
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
    /// Grows the work buffers for blocks of `frames` ahead of processing, so that such blocks
    /// allocate nothing on the audio thread; false when memory runs out.
    bool reserveFrames(int32_t frames);
    /// Replaces the output like processReplacing (it does not accumulate).
    void process(float** inputs, float** outputs, int32_t sampleFrames) override;
    /// Answers the meter value and clears it; nothing writes it, so it is always 0.
    float getVu() override;

    // ---- MIDI --------------------------------------------------------------------------------
    /// Slot 0 carries events out to the host; slots 1..250 are the input queue.
    static constexpr int32_t kMidiPoolSize = 251;
    /// midiNextEventPos when nothing is queued.
    static constexpr int32_t kMidiNoEvent = 2147483647;

    /// Queues the host's MIDI events for the audio loop; answers 1 (0 for a null list).
    int32_t processEvents(VstEvents* events) override;
    /// Handles every event queued for `position` and moves midiNextEventPos on.
    void dispatchMidiEvents(int32_t position);
    /// The block position of the events being handled: a host that timestamps what the plug-in
    /// passes on reads it from inside its callback (the VST 2 record carries 0 there).
    int32_t midiEventPosition() const { return midiDispatchPos; }
    /// End of a block: events still queued (at or beyond its end) move to position 0 of the
    /// next block.
    void finishMidiBlock();
    /// Unassigns every controller and stops learning.
    void clearMidiMap();
    /// Controllers 20..31 on parameters 0..11.
    void setDefaultMidiMap();
    /// The mapping report that the editor shows.
    std::string getMidiMapText();
    /// Reads the map file (see midimap::MapFiles for which one); the default map when there is
    /// none.
    void loadMidiMap();
    /// Replaces the map file with the current map; false when no place took it.
    bool saveMidiMap() noexcept;
    /// Folder of this plug-in's library file with its trailing separator; empty if unknown.
    static std::string getLibraryFolder();
    /// The map's places for this library and this user.
    static midimap::MapFiles getMidiMapFiles();

    /// Where this instance reads and writes its map; found at creation.
    midimap::MapFiles midiMapFiles = getMidiMapFiles();

    /// Controller number -> parameter index, -1 = unassigned.
    std::array<std::atomic<int32_t>, 128> midiCcMap;
    /// Parameter index -> controller last assigned by the default map or by learning, or -1.
    /// One entry beyond the parameters, which is only ever cleared, as the map has always had.
    static constexpr int32_t kMidiParamCcSize = kNumParams + 1;
    std::array<std::atomic<int32_t>, kMidiParamCcSize> midiParamCc;
    /// Parameter waiting for a controller (set by the editor), -1 = not learning.
    std::atomic<int32_t> midiLearnParam{-1};

    // ---- Editor ------------------------------------------------------------------------------
    /// Set by the wrapper when its window goes, cleared by every open; read by update on any
    /// thread.
    std::atomic<bool> editorClosed{false};
    /// Where parameter changes are told: the editor sets itself when made and clears this before
    /// it goes; null without an editor.
    void setEditorNotice(APluginEditorNotice* notice) { editorNotice = notice; }

private:
    // Member order matters for destruction: members go in reverse order of declaration, and
    // destruction frees the work buffers, then the programs, then the event pool. Declare the
    // event pool before the programs, and the programs before the work buffers.

    // ---- MIDI (processing thread only) -------------------------------------------------------
    void createMidiEventPool();
    void handleMidiEvent(const VstMidiEvent& event);
    void handleController(uint8_t cc, uint8_t value);
    void passMidiToHost(uint8_t status, uint8_t data1, uint8_t data2);

    std::unique_ptr<VstMidiEvent[]> midiEventPool;
    std::unique_ptr<VstEvents> midiOutEvents;
    int32_t midiQueuedCount = 0;
    /// Sample position of the earliest queued event in the current block.
    int32_t midiNextEventPos = kMidiNoEvent;
    int32_t midiDispatchPos = 0;
    /// Highest queue slot in use: the scans stop there.
    int32_t midiLastSlot = 0;

    // ---- Parameters & programs ---------------------------------------------------------------
    void createPrograms();
    /// The editor's update, unless its window is closed.
    void refreshEditor();
    void mapParameter(int32_t index, float value);
    void updateMakeup();

    std::array<std::atomic<float>, kNumParams> paramValues{};
    std::array<std::unique_ptr<APluginProgram>, kNumPrograms> programs;
    APluginEditorNotice* editorNotice = nullptr;

    // ---- Processing --------------------------------------------------------------------------
    void setProcessingDefaults();
    bool growBuffers(int32_t sampleFrames);
    void processPiece(float** inputs, float** outputs, int32_t start, int32_t length);

    // Every field that setParameter, setSampleRate or suspend writes may be read by the audio
    // thread at the same moment: one relaxed atomic word each, the same plain stores on x86.
    using Atomic = std::atomic<float>;
    Atomic invSampleRate{0.0f};
    Atomic samplesPerMs{0.0f};
    int32_t bufferCapacity = 0; // audio thread only
    std::unique_ptr<float[]> workBufL, workBufR, sideBufL, sideBufR;
    Atomic wetGain{0.0f};
    Atomic dryGain{0.0f};
    std::atomic<bool> listen{false};
    Atomic eqLoSplitCoef{0.0f}, eqHiSplitCoef{0.0f};
    Atomic eqLoGain{1.0f}, eqMidGain{1.0f}, eqHiGain{1.0f};
    Atomic eqLoDb{0.0f}, eqMidDb{0.0f}, eqHiDb{0.0f};
    Atomic eqLoStateL{0.0f}, eqLoStateR{0.0f}, eqHiStateL{0.0f}, eqHiStateR{0.0f};
    Atomic envAttackMs{10.0f};
    Atomic envReleaseMs{50.0f};
    Atomic envAttackCoef{0.0f}, envReleaseCoef{0.0f};
    Atomic envelope{0.0f};
    Atomic grAttackMs{10.0f};
    Atomic grReleaseMs{50.0f};
    Atomic grAttackCoef{0.0f}, grReleaseCoef{0.0f};
    Atomic ratio{6.0f};
    Atomic slope{0.0f};
    Atomic thresholdLin{0.0f};
    Atomic thresholdDb{0.0f};
    Atomic makeupLin{0.0f};
    Atomic makeupDb{0.0f};
    Atomic overshootDb{0.0f};
    Atomic gain{1.0f};
    Atomic vu{0.0f};
};
