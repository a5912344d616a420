// Port descriptions from the parameter table and program 0 of the factory bank.
#include "ParameterPorts.h"

#include <cctype>

#include "FactoryBank.h"
#include "ParameterTable.h"

namespace tamblin::lv2 {

namespace {

const char* sectionName(Section section) {
  switch (section) {
    case Section::Main:
      return "Main";
    case Section::Unison:
      return "Unison";
    case Section::StereoWidener:
      return "Stereo Widener";
    case Section::TremoloPan:
      return "Tremolo / Pan";
    case Section::Pwm:
      return "PWM";
    case Section::VibratoPortamento:
      return "Vibrato / Portamento";
    case Section::Filter:
      return "Filter";
    case Section::TranceGate:
      return "TranceGate";
    case Section::None:
      break;
  }
  return "";
}

// What the choice boxes and gate rows without a host name set; their controls carry no caption.
struct ControlName {
  ParamId id;
  const char* name;
};
constexpr ControlName kControlNames[] = {{kFilterTracking, "Filter Tracking"},
                                         {kArpRate, "Arp Rate"},
                                         {kPlayMode, "Play Mode"},
                                         {kVelocityToVolume, "Velocity to Volume"},
                                         {kEnvelopeMode, "Envelope Mode"},
                                         {kVoiceCount, "Voice Count"},
                                         {kGatePatternVolume, "Volume Steps"},
                                         {kGatePatternFilter, "Filter Steps"},
                                         {kGateTempo, "Gate Tempo"},
                                         {kGateLength, "Gate Length"}};

// The host name; otherwise the section and the control's caption; a parameter nothing reads is a spare.
std::string nameOf(int index) {
  const ParameterInfo& info = parameterInfo(index);
  if (info.hostName[0] != '\0') return info.hostName;
  std::string control = info.caption;
  for (const ControlName& entry : kControlNames) {
    if (entry.id == index) control = entry.name;
  }
  if (control.empty() || info.section == Section::None) return "Spare " + std::to_string(index);
  return std::string(sectionName(info.section)) + ": " + control;
}

// "Osc 1..2/3..4 Mix" -> "osc_1_2_3_4_mix".
std::string symbolOf(const std::string& name) {
  std::string symbol;
  for (const char c : name) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      symbol.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    } else if (!symbol.empty() && symbol.back() != '_') {
      symbol.push_back('_');
    }
  }
  while (!symbol.empty() && symbol.back() == '_') symbol.pop_back();
  return symbol;
}

}  // namespace

float choiceCentre(int k, int count) { return choiceValue(k, count); }

float programValue(int program, int index) {
  const FactoryProgram& bank = kFactoryBank[program];
  for (std::size_t k = 0; k < bank.count; ++k) {
    if (bank.values[k].index == index) return bank.values[k].value;
  }
  return 0.0f;
}

ParameterPort parameterPort(int index) {
  const std::string name = nameOf(index);
  ParameterPort port{symbolOf(name), name, programValue(0, index), {}};
  const ParameterInfo& info = parameterInfo(index);
  if (info.format == ValueFormat::Choice) {
    for (int k = 0; k < info.choices.count; ++k) port.choices.emplace_back(info.choices.names[k]);
  }
  return port;
}

}  // namespace tamblin::lv2
