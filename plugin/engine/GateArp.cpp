// The tempo-locked sequencers: the sixteen-step trance gate and the arpeggiator clock.
#include <algorithm>
#include <cmath>

#include "Numeric.h"
#include "Stages.h"

namespace tamblin::stages {

namespace {

constexpr float kGateSpeeds[5] = {0.25f, 0.5f, 1.0f, 2.0f, 4.0f};
// Arpeggiator steps in sixteenths, each the float nearest its fraction.
constexpr float kArpSteps[11] = {1.0f / 16.0f, 1.0f / 12.0f, 1.0f / 8.0f, 1.0f / 6.0f, 1.0f / 4.0f, 1.0f / 3.0f,
                                 1.0f / 2.0f,  2.0f / 3.0f,  1.0f,        3.0f / 2.0f, 2.0f};

// Sixteen steps from a pattern value: 0 for an open step, 1 for a closed one.
void decodePattern(float value, float* pattern) {
  const int32_t word = patternWord(value);
  for (int s = 0; s < kGateSteps; ++s) pattern[s] = patternStepOpen(word, s) ? 0.0f : 1.0f;
}

}  // namespace

void advanceGate(EngineRecord& r) {
  float position = r.gatePosition.load(std::memory_order_relaxed) + r.gateIncrement;
  if (position >= r.gateLength) position -= r.gateLength;
  // One frame's step can exceed a whole cycle at an absurd tempo: only then wrap fully, so that the
  // step index stays inside the pattern.
  if (position >= static_cast<float>(kGateSteps)) {
    position = r.gateLength >= 1.0f ? std::fmod(position, r.gateLength) : 0.0f;
  }
  r.gatePosition.store(position, std::memory_order_relaxed);
}

void gateCoefficients(EngineRecord& r) {
  r.gateLength = static_cast<float>(r.choice(kGateLength) + 1);
  const float speed = kGateSpeeds[r.choice(kGateTempo)];
  r.gateIncrement = speed * (r.tempoBpm / 15.0f) / r.sampleRate;
  decodePattern(r.P(kGatePatternVolume), r.gateVolumePattern);
  decodePattern(r.P(kGatePatternFilter), r.gateFilterPattern);
  r.gateSmoothCoef = pow2(12.0f - 20.0f * (1.0f - r.P(kGateSmooth)));
  const int32_t step = std::clamp(floorInt(r.gatePosition.load(std::memory_order_relaxed)), 0, kGateSteps - 1);
  r.gateVolumeStep = r.gateVolumePattern[step];
  r.gateVolumeSmooth = (r.gateVolumeSmooth * r.gateSmoothCoef + r.gateVolumeStep) / (1.0f + r.gateSmoothCoef);
  r.gateFilterStep = r.gateFilterPattern[step];
  r.gateFilterSmooth = (r.gateFilterSmooth * r.gateSmoothCoef + r.gateFilterStep) / (1.0f + r.gateSmoothCoef);
  r.gateVolume = 1.0f - r.P(kGateToVolume) * r.gateVolumeSmooth;
  r.gateFilter = 1.0f - r.P(kGateToFilter) * r.gateFilterSmooth;
}

void arpCoefficients(EngineRecord& r) {
  const float step = kArpSteps[r.choice(kArpRate)];
  r.arpIncrement = step * (r.tempoBpm / 15.0f) / r.sampleRate;
}

void runArpClock(EngineRecord& r) {
  if (playMode(r) != kArp) return;
  if (r.arpLast < 0) {
    for (int v = 0; v < r.voiceCount && v < kVoiceSlots; ++v) r.voiceHeld[v] = 0;
    return;
  }
  r.arpPrevPosition = r.arpPosition;
  r.arpPosition += r.arpIncrement;
  const float cycle = static_cast<float>(r.arpLast + 1);
  bool wrapped = false;
  if (r.arpPosition >= cycle) {
    r.arpPosition -= cycle;
    wrapped = true;
  }
  // As for the gate: wrap fully only where the single subtraction leaves the list.
  if (floorInt(r.arpPosition) >= kArpListSize) r.arpPosition = std::fmod(r.arpPosition, cycle);
  if (floorInt(r.arpPrevPosition) == floorInt(r.arpPosition) && !wrapped) return;

  r.voiceHeld[std::clamp(r.voicePointer, 0, kVoiceSlots - 1)] = 0;
  r.voicePointer = r.voiceCount > 0 ? (r.voicePointer + 1) % r.voiceCount : 0;
  const int n = std::clamp(r.voicePointer, 0, kVoiceSlots - 1);
  r.voiceHeld[n] = 1;
  r.noteNumber[n] = r.arpNotes[std::clamp(floorInt(r.arpPosition), 0, kArpListSize - 1)];
  retrigger(r, n);
  r.velocity[n] = 1.0f;
  // "Unison Phase" spreads the four oscillators over up to 3/7 of a cycle.
  const float spread = r.P(kUnisonPhase);
  for (int j = 0; j < kOscillators; ++j) {
    r.phase[n][j] = floorInt64(16777215.0f * spread * static_cast<float>(j) / 7.0f) & kPhaseMask;
  }
}

}  // namespace tamblin::stages
