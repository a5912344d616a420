// tamblin-params: the parameter table as text, one line per parameter, for scripts and for players who
// set parameters by number (tamblin-render --param, tamblin --param):
//   INDEX <tab> TITLE <tab> CHOICE=VALUE;CHOICE=VALUE...
// where each VALUE is the centre of its choice, the value that selects it.
#include <cstdio>

#include "ParameterTable.h"

int main() {
  using namespace tamblin;
  for (int index = 0; index < kNumParams; ++index) {
    const ParameterInfo& info = parameterInfo(index);
    std::printf("%d\t%s\t", index, parameterTitle(index).c_str());
    if (info.format == ValueFormat::Choice) {
      for (int k = 0; k < info.choices.count; ++k)
        std::printf("%s%s=%.6f", k == 0 ? "" : ";", info.choices.names[k], choiceValue(k, info.choices.count));
    }
    std::printf("\n");
  }
  return 0;
}
