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

namespace {

float nextGatePosition(float position, float increment, float length) {
  position += increment;
  if (position >= length) position -= length;
  // One frame's step can exceed a whole cycle at an absurd tempo: only then wrap fully, so that the
  // step index stays inside the pattern.
  if (position >= static_cast<float>(kGateSteps))
    position = length >= 1.0f ? std::fmod(position, length) : 0.0f;
  return position;
}

}  // namespace

void advanceGate(EngineRecord& r) { advanceGateFrames(r, 1); }

void advanceGateFrames(EngineRecord& r, int32_t frames) {
  const float start = r.gatePosition.load(std::memory_order_relaxed);
  const float increment = r.gateIncrement, length = r.gateLength;
  // Rounding keeps a sum of steps of zero or more from falling: where the last sum stays below the
  // length and the pattern, no frame wrapped, and the sums alone are the positions.
  float position = start;
  int32_t i = 0;
  for (; i + 4 <= frames; i += 4) position = position + increment + increment + increment + increment;
  for (; i < frames; ++i) position += increment;
  if (!(increment >= 0.0f && position < length && position < static_cast<float>(kGateSteps))) {
    position = start;
    for (int32_t i = 0; i < frames; ++i) position = nextGatePosition(position, increment, length);
  }
  r.gatePosition.store(position, std::memory_order_relaxed);
}

void gatePatterns(EngineRecord& r) {
  r.gateLength = static_cast<float>(r.choice(kGateLength) + 1);
  const float speed = kGateSpeeds[r.choice(kGateTempo)];
  r.gateIncrement = speed * (r.tempoBpm / 15.0f) / r.sampleRate;
  decodePattern(r.P(kGatePatternVolume), r.gateVolumePattern);
  decodePattern(r.P(kGatePatternFilter), r.gateFilterPattern);
  r.gateSmoothCoef = pow2(12.0f - 20.0f * (1.0f - r.P(kGateSmooth)));
}

void gateCoefficients(EngineRecord& r) {
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

namespace {

// One frame of the arpeggiator position; true when the frame starts a step.
bool advanceArpPosition(float& position, float& previous, float increment, int32_t last) {
  previous = position;
  position += increment;
  const float cycle = static_cast<float>(last + 1);
  bool wrapped = false;
  if (position >= cycle) {
    position -= cycle;
    wrapped = true;
  }
  // As for the gate: wrap fully only where the single subtraction leaves the list.
  if (floorInt(position) >= kArpListSize) position = std::fmod(position, cycle);
  return floorInt(previous) != floorInt(position) || wrapped;
}

}  // namespace

int32_t framesBeforeArpStep(const EngineRecord& r, int32_t frames) {
  if (playMode(r) != kArp || r.arpLast < 0) return frames;
  float position = r.arpPosition, previous = r.arpPrevPosition;
  for (int32_t i = 1; i < frames; ++i) {
    if (advanceArpPosition(position, previous, r.arpIncrement, r.arpLast)) return i;
  }
  return frames;
}

void runArpClock(EngineRecord& r) {
  if (playMode(r) != kArp) return;
  if (r.arpLast < 0) {
    for (int v = 0; v < r.voiceCount && v < kVoiceSlots; ++v) r.voiceHeld[v] = 0;
    return;
  }
  if (!advanceArpPosition(r.arpPosition, r.arpPrevPosition, r.arpIncrement, r.arpLast)) return;

  r.voiceHeld[std::clamp(r.voicePointer, 0, kVoiceSlots - 1)] = 0;
  r.voicePointer = r.voiceCount > 0 ? (r.voicePointer + 1) % r.voiceCount : 0;
  const int n = std::clamp(r.voicePointer, 0, kVoiceSlots - 1);
  r.voiceHeld[n] = 1;
  r.noteNumber[n] = r.arpNotes[std::clamp(floorInt(r.arpPosition), 0, kArpListSize - 1)];
  r.restart(n);
  r.velocity[n] = 1.0f;
  // "Unison Phase" spreads the four oscillators over up to 3/7 of a cycle.
  r.spreadPhases(n, r.P(kUnisonPhase));
}

}  // namespace tamblin::stages
