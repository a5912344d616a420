// libsndfile writer with a temporary name, format checks and an atomic rename at the end.
#include "AudioFile.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace tamblin::host {
namespace {

// For removal by a signal handler: a fixed buffer, written before the file exists.
std::array<char, 4096> activePath{};

SNDFILE* handle(void* file) { return static_cast<SNDFILE*>(file); }

}  // namespace

const char* activeTemporaryFile() { return activePath[0] != '\0' ? activePath.data() : nullptr; }

bool formatFromName(const std::string& path, AudioFormat& format) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".wav") {
    format = AudioFormat::Wav;
    return true;
  }
  if (extension == ".flac") {
    format = AudioFormat::Flac;
    return true;
  }
  return false;
}

AudioFileWriter::AudioFileWriter(const std::string& path, const AudioFileLayout& layout)
    : path_(path), channels_(layout.channels) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::is_directory(path, error)) throw AudioFileError(path + ": is a directory");
  fs::path target(path);
  fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(directory, error))
    throw AudioFileError(path + ": cannot write, directory " + directory.string() + " does not exist");

  int major = layout.format == AudioFormat::Wav ? SF_FORMAT_WAV : SF_FORMAT_FLAC;
  int minor = 0;
  switch (layout.bits) {
    case 16: minor = SF_FORMAT_PCM_16; break;
    case 24: minor = SF_FORMAT_PCM_24; break;
    case 32:
      if (layout.format == AudioFormat::Flac) throw AudioFileError(path + ": FLAC holds 16 or 24 bits, not 32-bit float");
      minor = SF_FORMAT_FLOAT;
      break;
    default: throw AudioFileError(path + ": cannot write " + std::to_string(layout.bits) + "-bit samples");
  }
  SF_INFO info{};
  info.samplerate = layout.sampleRate;
  info.channels = layout.channels;
  info.format = major | minor;
  if (!sf_format_check(&info))
    throw AudioFileError(path + ": this format cannot hold " + std::to_string(layout.channels) + " channels at " +
                         std::to_string(layout.sampleRate) + " Hz");

  std::string hiddenName = target.filename().string();
  hiddenName.insert(0, 1, '.');
  hiddenName.append(".partial-XXXXXX");
  std::string pattern = (directory / hiddenName).string();
  if (pattern.size() >= activePath.size()) throw AudioFileError(path + ": path too long");
  std::copy(pattern.begin(), pattern.end(), activePath.begin());
  activePath[pattern.size()] = '\0';
  int descriptor = mkstemp(activePath.data());  // fills in the name in place, ready for the handler
  if (descriptor < 0) {
    int code = errno;
    activePath[0] = '\0';
    throw AudioFileError(path + ": cannot create the output file: " + std::strerror(code));
  }
  temporaryPath_ = activePath.data();
  fchmod(descriptor, 0644);
  file_ = sf_open_fd(descriptor, SFM_WRITE, &info, SF_TRUE);
  if (file_ == nullptr) {
    std::string reason = sf_strerror(nullptr);
    close(descriptor);
    discard();
    throw AudioFileError(path + ": cannot write audio: " + reason);
  }
  sf_command(handle(file_), SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioFileWriter::~AudioFileWriter() {
  if (!committed_) discard();
}

void AudioFileWriter::write(const float* interleaved, int64_t frames) {
  if (sf_writef_float(handle(file_), interleaved, frames) != frames)
    throw AudioFileError(path_ + ": writing failed: " + sf_strerror(handle(file_)));
}

void AudioFileWriter::commit() {
  int closed = sf_close(handle(file_));
  file_ = nullptr;
  if (closed != 0) {
    discard();
    throw AudioFileError(path_ + ": writing failed: " + sf_error_number(closed));
  }
  if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
    int code = errno;
    discard();
    throw AudioFileError(path_ + ": cannot move the finished file into place: " + std::strerror(code));
  }
  committed_ = true;
  activePath[0] = '\0';
}

void AudioFileWriter::discard() {
  if (file_ != nullptr) sf_close(handle(file_));
  file_ = nullptr;
  if (!temporaryPath_.empty()) std::remove(temporaryPath_.c_str());
  activePath[0] = '\0';
}

}  // namespace tamblin::host
