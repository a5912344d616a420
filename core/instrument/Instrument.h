// The instrument every format wraps: the engine, the sixteen programs and the current one, parameter
// writes, program selection and the state. A format adds only what its host interface needs.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "BankFile.h"
#include "Engine.h"
#include "Program.h"
#include "State.h"

namespace tamblin {

// What the instrument asks of the format that owns it.
class InstrumentHost {
 public:
  virtual ~InstrumentHost() = default;
  // [audio thread, every kHostTick frames] The host's tempo in beats per minute, for a format whose
  // host gives a tempo in beats per minute best as tempoFromBpm(bpm); below 1: none (120 is played).
  virtual float hostTempo() = 0;
  // [any thread] A stored parameter changed: a host write, a mapped controller (on the audio thread),
  // a program selection or a state. The value is the one stored, after clamping.
  virtual void parameterChanged(int index, float value) {
    (void)index;
    (void)value;
  }
  // [audio thread] After every controller and pitch-bend message.
  virtual void controllerMessageHandled() {}
};

class Instrument final : private EngineHost {
 public:
  static constexpr int kNumPrograms = kFactoryProgramCount;

  // A new instrument: the factory bank in the sixteen programs, program 0 selected with its values.
  explicit Instrument(InstrumentHost& host);
  Instrument(const Instrument&) = delete;
  Instrument& operator=(const Instrument&) = delete;

  // [any thread] Clamps the value to 0..1 (NaN to 0), stores it in the engine and the current
  // program and tells the host. Indices outside 0..100 are ignored.
  void setParameter(int index, float value);
  // [any thread] The engine's value; 0 outside 0..100.
  float parameter(int index) const { return engine_.param(index); }

  // [main thread] Makes `index` current and applies its values (each through setParameter), then
  // resets the engine's notes and filters as a program change does. False (nothing changes) outside
  // 0..15.
  bool selectProgram(int index);
  int currentProgram() const { return current_.load(std::memory_order_relaxed); }
  const Program& program(int index) const { return *programs_[index]; }
  // [main thread] Renames a program (at most 63 characters are kept); ignored outside 0..15.
  void setProgramName(int index, const char* name);
  // [main thread] Puts the factory program back into program `index` (not applied unless selected).
  void loadFactoryProgram(int index);

  // [main thread] The whole state, and a state applied: every program's name and values, then the
  // current program selected.
  InstrumentState state() const;
  void restore(const InstrumentState& state);
  // The state's text form; a text that is not a whole state changes nothing and says why.
  std::string saveState() const { return formatState(state()); }
  bool loadState(std::string_view text, std::string& problem);
  // [main thread] A program file's name and values 0..99 put into the current program (each value
  // through setParameter; value 100 stays).
  void loadPreset(const ProgramPreset& preset);
  // [main thread] A bank file's programs put into the sixteen programs (values 100 stay), then its
  // current program selected (the current one again for a bank without one).
  void loadBank(const ProgramBank& bank);

  // [any thread] The sample rate, adopted before the next render.
  void setSampleRate(float rate) { engine_.requestSampleRate(rate); }

  // [audio thread] MIDI messages, each acting on its frame of the next render().
  void processEvents(const MidiMessage* messages, int32_t count) { engine_.processEvents(messages, count); }
  // [audio thread] Renders `frames` frames (input may be null; left or right may be null).
  void render(const float* input, float* left, float* right, int32_t frames) {
    if (frames > 0) engine_.render(input, left, right, frames);
  }

  // [any thread] The gate position in steps, for the editor's lamp.
  float gatePosition() const { return engine_.gatePositionForDisplay(); }
  Engine& engine() { return engine_; }
  const Engine& engine() const { return engine_; }

 private:
  float hostTempo() override { return host_.hostTempo(); }
  void setParameterFromController(int32_t index, float value) override { setParameter(index, value); }
  void controllerMessageHandled() override { host_.controllerMessageHandled(); }

  InstrumentHost& host_;
  std::unique_ptr<Program> programs_[kNumPrograms];
  std::atomic<int> current_{0};
  Engine engine_{*this};
};

}  // namespace tamblin
