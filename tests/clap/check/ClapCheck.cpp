// tamblin-clap-check: Tamblin.clap in the project's CLAP host, without a test framework, so that the
// Windows build runs it under Wine as the Linux build runs it natively.
//
//   tamblin-clap-check PLUGIN GOLDEN_FILE [PROGRAM...]   the descriptor, 100 parameters, 16 presets,
//       a state round trip, and the golden phrase of each program named (all sixteen when none is)
//       compared with its line in GOLDEN_FILE
// Every check prints one line; the exit status is 1 when one failed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "ClapTestHost.h"

namespace tamblin::test::clap {
namespace {

int failures = 0;

void check(bool ok, const std::string& what) {
  std::cout << (ok ? "ok    " : "FAIL  ") << what << std::endl;
  if (!ok) ++failures;
}

std::string goldenFileLine(const std::string& file, int program) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] != '#' && std::atoi(line.c_str()) == program) return line;
  }
  return "missing";
}

#if defined(_WIN32)
// The editor as a child of a host's Win32 window, at its fixed size, closed again.
void checkEditor(const ClapLibrary& library) {
  TestHost host;
  Instance instance(library, host);
  const clap_plugin_t* p = instance.plugin();
  const clap_plugin_gui_t* gui = instance.gui;
  HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 700, 700, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  const char* api = nullptr;
  bool floating = true;
  bool ok = parent != nullptr && gui != nullptr && gui->get_preferred_api(p, &api, &floating) &&
            std::strcmp(api, CLAP_WINDOW_API_WIN32) == 0 && !floating && gui->create(p, CLAP_WINDOW_API_WIN32, false);
  clap_window_t window{CLAP_WINDOW_API_WIN32, {nullptr}};
  window.win32 = parent;
  ok = ok && gui->set_parent(p, &window) && gui->show(p);
  HWND child = ok ? GetWindow(parent, GW_CHILD) : nullptr;
  RECT r{};
  ok = ok && child != nullptr && GetClientRect(child, &r) && r.right - r.left == 544 && r.bottom - r.top == 536;
  for (int i = 0; ok && i < 5 && !host.record.timers.empty(); ++i) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    instance.timer->on_timer(p, host.record.timers[0]);
  }
  if (gui != nullptr) gui->destroy(p);
  ok = ok && GetWindow(parent, GW_CHILD) == nullptr;
  if (parent != nullptr) DestroyWindow(parent);
  check(ok, "the editor: a 544 x 536 child of the host's window, closed again");
}
#endif

int run(const std::string& path, const std::string& golden, std::vector<int> programs) {
  ClapLibrary library(path);
  check(library.entry() != nullptr && library.factory() != nullptr, "clap_entry and the plug-in factory of " + path);
  if (library.factory() == nullptr) return 1;
  const clap_plugin_factory_t* factory = library.factory();
  const clap_plugin_descriptor_t* d = factory->get_plugin_descriptor(factory, 0);
  check(factory->get_plugin_count(factory) == 1 && d != nullptr && std::strcmp(d->id, "com.brightmoor.tamblin") == 0 &&
            std::strcmp(d->name, "Tamblin") == 0 && std::strcmp(d->vendor, "Brightmoor") == 0,
        "one plug-in: com.brightmoor.tamblin, Tamblin by Brightmoor");
  {
    TestHost host;
    Instance instance(library, host);
    check(instance.valid() && instance.params->count(instance.plugin()) == 100, "100 parameters");
    const auto* presets = static_cast<const clap_preset_discovery_factory_t*>(
        library.entry()->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
    check(presets != nullptr && presets->count(presets) == 1, "a preset-discovery provider");
    std::string first, second;
    bool ok = instance.loadProgram(7) && instance.save(first);
    TestHost otherHost;
    Instance other(library, otherHost);
    ok = ok && other.load(first) && other.save(second) && first == second;
    check(ok, "the state round trips bit for bit");
    check(!other.load(first.substr(0, first.size() / 2)), "half a state is refused");
  }
#if defined(_WIN32)
  checkEditor(library);
#endif
  if (programs.empty()) {
    for (int p = 0; p < 16; ++p) programs.push_back(p);
  }
  for (int program : programs) {
    const Render render = playPhrase(library, program, kPhrase, kPhraseFrames, 300, Dialect::Midi, 0.0);
    const std::string line = goldenLine(program, render);
    check(line == goldenFileLine(golden, program), "golden phrase, program " + std::to_string(program) + ": " + line);
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace tamblin::test::clap

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: tamblin-clap-check PLUGIN GOLDEN_FILE [PROGRAM...]\n";
    return 2;
  }
  std::vector<int> programs;
  for (int i = 3; i < argc; ++i) programs.push_back(std::atoi(argv[i]));
  return tamblin::test::clap::run(argv[1], argv[2], programs);
}
