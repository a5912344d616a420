// tamblin-params: the parameter table as text, one line per parameter, for scripts and for players who
// set parameters by number (tamblin-render --param, tamblin --param):
//   INDEX <tab> TITLE <tab> CHOICE=VALUE;CHOICE=VALUE...
// where each VALUE is the centre of its choice, the value that selects it. --help adds what each
// parameter's 0..1 range spans, in the editor's units.
#include <cstdio>
#include <cstring>
#include <string>

#include "ParameterTable.h"
#include "ValueTexts.h"

#ifndef TAMBLIN_VERSION
#define TAMBLIN_VERSION "unknown"
#endif

namespace {

using namespace tamblin;

constexpr const char* kUsage =
    "Usage: tamblin-params [--help | --version]\n"
    "\n"
    "Prints Tamblin's %d parameters, one line each, tab-separated:\n"
    "  INDEX <tab> TITLE <tab> CHOICE=VALUE;CHOICE=VALUE...\n"
    "The third field is written for choice parameters only; each VALUE is the centre of its choice,\n"
    "the value that selects it. Every parameter takes a value from 0 to 1: give it to\n"
    "'tamblin --param INDEX=VALUE' or 'tamblin-render PLUGIN.so ... --param INDEX=VALUE'.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this text with every parameter's range, then exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "Parameters: index, title, and what the values 0 .. 1 give (for a choice: each choice and the\n"
    "value that selects it):\n";

// What the 0..1 range of a parameter spans, in the editor's words.
std::string rangeText(const ParameterInfo& info) {
  switch (info.format) {
    case ValueFormat::Choice: {
      std::string text;
      for (int k = 0; k < info.choices.count; ++k) {
        char value[32];
        std::snprintf(value, sizeof value, "=%.6f", choiceValue(k, info.choices.count));
        text += (k == 0 ? "" : ", ") + std::string(info.choices.names[k]) + value;
      }
      // The arpeggiator's rate counts held keys per sixteenth note.
      if (info.id == kArpRate) text += " (keys per sixteenth: 1/16 = one key a bar, 1 = one a sixteenth)";
      return text;
    }
    case ValueFormat::StepPattern:
      return "16 on/off steps: pattern word W (bit 15 = step 1, a set bit an open step) is the value "
             "(W + 0.5) / 65535.99";
    case ValueFormat::Rate:
      // 0 switches the modulator off; the smallest value above it already runs.
      return "0 = Off, then " + texts::rateText(1.0e-6f, ".") + " .. " + texts::rateText(1.0f, ".");
    case ValueFormat::OscMix:
      return "0 = oscillators 1..2 silent, 0.5 = both pairs full, 1 = oscillators 3..4 silent";
    case ValueFormat::None:
      return info.hostName[0] != '\0' ? "0 .. 1" : "0 .. 1 (stored, nothing reads it)";
    default:
      return texts::valueText(info.format, 0.0f, ".") + " .. " + texts::valueText(info.format, 1.0f, ".");
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool help = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
      help = true;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("tamblin-params %s\n", TAMBLIN_VERSION);
      return 0;
    } else {
      std::fprintf(stderr, "tamblin-params: unknown option '%s'\nTry 'tamblin-params --help'.\n", argv[i]);
      return 2;
    }
  }
  if (help) {
    std::printf(kUsage, kNumParams);
    for (int index = 0; index < kNumParams; ++index)
      std::printf("  %2d  %-32s %s\n", index, parameterTitle(index).c_str(), rangeText(parameterInfo(index)).c_str());
    return 0;
  }
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
