// A parameter value given as text (a command line's INDEX=VALUE): a number from 0 to 1, or a choice
// parameter's choice by its name.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tamblin {

struct ParameterSetting {
  int index = 0;
  float value = 0.0f;
};

// The value `text` gives parameter `index` (0..99): a decimal number from 0 to 1 (in any locale); else,
// for a choice parameter, one of its choices' names, compared without regard to case ("low12" is
// Low12), as the value at the centre of that choice. A text that reads as a number is a number
// (the arpeggiator rates "1" and "2" are given by value). Anything else gives nothing, and `problem`
// says why, listing the valid names where the parameter has them.
std::optional<float> parseParameterValue(int index, std::string_view text, std::string& problem);

// "INDEX=VALUE", INDEX a whole number 0..99 and VALUE as parseParameterValue reads it.
std::optional<ParameterSetting> parseParameterSetting(std::string_view text, std::string& problem);

}  // namespace tamblin
