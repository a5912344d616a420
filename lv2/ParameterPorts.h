// How each of the hundred parameters appears to an LV2 host: port symbol, name, default and choices.
#pragma once

#include <string>
#include <vector>

namespace tamblin::lv2 {

struct ParameterPort {
  std::string symbol;  // stable identifier: letters, digits and '_', starting with a letter
  std::string name;    // never empty
  float defaultValue;  // the value a new instrument starts with (program 0's)
  // Texts of the choices in choice order; empty for a continuous parameter. Choice k is written as
  // the centre of its range, (k + 0.5) / (N - 0.01).
  std::vector<std::string> choices;
};

// Index 0..99.
ParameterPort parameterPort(int index);

// The value a factory program stores for index 0..100 (0 for indices it does not list).
float programValue(int program, int index);

// The value that selects choice k of a parameter with `count` choices.
float choiceCentre(int k, int count);

}  // namespace tamblin::lv2
