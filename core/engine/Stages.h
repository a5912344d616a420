// The engine's stages: small named steps that each read and write the one engine record.
#pragma once

#include <cmath>
#include <cstdint>

#include "EngineRecord.h"

namespace tamblin::stages {

// Four frames of one quantity, and their bits, for the stages that work four frames at a time.
typedef float Frames4 __attribute__((vector_size(16)));
typedef uint32_t Bits4 __attribute__((vector_size(16)));

// Play modes, read afresh from "play mode" at every use.
enum PlayMode : int32_t { kPoly = 0, kLegato = 1, kArp = 2 };
int32_t playMode(const EngineRecord& r);
int32_t voiceCountFromParams(const EngineRecord& r);  // 16 or 8

// Tables (WaveTables.cpp).
void buildWaveTables(EngineRecord& r);

// Notes (Notes.cpp).
void noteOn(EngineRecord& r, int32_t key, int32_t velocityByte);
void noteOff(EngineRecord& r, int32_t key);
void releaseAllKeys(EngineRecord& r);  // every key flag cleared, nothing else
void resetPlayMode(EngineRecord& r);
void resetAfterProgramChange(EngineRecord& r);

// Voice filter (Filter.cpp).
void updateFilter(EngineRecord& r, int v, FilterType type, float cutoffHz, float q);
// The two-pole low and high passes' sqrt(8), in double rounded once, as every transcendental value is.
inline const float kSqrt8 = static_cast<float>(std::sqrt(8.0));
void filterSample(EngineRecord& r, int v, float x);  // with the record's history slots
// The same with the history slots of the frame given: current, previous and second previous.
void filterSampleAt(EngineRecord& r, int v, float x, int32_t slot0, int32_t slot1, int32_t slot2);

// Voices (Voice.cpp).
void voiceCoefficients(EngineRecord& r);  // coefficient tick
bool voiceSounding(const EngineRecord& r, int v);
uint32_t soundingVoices(const EngineRecord& r, int count);  // bit v: voice v (< count) sounds
void voiceControlUpdate(EngineRecord& r, int v);  // control tick
void voiceFrame(EngineRecord& r, int v);          // oscillators and filter, every frame
// The same with the filter history slots of the frame given.
void voiceFrameAt(EngineRecord& r, int v, int32_t slot0, int32_t slot1, int32_t slot2);

// Trance gate and arpeggiator clock (GateArp.cpp).
void advanceGate(EngineRecord& r);
void advanceGateFrames(EngineRecord& r, int32_t frames);  // advanceGate `frames` times
void runArpClock(EngineRecord& r);
// Of the next `frames` frames after this one, how many pass before the arpeggiator clock starts a step
// (frames when none does). Changes nothing.
int32_t framesBeforeArpStep(const EngineRecord& r, int32_t frames);
void gatePatterns(EngineRecord& r);      // coefficient tick: length, rate, patterns, smoothing
void gateCoefficients(EngineRecord& r);  // coefficient tick, after gatePatterns: the smoothed step
void arpCoefficients(EngineRecord& r);   // coefficient tick

// LFOs (Modulators.cpp).
float lfoRate(const EngineRecord& r, float speed);
void modulatorRates(EngineRecord& r);   // coefficient tick
void modulatorValues(EngineRecord& r);  // control tick

// Output stage (OutputStage.cpp).
void outputCoefficients(EngineRecord& r);  // coefficient tick
// From the voice sum and the input sample to the two clipped output samples.
// `counter` is the frame's sampleCounter, which places the frame in the stereo ring.
void outputStage(EngineRecord& r, float in, int32_t counter, float& left, float& right);
// The same over a run of frames: voice sums and input samples per frame, the first frame's counter.
void outputRun(EngineRecord& r, const float* sums, const float* in, int32_t counter, int32_t frames, float* left,
               int32_t leftStep, float* right, int32_t rightStep);

}  // namespace tamblin::stages
