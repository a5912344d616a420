// The engine record: every piece of sound-engine state in one fixed-size structure, sized for the worst case.
#pragma once

#include <atomic>
#include <cstdint>

#include "Numeric.h"
#include "ParameterTable.h"

namespace tamblin {

constexpr int kVoiceSlots = 16;          // "16 Poly" is the most the instrument ever plays
constexpr int kOscillators = 4;          // two pairs per voice
constexpr int kWaveTables = 8;           // one per wave type; the pulse (type 1) table stays unbuilt
constexpr int kWaveTableSize = 4096;     // read without interpolation: a 24-bit phase shifted right by 12
constexpr int kHistorySlots = 3;         // the two-pole section looks two frames back
constexpr int kCombRingSize = 8192;      // longest comb delay is 8190 frames (20 Hz at 192 kHz is capped)
constexpr int kCombRingMask = kCombRingSize - 1;
// Each voice's comb rings start one cache line (16 floats) further on than a plain 32 KB apart: at
// exactly 32 KB every voice's write position falls in the same cache set, and sixteen voices' two rings
// evict one another on every run.
constexpr int kCombRingStride = kCombRingSize + 16;
constexpr int kStereoRingSize = 65536;   // longest stereo delay is 2^10 + 10 frames; the ring is generous
constexpr int kStereoRingMask = kStereoRingSize - 1;
constexpr int kArpListSize = 33;         // held keys the arpeggiator remembers
constexpr int kGateSteps = 16;           // one bit per step of a 16-bit pattern
constexpr int64_t kPhaseMask = 16777215; // oscillator phases are 24-bit

// Per-voice state, one structure per unit, each field an array over the sixteen voice slots (so that
// one vector holds a field of eight voices), each unit with the one reset it knows.

// The key that plays the voice (note handling, arpeggiator).
struct VoiceKeys {
  uint8_t voiceHeld[kVoiceSlots] = {};
  float noteNumber[kVoiceSlots] = {};
  float velocity[kVoiceSlots] = {};
  float filterVelocity[kVoiceSlots] = {};

  // The key goes up: the voice moves to its release.
  void releaseKey(int v) { voiceHeld[v] = 0; }
};

// Glide, pitch and the four oscillators.
struct VoiceOscillators {
  float glidePitch[kVoiceSlots] = {};
  float voicePitch[kVoiceSlots] = {};
  float voiceRatio[kVoiceSlots] = {};
  int32_t phase[kOscillators][kVoiceSlots] = {};  // 24 bits; by oscillator, so that voices sit side by side
  // Only the low 24 bits of a phase sum survive, so an increment keeps only its low 24 bits.
  int32_t phaseIncrement[kOscillators][kVoiceSlots] = {};

  // Oscillator j starts j/7 of `spread` into its cycle.
  void spreadPhases(int v, float spread) {
    for (int j = 0; j < kOscillators; ++j) {
      phase[j][v] = static_cast<int32_t>(floorInt64(16777215.0f * spread * static_cast<float>(j) / 7.0f) & kPhaseMask);
    }
  }
};

// The two amplitude envelopes and the filter envelope.
struct VoiceEnvelopes {
  float env1Level[kVoiceSlots] = {};
  float env2Level[kVoiceSlots] = {};
  float filterEnvLevel[kVoiceSlots] = {};
  uint8_t env1Attacking[kVoiceSlots] = {};
  uint8_t env2Attacking[kVoiceSlots] = {};
  uint8_t filterEnvAttacking[kVoiceSlots] = {};
  float env1Out[kVoiceSlots] = {};
  float env2Out[kVoiceSlots] = {};

  // All three envelopes start a new attack from zero.
  void restart(int v) {
    env1Attacking[v] = 1;
    env2Attacking[v] = 1;
    filterEnvAttacking[v] = 1;
    env1Level[v] = 0.0f;
    env2Level[v] = 0.0f;
    filterEnvLevel[v] = 0.0f;
  }
};

// The voice filter: its type, the coefficients and state of each family, and the filtered sample.
struct VoiceFilters {
  FilterType filterType[kVoiceSlots] = {};
  float biquadB0[kVoiceSlots] = {};
  float biquadB1[kVoiceSlots] = {};
  float biquadB2[kVoiceSlots] = {};
  float biquadA1[kVoiceSlots] = {};
  float biquadA2[kVoiceSlots] = {};
  float biquadX[kVoiceSlots][kHistorySlots] = {};
  float biquadY[kVoiceSlots][kHistorySlots] = {};
  float ladderK[kVoiceSlots] = {};
  float ladderP[kVoiceSlots] = {};
  float ladderRes[kVoiceSlots] = {};
  // For each family with coefficients from the cutoff: the inputs a voice's coefficients were last
  // computed from in lanes (the cutoff's exponent and key tracking; a key tracking of 0, which no voice
  // has, where nothing is recorded). Resonance and sample rate are the same for all voices and recorded
  // once. The one-voice update, the only other writer of these coefficients, forgets a voice's record;
  // so does a change of type for the two-pole record, since every type writes the two-pole coefficients.
  float biquadInputExponent[kVoiceSlots] = {};
  float biquadInputKeyTrack[kVoiceSlots] = {};
  float ladderInputExponent[kVoiceSlots] = {};
  float ladderInputKeyTrack[kVoiceSlots] = {};
  float ringInputExponent[kVoiceSlots] = {};
  float ringInputKeyTrack[kVoiceSlots] = {};
  float combInputExponent[kVoiceSlots] = {};
  float combInputKeyTrack[kVoiceSlots] = {};
  float filterInputQ = 0.0f;
  float filterInputRate = 0.0f;
  float ladderX1[kVoiceSlots] = {};
  float ladderY1[kVoiceSlots] = {};
  float ladderY2[kVoiceSlots] = {};
  float ladderY3[kVoiceSlots] = {};
  float ladderY4[kVoiceSlots] = {};
  float ringIncrement[kVoiceSlots] = {};
  float ringPhase[kVoiceSlots] = {};
  float ringDepth[kVoiceSlots] = {};
  int32_t combDelay[kVoiceSlots] = {};
  int32_t combWrite[kVoiceSlots] = {};
  float combFeedback[kVoiceSlots] = {};
  float combIn[kVoiceSlots][kCombRingStride] = {};
  float combOut[kVoiceSlots][kCombRingStride] = {};
  float voiceOutput[kVoiceSlots] = {};

  // The two-pole and four-stage states to silence; the ring phase and the comb rings are kept.
  void clearHistory(int v) {
    for (int s = 0; s < kHistorySlots; ++s) {
      biquadX[v][s] = 0.0f;
      biquadY[v][s] = 0.0f;
    }
    ladderX1[v] = 0.0f;
    ladderY1[v] = 0.0f;
    ladderY2[v] = 0.0f;
    ladderY3[v] = 0.0f;
    ladderY4[v] = 0.0f;
  }

  void forgetFilterInputs(int v) {
    biquadInputKeyTrack[v] = 0.0f;
    ladderInputKeyTrack[v] = 0.0f;
    ringInputKeyTrack[v] = 0.0f;
    combInputKeyTrack[v] = 0.0f;
  }
};

// Every field starts at 0 (the record is built zeroed); the engine's constructor then sets the rest. The
// per-voice units are bases, so that their fields are the record's own: r.env1Level[v].
struct EngineRecord : VoiceKeys, VoiceOscillators, VoiceEnvelopes, VoiceFilters {
  // Parameter mirror: written from any thread (host automation, editor, controllers), read by the audio
  // thread at the moment of use. Relaxed atomics: each value is written and read whole.
  std::atomic<float> params[kNumStoredValues] = {};
  // Counts the writes to `params` (each after its value): a count that moved means some value may have.
  std::atomic<uint32_t> paramWrites{0};
  float P(ParamId k) const { return params[k].load(std::memory_order_relaxed); }
  // The choice a choice parameter's value selects, 0..N - 1.
  int32_t choice(ParamId k) const { return choiceIndex(k, P(k)); }

  // Timing.
  float sampleRate = 0.0f;
  float baseIncrement = 0.0f;  // 110 / sampleRate: note 57 in cycles per frame
  int32_t sampleCounter = 0;   // frames rendered since construction, never reset, wraps
  float tempoBpm = 0.0f;

  // Note allocation and play modes.
  int32_t voicePointer = 0;
  int32_t voiceCount = 0;
  int32_t legatoFirstNote = 0;
  int32_t legatoLastNote = 0;
  int32_t legatoHeld = 0;
  float arpNotes[kArpListSize] = {};
  int32_t arpLast = 0;
  float arpPosition = 0.0f;
  float arpPrevPosition = 0.0f;
  float arpIncrement = 0.0f;
  float pitchBend = 0.0f;
  float controllerValue = 0.0f;

  // The filter history rotation, shared by all voices and advanced once per frame.
  int32_t historyState = 0;
  int32_t historySlot0 = 0;
  int32_t historySlot1 = 0;
  int32_t historySlot2 = 0;

  // The inputs of the coefficient tick's pure parts when they last ran (the parameter write count, the
  // tempo and sample rate bits): while these stay, so do the coefficients they computed.
  uint32_t coefficientParamWrites = 0;
  uint32_t coefficientTempoBits = 0;
  uint32_t coefficientRateBits = 0;
  bool coefficientInputsTaken = false;

  // Oscillator, envelope and modulator coefficients (coefficient and control ticks).
  int32_t waveType[2] = {};
  float tuneRatio[kOscillators] = {};
  float glideCoef = 0.0f;
  float glideNorm = 0.0f;
  float env1Attack = 0.0f, env1Decay = 0.0f, env1Sustain = 0.0f, env1Release = 0.0f;
  float env2Attack = 0.0f, env2Decay = 0.0f, env2Sustain = 0.0f, env2Release = 0.0f;
  float filterEnvAttack = 0.0f, filterEnvRelease = 0.0f;
  float keyTrack = 0.0f;
  float detuneRate[kOscillators] = {};
  // The unison spread, speed and sample rate the detune rates were computed from.
  float detuneRateInputs[3] = {-1.0f, -1.0f, -1.0f};
  float detuneRatio[kOscillators] = {};
  int32_t pulseWidth[2] = {};
  float pwmRate[2] = {};
  float tremoloRate = 0.0f;
  float tremoloLevel = 0.0f;
  float filterModRate = 0.0f;
  float filterModLevel = 0.0f;
  float vibratoRate = 0.0f;
  float vibratoOffset = 0.0f;
  float panRate = 0.0f;
  float panPosition = 0.0f;
  float panLeft = 0.0f;
  float panRight = 0.0f;
  float volumeGain = 0.0f;
  // Balance of the two oscillator pairs ("Osc 1..2/3..4 Mix"); unity until the first coefficient tick.
  float pairGain1 = 1.0f;
  float pairGain2 = 1.0f;

  // Trance gate. The position is also read by the editor's lamp on its own thread.
  std::atomic<float> gatePosition = 0.0f;
  float gateIncrement = 0.0f;
  float gateLength = 0.0f;
  float gateVolumeStep = 0.0f;
  float gateVolumeSmooth = 0.0f;
  float gateFilterStep = 0.0f;
  float gateFilterSmooth = 0.0f;
  float gateSmoothCoef = 0.0f;
  float gateVolume = 0.0f;
  float gateFilter = 0.0f;
  float gateVolumePattern[kGateSteps] = {};
  float gateFilterPattern[kGateSteps] = {};

  // Output stage.
  float leftSample = 0.0f;
  float rightSample = 0.0f;
  float dcOutput = 0.0f;
  float dcAverage = 0.0f;
  float stereoBuffer[kStereoRingSize] = {};
  float stereoBaseDelay = 0.0f;
  float stereoPhase = 0.0f;
  float stereoRate = 0.0f;
  float stereoDepth = 0.0f;
  float stereoDelay = 0.0f;

  // Wave tables, built once at construction and read-only afterwards.
  float waveTable[kWaveTables][kWaveTableSize] = {};
};

}  // namespace tamblin
