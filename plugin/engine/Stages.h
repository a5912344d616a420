// The engine's stages: small named steps that each read and write the one engine record.
#pragma once

#include <cstdint>

#include "EngineRecord.h"

namespace tamblin::stages {

// Play modes, read afresh from "play mode" at every use.
enum PlayMode : int32_t { kPoly = 0, kLegato = 1, kArp = 2 };
int32_t playMode(const EngineRecord& r);
int32_t voiceCountFromParams(const EngineRecord& r);  // 16 or 8

// Tables (WaveTables.cpp).
void buildWaveTables(EngineRecord& r);

// Notes (Notes.cpp).
void noteOn(EngineRecord& r, int32_t key, int32_t velocityByte);
void noteOff(EngineRecord& r, int32_t key);
void retrigger(EngineRecord& r, int v);  // all three envelopes restart their attack from zero
void releaseAllKeys(EngineRecord& r);  // every key flag cleared, nothing else
void resetPlayMode(EngineRecord& r);
void resetAfterProgramChange(EngineRecord& r);

// Voice filter (Filter.cpp).
void clearFilterHistory(EngineRecord& r, int v);  // two-pole and four-pole states of the voice to 0
void updateFilter(EngineRecord& r, int v, FilterType type, float cutoffHz, float q);
void filterSample(EngineRecord& r, int v, float x);

// Voices (Voice.cpp).
void voiceCoefficients(EngineRecord& r);  // coefficient tick
bool voiceSounding(const EngineRecord& r, int v);
void voiceControlUpdate(EngineRecord& r, int v);  // control tick
void voiceFrame(EngineRecord& r, int v);          // oscillators and filter, every frame

// Trance gate and arpeggiator clock (GateArp.cpp).
void advanceGate(EngineRecord& r);
void runArpClock(EngineRecord& r);
void gateCoefficients(EngineRecord& r);  // coefficient tick
void arpCoefficients(EngineRecord& r);   // coefficient tick

// LFOs (Modulators.cpp).
float lfoRate(const EngineRecord& r, float speed);
void modulatorRates(EngineRecord& r);   // coefficient tick
void modulatorValues(EngineRecord& r);  // control tick

// Output stage (OutputStage.cpp).
void outputCoefficients(EngineRecord& r);  // coefficient tick
// From the voice sum and the input sample to the two clipped output samples.
void outputStage(EngineRecord& r, float in, float& left, float& right);

}  // namespace tamblin::stages
