// The VST 2 effect record, its request numbers and flags, at the interface's published values.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

// Packs four characters with the first one in the most significant byte.
constexpr int32_t fourChars(char a, char b, char c, char d) {
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint8_t>(a)) << 24) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 16) |
                              (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 8) |
                              static_cast<uint32_t>(static_cast<uint8_t>(d)));
}

constexpr int32_t kEffectMagic = fourChars('V', 's', 't', 'P');

struct AEffect;

// Pointer-wide integer of the interface: `value` and every answer travel in it.
using VstIntPtr = intptr_t;
using VstInt32 = int32_t;

using audioMasterCallback = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                    VstIntPtr value, void* ptr, float opt);
using AEffectDispatcherProc = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                      VstIntPtr value, void* ptr, float opt);
using AEffectProcessProc = void(VSTCALLBACK*)(AEffect* effect, float** inputs, float** outputs,
                                              VstInt32 sampleFrames);
using AEffectSetParameterProc = void(VSTCALLBACK*)(AEffect* effect, VstInt32 index, float parameter);
using AEffectGetParameterProc = float(VSTCALLBACK*)(AEffect* effect, VstInt32 index);

// The record the host receives. Natural alignment: 144 bytes on 32-bit targets, 192 on 64-bit ones.
struct AEffect {
  VstInt32 magic;                          // kEffectMagic
  AEffectDispatcherProc dispatcher;        // every numbered request
  AEffectProcessProc process;              // accumulating block entry (this instrument overwrites)
  AEffectSetParameterProc setParameter;
  AEffectGetParameterProc getParameter;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 numInputs;
  VstInt32 numOutputs;
  VstInt32 flags;                          // effFlags* below
  VstIntPtr resvd1;
  VstIntPtr resvd2;
  VstInt32 initialDelay;
  VstInt32 realQualities;
  VstInt32 offQualities;
  float ioRatio;
  void* object;                            // the owning frame object
  void* user;                              // the host's
  VstInt32 uniqueID;
  VstInt32 version;
  AEffectProcessProc processReplacing;     // replacing block entry
  char future[60];                         // reserved, zero
};

static_assert(sizeof(void*) != 8 || sizeof(AEffect) == 192, "AEffect layout on 64-bit targets");
static_assert(sizeof(void*) != 4 || sizeof(AEffect) == 144, "AEffect layout on 32-bit targets");

// The published offset of a field: the first number on 32-bit targets, the second on 64-bit ones.
constexpr std::size_t vstOffset(std::size_t offset32, std::size_t offset64) {
  return sizeof(void*) == 8 ? offset64 : offset32;
}
static_assert(offsetof(AEffect, dispatcher) == vstOffset(4, 8), "AEffect layout");
static_assert(offsetof(AEffect, numPrograms) == vstOffset(20, 40), "AEffect layout");
static_assert(offsetof(AEffect, flags) == vstOffset(36, 56), "AEffect layout");
static_assert(offsetof(AEffect, resvd1) == vstOffset(40, 64), "AEffect layout");
static_assert(offsetof(AEffect, initialDelay) == vstOffset(48, 80), "AEffect layout");
static_assert(offsetof(AEffect, ioRatio) == vstOffset(60, 92), "AEffect layout");
static_assert(offsetof(AEffect, object) == vstOffset(64, 96), "AEffect layout");
static_assert(offsetof(AEffect, uniqueID) == vstOffset(72, 112), "AEffect layout");
static_assert(offsetof(AEffect, processReplacing) == vstOffset(80, 120), "AEffect layout");
static_assert(offsetof(AEffect, future) == vstOffset(84, 128), "AEffect layout");
static_assert(offsetof(AEffect, process) == vstOffset(8, 16), "AEffect layout");
static_assert(offsetof(AEffect, setParameter) == vstOffset(12, 24), "AEffect layout");
static_assert(offsetof(AEffect, getParameter) == vstOffset(16, 32), "AEffect layout");
static_assert(offsetof(AEffect, numParams) == vstOffset(24, 44), "AEffect layout");
static_assert(offsetof(AEffect, numInputs) == vstOffset(28, 48), "AEffect layout");
static_assert(offsetof(AEffect, numOutputs) == vstOffset(32, 52), "AEffect layout");
static_assert(offsetof(AEffect, resvd2) == vstOffset(44, 72), "AEffect layout");
static_assert(offsetof(AEffect, realQualities) == vstOffset(52, 84), "AEffect layout");
static_assert(offsetof(AEffect, offQualities) == vstOffset(56, 88), "AEffect layout");
static_assert(offsetof(AEffect, user) == vstOffset(68, 104), "AEffect layout");
static_assert(offsetof(AEffect, version) == vstOffset(76, 116), "AEffect layout");

enum VstAEffectFlags : VstInt32 {
  effFlagsHasEditor = 1,
  effFlagsHasClip = 2,
  effFlagsHasVu = 4,
  effFlagsCanMono = 8,
  effFlagsCanReplacing = 16,
  effFlagsProgramChunks = 32,
  effFlagsIsSynth = 256,
  effFlagsNoSoundInStop = 512,
  effFlagsExtIsAsync = 1024,
  effFlagsExtHasBuffer = 2048,
};

// Requests the host sends through the record's dispatcher (0..24).
enum AEffectOpcodes : VstInt32 {
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
  effSetSampleRate,
  effSetBlockSize,
  effMainsChanged,
  effEditGetRect,
  effEditOpen,
  effEditClose,
  effEditDraw,
  effEditMouse,
  effEditKey,
  effEditIdle,
  effEditTop,
  effEditSleep,
  effIdentify,
  effGetChunk,
  effSetChunk,
  effNumOpcodes
};

// Requests the plug-in sends to the host's callback (0..10).
enum AudioMasterOpcodes : VstInt32 {
  audioMasterAutomate = 0,
  audioMasterVersion,
  audioMasterCurrentId,
  audioMasterIdle,
  audioMasterPinConnected,
  audioMasterWantMidi = 6,
  audioMasterGetTime,
  audioMasterProcessEvents,
  audioMasterSetTime,
  audioMasterTempoAt,
};

// Largest texts the interface publishes, terminating zero included.
constexpr int kVstMaxProgNameLen = 24;
constexpr int kVstMaxParamStrLen = 8;
constexpr int kVstMaxVendorStrLen = 64;
constexpr int kVstMaxProductStrLen = 64;
constexpr int kVstMaxEffectNameLen = 32;
