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
void stereoStage(EngineRecord& r) {
  // Ring indices from the wrapping frame counter; unsigned arithmetic wraps like the counter does.
  const uint32_t counter = static_cast<uint32_t>(r.sampleCounter);
  const float width = r.P(kStereoWidth);
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
    const double m = roundHalfEven(static_cast<double>(r.sampleCounter) - static_cast<double>(r.stereoBaseDelay));
    const int64_t index = static_cast<int64_t>(m);
    r.leftSample = r.stereoBuffer[static_cast<uint64_t>(index) & kStereoRingMask];
  }
}

}  // namespace

void outputStage(EngineRecord& r, float in, float& left, float& right) {
  r.leftSample = r.leftSample * 0.5f + in;
  // DC blocker: a first-order high-pass near 7 Hz at 44.1 kHz.
  r.dcOutput = r.leftSample - r.dcAverage;
  r.dcAverage = r.dcAverage + 0.001f * r.dcOutput + 1e-15f;
  r.leftSample = r.dcOutput;
  r.rightSample = r.dcOutput;
  if (r.P(kStereoAmount) > 0.01f) stereoStage(r);
  r.leftSample = r.volumeGain * r.leftSample * r.panLeft;
  r.rightSample = r.volumeGain * r.rightSample * r.panRight;
  left = softClip(r.leftSample);
  right = softClip(r.rightSample);
}

}  // namespace tamblin::stages
