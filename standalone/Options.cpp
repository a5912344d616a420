// GNU-style long options: "--name value" or "--name=value".
#include "Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "ParameterTable.h"
#include "Instrument.h"
#include "ParameterValue.h"

namespace tamblin::standalone {
namespace {

constexpr double kMinTempo = 1.0;
constexpr double kMaxTempo = 1000.0;
// JACK's limit for a client name (jack_client_name_size() - 1 on every version in use).
constexpr size_t kMaxClientName = 63;
// JACK keeps a server name in fixed buffers and builds shared-memory and semaphore names of it with the
// client name and the user id, which must stay below the file-name limit: 63 leaves room for all.
constexpr size_t kMaxServerName = 63;
// An X display name is a host and a screen number; anything longer is not one.
constexpr size_t kMaxDisplayName = 255;

void checkServerName(const std::string& source, const std::string& name) {
  if (name.empty()) throw UsageError(source + ": the name is empty");
  if (name.size() > kMaxServerName)
    throw UsageError(source + ": a JACK server name has at most " + std::to_string(kMaxServerName) +
                     " characters (this one has " + std::to_string(name.size()) + ")");
}

long wholeNumber(const std::string& option, const std::string& text, long low, long high) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0) throw UsageError(option + ": '" + text + "' is not a whole number");
  if (value < low || value > high)
    throw UsageError(option + ": " + text + " is out of range (" + std::to_string(low) + " to " +
                     std::to_string(high) + ")");
  return value;
}

double number(const std::string& option, const std::string& text, double low, double high) {
  errno = 0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value))
    throw UsageError(option + ": '" + text + "' is not a number");
  if (value < low || value > high) throw UsageError(option + ": " + text + " is out of range");
  return value;
}

bool isChoiceParameter(int index) { return parameterInfo(index).choices.names != nullptr; }

}  // namespace

std::string usageText() {
  return R"(Usage: tamblin [options]

Plays the Tamblin synthesizer as a JACK client: MIDI in, two audio outputs, and its editor in a window.
The programs and their values are saved on exit and restored at the next start.

Options:
      --connect          connect the outputs to the first two physical playback ports and every
                         physical MIDI capture port to the MIDI input
      --alsa-midi        also take MIDI from an ALSA sequencer port
      --no-gui           run without the editor window (stop with Ctrl+C)
      --program N        select program N (0..15) at start
      --param INDEX=VALUE
                         set parameter INDEX (0..99) to VALUE (0..1, or a choice by its name, as
                         30=Low12) after the program; repeatable
      --import-bank FILE load the sixteen programs of a VST 2 bank file (.fxb) before --program
      --import-preset FILE
                         load a VST 2 program file (.fxp) into the current program before --param
      --export-bank FILE write the sixteen programs (after the options above) as a VST 2 bank file
                         and end without joining JACK
      --export-preset FILE
                         the same for the current program, as a VST 2 program file
      --tempo BPM        tempo when JACK transport gives none (1..1000, default 120)
      --name NAME        JACK client name (default tamblin); each name keeps a state of its own
      --server NAME      JACK server to use (default: JACK's default server)
      --reset            start from the factory programs; the saved state is kept as state.before-reset
  -h, --help             show this text
      --version          show the version
)";
}

Options parseOptions(const std::vector<std::string>& arguments) {
  Options options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    std::string option = arguments[i];
    std::optional<std::string> inlineValue;
    if (option.rfind("--", 0) == 0) {
      const size_t equals = option.find('=');
      if (equals != std::string::npos) {
        inlineValue = option.substr(equals + 1);
        option.resize(equals);
      }
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= arguments.size()) throw UsageError(option + " needs a value");
      return arguments[++i];
    };
    auto flag = [&](bool& target) {
      if (inlineValue) throw UsageError(option + " takes no value");
      target = true;
    };
    if (option == "-h" || option == "--help") {
      flag(options.help);
    } else if (option == "--version") {
      flag(options.version);
    } else if (option == "--connect") {
      flag(options.connect);
    } else if (option == "--no-gui") {
      flag(options.noGui);
    } else if (option == "--alsa-midi") {
      flag(options.alsaMidi);
    } else if (option == "--reset") {
      flag(options.reset);
    } else if (option == "--program") {
      options.program = static_cast<int>(wholeNumber(option, value(), 0, Instrument::kNumPrograms - 1));
    } else if (option == "--param") {
      const std::string text = value();
      const size_t equals = text.find('=');
      if (equals == std::string::npos) throw UsageError("--param: '" + text + "' is not INDEX=VALUE");
      const int index = static_cast<int>(wholeNumber("--param", text.substr(0, equals), 0, kNumParams - 1));
      const std::string valueText = text.substr(equals + 1);
      float v = 0.0f;
      try {
        v = static_cast<float>(number("--param", valueText, 0.0, 1.0));
      } catch (const UsageError& notANumber) {
        // Not a number: a choice parameter's choice by its name ("30=Low12").
        std::string problem;
        const std::optional<float> choice = parseParameterValue(index, valueText, problem);
        if (!choice) {
          if (!isChoiceParameter(index)) throw;
          throw UsageError("--param: " + problem);
        }
        v = *choice;
      }
      options.parameters.emplace_back(index, v);
    } else if (option == "--import-bank" || option == "--export-bank" || option == "--import-preset" ||
               option == "--export-preset") {
      std::string& target = option == "--import-bank"   ? options.importBank
                            : option == "--export-bank" ? options.exportBank
                            : option == "--import-preset" ? options.importPreset
                                                          : options.exportPreset;
      target = value();
      if (target.empty()) throw UsageError(option + ": the file name is empty");
    } else if (option == "--tempo") {
      options.tempo = number(option, value(), kMinTempo, kMaxTempo);
    } else if (option == "--name") {
      options.clientName = value();
      if (options.clientName.empty() || options.clientName.size() > kMaxClientName ||
          options.clientName.find(':') != std::string::npos)
        throw UsageError("--name: a client name has 1 to 63 characters and no ':'");
    } else if (option == "--server") {
      options.serverName = value();
      checkServerName("--server", options.serverName);
    } else {
      throw UsageError("unknown option '" + arguments[i] + "'");
    }
  }
  return options;
}

void checkEnvironment(const char* jackDefaultServer, const char* display) {
  if (jackDefaultServer != nullptr && jackDefaultServer[0] != '\0')
    checkServerName("JACK_DEFAULT_SERVER", jackDefaultServer);
  if (display != nullptr && std::string_view(display).size() > kMaxDisplayName)
    throw UsageError("DISPLAY: an X display name has at most " + std::to_string(kMaxDisplayName) + " characters");
}

}  // namespace tamblin::standalone
