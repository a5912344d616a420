// tamblin-render: plays a Standard MIDI File through a VST 2 instrument into an audio file.
#include <unistd.h>

#include <csignal>
#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "AudioFile.h"
#include "CommandLine.h"
#include "Host.h"
#include "MidiFile.h"
#include "Plugin.h"
#include "PluginInfo.h"
#include "ProgramFiles.h"
#include "Renderer.h"
#include "TempoMap.h"

namespace {

using namespace tamblin::host;

constexpr const char* kProgramName = "tamblin-render";
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kBarWidth = 30;

int fail(const std::string& message, int status = kExitFailure) {
  std::cerr << kProgramName << ": error: " << message << std::endl;
  return status;
}

// An interrupted render removes its temporary file; only async-signal-safe calls here.
extern "C" void onSignal(int signal) {
  if (const char* partial = activeTemporaryFile()) unlink(partial);
  _exit(128 + signal);
}

// A plug-in that crashes takes the process down, but not before its half file is gone.
extern "C" void onCrash(int signal) {
  if (const char* partial = activeTemporaryFile()) unlink(partial);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void installSignalHandlers() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, onSignal);
  for (int signal : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) std::signal(signal, onCrash);
}

class ProgressBar {
 public:
  ProgressBar(bool enabled, double sampleRate) : enabled_(enabled), sampleRate_(sampleRate) {}
  ~ProgressBar() { finish(); }  // also when an error ends the render, so its message starts a line
  void update(int64_t done, int64_t expected) {
    if (!enabled_ || expected <= 0) return;
    int percent = static_cast<int>(std::min<int64_t>(100, done * 100 / expected));
    if (percent == shown_) return;
    shown_ = percent;
    int filled = percent * kBarWidth / 100;
    std::fprintf(stderr, "\r[%s%s] %3d%%  %.1f / %.1f s", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(kBarWidth - filled), '-').c_str(), percent,
                 static_cast<double>(done) / sampleRate_, static_cast<double>(expected) / sampleRate_);
    std::fflush(stderr);
  }
  void finish() {
    if (enabled_ && shown_ >= 0) std::fprintf(stderr, "\r\033[K");
    shown_ = -1;
  }

 private:
  bool enabled_;
  double sampleRate_;
  int shown_ = -1;
};

std::string decibels(float peak) {
  if (peak <= 0.0f) return "silent";
  char text[32];
  std::snprintf(text, sizeof text, "peak %.1f dBFS", 20.0 * std::log10(static_cast<double>(peak)));
  return text;
}

// Configures the plug-in, then loads --bank, selects --program, loads --preset and applies every
// --param, in that order; a non-zero answer is the exit status of a refused option. Files are read and
// checked whole before the plug-in hears of any of them.
int applyProgramAndParameters(const CommandLine& line, Plugin& plugin) {
  if (line.program && *line.program >= plugin.numPrograms()) {
    return fail("option --program: " + std::to_string(*line.program) + " is out of range (" + line.pluginPath +
                " has " + std::to_string(plugin.numPrograms()) + " programs, 0 to " +
                std::to_string(plugin.numPrograms() - 1) + ")", kExitUsage);
  }
  for (auto [index, value] : line.parameters) {
    if (index >= plugin.numParams()) {
      return fail("option --param: index " + std::to_string(index) + " is out of range (" + line.pluginPath +
                  " has " + std::to_string(plugin.numParams()) + " parameters, 0 to " +
                  std::to_string(plugin.numParams() - 1) + ")", kExitUsage);
    }
  }
  std::optional<tamblin::ProgramBank> bank;
  std::optional<tamblin::ProgramPreset> preset;
  if (!line.bankPath.empty()) bank = readBankFile(line.bankPath);
  if (!line.presetPath.empty()) preset = readPresetFile(line.presetPath);
  for (const auto& [used, what] : {std::pair{bank.has_value(), "bank " + line.bankPath},
                                   std::pair{preset.has_value(), "program " + line.presetPath},
                                   std::pair{line.choicesByName, std::string("option --param with a choice's name")}}) {
    if (!used) continue;
    if (std::string refusal = refusalOfTamblinFiles(plugin, what); !refusal.empty()) return fail(refusal, kExitUsage);
  }
  plugin.configure(line.sampleRate, line.blockSize);
  if (bank) restoreBank(plugin, *bank);
  if (line.program) plugin.setProgram(*line.program);
  if (preset) restorePreset(plugin, *preset);
  for (auto [index, value] : line.parameters) plugin.setParameter(index, value);
  return 0;
}

int run(const CommandLine& line) {
  if (line.info) {
    Host host(HostSettings{static_cast<double>(line.sampleRate), line.blockSize});
    auto plugin = Plugin::load(line.pluginPath, host);
    if (int status = applyProgramAndParameters(line, *plugin); status != 0) return status;
    printInfo(*plugin, std::cout);
    return 0;
  }

  std::error_code ignored;
  for (const std::string& input : {line.midiPath, line.pluginPath}) {
    if (std::filesystem::exists(line.outputPath, ignored) && std::filesystem::equivalent(line.outputPath, input, ignored))
      return fail("output " + line.outputPath + " is the same file as the input " + input, kExitUsage);
  }
  MidiFile midi = readMidiFile(line.midiPath);
  TempoMap tempoMap = TempoMap::fromMidiFile(midi, line.tempo);
  Host host(HostSettings{static_cast<double>(line.sampleRate), line.blockSize}, tempoMap);
  auto plugin = Plugin::load(line.pluginPath, host);
  if (int status = applyProgramAndParameters(line, *plugin); status != 0) return status;

  std::vector<TimedEvent> events = scheduleEvents(midi, tempoMap, line.sampleRate);
  if (events.empty()) std::cerr << kProgramName << ": warning: " << line.midiPath << " has no channel events\n";

  AudioFileLayout layout;
  layout.format = *line.format;
  layout.bits = *line.bits;
  layout.sampleRate = line.sampleRate;
  layout.channels = std::max(plugin->numOutputs(), 1);
  installSignalHandlers();
  AudioFileWriter writer(line.outputPath, layout);

  ProgressBar bar(!line.quiet && isatty(STDERR_FILENO), line.sampleRate);
  RenderReport report = render(*plugin, host, events, line.render, writer,
                               [&bar](int64_t done, int64_t expected) { bar.update(done, expected); });
  bar.finish();
  writer.commit();

  if (line.timing) {
    const double audioSeconds = static_cast<double>(report.frames) / line.sampleRate;
    std::printf("process-cpu-seconds %.6f audio-seconds %.6f realtime-factor %.3f\n", report.processSeconds,
                audioSeconds, report.processSeconds > 0.0 ? audioSeconds / report.processSeconds : 0.0);
  }
  if (!line.quiet) {
    std::fprintf(stderr, "%s: wrote %s: %.2f s, %d channel%s, %d Hz, %s\n", kProgramName, line.outputPath.c_str(),
                 static_cast<double>(report.frames) / line.sampleRate, layout.channels, layout.channels == 1 ? "" : "s",
                 line.sampleRate, decibels(report.peak).c_str());
    if (layout.bits != 32 && report.peak > 1.0f)
      std::fprintf(stderr, "%s: warning: output above full scale was clipped\n", kProgramName);
    if (report.nonFinite > 0) {
      std::fprintf(stderr, "%s: warning: the plug-in produced %lld samples that were not numbers; written as 0\n",
                   kProgramName, static_cast<long long>(report.nonFinite));
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine line;
  try {
    line = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    return fail(error.what(), kExitUsage);
  }
  if (line.help) {
    std::cout << usageText();
    return 0;
  }
  if (line.version) {
    std::cout << kProgramName << " 1.0.0 (VST 2.4 host)\n";
    return 0;
  }
  try {
    return run(line);
  } catch (const std::exception& error) {
    return fail(error.what());
  }
}
