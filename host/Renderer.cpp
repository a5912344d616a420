// The block loop: events placed by delta frame, program changes between blocks, tail handling.
#include "Renderer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>

#include <time.h>

namespace tamblin::host {
namespace {

// CPU time of the calling thread: what a plug-in spends rendering, whatever else the machine does.
double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// A VstEvents record sized for as many events as a block brings; it grows, never shrinks.
class EventBatch {
 public:
  void clear() { midi_.clear(); }
  void add(const TimedEvent& event, int deltaFrames) {
    VstMidiEvent midi{};
    midi.type = kVstMidiType;
    midi.byteSize = sizeof(VstMidiEvent);
    midi.deltaFrames = deltaFrames;
    for (int i = 0; i < event.size; ++i) midi.midiData[i] = static_cast<char>(event.bytes[i]);
    midi_.push_back(midi);
  }
  bool empty() const { return midi_.empty(); }
  size_t size() const { return midi_.size(); }

  VstEvents* record() {
    size_t bytes = offsetof(VstEvents, events) + std::max<size_t>(midi_.size(), 2) * sizeof(VstEvent*);
    if (bytes > storage_.size()) storage_.resize(bytes * 2);
    auto* events = new (storage_.data()) VstEvents{};
    events->numEvents = static_cast<VstInt32>(midi_.size());
    auto** pointers = reinterpret_cast<VstEvent**>(storage_.data() + offsetof(VstEvents, events));
    for (size_t i = 0; i < midi_.size(); ++i) pointers[i] = reinterpret_cast<VstEvent*>(&midi_[i]);
    return events;
  }

 private:
  std::vector<VstMidiEvent> midi_;
  std::vector<std::byte> storage_ = std::vector<std::byte>(256);
};

// Planar buffers for the plug-in and an interleaved one for the sink.
struct Buffers {
  Buffers(int inputs, int outputs, int frames)
      : inputData(static_cast<size_t>(std::max(inputs, 1)) * frames, 0.0f),
        outputData(static_cast<size_t>(std::max(outputs, 1)) * frames, 0.0f),
        interleaved(static_cast<size_t>(std::max(outputs, 1)) * frames, 0.0f) {
    for (int i = 0; i < std::max(inputs, 1); ++i) inputs_.push_back(inputData.data() + static_cast<size_t>(i) * frames);
    for (int i = 0; i < std::max(outputs, 1); ++i) outputs_.push_back(outputData.data() + static_cast<size_t>(i) * frames);
  }
  std::vector<float> inputData, outputData, interleaved;
  std::vector<float*> inputs_, outputs_;
};

}  // namespace

int64_t frameAtSeconds(double seconds, double sampleRate) { return std::llround(seconds * sampleRate); }

std::vector<TimedEvent> scheduleEvents(const MidiFile& file, const TempoMap& tempoMap, double sampleRate) {
  std::vector<TimedEvent> events;
  events.reserve(file.events.size());
  for (const MidiEvent& midi : file.events) {
    TimedEvent event;
    event.frame = frameAtSeconds(tempoMap.secondsAtTick(midi.tick), sampleRate);
    event.programChange = midi.type() == 0xC0;
    event.bytes[0] = midi.status;
    event.bytes[1] = midi.data1;
    event.bytes[2] = midi.data2;
    event.size = midi.size;
    events.push_back(event);
  }
  return events;
}

void MemorySink::write(const float* interleaved, int64_t frames) {
  samples_.insert(samples_.end(), interleaved, interleaved + frames * channels_);
}

namespace {

// One pass through the events: block lengths, event delivery, the plug-in call and the tail.
class RenderSession {
 public:
  RenderSession(Plugin& plugin, Host& host, const std::vector<TimedEvent>& events, const RenderOptions& options,
                AudioSink& sink)
      : plugin_(plugin),
        host_(host),
        events_(events),
        options_(options),
        sink_(sink),
        channels_(std::max(plugin.numOutputs(), 1)),
        buffers_(plugin.numInputs(), plugin.numOutputs(), host.settings().blockSize) {
    const double sampleRate = host.settings().sampleRate;
    untilSilent_ = options.tail == TailMode::UntilSilent;
    endOfEvents_ = events.empty() ? 0 : events.back().frame + 1;
    endFrame_ = endOfEvents_ +
                frameAtSeconds(untilSilent_ ? options.maxTailSeconds : options.tailSeconds, sampleRate);
    threshold_ = static_cast<float>(std::pow(10.0, options.silenceThresholdDb / 20.0));
    silenceWindow_ = std::max<int64_t>(1, frameAtSeconds(options.silenceWindowSeconds, sampleRate));
    for (const TempoMap::Change& change : host.tempoMap().changes())
      tempoFrames_.push_back(frameAtSeconds(change.seconds, sampleRate));
  }

  RenderReport run(const ProgressFunction& progress) {
    host_.startTransport();
    host_.setProcessing(true);
    plugin_.switchOn();
    while (frame_ < endFrame_ && !silent_) {
      int64_t length = blockLength();
      deliverEvents(length);
      processBlock(static_cast<int>(length));
      int64_t lastLoud = collectOutput(static_cast<int>(length));
      if (!untilSilent_ || frame_ + length <= endOfEvents_)
        emit(buffers_.interleaved.data(), length);
      else
        holdTail(length, lastLoud);
      frame_ += length;
      if (progress) progress(frame_, untilSilent_ ? std::max(frame_, endOfEvents_) : endFrame_);
    }
    // A tail that never fell silent is kept whole.
    if (untilSilent_ && !silent_) emitQuietTail();
    plugin_.switchOff();
    host_.setProcessing(false);
    host_.stopTransport();
    return report_;
  }

 private:
  // Program changes happen between blocks, so a block always ends where one falls; with
  // splitBlocks every event and tempo change starts a block of its own.
  int64_t blockLength() const {
    int64_t length = std::min<int64_t>(host_.settings().blockSize, endFrame_ - frame_);
    for (size_t i = next_; i < events_.size() && events_[i].frame < frame_ + length; ++i) {
      if (events_[i].frame > frame_ && (options_.splitBlocks || events_[i].programChange)) {
        length = events_[i].frame - frame_;
        break;
      }
    }
    if (options_.splitBlocks) {
      for (int64_t change : tempoFrames_)
        if (change > frame_ && change < frame_ + length) length = change - frame_;
    }
    return length;
  }

  void deliverEvents(int64_t length) {
    batch_.clear();
    for (; next_ < events_.size() && events_[next_].frame < frame_ + length; ++next_) {
      const TimedEvent& event = events_[next_];
      if (event.programChange) {
        sendBatch();  // events before it in the same frame go first
        plugin_.setProgram(event.bytes[1]);
      } else {
        batch_.add(event, static_cast<int>(event.frame - frame_));
      }
    }
    host_.setBlockStart(frame_);
    sendBatch();
  }

  void sendBatch() {
    if (batch_.empty()) return;
    plugin_.sendEvents(batch_.record());
    report_.eventsSent += static_cast<int64_t>(batch_.size());
    batch_.clear();
  }

  void processBlock(int frames) {
    std::fill(buffers_.inputData.begin(), buffers_.inputData.end(), 0.0f);  // in case the plug-in wrote there
    const double before = threadCpuSeconds();
    plugin_.process(buffers_.inputs_.data(), buffers_.outputs_.data(), frames);
    report_.processSeconds += threadCpuSeconds() - before;
    host_.blockDone();
    ++report_.blocks;
  }

  // Interleaves the block, replacing non-numbers by 0; returns the last frame at or above the
  // silence threshold, -1 when there is none.
  int64_t collectOutput(int frames) {
    float* out = buffers_.interleaved.data();
    int64_t lastLoud = -1;
    for (int i = 0; i < frames; ++i) {
      for (int c = 0; c < channels_; ++c) {
        float sample = c < plugin_.numOutputs() ? buffers_.outputs_[c][i] : 0.0f;
        if (!std::isfinite(sample)) {
          sample = 0.0f;
          ++report_.nonFinite;
        }
        out[i * channels_ + c] = sample;
        float magnitude = std::fabs(sample);
        report_.peak = std::max(report_.peak, magnitude);
        if (magnitude >= threshold_) lastLoud = i;
      }
    }
    return lastLoud;
  }

  // Until-silent tail: quiet frames are held back until a louder frame follows them or the
  // window has passed, when they are dropped.
  void holdTail(int64_t length, int64_t lastLoud) {
    const float* out = buffers_.interleaved.data();
    int64_t tailStart = std::max<int64_t>(0, endOfEvents_ - frame_);  // frames before it are not tail
    emit(out, tailStart);
    if (lastLoud >= tailStart) {
      emitQuietTail();
      emit(out + tailStart * channels_, lastLoud + 1 - tailStart);
      quietTail_.assign(out + (lastLoud + 1) * channels_, out + length * channels_);
    } else {
      quietTail_.insert(quietTail_.end(), out + tailStart * channels_, out + length * channels_);
    }
    silent_ = static_cast<int64_t>(quietTail_.size()) / channels_ >= silenceWindow_;
  }

  void emitQuietTail() {
    emit(quietTail_.data(), static_cast<int64_t>(quietTail_.size()) / channels_);
    quietTail_.clear();
  }

  void emit(const float* data, int64_t frames) {
    if (frames <= 0) return;
    sink_.write(data, frames);
    report_.frames += frames;
  }

  Plugin& plugin_;
  Host& host_;
  const std::vector<TimedEvent>& events_;
  const RenderOptions& options_;
  AudioSink& sink_;
  const int channels_;
  Buffers buffers_;
  EventBatch batch_;
  RenderReport report_;
  std::vector<int64_t> tempoFrames_;
  std::vector<float> quietTail_;
  bool untilSilent_ = false;
  bool silent_ = false;
  int64_t endOfEvents_ = 0;
  int64_t endFrame_ = 0;
  float threshold_ = 0;
  int64_t silenceWindow_ = 1;
  int64_t frame_ = 0;
  size_t next_ = 0;
};

}  // namespace

RenderReport render(Plugin& plugin, Host& host, const std::vector<TimedEvent>& events, const RenderOptions& options,
                    AudioSink& sink, const ProgressFunction& progress) {
  return RenderSession(plugin, host, events, options, sink).run(progress);
}

}  // namespace tamblin::host
