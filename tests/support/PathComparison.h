// The engine's fast path against its plain path: two engines play the same busy phrase, one through
// render() and one through renderPlain(), and every output sample must have the same bits. Used by the
// engine tests and by the benchmark before it times anything.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "Engine.h"

namespace tamblin::test {

// Answers a steady 120 beats per minute; controllers set parameters as the instrument does.
class SteadyHost : public EngineHost {
 public:
  float hostTempo() override { return 120.0f; }
  void setParameterFromController(int32_t index, float value) override { engine->setParameter(index, value); }
  void controllerMessageHandled() override {}
  Engine* engine = nullptr;
};

// A busy patch: every LFO moving, unison, vibrato, a stereo sweep, the gate, sixteen voices, a pulse
// pair ("Sqr") and a table pair ("Vox").
struct PatchValue {
  ParamId id;
  float value;
};
inline const std::vector<PatchValue>& busyPatch() {
  static const std::vector<PatchValue> values = {
      {kVolume, 0.8f},         {kOsc12Attack, 0.1f},    {kOsc12Release, 0.5f},   {kOsc12Sustain, 1.0f},
      {kTune1, 0.5f},          {kTune2, 0.52f},         {kTune3, 0.5f},          {kTune4, 0.48f},
      {kOscMix, 0.5f},         {kOsc34Attack, 0.1f},    {kOsc34Release, 0.5f},   {kOsc34Sustain, 1.0f},
      {kUnisonAmount, 0.3f},   {kUnisonSpread, 0.5f},   {kUnisonSpeed, 0.4f},    {kTremoloAmount, 0.3f},
      {kTremoloSpeed, 0.5f},   {kFilterModAmount, 0.3f}, {kFilterModSpeed, 0.4f}, {kVibratoAmount, 0.3f},
      {kVibratoSpeed, 0.6f},   {kFilterFrequency, 0.7f}, {kFilterQ, 0.6f},       {kFilterEnvelope, 0.5f},
      {kFilterAttack, 0.3f},   {kStereoAmount, 0.5f},   {kStereoWidth, 0.3f},    {kStereoSpeed, 0.3f},
      {kPwm12Amount, 0.4f},    {kPwm12Speed, 0.3f},     {kPanAmount, 0.3f},      {kPanSpeed, 0.5f},
      {kVoiceCount, 1.0f},     {kGatePatternVolume, 0.6f}, {kGateToVolume, 0.5f}, {kGateTempo, 0.501002f},
      {kGateLength, 1.0f},     {kWaveType1, 0.19f},     {kWaveType2, 0.8f}};
  return values;
}

// The busy patch held still: no LFO on pitch, filter, pulse width, pan or level, and no filter envelope,
// so that a voice's pitch and cutoff stay from one control tick to the next (unison and the gate move
// on); with key tracking, so that a voice's cutoff comes back with its key.
inline const std::vector<PatchValue>& steadyPatch() {
  static const std::vector<PatchValue> values = {
      {kTremoloAmount, 0.0f}, {kFilterModAmount, 0.0f}, {kVibratoAmount, 0.0f},   {kFilterEnvelope, 0.0f},
      {kPwm12Amount, 0.0f},   {kPanAmount, 0.0f},       {kFilterTracking, 1.0f}};
  return values;
}

// The value of "Filter Type" that selects the type.
inline float filterTypeValue(FilterType type) {
  return choiceValue(static_cast<int32_t>(type), kFilterTypeCount);
}

// An engine as the instrument builds it, with the busy patch, the filter type and the play mode given.
struct BusyEngine {
  SteadyHost host;
  std::unique_ptr<Engine> engine;

  BusyEngine(FilterType filterType, float playMode = 0.0f, const std::vector<PatchValue>& changes = {}) {
    engine = std::make_unique<Engine>(host);
    host.engine = engine.get();
    engine->setSampleRate(44100.0f);
    for (const PatchValue& value : busyPatch()) engine->setParameter(value.id, value.value);
    for (const PatchValue& value : changes) engine->setParameter(value.id, value.value);
    engine->setParameter(kFilterType, filterTypeValue(filterType));
    engine->setParameter(kPlayMode, playMode);
    engine->resetAfterProgramChange();
  }
};

// Plays `frames` frames of a busy phrase (keys pressed and released on odd frames, more keys than
// voices, a controller sweep, pitch bends, a change of resonance, of filter type while voices sound and
// of sample rate) in blocks of random sizes, through render() with the voice kernels given (null: the
// engine's choice) or through renderPlain(), on the busy patch with `changes`. Returns the left and
// right samples, interleaved.
inline std::vector<float> playBusyPhrase(FilterType filterType, float playMode, int frames, bool plain,
                                         const kernels::VoiceKernels* kernels = nullptr,
                                         const std::vector<PatchValue>& changes = {}) {
  BusyEngine busy(filterType, playMode, changes);
  Engine& engine = *busy.engine;
  if (kernels != nullptr) engine.useVoiceKernels(kernels);
  std::mt19937 random(12345u + static_cast<uint32_t>(filterType));
  std::vector<float> out(2 * static_cast<size_t>(frames));
  std::vector<float> left(1024), right(1024), input(1024);
  int key = 36;
  for (int start = 0; start < frames;) {
    const int block = std::min<int>(1 + static_cast<int>(random() % 700), frames - start);
    std::vector<MidiMessage> messages;
    for (int m = static_cast<int>(random() % 4); m > 0; --m) {
      const int32_t delta = static_cast<int32_t>(random() % static_cast<uint32_t>(block));
      const uint32_t kind = random() % 8;
      if (kind < 4) {
        messages.push_back({delta, {0x90, static_cast<uint8_t>(key), static_cast<uint8_t>(20 + random() % 100), 0}});
        key = 36 + (key - 36 + 7) % 48;
      } else if (kind < 6) {
        messages.push_back({delta, {0x80, static_cast<uint8_t>(36 + random() % 48), 0, 0}});
      } else if (kind == 6) {
        messages.push_back({delta, {0xB0, 74, static_cast<uint8_t>(random() % 128), 0}});
      } else {
        messages.push_back({delta, {0xE0, 0, static_cast<uint8_t>(random() % 128), 0}});
      }
    }
    if (!messages.empty()) engine.processEvents(messages.data(), static_cast<int32_t>(messages.size()));
    // Halfway the filter type moves on while voices sound, so that for a while a group holds voices
    // on the old type and voices on the new one.
    // Three quarters through, the pairs swap kinds: a table for the first, the pulse for the second.
    if (start < frames * 3 / 4 && start + block >= frames * 3 / 4) {
      engine.setParameter(kWaveType1, 0.0f);
      engine.setParameter(kWaveType2, 0.19f);
    }
    if (start < frames / 4 && start + block >= frames / 4) engine.setParameter(kFilterQ, 0.3f);
    if (start < frames * 5 / 8 && start + block >= frames * 5 / 8) engine.setSampleRate(48000.0f);
    if (start < frames / 2 && start + block >= frames / 2) {
      const auto next = static_cast<FilterType>((static_cast<int32_t>(filterType) + 5) % kFilterTypeCount);
      engine.setParameter(kFilterType, filterTypeValue(next));
    }
    for (int i = 0; i < block; ++i) input[static_cast<size_t>(i)] = 0.01f * static_cast<float>(i % 7);
    if (plain) {
      engine.renderPlain(input.data(), left.data(), right.data(), block);
    } else {
      engine.render(input.data(), left.data(), right.data(), block);
    }
    for (int i = 0; i < block; ++i) {
      out[2 * static_cast<size_t>(start + i)] = left[static_cast<size_t>(i)];
      out[2 * static_cast<size_t>(start + i) + 1] = right[static_cast<size_t>(i)];
    }
    start += block;
  }
  return out;
}

// The first interleaved sample where the two differ in any bit; -1 when none does.
inline int64_t firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
  if (a.size() != b.size()) return 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return static_cast<int64_t>(i);
  }
  return -1;
}

}  // namespace tamblin::test
