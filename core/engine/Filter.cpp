// The per-voice filter: eleven types (two-pole, four-stage, ring modulator, comb), coefficients and samples.
#include <cmath>

#include "Numeric.h"
#include "Stages.h"
#include "Transcendental.h"

namespace tamblin::stages {

namespace {
// Far above any level a playing two-pole section reaches (a resonant peak of a few thousand), and far
// enough below the float limit that sixteen voices at it cannot overflow the output stage.
constexpr float kRunawayLimit = 1.0e20f;
}  // namespace

void updateFilter(EngineRecord& r, int v, FilterType type, float cutoffHz, float q) {
  // A new type starts from silence; the ring phase and the comb rings are kept.
  if (type != r.filterType[v]) r.clearHistory(v);
  r.filterType[v] = type;
  r.forgetFilterInputs(v);  // the lanes' record of this voice's coefficients no longer holds

  const float rate = r.sampleRate;
  float f = cutoffHz + 1.0f;
  float Q = q + 0.001f;
  if (Q > 0.999f) Q = 0.999f;
  if (f > 0.4f * rate) f = 0.4f * rate;
  if (f < 20.0f) f = 20.0f;
  const float B = Q * f / rate;  // bandwidth in cycles per frame
  const float F = f / rate + 1e-15f;

  float b0 = 1.0f, b1 = 0.0f, b2 = 0.0f, a1 = 0.0f, a2 = 0.0f;
  const double Fd = static_cast<double>(F);
  const double Bd = static_cast<double>(B);
  switch (type) {
    case FilterType::Low12: {
      const float N = std::fabs(1.0f - Q) * kSqrt8;
      const float K = cosRounded(3.14159 * Fd) / (sinRounded(3.14159 * Fd) + 0.005f);
      const float w = 1.0f / (N * K + 1.001f + K * K);
      b0 = w;
      b1 = 2.0f * w;
      b2 = w;
      a1 = 2.0f * (1.0f - K * K) * w;
      a2 = (1.0f - N * K + K * K) * w;
      break;
    }
    case FilterType::High12: {
      const float N = std::fabs(1.0f - Q) * kSqrt8;
      const float K = sinRounded(3.14159 * Fd) / (cosRounded(3.14159 * Fd) + 0.005f);
      const float w = 1.0f / (N * K + 1.0001f + K * K);
      b0 = w;
      b1 = -2.0f * w;
      b2 = w;
      a1 = 2.0f * (K * K - 1.0f) * w;
      a2 = (1.0f - N * K + K * K) * w;
      break;
    }
    case FilterType::BP12: {  // centre from the cutoff, bandwidth from the resonance
      const float K = cosRounded(3.14159 * Bd) / (sinRounded(3.14159 * Bd) + 0.005f);
      const float C = 2.0f * cosRounded(6.28318 * Fd) + 1e-15f;
      const float w = 1.0f / (1.001f + K);
      b0 = w;
      b1 = 0.0f;
      b2 = -w;
      a1 = -K * C * w;
      a2 = (K - 1.0f) * w;
      break;
    }
    case FilterType::BR12: {
      const float K = sinRounded(3.14159 * Bd) / (cosRounded(3.14159 * Bd) + 0.005f);
      const float C = 2.0f * cosRounded(6.28318 * Fd);
      const float w = 1.0f / (1.0001f + K);
      b0 = w;
      b1 = -C * w;
      b2 = w;
      a1 = -C * w;
      a2 = (1.0f - K) * w;
      break;
    }
    case FilterType::Low24:
    case FilterType::High24:
    case FilterType::BP24:
    case FilterType::BR24: {  // four-stage cascade with resonance feedback
      if (Q > 1.0f - 1.8f * F) Q = 1.0f - 1.8f * F;
      const float g = 2.0f * F;
      r.ladderK[v] = 3.6f * g - 1.6f * (g * g) - 1.0f;
      r.ladderP[v] = (r.ladderK[v] + 1.0f) * 0.5f;
      r.ladderRes[v] = detmath::expToFloat(1.0 - static_cast<double>(r.ladderP[v])) * Q * 1.38f;
      break;
    }
    case FilterType::Ring:  // the cutoff is the modulator frequency, the resonance its depth
      r.ringIncrement[v] = f / rate;
      r.ringDepth[v] = Q;
      break;
    case FilterType::Comb: {  // its fundamental is the cutoff
      int32_t delay = floorInt(rate / (f + 0.001f));
      if (delay < 2) delay = 2;
      if (delay > 8190) delay = 8190;
      r.combDelay[v] = delay;
      r.combFeedback[v] = static_cast<float>(std::sqrt(std::sqrt(static_cast<double>(Q))));
      break;
    }
    default:  // Off: pass-through coefficients
      break;
  }
  r.biquadB0[v] = b0 + 1e-15f;
  r.biquadB1[v] = b1 + 1e-15f;
  r.biquadB2[v] = b2 + 1e-15f;
  r.biquadA1[v] = a1 + 1e-15f;
  r.biquadA2[v] = a2 + 1e-15f;
}

void filterSample(EngineRecord& r, int v, float x) {
  filterSampleAt(r, v, x, r.historySlot0, r.historySlot1, r.historySlot2);
}

void filterSampleAt(EngineRecord& r, int v, float x, int32_t slot0, int32_t slot1, int32_t slot2) {
  switch (r.filterType[v]) {
    case FilterType::Off:
      r.voiceOutput[v] = x + 1e-15f;
      return;
    case FilterType::Low12:
    case FilterType::High12:
    case FilterType::BP12:
    case FilterType::BR12: {
      const int c = slot0, p = slot1, s = slot2;
      float* X = r.biquadX[v];
      float* Y = r.biquadY[v];
      X[c] = x;
      const float y = r.biquadB0[v] * X[c] + r.biquadB1[v] * X[p] + r.biquadB2[v] * X[s] - r.biquadA1[v] * Y[p] -
                      r.biquadA2[v] * Y[s] + 1e-15f;
      if (!(std::fabs(y) < kRunawayLimit)) [[unlikely]] {
        // The history slots rotate for all voices every frame, also while a voice is skipped, so a voice
        // that comes back after a frame or two finds its past in another order. Restarted often enough
        // (an arpeggio stepping every few frames at an absurd tempo), a resonant section grows without
        // bound; instead of reaching infinity and NaN for good, it starts again from silence.
        for (int slot = 0; slot < kHistorySlots; ++slot) {
          X[slot] = 0.0f;
          Y[slot] = 0.0f;
        }
        r.voiceOutput[v] = 0.0f;
        return;
      }
      Y[c] = y;
      r.voiceOutput[v] = y;
      return;
    }
    case FilterType::Low24:
    case FilterType::High24:
    case FilterType::BP24:
    case FilterType::BR24: {
      const float k = r.ladderK[v], p = r.ladderP[v], R = r.ladderRes[v];
      const float y1 = r.ladderY1[v], y2 = r.ladderY2[v], y3 = r.ladderY3[v], y4 = r.ladderY4[v];
      const float u = x - R * y4 + 1e-15f;
      const float n1 = (u + r.ladderX1[v]) * p - k * y1 + 1e-15f;
      const float n2 = (n1 + (y1 + 1e-15f)) * p - k * y2 + 1e-15f;
      const float n3 = (n2 + (y2 + 1e-15f)) * p - k * y3 + 1e-15f;
      const float n4 = (n3 + (y3 + 1e-15f)) * p - k * y4 + 1e-15f;
      r.ladderY1[v] = n1;
      r.ladderY2[v] = n2;
      r.ladderY3[v] = n3;
      r.ladderY4[v] = n4;
      r.ladderX1[v] = u + 1e-15f;
      const float u2 = u - R * n4 + 1e-15f;
      switch (r.filterType[v]) {
        case FilterType::Low24: r.voiceOutput[v] = n4 + 1e-15f; break;
        case FilterType::High24: r.voiceOutput[v] = u2 - n4 + 1e-15f; break;
        case FilterType::BP24: r.voiceOutput[v] = 3.0f * (n3 - n4) + 1e-15f; break;
        default: r.voiceOutput[v] = u2 - 3.0f * (n3 - n4) + 1e-15f; break;
      }
      return;
    }
    case FilterType::Ring: {
      r.ringPhase[v] += r.ringIncrement[v];
      r.ringPhase[v] -= static_cast<float>(floorInt(r.ringPhase[v]));
      const float depth = r.ringDepth[v];
      r.voiceOutput[v] = x * (sinRounded(6.28318 * static_cast<double>(r.ringPhase[v])) * depth + (1.0f - depth)) + 1e-15f;
      return;
    }
    case FilterType::Comb: {
      const int32_t w = (r.combWrite[v] + 1) & kCombRingMask;
      r.combWrite[v] = w;
      r.combIn[v][w] = x;
      const int32_t n = (w - r.combDelay[v]) & kCombRingMask;
      const float y = clamp10(-r.combIn[v][n] - r.combOut[v][n] * r.combFeedback[v] + 1e-15f);
      r.combOut[v][w] = y;
      r.voiceOutput[v] = y;
      return;
    }
    default:  // any other value: the voice keeps its last output
      return;
  }
}

}  // namespace tamblin::stages
