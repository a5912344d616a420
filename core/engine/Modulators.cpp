// The low-frequency oscillators: rates on the coefficient tick, values from the frame counter on the control tick.
#include "Numeric.h"
#include "Stages.h"

namespace tamblin::stages {

namespace {

// The counter-driven LFOs keep no phase: sin(counter x 2pi x rate), the argument kept in double so that
// the LFOs do not stutter once the counter outgrows a float's 24 bits.
double lfoArgument(const EngineRecord& r, double twoPi, float rate) {
  return static_cast<double>(r.sampleCounter) * twoPi * static_cast<double>(rate);
}

}  // namespace

// 0.02685546875 Hz at speed 0 up to 27.5 Hz at speed 1, in cycles per frame.
float lfoRate(const EngineRecord& r, float speed) { return pow2(10.0f * speed) * 0.02685546875f / r.sampleRate; }

void modulatorRates(EngineRecord& r) {
  r.panRate = lfoRate(r, r.P(kPanSpeed));
  r.stereoRate = lfoRate(r, r.P(kStereoSpeed));
  r.pwmRate[0] = lfoRate(r, r.P(kPwm12Speed));
  r.pwmRate[1] = lfoRate(r, r.P(kPwm34Speed));
  r.tremoloRate = lfoRate(r, r.P(kTremoloSpeed));
  r.filterModRate = lfoRate(r, r.P(kFilterModSpeed));
  r.vibratoRate = lfoRate(r, r.P(kVibratoSpeed));
}

void modulatorValues(EngineRecord& r) {
  r.panPosition = sinRounded(lfoArgument(r, 6.28318, r.panRate)) * (0.5f * r.P(kPanAmount)) + 0.5f;
  r.panLeft = 1.0f;
  r.panRight = 1.0f;
  if (r.panPosition >= 0.5f) {
    r.panRight = 2.0f - 2.0f * r.panPosition;
  } else {
    r.panLeft = 2.0f * r.panPosition;
  }

  // Unison: each oscillator wobbles at its own speed and depth, the two of a pair in opposite directions.
  for (int j = 0; j < kOscillators; ++j) {
    const float s = static_cast<float>(j) / 6.3f;
    const float w = s * r.P(kUnisonSpread) + 1.0f;
    const float depth = w * r.P(kUnisonAmount);
    r.detuneRate[j] = pow2(w * r.P(kUnisonSpeed) * 10.0f) * 0.02685546875f / r.sampleRate;
    float d = sinRounded(lfoArgument(r, 6.28318, r.detuneRate[j])) * depth / 25.0f;
    if (j % 2 == 0) d = -d;
    r.detuneRatio[j] = pow2(d);
  }

  r.pulseWidth[0] = floorInt((cosRounded(lfoArgument(r, 6.28318, r.pwmRate[0])) * (0.5f * r.P(kPwm12Amount)) + 0.5f) *
                             16777215.0f);
  r.pulseWidth[1] = floorInt((cosRounded(lfoArgument(r, 6.28318, r.pwmRate[1])) * (0.5f * r.P(kPwm34Amount)) + 0.5f) *
                             16777215.0f);

  const float tremoloAmount = r.P(kTremoloAmount);
  r.tremoloLevel =
      (sinRounded(lfoArgument(r, 6.283, r.tremoloRate)) + 1.0f) * tremoloAmount * 0.5f + (1.0f - tremoloAmount);
  const float filterModAmount = r.P(kFilterModAmount);
  r.filterModLevel = (sinRounded(lfoArgument(r, 6.28318, r.filterModRate)) + 1.0f) * filterModAmount * 0.5f +
                     (1.0f - filterModAmount);
  r.vibratoOffset = sinRounded(lfoArgument(r, 6.28318, r.vibratoRate)) * r.P(kVibratoAmount) / 100.0f;
}

}  // namespace tamblin::stages
