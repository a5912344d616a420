// The engine's construction steps, sample rate, resets and the readers other threads use.
#include "Engine.h"

#include <cmath>

#include "Numeric.h"
#include "Stages.h"

namespace tamblin {

float tempoFromBpm(double bpm) {
  if (bpm >= 1.0 && bpm <= 1.0e5) return static_cast<float>(static_cast<int32_t>(std::lround(bpm * 10000.0))) / 10000.0f;
  if (bpm > 1.0e5 && bpm <= 1.0e6) return static_cast<float>(bpm);
  return 0.0f;
}

Engine::Engine(EngineHost& host) : host_(host) {
  initPitchBend();
  initPhases();
  initTimingAndRate();
  initArpList();
  stages::buildWaveTables(record);
}

void Engine::initPitchBend() { record.pitchBend = 1.0f; }

void Engine::initPhases() {
  for (int v = 0; v < 8; ++v) record.spreadPhases(v, 1.0f);
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

bool Engine::onRenderThread() const {
  const std::thread::id renderer = renderThread_.load(std::memory_order_acquire);
  return renderer == std::thread::id() || renderer == std::this_thread::get_id();
}

void Engine::requestSampleRate(float rate) {
  if (onRenderThread()) {
    setSampleRate(rate);
  } else {
    requestedRate_.store(rate, std::memory_order_release);
  }
}

void Engine::requestResetAfterProgramChange() {
  if (onRenderThread()) {
    resetAfterProgramChange();
  } else {
    requests_.fetch_or(kRequestProgram, std::memory_order_acq_rel);
  }
}

void Engine::requestResetPlayMode() {
  if (onRenderThread()) {
    resetPlayMode();
  } else {
    requests_.fetch_or(kRequestPlayMode, std::memory_order_acq_rel);
  }
}

// In the order a program change makes them: rate, play mode, then the program's resets.
void Engine::applyRequests() {
  renderThread_.store(std::this_thread::get_id(), std::memory_order_release);
  const float rate = requestedRate_.exchange(0.0f, std::memory_order_acq_rel);
  if (rate != 0.0f) setSampleRate(rate);
  const int requests = requests_.exchange(0, std::memory_order_acq_rel);
  if (requests & kRequestPlayMode) resetPlayMode();
  if (requests & kRequestProgram) resetAfterProgramChange();
}

float Engine::gatePositionForDisplay() const {
  const float position = record.gatePosition.load(std::memory_order_relaxed);
  return position >= 0.0f && position < static_cast<float>(kGateSteps) ? position : 0.0f;
}

float Engine::sampleRate() const { return record.sampleRate; }

}  // namespace tamblin
