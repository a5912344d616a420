// Option parsing for tamblin-render: GNU-style long options, "--name value" or "--name=value".
#include "CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "ParameterTable.h"
#include "ParameterValue.h"

namespace tamblin::host {
namespace {

constexpr int kMinSampleRate = 8000;
constexpr int kMaxSampleRate = 384000;
constexpr int kMaxBlockSize = 8192;
constexpr double kMaxTempo = 1000.0;
constexpr double kMaxTailSeconds = 600.0;

long parseInteger(const std::string& option, const std::string& text) {
  errno = 0;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0)
    throw UsageError("option " + option + ": '" + text + "' is not a whole number");
  return value;
}

std::optional<double> numberIn(const std::string& text) {
  errno = 0;
  char* end = nullptr;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value)) return std::nullopt;
  return value;
}

double parseNumber(const std::string& option, const std::string& text) {
  const std::optional<double> value = numberIn(text);
  if (!value) throw UsageError("option " + option + ": '" + text + "' is not a number");
  return *value;
}

long integerIn(const std::string& option, const std::string& text, long low, long high) {
  long value = parseInteger(option, text);
  if (value < low || value > high) {
    throw UsageError("option " + option + ": " + text + " is out of range (" + std::to_string(low) + " to " +
                     std::to_string(high) + ")");
  }
  return value;
}

}  // namespace

std::string usageText() {
  return R"(Usage: tamblin-render PLUGIN.so INPUT.mid -o OUTPUT.wav [options]
       tamblin-render PLUGIN.so --info [--bank FILE] [--program N] [--preset FILE] [--param INDEX=VALUE]...

Renders a Standard MIDI File (format 0 or 1) through a VST 2 instrument to an audio file.

Options:
  -o, --output FILE      audio file to write: .wav or .flac
      --program N        select program N before rendering (0 = first)
      --param INDEX=VALUE
                         set parameter INDEX to VALUE (0..1) after the program; repeatable.
                         For Tamblin VALUE may also name a choice, in any case: --param 30=Low12
      --bank FILE        load a VST 2 bank file (.fxb) of Tamblin's sixteen programs, as a host
                         restores one, before --program selects one
      --preset FILE      load a VST 2 program file (.fxp) of Tamblin into the current program
                         (after --bank and --program, before --param)
      --tempo BPM        play at this tempo instead of the file's tempo map (1..1000)
      --sample-rate HZ   sample rate, 8000..384000 (default 44100)
      --block-size N     largest block, 1..8192 frames (default 512)
      --tail SECONDS     render this long after the last event (default 2, up to 600)
      --tail auto        render until the output stays below -90 dBFS for a second (up to 30 s)
      --split-blocks     start a block at every event, for plug-ins that ignore delta frames
      --format FORMAT    wav or flac (default: from the output name)
      --bits N           16, 24 or 32 (32 = float; default 32 for WAV, 24 for FLAC)
      --info             print what a host sees of the plug-in and exit; the parameter values
                         are those after --program and --param
  -q, --quiet            no progress bar
      --timing           print the CPU time spent in the plug-in's process calls and the
                         realtime factor (audio seconds per CPU second), also with --quiet
  -h, --help             show this help and exit
      --version          show the version and exit

The file is written under a temporary name and renamed when complete; on any error nothing is
left behind and the exit status is not 0.
)";
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  std::vector<std::string> positional;
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i];
    if (argument == "--") {
      positional.insert(positional.end(), arguments.begin() + static_cast<long>(i) + 1, arguments.end());
      break;
    }
    if (argument.size() < 2 || argument[0] != '-') {
      positional.push_back(argument);
      continue;
    }
    std::string name = argument;
    std::optional<std::string> attached;
    if (auto equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = argument.substr(0, equals);
      attached = argument.substr(equals + 1);
    }
    auto flag = [&]() {
      if (attached) throw UsageError("option " + name + " takes no value");
    };
    auto value = [&]() -> std::string {
      if (attached) return *attached;
      if (i + 1 >= arguments.size()) throw UsageError("option " + name + " needs a value");
      return arguments[++i];
    };

    if (name == "-h" || name == "--help") {
      flag();
      line.help = true;
    } else if (name == "--version") {
      flag();
      line.version = true;
    } else if (name == "--info") {
      flag();
      line.info = true;
    } else if (name == "-q" || name == "--quiet") {
      flag();
      line.quiet = true;
    } else if (name == "--timing") {
      flag();
      line.timing = true;
    } else if (name == "--split-blocks") {
      flag();
      line.render.splitBlocks = true;
    } else if (name == "-o" || name == "--output") {
      line.outputPath = value();
      if (line.outputPath.empty()) throw UsageError("option " + name + ": empty file name");
    } else if (name == "--program") {
      line.program = static_cast<int>(integerIn(name, value(), 0, 1 << 20));
    } else if (name == "--param") {
      std::string text = value();
      auto equals = text.find('=');
      if (equals == std::string::npos) throw UsageError("option --param: '" + text + "' is not INDEX=VALUE");
      int index = static_cast<int>(integerIn("--param", text.substr(0, equals), 0, 1 << 20));
      const std::string valueText = text.substr(equals + 1);
      if (const std::optional<double> number = numberIn(valueText)) {
        if (*number < 0.0 || *number > 1.0)
          throw UsageError("option --param: value " + valueText + " is out of range (0 to 1)");
        line.parameters.emplace_back(index, static_cast<float>(*number));
      } else if (index >= tamblin::kNumParams) {
        throw UsageError("option --param: '" + valueText + "' is not a number");
      } else {
        // Not a number: a choice by the name Tamblin's parameter table gives it.
        std::string problem;
        const std::optional<float> choice = tamblin::parseParameterValue(index, valueText, problem);
        if (!choice) throw UsageError("option --param: " + problem);
        line.parameters.emplace_back(index, *choice);
        line.choicesByName = true;
      }
    } else if (name == "--bank" || name == "--preset") {
      std::string& path = name == "--bank" ? line.bankPath : line.presetPath;
      path = value();
      if (path.empty()) throw UsageError("option " + name + ": empty file name");
    } else if (name == "--tempo") {
      std::string text = value();
      double bpm = parseNumber(name, text);
      if (!(bpm >= 1.0 && bpm <= kMaxTempo)) throw UsageError("option --tempo: " + text + " is out of range (1 to 1000)");
      line.tempo = bpm;
    } else if (name == "--sample-rate") {
      line.sampleRate = static_cast<int>(integerIn(name, value(), kMinSampleRate, kMaxSampleRate));
    } else if (name == "--block-size") {
      line.blockSize = static_cast<int>(integerIn(name, value(), 1, kMaxBlockSize));
    } else if (name == "--tail") {
      std::string text = value();
      if (text == "auto") {
        line.render.tail = TailMode::UntilSilent;
      } else {
        double seconds = parseNumber(name, text);
        if (!(seconds >= 0.0 && seconds <= kMaxTailSeconds))
          throw UsageError("option --tail: " + text + " is out of range (0 to 600 seconds, or auto)");
        line.render.tail = TailMode::Fixed;
        line.render.tailSeconds = seconds;
      }
    } else if (name == "--format") {
      std::string text = value();
      if (text == "wav")
        line.format = AudioFormat::Wav;
      else if (text == "flac")
        line.format = AudioFormat::Flac;
      else
        throw UsageError("option --format: '" + text + "' is not wav or flac");
    } else if (name == "--bits") {
      std::string text = value();
      long bits = parseInteger(name, text);
      if (bits != 16 && bits != 24 && bits != 32) throw UsageError("option --bits: " + text + " is not 16, 24 or 32");
      line.bits = static_cast<int>(bits);
    } else {
      throw UsageError("unknown option " + name + " (see --help)");
    }
  }
  if (line.help || line.version) return line;

  if (positional.empty()) throw UsageError("missing the plug-in library (see --help)");
  line.pluginPath = positional[0];
  if (line.info) {
    if (positional.size() > 1) throw UsageError("--info takes only the plug-in library, not '" + positional[1] + "'");
    return line;
  }
  if (positional.size() < 2) throw UsageError("missing the MIDI file (see --help)");
  if (positional.size() > 2) throw UsageError("unexpected argument '" + positional[2] + "'");
  line.midiPath = positional[1];
  if (line.outputPath.empty()) throw UsageError("missing the output file: give -o OUTPUT.wav");

  AudioFormat fromName;
  bool named = formatFromName(line.outputPath, fromName);
  if (!line.format) {
    if (!named)
      throw UsageError("output " + line.outputPath + ": cannot tell the format from the name; use .wav or .flac, or --format");
    line.format = fromName;
  }
  if (!line.bits) line.bits = *line.format == AudioFormat::Flac ? 24 : 32;
  if (*line.format == AudioFormat::Flac && *line.bits == 32)
    throw UsageError("option --bits: FLAC holds 16 or 24 bits, not 32-bit float");
  return line;
}

}  // namespace tamblin::host
