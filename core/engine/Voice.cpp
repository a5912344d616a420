// One voice: glide, pitch, envelopes and cutoff on the control tick; oscillators and filter every frame.
#include <algorithm>
#include <cstring>

#include "Numeric.h"
#include "Stages.h"

namespace tamblin::stages {

namespace {

constexpr ParamId kTunes[kOscillators] = {kTune1, kTune2, kTune3, kTune4};

// Envelope times in 1/32 beat, so that envelopes follow the host tempo.
constexpr float kTimeTable[50] = {1,  2,  3,  4,  5,  6,  7,  8,   9,   10,  11,  12,  13,  14,   15,  16,  18,
                                  20, 22, 24, 26, 28, 30, 32, 34,  36,  38,  40,  42,  44,  46,   48,  52,  56,
                                  60, 64, 72, 80, 88, 96, 112, 128, 160, 192, 224, 256, 384, 512, 1024, 1536};

// Per-control-tick step of an envelope segment lasting the table time, at most 0.01 (100 ticks).
float envelopeRate(const EngineRecord& r, float time) {
  const int32_t index = std::clamp(floorInt(time * 49.99f), 0, 49);
  const float frames = kTimeTable[index] * 7.5f / 4.0f * r.sampleRate / r.tempoBpm + 1.0f;
  const float rate = 16.0f / frames;
  return rate > 0.01f ? 0.01f : rate;
}

// One amplitude envelope for one control tick; returns its output before the envelope mode.
float stepEnvelope(EngineRecord& r, float& level, uint8_t& attacking, uint8_t held, float attack, float decay,
                   float sustain, float release) {
  if (held == 1) {
    if (attacking == 1) level += attack;
    if (attacking == 0) {
      level -= decay;
      if (level < sustain) level = sustain;
    }
  } else {
    level -= release;
    if (level < 0.0f) level = 0.0f;
  }
  if (level > 1.0f) {
    level = 1.0f;
    attacking = 0;
  }
  // The velocity factor is the most recently started voice's, for every voice.
  return r.gateVolume * r.velocity[std::clamp(r.voicePointer, 0, kVoiceSlots - 1)] * level + 1e-15f;
}

}  // namespace

void voiceCoefficients(EngineRecord& r) {
  r.env1Attack = envelopeRate(r, r.P(kOsc12Attack));
  r.env1Decay = r.P(kOsc12Decay) > 0.99f ? 0.0f : envelopeRate(r, r.P(kOsc12Decay));
  r.env1Release = envelopeRate(r, r.P(kOsc12Release));
  r.env2Attack = envelopeRate(r, r.P(kOsc34Attack));
  r.env2Decay = r.P(kOsc34Decay) > 0.99f ? 0.0f : envelopeRate(r, r.P(kOsc34Decay));
  r.env2Release = envelopeRate(r, r.P(kOsc34Release));
  r.filterEnvAttack = envelopeRate(r, r.P(kFilterAttack));
  r.filterEnvRelease = r.P(kFilterRelease) > 0.99f ? 0.0f : envelopeRate(r, r.P(kFilterRelease));
  r.env1Sustain = r.P(kOsc12Sustain);
  r.env2Sustain = r.P(kOsc34Sustain);

  r.waveType[0] = r.choice(kWaveType1);
  r.waveType[1] = r.choice(kWaveType2);
  for (int j = 0; j < kOscillators; ++j) {
    const int32_t semitones = floorInt(r.P(kTunes[j]) * 72.99f - 36.0f);
    r.tuneRatio[j] = pow2(static_cast<float>(semitones) / 12.0f);
  }
  r.glideCoef = pow2(12.0f - 20.0f * (1.0f - r.P(kPortamento)));
  r.glideNorm = 1.0f / (r.glideCoef + 1.0f);

  // "Osc 1..2/3..4 Mix": the far side of the centre fades the other pair out.
  const float mix = r.P(kOscMix);
  r.pairGain1 = mix >= 0.5f ? 2.0f - 2.0f * mix : 1.0f;
  r.pairGain2 = mix < 0.5f ? 2.0f * mix : 1.0f;
}

bool voiceSounding(const EngineRecord& r, int v) {
  return r.voiceHeld[v] == 1 || r.env1Level[v] + r.env2Level[v] > 0.001f;
}

// voiceSounding for four voices at a time: a vector of four sums of levels, and four key flags read as
// the bytes of one word (lowest address in the lowest byte).
uint32_t soundingVoices(const EngineRecord& r, int count) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__);
  typedef float F4 __attribute__((vector_size(16)));
  typedef int32_t I4 __attribute__((vector_size(16)));
  I4 bits = {0, 0, 0, 0};
  for (int first = 0; first < kVoiceSlots; first += 4) {
    F4 level1, level2;
    std::memcpy(&level1, &r.env1Level[first], sizeof level1);
    std::memcpy(&level2, &r.env2Level[first], sizeof level2);
    int32_t flags;
    std::memcpy(&flags, &r.voiceHeld[first], sizeof flags);
    const I4 held = (I4{flags, flags, flags, flags} & I4{0xFF, 0xFF00, 0xFF0000, -0x1000000}) ==
                    I4{1, 0x100, 0x10000, 0x1000000};
    const I4 sounding = held | (level1 + level2 > 0.001f);
    bits |= sounding & (I4{1, 2, 4, 8} << first);
  }
  const uint32_t voices = static_cast<uint32_t>(bits[0] | bits[1] | bits[2] | bits[3]);
  return count >= kVoiceSlots ? voices : voices & ((1u << count) - 1u);
}

void voiceControlUpdate(EngineRecord& r, int v) {
  r.glidePitch[v] = (r.glidePitch[v] * r.glideCoef + r.noteNumber[v]) * r.glideNorm;
  r.voicePitch[v] = (r.glidePitch[v] - 57.0f) / 12.0f + r.vibratoOffset;
  r.voiceRatio[v] = pow2(r.voicePitch[v]);
  for (int j = 0; j < kOscillators; ++j) {
    const float step =
        16777215.0f * r.baseIncrement * r.tuneRatio[j] * r.voiceRatio[v] * r.pitchBend * r.detuneRatio[j];
    r.phaseIncrement[j][v] = static_cast<int32_t>(floorInt64(step) & kPhaseMask);
  }

  // Filter envelope: attack, then release at once, held key or not.
  float& filterLevel = r.filterEnvLevel[v];
  if (r.filterEnvAttacking[v] == 1) {
    filterLevel += r.filterEnvAttack;
  } else {
    filterLevel -= r.filterEnvRelease;
  }
  if (filterLevel > 1.0f) {
    filterLevel = 1.0f;
    r.filterEnvAttacking[v] = 0;
  }
  if (filterLevel < 0.0f) filterLevel = 0.0f;

  const uint8_t held = r.voiceHeld[v];
  r.env1Out[v] = stepEnvelope(r, r.env1Level[v], r.env1Attacking[v], held, r.env1Attack, r.env1Decay,
                              r.env1Sustain, r.env1Release);
  r.env2Out[v] = stepEnvelope(r, r.env2Level[v], r.env2Attacking[v], held, r.env2Attack, r.env2Decay,
                              r.env2Sustain, r.env2Release);
  if (r.P(kEnvelopeMode) < 0.5f) r.env2Out[v] = r.env1Out[v];  // "Same Env"
  // Tremolo scales the voices only, not the mixed-in input.
  r.env1Out[v] = r.env1Out[v] * r.tremoloLevel;
  r.env2Out[v] = r.env2Out[v] * r.tremoloLevel;

  const float m = (1.0f - (1.0f - filterLevel) * r.P(kFilterEnvelope)) * r.P(kFilterFrequency);
  r.keyTrack = r.P(kFilterTracking) > 0.5f ? pow2((r.noteNumber[v] - 57.0f) / 12.0f) : 1.0f;
  const float cutoff =
      pow2(10.0f * r.gateFilter * m * r.filterModLevel * r.filterVelocity[v]) * 20.0f * r.keyTrack;
  updateFilter(r, v, static_cast<FilterType>(r.choice(kFilterType)), cutoff, r.P(kFilterQ));
}

void voiceFrame(EngineRecord& r, int v) { voiceFrameAt(r, v, r.historySlot0, r.historySlot1, r.historySlot2); }

void voiceFrameAt(EngineRecord& r, int v, int32_t slot0, int32_t slot1, int32_t slot2) {
  float pair[2];
  for (int p = 0; p < 2; ++p) {
    const int32_t type = r.waveType[p];
    float sum = 0.0f;
    for (int j = 2 * p; j < 2 * p + 2; ++j) {
      const int32_t phase = (r.phase[j][v] + r.phaseIncrement[j][v]) & static_cast<int32_t>(kPhaseMask);
      r.phase[j][v] = phase;
      const float o = type == 1 ? (phase < r.pulseWidth[p] ? 1.0f : -1.0f) : r.waveTable[type][phase >> 12];
      sum = j == 2 * p ? o : sum + o;
    }
    pair[p] = sum;
  }
  const float x = pair[0] * r.pairGain1 * r.env1Out[v] + pair[1] * r.pairGain2 * r.env2Out[v];
  filterSampleAt(r, v, x, slot0, slot1, slot2);
}

}  // namespace tamblin::stages
