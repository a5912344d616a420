// Helpers shared by the host tests: MIDI files on disk, renders into memory, running tamblin-render.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Host.h"
#include "MidiFile.h"
#include "MidiWriter.h"
#include "Plugin.h"
#include "Renderer.h"
#include "TempoMap.h"
#include "support/ChildProcess.h"

namespace tamblin::host::testing {

// Recorder output channels (see RecorderPlugin.cpp).
enum RecorderChannel { kEventCode = 0, kPosition, kBlockIndex, kTempo, kProgram, kQuarters, kParam0 };

inline float eventCode(int status, int data1, int data2) {
  return static_cast<float>(status * 65536 + data1 * 256 + data2);
}

// A fresh folder under the test temp directory, removed with the object.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tamblin-host-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }
  size_t entryCount() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(path_), {}));
  }

 private:
  std::filesystem::path path_;
};

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct RenderSetup {
  HostSettings settings;
  RenderOptions options;
  std::optional<int> program;
  std::vector<std::pair<int, float>> parameters;
};

// Renders `file` through a plug-in made by `make(host)` and returns everything in memory.
template <typename MakePlugin>
MemorySink renderWith(MakePlugin make, const MidiFile& file, const RenderSetup& setup,
                      std::optional<double> tempo = std::nullopt, Host** hostOut = nullptr) {
  auto host = std::make_unique<Host>(setup.settings, TempoMap::fromMidiFile(file, tempo));
  std::unique_ptr<Plugin> plugin = make(*host);
  plugin->configure(setup.settings.sampleRate, setup.settings.blockSize);
  if (setup.program) plugin->setProgram(*setup.program);
  for (auto [index, value] : setup.parameters) plugin->setParameter(index, value);
  MemorySink sink(plugin->numOutputs());
  render(*plugin, *host, scheduleEvents(file, host->tempoMap(), setup.settings.sampleRate), setup.options, sink);
  if (hostOut != nullptr) {
    plugin.reset();
    *hostOut = host.release();  // the caller inspects and deletes it
  }
  return sink;
}

inline auto loader(const std::string& path) {
  return [path](Host& host) { return Plugin::load(path, host); };
}

struct CommandResult {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string readAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs a program with arguments (no shell) to its end, capturing its standard output and error;
// `environment` holds settings added for the child.
inline CommandResult runCommand(const std::vector<std::string>& command, const TempFolder& folder,
                                const std::map<std::string, std::string>& environment = {}) {
  const std::string outPath = folder.file(".stdout"), errPath = folder.file(".stderr");
  tamblin::test::ChildProcess child;
  child.start(command, environment, errPath, outPath);
  child.waitExit(std::chrono::hours(1));
  CommandResult result{child.exitCode(), readAll(outPath), readAll(errPath)};
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return result;
}

// A short phrase: two notes, a chord, at 120 beats per minute.
inline MidiWriter shortPhrase() {
  MidiWriter song(480, 0);
  int track = song.addTrack();
  song.tempo(track, 0, 120.0);
  song.note(track, 0, 480, 0, 60, 100);
  song.note(track, 480, 480, 0, 64, 90);
  for (int key : {57, 60, 64}) song.note(track, 960, 960, 0, key, 80);
  return song;
}

}  // namespace tamblin::host::testing
