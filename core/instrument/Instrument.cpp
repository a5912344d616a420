// The format-free instrument: parameter writes, programs and the state.
#include "Instrument.h"

#include <cmath>

namespace tamblin {

Instrument::Instrument(InstrumentHost& host) : host_(host) {
  for (int p = kNumPrograms - 1; p >= 0; --p) programs_[p] = std::make_unique<Program>();
  for (int p = 0; p < kNumPrograms; ++p) loadFactoryProgram(p);
  selectProgram(0);
}

void Instrument::setParameter(int index, float value) {
  if (index < 0 || index >= kNumStoredValues) return;
  if (value > 1.0f)
    value = 1.0f;
  else if (value < 0.0f)
    value = 0.0f;
  else if (std::isnan(value))
    value = 0.0f;
  engine_.setParameter(index, value);
  programs_[currentProgram()]->setValue(index, value);
  host_.parameterChanged(index, value);
}

bool Instrument::selectProgram(int index) {
  if (index < 0 || index >= kNumPrograms) return false;
  current_.store(index, std::memory_order_relaxed);
  for (int i = 0; i < kNumStoredValues; ++i) setParameter(i, programs_[index]->value(i));
  engine_.requestResetAfterProgramChange();
  return true;
}

void Instrument::setProgramName(int index, const char* name) {
  if (index < 0 || index >= kNumPrograms || name == nullptr) return;
  programs_[index]->setName(name);
}

void Instrument::loadFactoryProgram(int index) {
  if (index < 0 || index >= kNumPrograms) return;
  programs_[index]->loadFactory(kFactoryBank[index]);
}

InstrumentState Instrument::state() const {
  InstrumentState state;
  state.currentProgram = currentProgram();
  for (int p = 0; p < kNumPrograms; ++p) {
    StoredProgram& stored = state.programs[static_cast<size_t>(p)];
    stored.name = programs_[p]->getName();
    for (int i = 0; i < kNumStoredValues; ++i) stored.values[static_cast<size_t>(i)] = programs_[p]->value(i);
  }
  return state;
}

void Instrument::restore(const InstrumentState& state) {
  for (int p = 0; p < kNumPrograms; ++p) {
    const StoredProgram& stored = state.programs[static_cast<size_t>(p)];
    for (int i = 0; i < kNumStoredValues; ++i) {
      const float v = stored.values[static_cast<size_t>(i)];
      programs_[p]->setValue(i, v >= 0.0f && v <= 1.0f ? v : (v > 1.0f ? 1.0f : 0.0f));
    }
    programs_[p]->setName(stored.name.c_str());
  }
  selectProgram(state.currentProgram >= 0 && state.currentProgram < kNumPrograms ? state.currentProgram : 0);
}

bool Instrument::loadState(std::string_view text, std::string& problem) {
  const std::optional<InstrumentState> state = parseState(text, problem);
  if (!state) return false;
  restore(*state);
  return true;
}

void Instrument::loadPreset(const ProgramPreset& preset) {
  const int current = currentProgram();
  setProgramName(current, preset.name.c_str());
  for (int i = 0; i < kFileParamCount; ++i) setParameter(i, preset.values[static_cast<size_t>(i)]);
}

void Instrument::loadBank(const ProgramBank& bank) {
  InstrumentState next = state();
  applyBank(bank, next);
  restore(next);
}

}  // namespace tamblin
