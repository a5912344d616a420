// The output stage: input mix, DC blocker, stereo delay, volume, pan and soft clip.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

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

namespace {

constexpr int32_t kChunk = 16;  // frames the output stage takes at once

// softClip for four frames: the same magnitude and the same result bits in each lane. Multiplying by
// the sign is an exact negation where the sample is below zero and leaves the magnitude alone
// elsewhere (at zero the magnitude is +0, and a NaN stays the magnitude's NaN), so the sign is flipped
// instead.
Frames4 softClip4(Frames4 x) {
  const Frames4 one = {1.0f, 1.0f, 1.0f, 1.0f}, zero = {0.0f, 0.0f, 0.0f, 0.0f};
  const Bits4 bits = reinterpret_cast<Bits4>(x);
  const Frames4 a = reinterpret_cast<Frames4>(bits & 0x7FFFFFFFu);
  const Frames4 s = a > one ? one : (3.0f * a - a * a) / 2.0f;
  const Bits4 negative = reinterpret_cast<Bits4>(x < zero) & 0x80000000u;
  return reinterpret_cast<Frames4>(reinterpret_cast<Bits4>(s) ^ negative);
}

// The DC blocker over up to kChunk frames: a first-order high-pass near 7 Hz at 44.1 kHz, one frame after
// another. Its last step, adding 1e-15, leaves any average of magnitude 2^-24 or more (and any NaN) as
// it is: 1e-15 is less than half the gap to either neighbouring float there. So where the average starts
// that large, the frames go without that step, which is a third of the chain from frame to frame, and
// are done again with it should an average along the way be smaller.
void dcBlock(EngineRecord& r, const float* sums, const float* in, int32_t n, float* out) {
  constexpr uint32_t kLarge = 0x33800000u;  // the bits of 2^-24
  auto frames = [&](auto addTiny) {
    float average = r.dcAverage, output = r.dcOutput;
    uint32_t smallest = 0xFFFFFFFFu;
    for (int32_t i = 0; i < n; ++i) {
      const float mixed = sums[i] * 0.5f + in[i];
      output = mixed - average;
      average = average + 0.001f * output;
      if constexpr (addTiny) {
        average = average + 1e-15f;
      } else {
        smallest = std::min(smallest, floatBits(average) & 0x7FFFFFFFu);
      }
      out[i] = output;
    }
    if (smallest < kLarge) return false;
    r.dcAverage = average;
    r.dcOutput = output;
    return true;
  };
  if ((floatBits(r.dcAverage) & 0x7FFFFFFFu) < kLarge || !frames(std::false_type())) frames(std::true_type());
}

void copyOut(const float* from, int32_t frames, float* to, int32_t step) {
  if (step == 1 && frames == kChunk) {
    std::memcpy(to, from, sizeof(float) * kChunk);
  } else {
    for (int32_t i = 0; i < frames; ++i) to[i * step] = from[i];
  }
}

}  // namespace

// The frames of a run one after another where a state carries over (the DC blocker, the stereo ring and
// sweep), and the volume, the pan and the soft clip four frames at a time.
void outputRun(EngineRecord& r, const float* sums, const float* in, int32_t counter, int32_t frames, float* left,
               int32_t leftStep, float* right, int32_t rightStep) {
  // Parameters change between frames only through a message, which ends a run; the pan and the volume
  // only on ticks, which start one.
  const float amount = r.P(kStereoAmount), width = r.P(kStereoWidth);
  const float volume = r.volumeGain, panLeft = r.panLeft, panRight = r.panRight;
  for (int32_t start = 0; start < frames; start += kChunk) {
    const int32_t n = std::min(frames - start, kChunk);
    alignas(16) float l[kChunk] = {}, rr[kChunk] = {};
    dcBlock(r, sums + start, in + start, n, l);
    std::memcpy(rr, l, sizeof l);
    // Without the stereo stage and with the pan centred, both sides come out the same.
    const bool twins = !(amount > 0.01f) && floatBits(panLeft) == floatBits(panRight);
    if (amount > 0.01f) {
      for (int32_t i = 0; i < n; ++i) {
        r.leftSample = l[i];
        r.rightSample = rr[i];
        stereoStage(r,
                    static_cast<int32_t>(static_cast<uint32_t>(counter) + static_cast<uint32_t>(start + i)),
                    width);
        l[i] = r.leftSample;
        rr[i] = r.rightSample;
      }
    }
    for (int32_t i = 0; i < n; i += 4) {
      Frames4 x, y;
      std::memcpy(&x, l + i, sizeof x);
      std::memcpy(&y, rr + i, sizeof y);
      x = volume * x * panLeft;
      y = twins ? x : volume * y * panRight;
      if (i + 4 >= n) {
        r.leftSample = x[n - 1 - i];
        r.rightSample = y[n - 1 - i];
      }
      x = softClip4(x);
      y = twins ? x : softClip4(y);
      std::memcpy(l + i, &x, sizeof x);
      std::memcpy(rr + i, &y, sizeof y);
    }
    copyOut(l, n, left + start * leftStep, leftStep);
    copyOut(rr, n, right + start * rightStep, rightStep);
  }
}

}  // namespace tamblin::stages
