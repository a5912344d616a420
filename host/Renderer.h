// Event scheduling and the block loop that drives a plug-in through a song into an audio sink.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "DAEffectX.h"
#include "Host.h"
#include "MidiFile.h"
#include "Plugin.h"
#include "TempoMap.h"

namespace tamblin::host {

// A MIDI message or a program change at the frame where it falls.
struct TimedEvent {
  int64_t frame = 0;
  bool programChange = false;  // sent as effSetProgram with bytes[1], not as MIDI
  uint8_t bytes[3] = {};
  uint8_t size = 3;
};

int64_t frameAtSeconds(double seconds, double sampleRate);

// Every channel event of the file at its frame, in the file's order.
std::vector<TimedEvent> scheduleEvents(const MidiFile& file, const TempoMap& tempoMap, double sampleRate);

// Receives rendered frames, channels interleaved.
class AudioSink {
 public:
  virtual ~AudioSink() = default;
  virtual void write(const float* interleaved, int64_t frames) = 0;
};

// Keeps everything in memory, for tests and comparisons.
class MemorySink : public AudioSink {
 public:
  explicit MemorySink(int channels) : channels_(channels) {}
  void write(const float* interleaved, int64_t frames) override;
  int channels() const { return channels_; }
  int64_t frames() const { return static_cast<int64_t>(samples_.size()) / channels_; }
  float at(int64_t frame, int channel) const { return samples_[static_cast<size_t>(frame * channels_ + channel)]; }
  const std::vector<float>& samples() const { return samples_; }

 private:
  int channels_;
  std::vector<float> samples_;
};

enum class TailMode { Fixed, UntilSilent };

struct RenderOptions {
  // Ends every block at the next event or tempo change, for plug-ins that ignore delta frames.
  bool splitBlocks = false;
  TailMode tail = TailMode::Fixed;
  double tailSeconds = 2.0;  // fixed tail after the last event
  // UntilSilent: rendering stops once the output has stayed below the threshold for the window;
  // the quiet end is cut off. Never longer than maxTailSeconds.
  double silenceThresholdDb = -90.0;
  double silenceWindowSeconds = 1.0;
  double maxTailSeconds = 30.0;
};

struct RenderReport {
  int64_t frames = 0;  // written to the sink
  int64_t blocks = 0;  // process calls
  int64_t eventsSent = 0;
  float peak = 0;
  int64_t nonFinite = 0;  // NaN or infinite samples from the plug-in, written as 0
  double processSeconds = 0;  // CPU time of this thread inside the plug-in's process calls
};

// Called after each block with the frames rendered so far and the frames expected in all.
using ProgressFunction = std::function<void(int64_t done, int64_t expected)>;

// Switches the plug-in on, renders the events and the tail, and switches it off again. The plug-in
// is expected to be configured (sample rate, block size, program, parameters) already.
RenderReport render(Plugin& plugin, Host& host, const std::vector<TimedEvent>& events, const RenderOptions& options,
                    AudioSink& sink, const ProgressFunction& progress = {});

}  // namespace tamblin::host
