// Parameter values as text: numbers, and choices by name from the parameter table.
#include "ParameterValue.h"

#include <charconv>
#include <cmath>

#include "ParameterTable.h"

namespace tamblin {

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::optional<double> numberOf(std::string_view text) {
  double number = 0.0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number, std::chars_format::general);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return number;
}

// Messages are put together with append: GCC 12 warns wrongly (-Wrestrict) about "text" + std::string.
std::string describe(int index) {
  std::string text = "parameter ";
  text.append(std::to_string(index)).append(" (").append(parameterTitle(index)).append(")");
  return text;
}

std::string quoted(std::string_view text) {
  std::string out = "'";
  out.append(text).append("'");
  return out;
}

}  // namespace

std::optional<float> parseParameterValue(int index, std::string_view text, std::string& problem) {
  if (index < 0 || index >= kNumParams) {
    problem = "parameter ";
    problem.append(std::to_string(index)).append(" does not exist (0 to ").append(std::to_string(kNumParams - 1)).append(")");
    return std::nullopt;
  }
  if (const std::optional<double> number = numberOf(text)) {
    if (!(*number >= 0.0 && *number <= 1.0)) {
      problem = "value ";
      problem.append(text).append(" for ").append(describe(index)).append(" is out of range (0 to 1)");
      return std::nullopt;
    }
    return static_cast<float>(*number) + 0.0f;  // -0 as 0
  }
  const ChoiceList& choices = parameterInfo(index).choices;
  if (choices.names == nullptr) {
    problem = quoted(text);
    problem.append(" is not a number from 0 to 1, and ").append(describe(index)).append(" has no named choices");
    return std::nullopt;
  }
  for (int32_t k = 0; k < choices.count; ++k)
    if (sameIgnoringCase(text, choices.names[k])) return choiceValue(k, choices.count);
  problem = quoted(text);
  problem.append(" is not a choice of ").append(describe(index)).append("; its choices are");
  for (int32_t k = 0; k < choices.count; ++k) problem.append(k == 0 ? " " : ", ").append(choices.names[k]);
  problem.append(" (or a number from 0 to 1)");
  return std::nullopt;
}

std::optional<ParameterSetting> parseParameterSetting(std::string_view text, std::string& problem) {
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    problem = quoted(text);
    problem.append(" is not INDEX=VALUE");
    return std::nullopt;
  }
  const std::string_view indexText = text.substr(0, equals);
  int index = 0;
  const auto [stop, error] = std::from_chars(indexText.data(), indexText.data() + indexText.size(), index);
  if (indexText.empty() || error != std::errc() || stop != indexText.data() + indexText.size()) {
    problem = quoted(indexText);
    problem.append(" is not a parameter index (a whole number)");
    return std::nullopt;
  }
  const std::optional<float> value = parseParameterValue(index, text.substr(equals + 1), problem);
  if (!value) return std::nullopt;
  return ParameterSetting{index, *value};
}

}  // namespace tamblin
