// Parameter descriptions, values and texts for CLAP hosts, all read from the parameter table.
#include "ClapParameters.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "ClapExtensions.h"
#include "FactoryBank.h"
#include "ValueTexts.h"

namespace tamblin::clap {

namespace {

bool valid(uint32_t id) { return id < static_cast<uint32_t>(kNumParams); }

// A parameter that no control and no host name belongs to: stored and saved, but read by nothing.
bool unused(const ParameterInfo& info) {
  const bool hasControl = info.caption[0] != '\0' || info.title[0] != '\0';
  return info.hostName[0] == '\0' && (!hasControl || info.section == Section::None);
}

float programZeroValue(uint32_t id) {
  const FactoryProgram& program = kFactoryBank[0];
  for (std::size_t k = 0; k < program.count; ++k) {
    if (program.values[k].index == static_cast<int32_t>(id)) return program.values[k].value;
  }
  return 0.0f;
}

std::string_view trimmed(const char* text) {
  std::string_view view(text);
  while (!view.empty() && (view.front() == ' ' || view.front() == '\t')) view.remove_prefix(1);
  while (!view.empty() && (view.back() == ' ' || view.back() == '\t')) view.remove_suffix(1);
  return view;
}

// A whole decimal number and nothing else.
std::optional<double> numberOf(std::string_view text) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

int32_t choiceCount(uint32_t id) {
  if (!valid(id)) return 0;
  const ParameterInfo& info = parameterInfo(static_cast<int>(id));
  const bool stepped = info.format == ValueFormat::Choice || info.format == ValueFormat::StepPattern;
  return stepped ? info.choices.count : 0;
}

std::optional<ParameterDescription> describeParameter(uint32_t id) {
  if (!valid(id)) return std::nullopt;
  const ParameterInfo& info = parameterInfo(static_cast<int>(id));
  const int32_t count = choiceCount(id);
  uint32_t flags = CLAP_PARAM_IS_AUTOMATABLE;
  if (count > 0) flags |= CLAP_PARAM_IS_STEPPED;
  if (info.format == ValueFormat::Choice) flags |= CLAP_PARAM_IS_ENUM;  // each step has a name: a menu
  if (unused(info)) flags |= CLAP_PARAM_IS_HIDDEN;
  return ParameterDescription{flags,
                              parameterTitle(static_cast<int>(id)),
                              sectionName(info.section),
                              0.0,
                              count > 0 ? count - 1.0 : 1.0,
                              hostValue(id, programZeroValue(id))};
}

double hostValue(uint32_t id, float stored) {
  const int32_t count = choiceCount(id);
  return count > 0 ? static_cast<double>(choiceIndex(stored, count)) : static_cast<double>(stored);
}

std::optional<float> storedValue(uint32_t id, double host) {
  if (!valid(id) || std::isnan(host)) return std::nullopt;
  const int32_t count = choiceCount(id);
  if (count == 0) return static_cast<float>(host < 0.0 ? 0.0 : (host > 1.0 ? 1.0 : host));
  const double nearest = std::nearbyint(host < 0.0 ? 0.0 : (host > count - 1.0 ? count - 1.0 : host));
  return choiceValue(static_cast<int32_t>(nearest), count);
}

std::optional<std::string> parameterText(uint32_t id, double host) {
  const std::optional<float> stored = storedValue(id, host);
  if (!stored) return std::nullopt;
  const ParameterInfo& info = parameterInfo(static_cast<int>(id));
  if (info.format == ValueFormat::Choice) {
    return std::string(info.choices.names[choiceIndex(*stored, info.choices.count)]);
  }
  if (info.format == ValueFormat::StepPattern) {
    const int32_t word = patternWord(*stored);
    std::string steps;
    for (int32_t s = 0; s < kPatternSteps; ++s) steps.push_back(patternStepOpen(word, s) ? 'x' : '-');
    return steps;
  }
  std::string text = texts::valueText(info.format, *stored, ".");
  return text.empty() ? texts::formatNumber(*stored, ".") : text;
}

std::optional<double> parameterFromText(uint32_t id, const char* text) {
  if (!valid(id) || text == nullptr) return std::nullopt;
  const std::string_view view = trimmed(text);
  const ParameterInfo& info = parameterInfo(static_cast<int>(id));
  const int32_t count = choiceCount(id);
  if (info.format == ValueFormat::Choice) {
    for (int32_t k = 0; k < count; ++k) {
      if (view == info.choices.names[k]) return static_cast<double>(k);
    }
  } else if (info.format == ValueFormat::StepPattern && view.size() == static_cast<size_t>(kPatternSteps) &&
             view.find_first_not_of("x-") == std::string_view::npos) {
    int32_t word = 0;
    for (int32_t s = 0; s < kPatternSteps; ++s) word |= (view[static_cast<size_t>(s)] == 'x' ? 1 : 0) << (15 - s);
    return static_cast<double>(word);
  }
  const std::optional<double> number = numberOf(view);
  if (!number) return std::nullopt;
  const double maximum = count > 0 ? count - 1.0 : 1.0;
  if (*number < 0.0 || *number > maximum || (count > 0 && *number != std::floor(*number))) return std::nullopt;
  return *number;
}

}  // namespace tamblin::clap
