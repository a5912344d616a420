// The plug-in's state (the instrument's text form: all sixteen programs and the current one) and the
// factory programs loaded by the host's preset browser.
#include <charconv>
#include <cstring>
#include <string>

#include "ClapPlugin.h"
#include "ClapPresetDiscovery.h"

namespace tamblin::clap {

bool Plugin::saveState(const clap_ostream_t* stream) {
  if (stream == nullptr || stream->write == nullptr || !onHostMainThread()) return false;
  const std::string text = instrument_.saveState();
  std::size_t written = 0;
  while (written < text.size()) {
    const int64_t n = stream->write(stream, text.data() + written, text.size() - written);
    if (n <= 0 || static_cast<uint64_t>(n) > text.size() - written) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

bool Plugin::loadState(const clap_istream_t* stream) {
  if (stream == nullptr || stream->read == nullptr || !onHostMainThread()) return false;
  // Read to the end, but never more than a state can be: anything longer is not one of ours.
  std::string text;
  char chunk[4096];
  for (;;) {
    const int64_t n = stream->read(stream, chunk, sizeof chunk);
    if (n == 0) break;
    if (n < 0 || static_cast<uint64_t>(n) > sizeof chunk) return false;
    text.append(chunk, static_cast<std::size_t>(n));
    if (text.size() > kMaxStateTextSize) return false;
  }
  std::string problem;
  if (!instrument_.loadState(text, problem)) return false;
  std::memset(held_, 0, sizeof held_);
  if (hostParams_ != nullptr && hostParams_->rescan != nullptr) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
  return true;
}

bool Plugin::loadPreset(uint32_t locationKind, const char* location, const char* loadKey) {
  if (!onHostMainThread() || locationKind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN ||
      (location != nullptr && location[0] != '\0') || loadKey == nullptr) {
    return false;
  }
  // The key is the program's number, 0..15, in decimal.
  int program = -1;
  const char* end = loadKey + std::strlen(loadKey);
  const auto [stop, error] = std::from_chars(loadKey, end, program);
  if (error != std::errc() || stop != end || program < 0 || program >= Instrument::kNumPrograms) return false;
  instrument_.loadFactoryProgram(program);
  instrument_.selectProgram(program);
  if (hostParams_ != nullptr && hostParams_->rescan != nullptr) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
  const auto* presets = static_cast<const clap_host_preset_load_t*>(hostExtension(CLAP_EXT_PRESET_LOAD));
  if (presets == nullptr) presets = static_cast<const clap_host_preset_load_t*>(hostExtension(CLAP_EXT_PRESET_LOAD_COMPAT));
  if (presets != nullptr && presets->loaded != nullptr) presets->loaded(host_, locationKind, location, loadKey);
  return true;
}

}  // namespace tamblin::clap
