// The instrument inside tamblin: built through its entry as a host builds it, given the sample rate and
// the tempo, fed MIDI events on their frames, and read and written as a whole state.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include <optional>

#include "DAEffectX.h"
#include "Options.h"
#include "StateFile.h"

class APlugin;

namespace tamblin::standalone {

// One complete MIDI message (1 to 3 bytes) on a frame of the block being rendered.
struct MidiEvent {
  uint32_t frame = 0;
  uint8_t size = 0;
  uint8_t bytes[3] = {};
};

class Instrument {
 public:
  // Builds the instrument and gives it the sample rate; `tempo` is used while no transport tempo is set.
  Instrument(float sampleRate, double tempo);
  ~Instrument();
  Instrument(const Instrument&) = delete;
  Instrument& operator=(const Instrument&) = delete;

  AEffect* effect() const { return effect_; }

  // [main thread, before audio starts or while it runs]
  InstrumentState state() const;
  void restore(const InstrumentState& state);
  void selectProgram(int program);
  void setParameter(int index, float value);
  int currentProgram() const;
  std::string programName() const;

  // [audio thread] The tempo JACK transport gives for the next block; 0 when it gives none.
  void setTransportTempo(double bpm) { transportTempo_.store(bpm, std::memory_order_relaxed); }
  // Renders `frames` frames into left and right. Events are in frame order, every frame below
  // `frames`; a program change takes effect on its frame, everything else goes to the instrument.
  // Allocates nothing.
  void render(const MidiEvent* events, int count, float* left, float* right, uint32_t frames);

 private:
  static VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                            void* ptr, float opt);
  VstIntPtr answer(VstInt32 opcode, VstIntPtr value);
  double tempo() const;
  void renderSpan(const MidiEvent* events, int count, uint32_t start, float* left, float* right, uint32_t frames);

  static constexpr int kEventsPerBatch = 256;
  struct EventBatch {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[kEventsPerBatch];
  };

  AEffect* effect_ = nullptr;
  APlugin* plugin_ = nullptr;
  const float sampleRate_;
  const double defaultTempo_;
  std::atomic<double> transportTempo_{0.0};
  double framesRendered_ = 0.0;
  VstTimeInfo timeInfo_{};
  EventBatch batch_{};
  VstMidiEvent midi_[kEventsPerBatch]{};
};

// The instrument as tamblin starts it: the saved state (when there is one), then the program and the
// parameters of the command line.
void applyStart(Instrument& instrument, const std::optional<InstrumentState>& saved, const Options& options);

}  // namespace tamblin::standalone
