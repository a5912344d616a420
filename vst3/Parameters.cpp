// Parameter descriptions, controller mapping and value texts, all read from the parameter table.
#include "Parameters.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "FactoryBank.h"
#include "ParameterTable.h"
#include "Text.h"
#include "ValueTexts.h"

namespace tamblin::vst3 {

namespace {

using ::vst3::ParameterInfo;

constexpr int kAllSoundOff = 120;
constexpr int kAllNotesOff = 123;

struct ControllerList {
  int numbers[128] = {};
  int count = 0;
  ControllerList() {
    for (int c = 0; c < 128; ++c) {
      if (parameterForController(c) >= 0 || c == kAllSoundOff || c == kAllNotesOff) numbers[count++] = c;
    }
  }
};

const ControllerList& controllers() {
  static const ControllerList list;
  return list;
}

double clampUnit(double v) { return v > 1.0 ? 1.0 : (v >= 0.0 ? v : 0.0); }  // NaN to 0

bool isChoice(int index) { return parameterInfo(index).format == ValueFormat::Choice; }
int choiceCount(int index) { return parameterInfo(index).choices.count; }

// The unit a value text ends with, where it is always the same one.
const char* unitOf(ValueFormat format) {
  switch (format) {
    case ValueFormat::Percent: return "%";
    case ValueFormat::Decibel: return "dB";
    case ValueFormat::Semitones: return "semi";
    default: return "";
  }
}

void describeInstrumentParameter(int index, ParameterInfo& info) {
  const tamblin::ParameterInfo& row = parameterInfo(index);
  const std::string title = parameterTitle(index);
  const std::string hostName = parameterName(index);
  info.id = static_cast<ParamID>(index);
  copyText(info.title, title, 128);
  copyText(info.shortTitle, hostName.empty() ? title : hostName, 128);
  copyText(info.units, unitOf(row.format), 128);
  info.stepCount = row.choices.count > 1 ? row.choices.count - 1 : 0;
  info.defaultNormalizedValue = defaultValue(index);
  info.unitId = ::vst3::kRootUnitId;
  info.flags = ParameterInfo::kCanAutomate;
  if (isChoice(index)) info.flags |= ParameterInfo::kIsList;
  if (title.rfind("Spare ", 0) == 0) info.flags |= ParameterInfo::kIsHidden;
}

}  // namespace

ParamKind kindOf(ParamID id) {
  if (id < static_cast<ParamID>(kNumParams)) return ParamKind::Instrument;
  if (id == kProgramParamId) return ParamKind::Program;
  if (id == kPitchBendParamId) return ParamKind::PitchBend;
  if (id >= kControllerParamBase && id < kControllerParamBase + 128 &&
      isReactiveController(static_cast<int>(id - kControllerParamBase))) {
    return ParamKind::Controller;
  }
  return ParamKind::Unknown;
}

int parameterCount() { return kNumParams + 1 + controllers().count + 1; }

bool describeParameter(int index, ParameterInfo& info) {
  info = ParameterInfo{};
  if (index < 0 || index >= parameterCount()) return false;
  if (index < kNumParams) {
    describeInstrumentParameter(index, info);
    return true;
  }
  info.unitId = ::vst3::kRootUnitId;
  if (index == kNumParams) {
    info.id = kProgramParamId;
    copyText(info.title, "Program", 128);
    copyText(info.shortTitle, "Program", 128);
    info.stepCount = kFactoryProgramCount - 1;
    info.flags = ParameterInfo::kCanAutomate | ParameterInfo::kIsList | ParameterInfo::kIsProgramChange;
    return true;
  }
  char title[48];
  const int k = index - kNumParams - 1;
  if (k < controllers().count) {
    const int number = controllers().numbers[k];
    info.id = kControllerParamBase + static_cast<ParamID>(number);
    std::snprintf(title, sizeof title, "MIDI CC %d", number);
    info.stepCount = 127;
  } else {
    info.id = kPitchBendParamId;
    std::snprintf(title, sizeof title, "MIDI Pitch Bend");
    info.stepCount = 16383;
    info.defaultNormalizedValue = 8192.0 / 16383.0;
  }
  copyText(info.title, title, 128);
  copyText(info.shortTitle, title, 128);
  info.flags = ParameterInfo::kCanAutomate | ParameterInfo::kIsHidden;
  return true;
}

bool isReactiveController(int number) {
  return number >= 0 && number < 128 &&
         (parameterForController(number) >= 0 || number == kAllSoundOff || number == kAllNotesOff);
}

MidiMessage messageFor(ParamID id, double value) {
  const double v = clampUnit(value);
  if (id == kPitchBendParamId) {
    const long bend = std::lround(v * 16383.0);
    return MidiMessage{0, {0xE0, static_cast<uint8_t>(bend & 0x7F), static_cast<uint8_t>(bend >> 7), 0}};
  }
  return MidiMessage{0, {0xB0, static_cast<uint8_t>((id - kControllerParamBase) & 0x7F),
                         static_cast<uint8_t>(std::lround(v * 127.0)), 0}};
}

int programOf(double normalized) {
  const int k = static_cast<int>(clampUnit(normalized) * kFactoryProgramCount);
  return k < kFactoryProgramCount ? k : kFactoryProgramCount - 1;
}

double normalizedProgram(int program) { return static_cast<double>(program) / (kFactoryProgramCount - 1); }

float defaultValue(int index) {
  const FactoryProgram& bank = kFactoryBank[0];
  for (std::size_t k = 0; k < bank.count; ++k) {
    if (bank.values[k].index == index) return bank.values[k].value;
  }
  return 0.0f;
}

std::string valueString(ParamID id, double value) {
  const float v = static_cast<float>(clampUnit(value));
  switch (kindOf(id)) {
    case ParamKind::Instrument: {
      const int index = static_cast<int>(id);
      const tamblin::ParameterInfo& row = parameterInfo(index);
      if (isChoice(index)) return row.choices.names[choiceIndex(v, row.choices.count)];
      if (row.format == ValueFormat::StepPattern) {
        std::string steps;
        const int32_t word = patternWord(v);
        for (int s = 0; s < kPatternSteps; ++s) steps.push_back(patternStepOpen(word, s) ? 'x' : '-');
        return steps;
      }
      if (row.format == ValueFormat::None) return texts::formatNumber(v, ".");
      std::string text = texts::valueText(row.format, v, ".");
      const std::string unit = unitOf(row.format);
      if (!unit.empty() && text.size() > unit.size() && text.compare(text.size() - unit.size(), unit.size(), unit) == 0)
        text.erase(text.size() - unit.size());
      while (!text.empty() && text.back() == ' ') text.pop_back();
      return text;
    }
    case ParamKind::Controller: return std::to_string(messageFor(id, value).bytes[2]);
    case ParamKind::PitchBend: {
      const MidiMessage m = messageFor(id, value);
      return std::to_string((m.bytes[2] << 7 | m.bytes[1]) - 8192);
    }
    default: return "";
  }
}

bool valueOfString(ParamID id, std::string_view text, double& value) {
  if (kindOf(id) == ParamKind::Instrument && isChoice(static_cast<int>(id))) {
    const tamblin::ParameterInfo& row = parameterInfo(static_cast<int>(id));
    for (int k = 0; k < row.choices.count; ++k) {
      if (text == row.choices.names[k]) {
        value = choiceValue(k, row.choices.count);
        return true;
      }
    }
    return false;
  }
  if (kindOf(id) != ParamKind::Controller && kindOf(id) != ParamKind::PitchBend) return false;
  const std::string copy(text);
  char* end = nullptr;
  const long number = std::strtol(copy.c_str(), &end, 10);
  if (end == copy.c_str() || *end != 0) return false;
  value = kindOf(id) == ParamKind::PitchBend ? clampUnit((number + 8192) / 16383.0) : clampUnit(number / 127.0);
  return true;
}

double plainOf(ParamID id, double normalized) {
  if (kindOf(id) == ParamKind::Program) return programOf(normalized);
  if (kindOf(id) == ParamKind::Instrument && isChoice(static_cast<int>(id)))
    return choiceIndex(static_cast<float>(clampUnit(normalized)), choiceCount(static_cast<int>(id)));
  return normalized;
}

double normalizedOf(ParamID id, double plain) {
  if (kindOf(id) == ParamKind::Program) {
    const double k = std::floor(plain);
    return k >= 0 && k < kFactoryProgramCount ? normalizedProgram(static_cast<int>(k)) : 0.0;
  }
  if (kindOf(id) == ParamKind::Instrument && isChoice(static_cast<int>(id))) {
    const int count = choiceCount(static_cast<int>(id));
    const double k = std::floor(plain);
    return k >= 0 && k < count ? choiceValue(static_cast<int>(k), count) : 0.0;
  }
  return clampUnit(plain);
}

}  // namespace tamblin::vst3
