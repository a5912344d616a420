// tamblin's command line, apart from the program so it can be tested.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tamblin::standalone {

struct Options {
  bool help = false;
  bool version = false;
  bool connect = false;   // outputs (and MIDI input) to the first physical ports
  bool noGui = false;
  bool alsaMidi = false;  // an ALSA sequencer input as well
  bool reset = false;     // start from the factory bank, not the saved state
  std::optional<int> program;
  std::vector<std::pair<int, float>> parameters;  // in the order given, after the program
  double tempo = 120.0;   // when JACK transport gives none
  std::string clientName = "tamblin";
  std::string serverName;  // empty: JACK's default server
  std::string importBank, importPreset;  // VST 2 files applied at the start; empty: none
  std::string exportBank, exportPreset;  // VST 2 files written instead of running; empty: none
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses argv[1..]; throws UsageError naming the bad option.
Options parseOptions(const std::vector<std::string>& arguments);

// Checks what the environment hands to the libraries as tamblin's command line would be checked:
// JACK_DEFAULT_SERVER (when set and no --server is given) and DISPLAY; throws UsageError.
void checkEnvironment(const char* jackDefaultServer, const char* display);

std::string usageText();

}  // namespace tamblin::standalone
