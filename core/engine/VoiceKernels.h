// The voices' per-frame work over a run of frames, eight voices at a time in SIMD lanes.
//
// A run is a stretch of frames that no control tick, MIDI message or arpeggiator step interrupts, so
// that every coefficient a voice reads stays put: each group of eight voices keeps its oscillator phases
// and filter state in registers from the first frame of the run to the last. Voices are independent
// until their outputs are summed, so lanes never meet; the summing (in voice order) stays with the
// caller. Every lane does the same IEEE single and double operations, in the same order, as the one-voice
// stages in Voice.cpp and Filter.cpp, so the samples are the same in any lane width.
#pragma once

#include <cstdint>

#include "EngineRecord.h"

namespace tamblin::kernels {

constexpr int kGroupLanes = 8;  // voices rendered together, one vector of each quantity
constexpr int kMaxRun = 16;     // a run never crosses a control tick

// The filter history rotation, advanced once per frame: the next state and, for a state, the slots of
// the current, the previous and the second previous frame.
constexpr int32_t kNextHistoryState[3] = {1, 2, 0};
constexpr int32_t kHistorySlot0[3] = {2, 1, 0};
constexpr int32_t kHistorySlot1[3] = {0, 2, 1};
constexpr int32_t kHistorySlot2[3] = {1, 0, 2};

// One group of eight voices over one run.
struct GroupRun {
  int first = 0;              // first voice of the group: 0 or 8
  int frames = 0;             // 1..kMaxRun
  uint32_t activeLanes = 0;   // bit l: voice first + l is rendered
  int32_t historyState = 0;   // rotation state of the run's first frame (after its rotation)
};

// Voice outputs of a run, by frame and voice; lanes not rendered hold 0.
using RunOutput = float[kMaxRun][kVoiceSlots];

struct VoiceKernels {
  // Renders the active lanes of one or two groups (`count`) over one run and writes their outputs (0 for
  // the other lanes of those groups). Phases, filter state and voiceOutput of the active voices are left
  // as the one-voice stages would leave them after the same frames.
  void (*render)(EngineRecord& r, const GroupRun* groups, int count, RunOutput& out);
  // The control tick of the voices first..first+7 whose bit in `lanes` is set: what
  // stages::voiceControlUpdate does for each of them, in lanes.
  void (*controlUpdate)(EngineRecord& r, int first, uint32_t lanes);
  // stages::modulatorValues, its sines and exponentials in lanes.
  void (*modulatorValues)(EngineRecord& r);
};

const VoiceKernels* baselineVoiceKernels();  // SSE2 on x86, plain code elsewhere
const VoiceKernels* avx2VoiceKernels();      // null where the build has no AVX2 variant
// AVX2 where the processor has it, the baseline otherwise.
const VoiceKernels* bestVoiceKernels();

}  // namespace tamblin::kernels
