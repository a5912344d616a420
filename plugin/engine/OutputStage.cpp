// The output stage: input mix, DC blocker, stereo delay, volume, pan and soft clip.
#include <cmath>

#include "Numeric.h"
#include "Stages.h"

namespace tamblin::stages {

void outputCoefficients(EngineRecord& r) {
  r.stereoBaseDelay = pow2(8.0f * r.P(kStereoAmount) + 2.0f);  // 4 to 1024 frames
  r.volumeGain = dbGain(r.P(kVolume), 40.0f, 40.0f);        // -40 dB to 0 dB, silence at 0
  r.stereoRate = lfoRate(r, r.P(kStereoSpeed));
}

namespace {

// A wide image from a delayed copy on one side: the right side swept by a triangle LFO, or, with no
// width, the left side at a fixed delay.
inline void stereoStage(EngineRecord& r, int32_t frameCounter, float width) {
  // Ring indices from the wrapping frame counter; unsigned arithmetic wraps like the counter does.
  const uint32_t counter = static_cast<uint32_t>(frameCounter);
  if (width > 0.01f) {
    r.stereoPhase += r.stereoRate;
    r.stereoPhase -= static_cast<float>(floorInt(r.stereoPhase));
    r.stereoDepth = (1.0f - std::fabs(2.0f * r.stereoPhase - 1.0f)) * width + (1.0f - width);
    r.stereoDelay = r.stereoBaseDelay * r.stereoDepth + 10.0f;
    const int32_t n = floorInt(r.stereoDelay);
    const float f = r.stereoDelay - static_cast<float>(n);
    r.stereoBuffer[counter & kStereoRingMask] = r.leftSample;
    const uint32_t older = counter - static_cast<uint32_t>(n);
    r.rightSample = f * r.stereoBuffer[older & kStereoRingMask] + (1.0f - f) * r.stereoBuffer[(older + 1u) & kStereoRingMask];
  } else {
    r.stereoBuffer[counter & kStereoRingMask] = r.leftSample;
    // The read index holds the frame counter, so it is computed in double and rounded to nearest-even.
    const double m = roundHalfEven(static_cast<double>(frameCounter) - static_cast<double>(r.stereoBaseDelay));
    const int64_t index = static_cast<int64_t>(m);
    r.leftSample = r.stereoBuffer[static_cast<uint64_t>(index) & kStereoRingMask];
  }
}

// One frame, with "Stereo Amount" and "Stereo Width" as read for it.
inline void outputFrame(EngineRecord& r, float in, int32_t counter, float amount, float width, float& left,
                        float& right) {
  r.leftSample = r.leftSample * 0.5f + in;
  // DC blocker: a first-order high-pass near 7 Hz at 44.1 kHz.
  r.dcOutput = r.leftSample - r.dcAverage;
  r.dcAverage = r.dcAverage + 0.001f * r.dcOutput + 1e-15f;
  r.leftSample = r.dcOutput;
  r.rightSample = r.dcOutput;
  if (amount > 0.01f) stereoStage(r, counter, width);
  r.leftSample = r.volumeGain * r.leftSample * r.panLeft;
  r.rightSample = r.volumeGain * r.rightSample * r.panRight;
  left = softClip(r.leftSample);
  right = softClip(r.rightSample);
}

}  // namespace

void outputStage(EngineRecord& r, float in, int32_t counter, float& left, float& right) {
  outputFrame(r, in, counter, r.P(kStereoAmount), r.P(kStereoWidth), left, right);
}

void outputRun(EngineRecord& r, const float* sums, const float* in, int32_t counter, int32_t frames, float* left,
               int32_t leftStep, float* right, int32_t rightStep) {
  // Parameters change between frames only through a message, which ends a run.
  const float amount = r.P(kStereoAmount), width = r.P(kStereoWidth);
  for (int32_t i = 0; i < frames; ++i) {
    r.leftSample = sums[i];
    const int32_t frameCounter = static_cast<int32_t>(static_cast<uint32_t>(counter) + static_cast<uint32_t>(i));
    outputFrame(r, in[i], frameCounter, amount, width, left[i * leftStep], right[i * rightStep]);
  }
}

}  // namespace tamblin::stages
