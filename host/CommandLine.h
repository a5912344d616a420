// The options of tamblin-render and their checks, apart from the program so they can be tested.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "AudioFile.h"
#include "Renderer.h"

namespace tamblin::host {

struct CommandLine {
  std::string pluginPath;
  std::string midiPath;
  std::string outputPath;
  bool help = false;
  bool version = false;
  bool info = false;
  bool quiet = false;
  bool timing = false;  // report the CPU time spent in the plug-in
  std::optional<int> program;
  std::vector<std::pair<int, float>> parameters;  // in the order given
  bool choicesByName = false;                     // a --param named a choice of Tamblin's
  std::string bankPath;                           // --bank: a VST 2 bank file (.fxb), else empty
  std::string presetPath;                         // --preset: a VST 2 program file (.fxp), else empty
  std::optional<double> tempo;
  int sampleRate = 44100;
  int blockSize = 512;
  RenderOptions render;
  std::optional<AudioFormat> format;  // else from the output name
  std::optional<int> bits;            // else 32-bit float for WAV, 24 for FLAC
};

// A bad option or argument; the message names it.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses argv[1..]; throws UsageError. Program and parameter indices are checked against the
// plug-in later, once it is loaded.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string usageText();

}  // namespace tamblin::host
