// Port descriptions from the instrument's parameter names, the editor's choice lists and program 0.
#include "ParameterPorts.h"

#include <cctype>

#include "FactoryBank.h"
#include "Parameters.h"
#include "ValueTexts.h"

namespace tamblin::lv2 {

namespace {

// Parameters without a host name, named by the editor's section and what their control does.
struct EditorName {
  int index;
  const char* name;
};
constexpr EditorName kEditorNames[] = {
    {19, "Main: Filter Tracking"},  {39, "Filter: > Vel"},         {59, "Main: Arp Rate"},
    {78, "Main: Play Mode"},        {79, "Main: Velocity"},        {80, "Main: Envelope Mode"},
    {81, "Main: Voices"},           {92, "TranceGate: Volume Steps"}, {93, "TranceGate: Filter Steps"},
    {96, "TranceGate: Gate Tempo"}, {98, "TranceGate: Gate Length"}};

std::string nameOf(int index) {
  const std::string hostName = parameterName(index);
  if (!hostName.empty()) return hostName;
  for (const EditorName& entry : kEditorNames) {
    if (entry.index == index) return entry.name;
  }
  return "Unused " + std::to_string(index);
}

const texts::NameList* choicesOf(int index) {
  switch (index) {
    case 6:
    case 7: return &texts::kWaveNames;
    case 19: return &texts::kFilterTrackNames;
    case 30: return &texts::kFilterTypeNames;
    case 59: return &texts::kArpRateNames;
    case 78: return &texts::kPlayModeNames;
    case 79: return &texts::kVelocityNames;
    case 80: return &texts::kEnvelopeModeNames;
    case 81: return &texts::kVoiceCountNames;
    case 96: return &texts::kGateTempoNames;
    case 98: return &texts::kGateLengthNames;
    default: return nullptr;
  }
}

float programZeroValue(int index) {
  const FactoryProgram& program = kFactoryBank[0];
  for (std::size_t k = 0; k < program.count; ++k) {
    if (program.values[k].index == index) return program.values[k].value;
  }
  return 0.0f;
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

float choiceCentre(int k, int count) { return texts::choiceValue(k, count); }

ParameterPort parameterPort(int index) {
  ParameterPort port{symbolOf(nameOf(index)), nameOf(index), programZeroValue(index), {}};
  if (const texts::NameList* list = choicesOf(index)) {
    for (int k = 0; k < list->count; ++k) port.choices.emplace_back(list->names[k]);
  }
  return port;
}

}  // namespace tamblin::lv2
