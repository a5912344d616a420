// tamblin-vst3-check: the project's VST 3 host code as a program, for the Windows module under Wine
// (and the Linux one beside it).
//
//   tamblin-vst3-check MODULE GOLDEN_FILE [PROGRAM...]
//
// Loads the module as hosts do, checks the factory's vendor and instrument class, and renders the
// golden phrase for each program given (every factory program when none is) through a component and
// controller kept apart, comparing each render's golden line with GOLDEN_FILE. One line per check;
// the exit status is 1 when one failed.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "Vst3Host.h"
#include "support/FactoryPhrase.h"

namespace {

using namespace tamblin::test;
using namespace tamblin::test::vst3host;

int failures = 0;

void check(bool ok, const std::string& what) {
  std::cout << (ok ? "ok    " : "FAIL  ") << what << std::endl;
  if (!ok) ++failures;
}

std::string goldenLineOf(const std::string& file, int program) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] != '#' && std::atoi(line.c_str()) == program) return line;
  }
  return "missing";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: tamblin-vst3-check MODULE GOLDEN_FILE [PROGRAM...]\n";
    return 2;
  }
  Module module(argv[1]);
  check(module.factory != nullptr, "module loaded and entered, factory taken " + module.error);
  if (module.factory == nullptr) return 1;
  PFactoryInfo info{};
  check(module.factory->getFactoryInfo(&info) == kResultOk && std::string(info.vendor) == "Brightmoor",
        "factory vendor Brightmoor");
  PClassInfo2 classInfo{};
  IPluginFactory2* factory2 = queryOf<IPluginFactory2>(module.factory);
  check(factory2 != nullptr && factory2->getClassInfo2(0, &classInfo) == kResultOk &&
            std::string(classInfo.category) == kVstAudioEffectClass && std::string(classInfo.name) == "Tamblin" &&
            std::string(classInfo.subCategories) == "Instrument|Synth",
        "class 0: the instrument Tamblin, Instrument|Synth");
  std::vector<int> programs;
  for (int i = 3; i < argc; ++i) programs.push_back(std::atoi(argv[i]));
  if (programs.empty()) {
    for (int p = 0; p < 16; ++p) programs.push_back(p);
  }
  for (int program : programs) {
    Instance instance(module.factory);
    const Stereo out = playPhrase(instance, program, kPhrase, kPhraseFrames, kPhraseBlock);
    const std::string line = goldenLine(program, Render{out.left, out.right});
    const std::string expected = goldenLineOf(argv[2], program);
    check(line == expected, "program " + std::to_string(program) + " plays the golden phrase: " + line);
    if (line != expected) std::cout << "      expected " << expected << std::endl;
  }
  return failures == 0 ? 0 : 1;
}
