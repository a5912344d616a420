// tamblin-vst3-check: the project's VST 3 host code as a program, for the Windows module under Wine
// (and the Linux one beside it).
//
//   tamblin-vst3-check MODULE GOLDEN_FILE [PROGRAM...]
//
// Loads the module as hosts do, checks the factory's vendor and instrument class, and renders the
// golden phrase for each program given (every factory program when none is) through a component and
// controller kept apart, comparing each render's golden line with GOLDEN_FILE. On Windows it also
// opens the editor view in a window of its own and closes it again. One line per check; the exit
// status is 1 when one failed.
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

#if defined(_WIN32)
// The editor view as a child of a host window: attached, the right size, gone again when removed.
void checkEditor(IPluginFactory* factory) {
  Instance instance(factory);
  HWND host = CreateWindowExA(0, "STATIC", "Tamblin VST 3 check", WS_OVERLAPPEDWINDOW, 0, 0, 700, 700, nullptr,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
  IPlugView* view = instance.valid() ? instance.controller->createView(kEditorViewType) : nullptr;
  const bool attached = host != nullptr && view != nullptr &&
                        view->isPlatformTypeSupported(kPlatformTypeHWND) == kResultOk &&
                        view->attached(host, kPlatformTypeHWND) == kResultOk;
  check(attached, "editor view attached to a host window (HWND)");
  HWND child = attached ? GetWindow(host, GW_CHILD) : nullptr;
  RECT client{};
  if (child != nullptr) GetClientRect(child, &client);
  check(child != nullptr && client.right == 544 && client.bottom == 536, "editor window 544 x 536 inside it");
  for (int i = 0; i < 20; ++i) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(10);
  }
  check(view != nullptr && view->removed() == kResultOk && GetWindow(host, GW_CHILD) == nullptr,
        "editor view removed, its window gone");
  if (view != nullptr) view->release();
  if (host != nullptr) DestroyWindow(host);
}
#endif

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
#if defined(_WIN32)
  checkEditor(module.factory);
#endif
  return failures == 0 ? 0 : 1;
}
