// The sound engine: the record with every piece of sound state, and the entry points the instrument calls.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "EngineRecord.h"
#include "VoiceKernels.h"

namespace tamblin {

// What the engine asks of the instrument that owns it. Called on the audio thread, from render().
class EngineHost {
 public:
  virtual ~EngineHost() = default;
  // The host tick's tempo in beats per minute, asked for every kHostTick frames. Anything below 1 (0,
  // a negative value, NaN) means the host gives none: the engine then plays at 120.
  virtual float hostTempo() = 0;
  // A mapped controller sets a parameter through the instrument (clamping, program store, editor copy).
  virtual void setParameterFromController(int32_t index, float value) = 0;
  // After every control change and pitch-bend message: the editor copy of the values is refreshed.
  virtual void controllerMessageHandled() = 0;
};

// A host's tempo in beats per minute as the engine takes it: to 1/10000 of a beat per minute, the
// resolution of the VST 2 tempo request, so that every format plays one tempo to the same bits. 0 where
// `bpm` is no tempo (below 1, above 1e6, NaN).
float tempoFromBpm(double bpm);

// One MIDI message with the frame of the block it belongs to.
struct MidiMessage {
  int32_t deltaFrames;
  uint8_t bytes[4];
};

// Messages waiting for the next render(): a host sends at most a few hundred per block; when the queue
// is full, a message acts at once instead of being lost.
constexpr int kMidiQueueSize = 2048;

class Engine {
 public:
  // The sample rates the engine adopts: outside them the filters would pass Nyquist or the increments
  // grow without bound.
  static constexpr float kMinSampleRate = 1000.0f;
  static constexpr float kMaxSampleRate = 1000000.0f;

  // A ready engine: pitch wheel at rest, the oscillator phases of voices 0..7 spread over 3/7 of a cycle,
  // history slots, tempo 120, arpeggiator position, 44100 Hz, the arpeggiator list empty and the wave
  // tables built. The owner then loads a program: setSampleRate, setParameter for every value,
  // resetAfterProgramChange.
  explicit Engine(EngineHost& host);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Adopts a sample rate (first in a program change, and whenever the host sets one). A rate that is not
  // finite or lies outside kMinSampleRate..kMaxSampleRate is ignored: the engine keeps its last valid rate.
  void setSampleRate(float rate);
  // The resets after a program change: voices 0..7 released, history slots back in order, filter history
  // of voices 0..5 cleared.
  void resetAfterProgramChange();
  // Storing the play mode, whatever its value: every key released, voice pointer 0, arpeggiator list empty.
  void resetPlayMode();

  // The same three changes asked for from any thread. On the thread that renders (or before anything
  // was rendered) they happen at once; from another thread they wait for the next render(), which makes
  // them before its first frame, so that no other thread writes what the audio thread is using.
  void requestSampleRate(float rate);
  void requestResetAfterProgramChange();
  void requestResetPlayMode();

  // Stores a parameter as every writer does (host, program change, controller, editor): clamped as
  // setParam does; storing the play mode, whatever its value, releases every key (requestResetPlayMode).
  void setParameter(int32_t index, float value) {
    setParam(index, value);
    if (index == kPlayMode) requestResetPlayMode();
  }

  // Parameter mirror. Written by any thread, read by the audio thread at the moment of use. The
  // instrument clamps before storing; the engine clamps again (NaN to 0) so that every table index it
  // derives from a parameter stays in range whoever calls.
  void setParam(int32_t index, float value) {
    if (index < 0 || index >= kNumStoredValues) return;
    const float safe = value > 1.0f ? 1.0f : (value >= 0.0f ? value : 0.0f);
    record.params[index].store(safe, std::memory_order_relaxed);
    record.paramWrites.fetch_add(1, std::memory_order_release);
  }
  float param(int32_t index) const {
    return index >= 0 && index < kNumStoredValues ? record.params[index].load(std::memory_order_relaxed) : 0.0f;
  }

  // MIDI intake [audio thread]: queues the messages, each to act at its delta frame of the next render();
  // answers 1.
  int32_t processEvents(const MidiMessage* messages, int32_t count);

  // Renders `frames` frames [audio thread]: reads input (may be null: silence), overwrites left and right
  // (either may be null: that channel is not written).
  void render(const float* input, float* left, float* right, int32_t frames);
  // The same samples, rendered one frame, one stage and one voice after the other: the reference that
  // render() is held to.
  void renderPlain(const float* input, float* left, float* right, int32_t frames);
  // The voice kernels render() uses; by default the fastest this processor runs.
  void useVoiceKernels(const kernels::VoiceKernels* kernels) { kernels_ = kernels; }

  // The gate position in steps (0 <= p < 16), for the editor's lamp; any thread.
  float gatePositionForDisplay() const;

  float sampleRate() const;

  // The whole engine state, for the instrument's tests and tools. Written only by the engine's stages.
  EngineRecord record{};

 private:
  void initPitchBend();
  void initPhases();
  void initTimingAndRate();
  void initArpList();

  struct QueuedMessage {
    int32_t deltaFrames;
    uint8_t bytes[4];
  };

  void applyMessage(const uint8_t bytes[4]);
  void renderBlock(const float* input, float* left, float* right, int32_t frames, bool plain);
  void renderInRuns(const float* input, float* left, int32_t leftStep, float* right, int32_t rightStep,
                    int32_t frames, int32_t& nextMessage);
  void renderFrameByFrame(const float* input, float* left, int32_t leftStep, float* right, int32_t rightStep,
                          int32_t frames, int32_t& nextMessage);
  bool beginFrame(int32_t k, int32_t frames, int32_t& nextMessage, int32_t pending,
                  const kernels::VoiceKernels* kernels);
  void keepLeftoverMessages(int32_t applied);
  void sortQueue();
  bool onRenderThread() const;
  void applyRequests();

  enum : int { kRequestPlayMode = 1, kRequestProgram = 2 };
  std::atomic<std::thread::id> renderThread_{};
  std::atomic<int> requests_{0};
  std::atomic<float> requestedRate_{0.0f};  // 0: none

  EngineHost& host_;
  const kernels::VoiceKernels* kernels_ = kernels::bestVoiceKernels();
  QueuedMessage queue_[kMidiQueueSize] = {};
  int32_t queueCount_ = 0;
};

}  // namespace tamblin
