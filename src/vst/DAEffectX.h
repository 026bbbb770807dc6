#pragma once
// The VST 2 extensions of the binary interface: effect opcodes 25..79, host opcodes 6..49, and
// the records they carry (pin properties, editor rectangle, key code, events, time info).

#include "vst/DAEffect.h"

/// Effect opcodes of the VST 2 extensions.
enum AEffectXOpcodes : int32_t {
    effProcessEvents = effNumOpcodes, // 25
    effCanBeAutomated,
    effString2Parameter,
    effGetNumProgramCategories,
    effGetProgramNameIndexed,
    effCopyProgram, // 30
    effConnectInput,
    effConnectOutput,
    effGetInputProperties,
    effGetOutputProperties,
    effGetPlugCategory,
    effGetCurrentPosition,
    effGetDestinationBuffer,
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun, // 40
    effProcessVarIo,
    effSetSpeakerArrangement,
    effSetBlockSizeAndSampleRate,
    effSetBypass,
    effGetEffectName,
    effGetErrorText,
    effGetVendorString,
    effGetProductString,
    effGetVendorVersion,
    effVendorSpecific, // 50
    effCanDo,
    effGetTailSize,
    effIdle,
    effGetIcon,
    effSetViewPosition,
    effGetParameterProperties,
    effKeysRequired,
    effGetVstVersion,
    effEditKeyDown,
    effEditKeyUp, // 60
    effSetEditKnobMode,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effHasMidiProgramsChanged,
    effGetMidiKeyName,
    effBeginSetProgram,
    effEndSetProgram,
    effGetSpeakerArrangement,
    effShellGetNextPlugin, // 70
    effStartProcess,
    effStopProcess,
    effSetTotalSampleToProcess,
    effSetPanLaw,
    effBeginLoadBank,
    effBeginLoadProgram,
    effSetProcessPrecision,
    effGetNumMidiInputChannels,
    effGetNumMidiOutputChannels,
    effNumXOpcodes // 80: no opcode from here on
};
static_assert(effGetNumMidiOutputChannels == 79);

/// Host opcodes of the VST 2 extensions.
enum AudioMasterXOpcodes : int32_t {
    audioMasterReserved5 = audioMasterPinConnected + 1, // 5: never sent
    audioMasterWantMidi,                                // 6
    audioMasterGetTime,
    audioMasterProcessEvents,
    audioMasterSetTime, // never sent
    audioMasterTempoAt, // 10
    audioMasterGetNumAutomatableParameters,
    audioMasterGetParameterQuantization,
    audioMasterIOChanged,
    audioMasterNeedIdle,
    audioMasterSizeWindow,
    audioMasterGetSampleRate,
    audioMasterGetBlockSize,
    audioMasterGetInputLatency,
    audioMasterGetOutputLatency,
    audioMasterGetPreviousPlug, // 20
    audioMasterGetNextPlug,
    audioMasterWillReplaceOrAccumulate,
    audioMasterGetCurrentProcessLevel,
    audioMasterGetAutomationState, // never sent
    audioMasterOfflineStart,
    audioMasterOfflineRead,
    audioMasterOfflineWrite,
    audioMasterOfflineGetCurrentPass,
    audioMasterOfflineGetCurrentMetaPass,
    audioMasterSetOutputSampleRate, // 30
    audioMasterGetOutputSpeakerArrangement,
    audioMasterGetVendorString,
    audioMasterGetProductString,
    audioMasterGetVendorVersion,
    audioMasterVendorSpecific,
    audioMasterSetIcon, // never sent
    audioMasterCanDo,
    audioMasterGetLanguage, // never sent
    audioMasterOpenWindow,
    audioMasterCloseWindow, // 40
    audioMasterGetDirectory,
    audioMasterUpdateDisplay,
    audioMasterBeginEdit,
    audioMasterEndEdit,
    audioMasterOpenFileSelector,
    audioMasterCloseFileSelector,
    audioMasterEditFile, // never sent
    audioMasterGetChunkFile,
    audioMasterGetInputSpeakerArrangement, // 49
};
static_assert(audioMasterGetInputSpeakerArrangement == 49);

/// Plug-in categories (effGetPlugCategory).
enum VstPlugCategory : int32_t {
    kPlugCategUnknown = 0,
    kPlugCategEffect,
    kPlugCategSynth,
    kPlugCategAnalysis,
    kPlugCategMastering,
    kPlugCategSpacializer,
    kPlugCategRoomFx,
    kPlugSurroundFx,
    kPlugCategRestoration,
    kPlugCategOfflineProcess,
    kPlugCategShell,
    kPlugCategGenerator,
};

/// Text sizes the interface itself names (terminator included). The bounds the plug-in really
/// applies to host buffers are in DAudioEffect.h.
constexpr size_t kVstMaxProgNameLen = 24;
constexpr size_t kVstMaxParamStrLen = 8;
constexpr size_t kVstMaxVendorStrLen = 64;
constexpr size_t kVstMaxProductStrLen = 64;
constexpr size_t kVstMaxEffectNameLen = 32;

/// Bits of VstPinProperties::flags.
enum VstPinPropertiesFlags : int32_t {
    kVstPinIsActive = 1 << 0,
    kVstPinIsStereo = 1 << 1,
    kVstPinUseSpeaker = 1 << 2,
};

/// Describes one input or output pin (effGetInputProperties, effGetOutputProperties).
struct VstPinProperties {
    char label[64];
    int32_t flags;
    int32_t arrangementType;
    char shortLabel[8];
    char future[48];
};
static_assert(sizeof(VstPinProperties) == 128);
static_assert(offsetof(VstPinProperties, flags) == 64);
static_assert(offsetof(VstPinProperties, arrangementType) == 68);
static_assert(offsetof(VstPinProperties, shortLabel) == 72);

/// The editor's rectangle (effEditGetRect).
struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};
static_assert(sizeof(ERect) == 8);

/// A key press handed to the editor (effEditKeyDown, effEditKeyUp).
struct VstKeyCode {
    int32_t character;
    unsigned char virt;
    unsigned char modifier;
};
static_assert(sizeof(VstKeyCode) == 8);
static_assert(offsetof(VstKeyCode, virt) == 4);
static_assert(offsetof(VstKeyCode, modifier) == 5);

/// VstEvent::type values.
enum VstEventTypes : int32_t {
    kVstMidiType = 1,
    kVstSysExType = 6,
};

/// Any event of an event list; `type` tells which record it really is.
struct VstEvent {
    int32_t type;
    int32_t byteSize; // size of the record after these first two fields
    int32_t deltaFrames;
    int32_t flags;
    char data[16];
};
static_assert(sizeof(VstEvent) == 32);

/// A MIDI channel message with its sample position inside the block.
struct VstMidiEvent {
    int32_t type; // kVstMidiType
    int32_t byteSize;
    int32_t deltaFrames;
    int32_t flags;
    int32_t noteLength;
    int32_t noteOffset;
    char midiData[4]; // status, data 1, data 2, reserved
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};
static_assert(sizeof(VstMidiEvent) == 32);
static_assert(offsetof(VstMidiEvent, deltaFrames) == 8);
static_assert(offsetof(VstMidiEvent, noteLength) == 16);
static_assert(offsetof(VstMidiEvent, midiData) == 24);
static_assert(offsetof(VstMidiEvent, detune) == 28);
static_assert(offsetof(VstMidiEvent, reserved1) == 30);

/// An event list: `numEvents` pointers follow (the record declares two; hosts allocate more).
struct VstEvents {
    int32_t numEvents;
    intptr_t reserved;
    VstEvent* events[2];
};
#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(VstEvents) == 16);
static_assert(offsetof(VstEvents, events) == 8);
#else
static_assert(sizeof(VstEvents) == 32);
static_assert(offsetof(VstEvents, events) == 16);
#endif

/// The host's transport state (audioMasterGetTime).
struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    int32_t smpteOffset;
    int32_t smpteFrameRate;
    int32_t samplesToNextClock;
    int32_t flags;
};
static_assert(sizeof(VstTimeInfo) == 88);
static_assert(offsetof(VstTimeInfo, timeSigNumerator) == 64);

// Records that only pass through the base classes' neutral defaults; nothing here reads them.
struct VstSpeakerArrangement;
struct VstSpeakerProperties;
struct VstParameterProperties;
struct VstVariableIo;
struct VstOfflineTask;
struct VstAudioFile;
struct VstFileSelect;
struct VstPatchChunkInfo;
struct VstWindow;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
