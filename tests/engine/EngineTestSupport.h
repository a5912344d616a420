// Shared helpers for the engine tests: a fake instrument around the engine, MIDI and render shortcuts.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Engine.h"

namespace tamblin::test {

// Stands in for the instrument: a fixed tempo, and controller values stored through the
// engine's parameter setter, as the instrument stores them.
class FakeHost : public EngineHost {
 public:
  float hostTempo() override {
    ++tempoRequests;
    return tempo;
  }
  void setParameterFromController(int32_t index, float value) override {
    engine->setParameter(index, value);
    lastControllerIndex = index;
  }
  void controllerMessageHandled() override { ++handledMessages; }

  Engine* engine = nullptr;
  float tempo = 120.0f;
  int tempoRequests = 0;
  int handledMessages = 0;
  int32_t lastControllerIndex = -1;
};

// Tunes centred, full volume, sustain 1, envelopes fast, everything else 0: a plain sawtooth.
inline std::vector<float> neutralValues() {
  std::vector<float> values(kNumStoredValues, 0.0f);
  values[kVolume] = 1.0f;
  values[kOsc12Sustain] = 1.0f;
  values[kOsc34Sustain] = 1.0f;
  for (int j = kTune1; j <= kTune4; ++j) values[j] = 0.5f;
  values[kOscMix] = 0.5f;
  values[kFilterFrequency] = 1.0f;
  return values;
}

// Moves the two-pole history slots on by one frame, as the render loop does every frame.
inline void rotateHistory(EngineRecord& r) {
  r.historyState = (r.historyState + 1) % 3;
  r.historySlot0 = (2 - r.historyState + 3) % 3;
  r.historySlot1 = (r.historySlot0 + 1) % 3;
  r.historySlot2 = (r.historySlot0 + 2) % 3;
}

// An engine as the instrument builds it, with a program of `values` loaded (101 entries; missing ones
// are 0) as a program change loads one.
struct TestEngine {
  FakeHost host;
  std::unique_ptr<Engine> engine;

  explicit TestEngine(const std::vector<float>& values = neutralValues(), float rate = 44100.0f) {
    engine = std::make_unique<Engine>(host);
    host.engine = engine.get();
    engine->setSampleRate(rate);
    for (int i = 0; i < kNumStoredValues; ++i) {
      engine->setParameter(i, i < static_cast<int>(values.size()) ? values[i] : 0.0f);
    }
    engine->resetAfterProgramChange();
  }

  EngineRecord& rec() { return engine->record; }

  void setParam(int index, float value) { engine->setParameter(index, value); }

  void send(uint8_t status, uint8_t data1, uint8_t data2, int32_t delta = 0) {
    const MidiMessage message{delta, {status, data1, data2, 0}};
    engine->processEvents(&message, 1);
  }
  void noteOn(int key, int velocity = 100, int32_t delta = 0) {
    send(0x90, static_cast<uint8_t>(key), static_cast<uint8_t>(velocity), delta);
  }
  void noteOff(int key, int32_t delta = 0) { send(0x80, static_cast<uint8_t>(key), 0, delta); }

  // Renders `frames` frames in one block; returns the left channel (the right one in `right`).
  std::vector<float> render(int frames, std::vector<float>* right = nullptr, const float* input = nullptr) {
    std::vector<float> left(static_cast<size_t>(frames)), r(static_cast<size_t>(frames));
    engine->render(input, left.data(), r.data(), frames);
    if (right != nullptr) *right = r;
    return left;
  }
};

}  // namespace tamblin::test
