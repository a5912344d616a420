// A tiny VST 2 instrument for host tests: it plays back, as audio, what the host told it.
//
// Outputs, per frame of each block:
//   0  code of the MIDI event delivered at this delta frame (status * 65536 + data1 * 256 + data2)
//   1  the host's transport position (samplePos + frame)
//   2  index of the process call
//   3  tempo answered by audioMasterTempoAt, in beats per minute
//   4  current program
//   5  quarter-note position reported at the block start
//   6  parameter 0
// With parameter 1 at 0.5 or more only output 0 is written ("quiet" mode, for tail tests).
// Control changes are reported back to the host as automation of parameter (controller number).
//
// Built as several libraries: RECORDER_ENTRY_VST (VSTPluginMain), RECORDER_ENTRY_MAIN (main only),
// RECORDER_NULL_ENTRY (an entry that answers null), RECORDER_BAD_MAGIC, RECORDER_NO_ENTRY, or
// RECORDER_IN_PROCESS (entry recorderEntry, linked into the test itself).
#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "DAEffectX.h"

namespace {

constexpr int kOutputs = 7;
constexpr int kParams = 3;
constexpr int kPrograms = 4;
constexpr int kMaxEvents = 4096;

struct Recorder {
  AEffect effect{};
  audioMasterCallback host = nullptr;
  VstMidiEvent events[kMaxEvents];
  int eventCount = 0;
  float params[kParams] = {};
  int program = 0;
  int blocks = 0;
};

Recorder* self(AEffect* effect) { return static_cast<Recorder*>(effect->object); }

void copy(void* ptr, const char* text) {
  if (ptr != nullptr) std::strcpy(static_cast<char*>(ptr), text);
}

VstIntPtr VSTCALLBACK dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float) {
  Recorder* r = self(effect);
  switch (opcode) {
    case effClose:
      delete r;
      return 1;
    case effSetProgram:
      if (value >= 0 && value < kPrograms) r->program = static_cast<int>(value);
      return 0;
    case effGetProgram:
      return r->program;
    case effGetProgramName:
      copy(ptr, ("Program " + std::to_string(r->program)).c_str());
      return 0;
    case effGetProgramNameIndexed:
      if (index < 0 || index >= kPrograms) return 0;
      copy(ptr, ("Program " + std::to_string(index)).c_str());
      return 1;
    case effGetParamName:
      copy(ptr, ("Param " + std::to_string(index)).c_str());
      return 0;
    case effGetEffectName:
      copy(ptr, "Recorder");
      return 1;
    case effGetVendorString:
      copy(ptr, "Tamblin tests");
      return 1;
    case effGetPlugCategory:
      return kPlugCategSynth;
    case effGetVstVersion:
      return 2400;
    case effCanDo:
      return ptr != nullptr && std::strcmp(static_cast<char*>(ptr), "receiveVstMidiEvent") == 0 ? 1 : 0;
    case effMainsChanged:
      if (value != 0) r->host(effect, audioMasterWantMidi, 0, 1, nullptr, 0.0f);
      return 0;
    case effProcessEvents: {
      auto* batch = static_cast<VstEvents*>(ptr);
      auto** list = reinterpret_cast<VstEvent**>(reinterpret_cast<char*>(batch) + offsetof(VstEvents, events));
      for (int i = 0; i < batch->numEvents && r->eventCount < kMaxEvents; ++i) {
        if (list[i]->type != kVstMidiType) continue;
        auto* midi = reinterpret_cast<VstMidiEvent*>(list[i]);
        r->events[r->eventCount++] = *midi;
        if ((midi->midiData[0] & 0xF0) == 0xB0)
          r->host(effect, audioMasterAutomate, midi->midiData[1], 0, nullptr, (midi->midiData[2] & 0x7F) / 127.0f);
      }
      return 1;
    }
    default:
      return 0;
  }
}

void VSTCALLBACK processReplacing(AEffect* effect, float**, float** outputs, VstInt32 frames) {
  Recorder* r = self(effect);
  VstIntPtr tempo = r->host(effect, audioMasterTempoAt, 0, 0, nullptr, 0.0f);
  auto* time = reinterpret_cast<VstTimeInfo*>(
      r->host(effect, audioMasterGetTime, 0, kVstPpqPosValid | kVstTempoValid, nullptr, 0.0f));
  bool quiet = r->params[1] >= 0.5f;
  for (int i = 0; i < frames; ++i) {
    outputs[0][i] = 0.0f;
    for (int c = 1; c < kOutputs; ++c) outputs[c][i] = 0.0f;
    if (quiet) continue;
    outputs[1][i] = time != nullptr ? static_cast<float>(time->samplePos) + static_cast<float>(i) : -1.0f;
    outputs[2][i] = static_cast<float>(r->blocks);
    outputs[3][i] = static_cast<float>(tempo) / 10000.0f;
    outputs[4][i] = static_cast<float>(r->program);
    outputs[5][i] = time != nullptr ? static_cast<float>(time->ppqPos) : -1.0f;
    outputs[6][i] = r->params[0];
  }
  for (int e = 0; e < r->eventCount; ++e) {
    const VstMidiEvent& midi = r->events[e];
    int frame = midi.deltaFrames < frames && midi.deltaFrames >= 0 ? midi.deltaFrames : 0;
    float code = static_cast<float>((midi.midiData[0] & 0xFF) * 65536 + (midi.midiData[1] & 0xFF) * 256 +
                                    (midi.midiData[2] & 0xFF));
    // Out-of-block delta frames show as negative codes.
    outputs[0][frame] += frame == midi.deltaFrames ? code : -code;
  }
  r->eventCount = 0;
  ++r->blocks;
}

void VSTCALLBACK setParameter(AEffect* effect, VstInt32 index, float value) {
  if (index >= 0 && index < kParams) self(effect)->params[index] = value;
}

float VSTCALLBACK getParameter(AEffect* effect, VstInt32 index) {
  return index >= 0 && index < kParams ? self(effect)->params[index] : 0.0f;
}

[[maybe_unused]] AEffect* create(audioMasterCallback host) {
  if (host == nullptr || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) < 2400) return nullptr;
#ifdef RECORDER_BAD_MAGIC
  // No host can close a record with a wrong magic: it lives in static storage, never leaked.
  static Recorder unclosable;
  Recorder* r = &unclosable;
#else
  auto* r = new Recorder;
#endif
  r->host = host;
  AEffect& e = r->effect;
  e.magic = kEffectMagic;
#ifdef RECORDER_BAD_MAGIC
  e.magic = fourChars('N', 'o', 'p', 'e');
#endif
  e.dispatcher = dispatch;
  e.processReplacing = processReplacing;
  e.setParameter = setParameter;
  e.getParameter = getParameter;
  e.numPrograms = kPrograms;
  e.numParams = kParams;
  e.numInputs = 2;
  e.numOutputs = kOutputs;
  e.flags = effFlagsCanReplacing | effFlagsIsSynth;
  e.ioRatio = 1.0f;
  e.object = r;
  e.uniqueID = fourChars('R', 'c', 'r', 'd');
  e.version = 3;
  return &e;
}

}  // namespace

#define RECORDER_EXPORT extern "C" __attribute__((visibility("default")))

#if defined(RECORDER_ENTRY_VST) || defined(RECORDER_BAD_MAGIC)
RECORDER_EXPORT AEffect* VSTPluginMain(audioMasterCallback host) { return create(host); }
#elif defined(RECORDER_ENTRY_MAIN)
RECORDER_EXPORT AEffect* recorderLegacyMain(audioMasterCallback host) __asm__("main");
RECORDER_EXPORT AEffect* recorderLegacyMain(audioMasterCallback host) { return create(host); }
#elif defined(RECORDER_NULL_ENTRY)
RECORDER_EXPORT AEffect* VSTPluginMain(audioMasterCallback) { return nullptr; }
#elif defined(RECORDER_NO_ENTRY)
RECORDER_EXPORT int recorderSomethingElse() { return 42; }
#elif defined(RECORDER_IN_PROCESS)
AEffect* recorderEntry(audioMasterCallback host) { return create(host); }
#endif
