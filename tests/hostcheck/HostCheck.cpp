// tamblin-host-check: loads the plug-in library as a host does and checks what hosts rely on.
//
//   tamblin-host-check report PLUGIN GOLDEN_FILE REPORT   the record, names, programs, parameters and
//       answers to bad requests written to REPORT (the same text on every platform), and the golden
//       render of every factory program compared with GOLDEN_FILE
//   tamblin-host-check editor PLUGIN PROGRAM0_PNG OUT_DIR  (Windows) the editor in a real window:
//       opened through effEditOpen, driven with pointer input, pictures written to OUT_DIR
//   tamblin-host-check headless-session OUT_PNG            the same session on a headless window
//   tamblin-host-check compare A_PNG B_PNG                 pixel for pixel
// Every check prints one line; the exit status is 1 when one failed.
#include "HostCheck.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <sstream>

#include "Host.h"
#include "Plugin.h"
#include "PluginInfo.h"
#include "Png.h"
#include "support/EventBatch.h"
#include "support/FactoryPhrase.h"
#include "support/QuietHost.h"

namespace tamblin::check {

bool Checks::check(bool ok, const std::string& what) {
  std::cout << (ok ? "ok    " : "FAIL  ") << what << std::endl;
  if (!ok) ++failures;
  return ok;
}

namespace {

using host::Plugin;

std::string hexFloat(float value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", test::bitsOf(value));
  return text;
}

// The text a request leaves in a buffer prefilled with '#', shown up to the first zero.
std::string requestText(const Plugin& plugin, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                        VstIntPtr& answer) {
  char buffer[512];
  std::memset(buffer, '#', sizeof buffer);
  answer = plugin.dispatch(opcode, index, value, buffer);
  buffer[sizeof buffer - 1] = '\0';
  return buffer;
}

void reportRecord(const Plugin& plugin, std::ostream& out, Checks& checks) {
  const AEffect* e = plugin.effect();
  checks.check(e->magic == kEffectMagic, "record magic is 'VstP'");
  checks.check(e->dispatcher && e->process && e->setParameter && e->getParameter && e->processReplacing,
               "record holds all five entries");
  bool futureZero = true;
  for (char c : e->future) futureZero = futureZero && c == 0;
  checks.check(futureZero, "record's reserved bytes are zero");
  out << "record: programs " << e->numPrograms << ", parameters " << e->numParams << ", inputs "
      << e->numInputs << ", outputs " << e->numOutputs << ", flags " << e->flags << ", delay "
      << e->initialDelay << ", qualities " << e->realQualities << '/' << e->offQualities << ", ratio "
      << hexFloat(e->ioRatio) << ", id " << e->uniqueID << ", version " << e->version << ", reserved "
      << e->resvd1 << '/' << e->resvd2 << '\n';
  // The host's own --info report, without its first line (the file's path).
  std::ostringstream info;
  host::printInfo(plugin, info);
  const std::string text = info.str();
  out << text.substr(text.find('\n') + 1);
}

void reportPrograms(Plugin& plugin, std::ostream& out) {
  for (int p = 0; p < plugin.numPrograms(); ++p) {
    plugin.setProgram(p);
    out << "program " << p << " (" << plugin.program() << ") " << plugin.currentProgramName() << '\n';
    for (int i = 0; i < plugin.numParams(); ++i) {
      out << "  " << i << ' ' << hexFloat(plugin.parameter(i)) << " [" << plugin.parameterDisplay(i) << "] ["
          << plugin.parameterLabel(i) << "]\n";
    }
  }
}

// Requests a careless host makes; the answers and texts must be harmless and the same everywhere.
void reportBadRequests(Plugin& plugin, std::ostream& out, Checks& checks) {
  struct Request {
    const char* what;
    VstInt32 opcode, index;
    VstIntPtr value;
  };
  const Request requests[] = {
      {"parameter name -1", effGetParamName, -1, 0},
      {"parameter name 100", effGetParamName, 100, 0},
      {"parameter name huge", effGetParamName, 1 << 30, 0},
      {"parameter display -1", effGetParamDisplay, -1, 0},
      {"parameter display 100", effGetParamDisplay, 100, 0},
      {"parameter label 100", effGetParamLabel, 100, 0},
      {"program name -1", effGetProgramNameIndexed, -1, 0},
      {"program name 16", effGetProgramNameIndexed, 16, 0},
      {"program name huge", effGetProgramNameIndexed, 1 << 30, 0},
      {"output pin 0", effGetOutputProperties, 0, 0},
      {"output pin 2", effGetOutputProperties, 2, 0},
      {"input pin -1", effGetInputProperties, -1, 0},
      {"identify", effIdentify, 0, 0},
      {"vu", effGetVu, 0, 0},
      {"keys required", effKeysRequired, 0, 0},
      {"unknown request 999", 999, 0, 0},
  };
  for (const Request& r : requests) {
    VstIntPtr answer = 0;
    const std::string text = requestText(plugin, r.opcode, r.index, r.value, answer);
    out << "request " << r.what << ": " << answer << " [" << text.substr(0, 80) << "]\n";
  }
  for (VstIntPtr program : {VstIntPtr{-1}, VstIntPtr{16}, VstIntPtr{1} << 30}) {
    plugin.dispatch(effSetProgram, 0, program);
    out << "set program " << program << ": current " << plugin.program() << '\n';
  }
  out << "can do nothing: " << plugin.dispatch(effCanDo) << ", can do unknown: " << plugin.canDo("fly")
      << '\n';
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (float value : {2.0f, -1.0f, nan, inf, 1e-40f}) {
    plugin.setParameter(3, value);
    out << "parameter 3 set to " << hexFloat(value) << ": " << hexFloat(plugin.parameter(3)) << '\n';
  }
  plugin.setParameter(-1, 0.5f);
  plugin.setParameter(100, 0.5f);
  out << "parameter -1: " << hexFloat(plugin.parameter(-1))
      << ", parameter 100: " << hexFloat(plugin.parameter(100)) << '\n';
  // A long program name is cut to what the program keeps.
  const std::string longName(200, 'x');
  plugin.dispatch(effSetProgramName, 0, 0, const_cast<char*>(longName.c_str()));
  out << "long program name kept as " << plugin.currentProgramName().size() << " characters\n";
  plugin.dispatch(effSetProgramName, 0, 0, nullptr);
  // An empty batch, an event of a foreign type and a block with broken input.
  test::EventBatch batch(2);
  plugin.sendEvents(batch.get());
  batch.add(0, 0, 0).type = 6;
  plugin.sendEvents(batch.get());
  plugin.setProgram(1);
  batch.clear();
  batch.add(0x90, 60, 100);
  plugin.sendEvents(batch.get());
  test::Render broken{std::vector<float>(4096), std::vector<float>(4096)};
  std::vector<float> input(4096, 0.0f);
  for (size_t k = 0; k < input.size(); k += 97) input[k] = k % 2 ? nan : inf;
  float* inputs[2] = {input.data(), input.data()};
  float* outputs[2] = {broken.left.data(), broken.right.data()};
  plugin.process(inputs, outputs, 4096);
  bool finite = true;
  for (size_t k = 0; k < broken.left.size(); ++k)
    finite = finite && std::isfinite(broken.left[k]) && std::isfinite(broken.right[k]);
  checks.check(finite, "a block with broken input gives finite samples");
  char hash[24];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(test::hashOf(broken)));
  out << "broken input block: " << hash << '\n';
  ERect* rect = nullptr;
  plugin.dispatch(effEditGetRect, 0, 0, &rect);
  if (rect != nullptr) {
    out << "editor rectangle before open: " << rect->top << ' ' << rect->left << ' ' << rect->bottom << ' '
        << rect->right << '\n';
  }
}

// The golden renders: each program in a fresh instance, driven as the in-process tests drive it.
test::Render renderPhrase(AEffect* effect, int program) {
  effect->dispatcher(effect, effSetProgram, 0, program, nullptr, 0.0f);
  test::Render out{std::vector<float>(test::kPhraseFrames), std::vector<float>(test::kPhraseFrames)};
  std::vector<float> input(test::kPhraseBlock, 0.0f);
  for (int start = 0; start < test::kPhraseFrames; start += test::kPhraseBlock) {
    const int n = std::min(test::kPhraseBlock, test::kPhraseFrames - start);
    test::EventBatch events = test::EventBatch::inBlock(test::kPhrase, start, n);
    if (events.size() > 0) events.send(effect);
    float* inputs[2] = {input.data(), input.data()};
    float* outputs[2] = {out.left.data() + start, out.right.data() + start};
    effect->processReplacing(effect, inputs, outputs, n);
  }
  return out;
}

void checkGoldenRenders(host::EntryFunction entry, const std::string& goldenPath, std::ostream& out,
                        Checks& checks) {
  std::ifstream file(goldenPath);
  std::vector<std::string> expected;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line[0] != '#') expected.push_back(line);
  }
  checks.check(expected.size() == 16, "golden renders read from " + goldenPath);
  for (int program = 0; program < 16; ++program) {
#if defined(_WIN32) && defined(__i386__)
    // Windows hosts run their threads with the x87 unit at 53-bit precision, mingw's start-up sets
    // 64-bit: the odd programs render under the hosts' setting. Samples never depend on it.
    _controlfp(program % 2 ? _PC_53 : _PC_64, _MCW_PC);
#endif
    AEffect* effect = entry(test::QuietHost::callback);
    if (effect == nullptr) {
      checks.check(false, "an instance for the golden render of program " + std::to_string(program));
      continue;
    }
    const std::string line = test::goldenLine(program, renderPhrase(effect, program));
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    out << "golden " << line << '\n';
    const bool same = program < static_cast<int>(expected.size()) && expected[program] == line;
    checks.check(same, "golden render of program " + std::to_string(program) + (same ? "" : ": " + line));
  }
}

int runReport(const std::string& pluginPath, const std::string& goldenPath, const std::string& reportPath) {
  Checks checks;
  std::ofstream out(reportPath, std::ios::binary);  // the same bytes on every platform
  try {
    host::Host host;
    auto plugin = Plugin::load(pluginPath, host);
    checks.check(true, "loaded " + pluginPath);
    reportRecord(*plugin, out, checks);
    reportPrograms(*plugin, out);
    reportBadRequests(*plugin, out, checks);
    const auto library = host::PluginLibrary::open(pluginPath);
    checkGoldenRenders(library->entry(), goldenPath, out, checks);
  } catch (const std::exception& error) {
    checks.check(false, error.what());
  }
  out.close();
  checks.check(out.good(), "report written to " + reportPath);
  return checks.failures == 0 ? 0 : 1;
}

int runCompare(const std::string& a, const std::string& b) {
  Checks checks;
  const auto first = readPng(a), second = readPng(b);
  if (!checks.check(first && second, "pictures read")) return 1;
  int differing = 0;
  if (first->width() == second->width() && first->height() == second->height()) {
    for (int y = 0; y < first->height(); ++y)
      for (int x = 0; x < first->width(); ++x) differing += first->pixel(x, y) == second->pixel(x, y) ? 0 : 1;
  }
  checks.check(first->width() == second->width() && first->height() == second->height() && differing == 0,
               a + " equals " + b + " (" + std::to_string(differing) + " pixels differ)");
  return checks.failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace tamblin::check

int main(int argc, char** argv) {
  using namespace tamblin::check;
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "report" && argc == 5) return runReport(argv[2], argv[3], argv[4]);
  if (mode == "compare" && argc == 4) return runCompare(argv[2], argv[3]);
  if (mode == "editor" && argc == 5) return runEditorSession(argv[2], argv[3], argv[4]);
  if (mode == "headless-session" && argc == 3) return runHeadlessSession(argv[2]);
  std::cerr << "usage: " << argv[0]
            << " report PLUGIN GOLDEN_FILE REPORT | editor PLUGIN PROGRAM0_PNG OUT_DIR |"
            << " headless-session OUT_PNG | compare A_PNG B_PNG\n";
  return 2;
}
