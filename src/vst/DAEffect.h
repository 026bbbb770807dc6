#pragma once
// The VST 2 binary interface, version 1 part: the effect record a host receives from the entry,
// the host callback, the effect opcodes 0..24, the host opcodes 0..4 and the record flags.
// Written from the published layout; every offset is pinned below for 32- and 64-bit builds.

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

// What makes an entry function (`main`, `VSTPluginMain`) an export of the library: on Windows
// the .def file beside the entry names them; elsewhere every other symbol is hidden. C++
// reserves the name main for the program, so that entry gets another C++ name and the
// assembler name "main" (the .def file maps the same on Windows).
#if defined(_WIN32)
#define WADLING_EXPORT
#define WADLING_MAIN_NAME
#else
#define WADLING_EXPORT __attribute__((visibility("default")))
#define WADLING_MAIN_NAME __asm__("main")
#endif

/// Packs a four-character code, first character in the most significant byte ("VstP").
constexpr int32_t fourCharCode(const char (&code)[5]) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
                                static_cast<uint32_t>(static_cast<unsigned char>(code[3])));
}

constexpr int32_t kEffectMagic = fourCharCode("VstP");
static_assert(kEffectMagic == 0x56737450);

struct AEffect;

/// The host's callback: (effect, opcode, index, value, ptr, opt) -> host's answer.
using audioMasterCallback = intptr_t(VSTCALLBACK*)(AEffect* effect, int32_t opcode, int32_t index,
                                                   intptr_t value, void* ptr, float opt);
using AEffectDispatcherProc = intptr_t(VSTCALLBACK*)(AEffect* effect, int32_t opcode, int32_t index,
                                                     intptr_t value, void* ptr, float opt);
using AEffectProcessProc = void(VSTCALLBACK*)(AEffect* effect, float** inputs, float** outputs,
                                              int32_t sampleFrames);
using AEffectProcessDoubleProc = void(VSTCALLBACK*)(AEffect* effect, double** inputs,
                                                    double** outputs, int32_t sampleFrames);
using AEffectSetParameterProc = void(VSTCALLBACK*)(AEffect* effect, int32_t index, float value);
using AEffectGetParameterProc = float(VSTCALLBACK*)(AEffect* effect, int32_t index);

/// The effect record: 144 bytes on 32-bit targets, 192 on 64-bit ones.
struct AEffect {
    int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process; // accumulating processing (VST 1)
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcessProc processReplacing;
    AEffectProcessDoubleProc processDoubleReplacing;
    char future[56];
};

#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(AEffect) == 144);
static_assert(offsetof(AEffect, magic) == 0);
static_assert(offsetof(AEffect, dispatcher) == 4);
static_assert(offsetof(AEffect, process) == 8);
static_assert(offsetof(AEffect, setParameter) == 12);
static_assert(offsetof(AEffect, getParameter) == 16);
static_assert(offsetof(AEffect, numPrograms) == 20);
static_assert(offsetof(AEffect, numParams) == 24);
static_assert(offsetof(AEffect, numInputs) == 28);
static_assert(offsetof(AEffect, numOutputs) == 32);
static_assert(offsetof(AEffect, flags) == 36);
static_assert(offsetof(AEffect, resvd1) == 40);
static_assert(offsetof(AEffect, resvd2) == 44);
static_assert(offsetof(AEffect, initialDelay) == 48);
static_assert(offsetof(AEffect, realQualities) == 52);
static_assert(offsetof(AEffect, offQualities) == 56);
static_assert(offsetof(AEffect, ioRatio) == 60);
static_assert(offsetof(AEffect, object) == 64);
static_assert(offsetof(AEffect, user) == 68);
static_assert(offsetof(AEffect, uniqueID) == 72);
static_assert(offsetof(AEffect, version) == 76);
static_assert(offsetof(AEffect, processReplacing) == 80);
static_assert(offsetof(AEffect, processDoubleReplacing) == 84);
static_assert(offsetof(AEffect, future) == 88);
#elif INTPTR_MAX == INT64_MAX
static_assert(sizeof(AEffect) == 192);
static_assert(offsetof(AEffect, magic) == 0);
static_assert(offsetof(AEffect, dispatcher) == 8);
static_assert(offsetof(AEffect, process) == 16);
static_assert(offsetof(AEffect, setParameter) == 24);
static_assert(offsetof(AEffect, getParameter) == 32);
static_assert(offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, numParams) == 44);
static_assert(offsetof(AEffect, numInputs) == 48);
static_assert(offsetof(AEffect, numOutputs) == 52);
static_assert(offsetof(AEffect, flags) == 56);
static_assert(offsetof(AEffect, resvd1) == 64);
static_assert(offsetof(AEffect, resvd2) == 72);
static_assert(offsetof(AEffect, initialDelay) == 80);
static_assert(offsetof(AEffect, realQualities) == 84);
static_assert(offsetof(AEffect, offQualities) == 88);
static_assert(offsetof(AEffect, ioRatio) == 92);
static_assert(offsetof(AEffect, object) == 96);
static_assert(offsetof(AEffect, user) == 104);
static_assert(offsetof(AEffect, uniqueID) == 112);
static_assert(offsetof(AEffect, version) == 116);
static_assert(offsetof(AEffect, processReplacing) == 120);
static_assert(offsetof(AEffect, processDoubleReplacing) == 128);
static_assert(offsetof(AEffect, future) == 136);
#else
#error "unsupported pointer size"
#endif

/// Bits of AEffect::flags.
enum VstAEffectFlags : int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsHasClip = 1 << 1,
    effFlagsHasVu = 1 << 2,
    effFlagsCanMono = 1 << 3,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsExtIsAsync = 1 << 10,
    effFlagsExtHasBuffer = 1 << 11,
    effFlagsCanDoubleReplacing = 1 << 12,
};

/// Effect opcodes of the VST 1 set (host -> plug-in, through AEffect::dispatcher).
enum AEffectOpcodes : int32_t {
    effOpen = 0,
    effClose,
    effSetProgram,
    effGetProgram,
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetVu,
    effSetSampleRate, // 10
    effSetBlockSize,
    effMainsChanged,
    effEditGetRect,
    effEditOpen,
    effEditClose,
    effEditDraw,
    effEditMouse,
    effEditKey,
    effEditIdle,
    effEditTop, // 20
    effEditSleep,
    effIdentify,
    effGetChunk,
    effSetChunk,
    effNumOpcodes // 25: the first opcode of the VST 2 extensions
};

/// Host opcodes of the VST 1 set (plug-in -> host, through the audioMaster callback).
enum AudioMasterOpcodes : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion,
    audioMasterCurrentId,
    audioMasterIdle,
    audioMasterPinConnected,
};

/// effIdentify's answer, "NvEf".
constexpr int32_t kEffectIdentify = fourCharCode("NvEf");
static_assert(kEffectIdentify == 0x4E764566);

/// The unique ID of an effect that has not set its own, "NoEf".
constexpr int32_t kDefaultUniqueID = fourCharCode("NoEf");
static_assert(kDefaultUniqueID == 0x4E6F4566);

// Entry functions whose addresses stand in the record. Each finds the object through
// AEffect::object, forwards to its virtual operation and lets no exception escape: a fault
// inside answers the neutral value (0, 0.0, nothing).
class AudioEffect;

intptr_t VSTCALLBACK dispatchEffectClass(AEffect* e, int32_t opcode, int32_t index, intptr_t value,
                                         void* ptr, float opt) noexcept;
void VSTCALLBACK processClass(AEffect* e, float** inputs, float** outputs,
                              int32_t sampleFrames) noexcept;
void VSTCALLBACK processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                       int32_t sampleFrames) noexcept;
void VSTCALLBACK processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                             int32_t sampleFrames) noexcept;
void VSTCALLBACK setParameterClass(AEffect* e, int32_t index, float value) noexcept;
float VSTCALLBACK getParameterClass(AEffect* e, int32_t index) noexcept;

/// Makes the plug-in object for one call of the library entry.
using AudioEffectFactory = AudioEffect* (*)(audioMasterCallback audioMaster);

/// The body of the exported entry (`main`, `VSTPluginMain`): asks the host for its version
/// (0 or no callback: nothing is created), creates the object and returns its record; null
/// when anything fails.
AEffect* vstPluginEntry(audioMasterCallback audioMaster, AudioEffectFactory create) noexcept;
