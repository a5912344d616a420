// Audio file output through libsndfile: written under a temporary name, renamed when complete.
#pragma once

#include <stdexcept>
#include <string>

#include "Renderer.h"

namespace tamblin::host {

enum class AudioFormat { Wav, Flac };

// 32 means 32-bit float (WAV only); 16 and 24 are integer samples, clipped at full scale.
struct AudioFileLayout {
  AudioFormat format = AudioFormat::Wav;
  int bits = 32;
  int sampleRate = 44100;
  int channels = 2;
};

class AudioFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The format an output name asks for: ".wav" or ".flac", any case; false for other names.
bool formatFromName(const std::string& path, AudioFormat& format);

// Writes into a hidden temporary file beside `path`; commit() renames it to `path`. Destroyed
// without commit (an error, an exception), it removes the temporary file: no half file is left.
class AudioFileWriter : public AudioSink {
 public:
  AudioFileWriter(const std::string& path, const AudioFileLayout& layout);
  ~AudioFileWriter() override;
  AudioFileWriter(const AudioFileWriter&) = delete;
  AudioFileWriter& operator=(const AudioFileWriter&) = delete;

  void write(const float* interleaved, int64_t frames) override;
  void commit();

  const std::string& temporaryPath() const { return temporaryPath_; }

 private:
  void discard();

  std::string path_;
  std::string temporaryPath_;
  void* file_ = nullptr;  // SNDFILE*
  int channels_;
  bool committed_ = false;
};

// The temporary file of the writer alive now, if any, for removal from a signal handler.
const char* activeTemporaryFile();

}  // namespace tamblin::host
