// The frame clocks and the three ticks (16, 64 and 1024 frames) around the voices.
#include "Ticks.h"

#include <algorithm>

#include "Numeric.h"
#include "Stages.h"

namespace tamblin::stages {

namespace {

bool multipleOf(int32_t counter, int32_t period) { return (static_cast<uint32_t>(counter) & (period - 1)) == 0; }

// The history rotation moved on by `frames` frames.
void rotateHistory(EngineRecord& r, int32_t frames) {
  r.historyState = (std::clamp(r.historyState, 0, 2) + frames) % 3;
  r.historySlot0 = kernels::kHistorySlot0[r.historyState];
  r.historySlot1 = kernels::kHistorySlot1[r.historyState];
  r.historySlot2 = kernels::kHistorySlot2[r.historyState];
}

// The host's tempo, or 120 beats per minute where it gives none.
float hostTempo(EngineHost& host) {
  const float tempo = host.hostTempo();
  return tempo >= 1.0f ? tempo : 120.0f;
}

// The coefficient tick. All but the gate's smoothed step are pure functions of the parameters, the tempo
// and the sample rate, and most ticks find those unchanged: then they stay. The parameters count as
// unchanged while their write count stays: the count is read before the values (a write counts after
// its value is stored), so a value another thread writes while the coefficients are computed moves the
// count past the one kept, and the next tick computes them again, even where the value went back.
void coefficientTick(EngineRecord& r) {
  const uint32_t writes = r.paramWrites.load(std::memory_order_acquire);
  const bool fresh = !r.coefficientInputsTaken || writes != r.coefficientParamWrites ||
                     floatBits(r.tempoBpm) != r.coefficientTempoBits || floatBits(r.sampleRate) != r.coefficientRateBits;
  if (fresh) {
    r.coefficientParamWrites = writes;
    r.coefficientTempoBits = floatBits(r.tempoBpm);
    r.coefficientRateBits = floatBits(r.sampleRate);
    r.coefficientInputsTaken = true;
    voiceCoefficients(r);
    gatePatterns(r);
  }
  gateCoefficients(r);
  if (fresh) {
    arpCoefficients(r);
    modulatorRates(r);
    outputCoefficients(r);
  }
}

}  // namespace

void frameClocks(EngineRecord& r, EngineHost& host) {
  rotateHistory(r, 1);
  if (multipleOf(r.sampleCounter, kHostTick)) {
    r.tempoBpm = hostTempo(host);
  }
  r.sampleCounter = static_cast<int32_t>(counterAfter(r.sampleCounter, 1));
  advanceGate(r);
  runArpClock(r);
}

bool frameTicks(EngineRecord& r, const kernels::VoiceKernels* kernels) {
  if (multipleOf(r.sampleCounter, kCoefficientTick)) {
    coefficientTick(r);
  }
  const bool controlTick = multipleOf(r.sampleCounter, kControlTick);
  if (controlTick) kernels != nullptr ? kernels->modulatorValues(r) : modulatorValues(r);
  r.voiceCount = voiceCountFromParams(r);
  return controlTick;
}

// Frame by frame only the gate and the arpeggiator keep their float sums; the rest is counted at once.
void advanceClocks(EngineRecord& r, EngineHost& host, int32_t frames, bool arpeggiator) {
  if (frames <= 0) return;
  rotateHistory(r, frames);
  // The host tick falls on the frame whose counter (before its increment) is a multiple of the period.
  const uint32_t counter = static_cast<uint32_t>(r.sampleCounter);
  if (((0u - counter) & static_cast<uint32_t>(kHostTick - 1)) < static_cast<uint32_t>(frames)) {
    r.tempoBpm = hostTempo(host);
  }
  r.sampleCounter = static_cast<int32_t>(counterAfter(r.sampleCounter, frames));
  advanceGateFrames(r, frames);
  if (arpeggiator) {
    for (int32_t i = 0; i < frames; ++i) runArpClock(r);
  }
}

}  // namespace tamblin::stages
