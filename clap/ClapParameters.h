// How the hundred parameters appear to a CLAP host: ids 0..99 (the VST 2 indices), names and modules
// from the parameter table, continuous values in 0..1 as the instrument stores them, choices as
// stepped numbers 0..N-1, and the texts of both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ParameterTable.h"

namespace tamblin::clap {

struct ParameterDescription {
  uint32_t flags;  // CLAP_PARAM_* flags
  std::string name;
  std::string module;
  double minimum;
  double maximum;
  double defaultValue;  // program 0's value, in the host's units
};

// Id 0..99; nothing for any other id.
std::optional<ParameterDescription> describeParameter(uint32_t id);

// The number of choices of a stepped parameter (its host values are 0..count - 1), 0 for a continuous
// one or an id outside 0..99.
int32_t choiceCount(uint32_t id);

// The host's value of a stored value: the choice for a stepped parameter, the value itself otherwise.
double hostValue(uint32_t id, float stored);
// The value stored for a host value: choice k as the editor writes it ((k + 0.5) / (N - 0.01), the
// nearest whole k inside 0..N-1), a continuous value clamped to 0..1. Nothing for a value that is
// not a number or an id outside 0..99.
std::optional<float> storedValue(uint32_t id, double host);

// The text a host shows for a host value: the choice's name, the step pattern as sixteen 'x' (open)
// and '-' (closed) steps, or the editor's label text (a plain number where it shows none).
std::optional<std::string> parameterText(uint32_t id, double host);
// The host value a text names: a choice's name (or its number), a step pattern, or a number
// (continuous parameters: 0..1).
std::optional<double> parameterFromText(uint32_t id, const char* text);

}  // namespace tamblin::clap
