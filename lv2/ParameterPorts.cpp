// Port descriptions from the parameter table and program 0 of the factory bank.
#include "ParameterPorts.h"

#include <cctype>

#include "FactoryBank.h"
#include "ParameterTable.h"

namespace tamblin::lv2 {

namespace {

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
  return factoryValue(kFactoryBank[program], index);
}

ParameterPort parameterPort(int index) {
  const std::string name = parameterTitle(index);
  ParameterPort port{symbolOf(name), name, programValue(0, index), {}};
  const ParameterInfo& info = parameterInfo(index);
  if (info.format == ValueFormat::Choice) {
    for (int k = 0; k < info.choices.count; ++k) port.choices.emplace_back(info.choices.names[k]);
  }
  return port;
}

}  // namespace tamblin::lv2
