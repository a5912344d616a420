// The engine's construction steps, sample rate, resets and the readers other threads use.
#include "Engine.h"

#include <cmath>

#include "Numeric.h"
#include "Stages.h"

namespace tamblin {

Engine::Engine(EngineHost& host) : host_(host) {
  initPitchBend();
  initPhases();
  initTimingAndRate();
  initArpList();
  stages::buildWaveTables(record);
}

void Engine::initPitchBend() { record.pitchBend = 1.0f; }

void Engine::initPhases() {
  for (int v = 0; v < 8; ++v) {
    for (int j = 0; j < kOscillators; ++j) {
      record.phase[v][j] = floorInt64(static_cast<float>(j) * 16777215.0f / 7.0f);
    }
  }
}

void Engine::initTimingAndRate() {
  record.historyState = 0;
  record.historySlot0 = 0;
  record.historySlot1 = 1;
  record.historySlot2 = 2;
  record.tempoBpm = 120.0f;
  record.arpPosition = 0.0f;
  record.arpPrevPosition = 0.0f;
  record.sampleRate = 44100.0f;
  record.baseIncrement = 110.0f / record.sampleRate;
}

void Engine::initArpList() { record.arpLast = -1; }

void Engine::setSampleRate(float rate) {
  if (!(rate >= kMinSampleRate && rate <= kMaxSampleRate)) return;
  record.sampleRate = rate;
  record.baseIncrement = 110.0f / record.sampleRate;
}

void Engine::resetAfterProgramChange() { stages::resetAfterProgramChange(record); }

void Engine::resetPlayMode() { stages::resetPlayMode(record); }

float Engine::gatePositionForDisplay() const {
  const float position = record.gatePosition.load(std::memory_order_relaxed);
  return position >= 0.0f && position < static_cast<float>(kGateSteps) ? position : 0.0f;
}

float Engine::sampleRate() const { return record.sampleRate; }

}  // namespace tamblin
