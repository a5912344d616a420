// The instrument's C interface for the page's audio worklet: one instrument per module instance, built
// once, with its event queue, output buffers and list of changed parameters set aside beside it.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <new>

#include "Engine.h"
#include "FactoryBank.h"
#include "Instrument.h"
#include "ParameterTable.h"

namespace tamblin {
namespace {

// The worklet renders 128 frames at a time; a caller may ask for up to this many at once.
constexpr int kMaxRenderFrames = 1024;
// Messages for one render call: the engine's own queue holds as many.
constexpr int kMaxQueuedMessages = kMidiQueueSize;

class WebInstrument final : public InstrumentHost {
 public:
  WebInstrument() = default;

  // [audio thread] The tempo the page gives, as the engine takes it (0: none, 120 is played).
  float hostTempo() override { return tempo_; }
  // Every stored change (edits, mapped controllers, program selection) is listed once until taken.
  void parameterChanged(int index, float value) override {
    (void)value;
    if (index < 0 || index >= kNumStoredValues || changed_[index]) return;
    changed_[index] = true;
    changedList_[changedCount_++] = index;
  }

  void setTempo(float bpm) { tempo_ = tempoFromBpm(bpm); }

  bool queue(int frame, int status, int data1, int data2) {
    if (queued_ >= kMaxQueuedMessages || frame < 0 || frame >= kMaxRenderFrames) return false;
    MidiMessage& m = messages_[queued_++];
    m.deltaFrames = frame;
    m.bytes[0] = static_cast<uint8_t>(status);
    m.bytes[1] = static_cast<uint8_t>(data1 & 0x7F);
    m.bytes[2] = static_cast<uint8_t>(data2 & 0x7F);
    m.bytes[3] = 0;
    return true;
  }

  void render(int frames) {
    if (frames < 0) frames = 0;
    if (frames > kMaxRenderFrames) frames = kMaxRenderFrames;
    if (queued_ > 0) instrument.processEvents(messages_, queued_);
    queued_ = 0;
    instrument.render(nullptr, left, right, frames);
  }

  // Moves the changed indices to `taken` and forgets them.
  int takeChanges() {
    const int count = changedCount_;
    for (int k = 0; k < count; ++k) {
      taken[k] = changedList_[k];
      changed_[changedList_[k]] = false;
    }
    changedCount_ = 0;
    return count;
  }

  Instrument instrument{*this};
  float left[kMaxRenderFrames] = {};
  float right[kMaxRenderFrames] = {};
  int taken[kNumStoredValues] = {};

 private:
  float tempo_ = 0.0f;
  MidiMessage messages_[kMaxQueuedMessages] = {};
  int queued_ = 0;
  bool changed_[kNumStoredValues] = {};
  int changedList_[kNumStoredValues] = {};
  int changedCount_ = 0;
};

WebInstrument* gInstrument = nullptr;

}  // namespace
}  // namespace tamblin

using tamblin::gInstrument;

extern "C" {

// Builds the instrument (program 0 selected) at the sample rate; 1 when it is there. Called once, from
// the worklet's constructor: nothing after this allocates.
EMSCRIPTEN_KEEPALIVE int tamblin_create(float sampleRate) {
  if (gInstrument == nullptr) gInstrument = new (std::nothrow) tamblin::WebInstrument();
  if (gInstrument == nullptr) return 0;
  gInstrument->instrument.setSampleRate(sampleRate);
  return 1;
}

EMSCRIPTEN_KEEPALIVE int tamblin_max_render_frames() { return tamblin::kMaxRenderFrames; }
EMSCRIPTEN_KEEPALIVE float* tamblin_left() { return gInstrument ? gInstrument->left : nullptr; }
EMSCRIPTEN_KEEPALIVE float* tamblin_right() { return gInstrument ? gInstrument->right : nullptr; }

// The page's tempo in beats per minute (0: none).
EMSCRIPTEN_KEEPALIVE void tamblin_set_tempo(float bpm) {
  if (gInstrument) gInstrument->setTempo(bpm);
}

// A MIDI message acting on `frame` of the next render call; 0 when it cannot be queued.
EMSCRIPTEN_KEEPALIVE int tamblin_queue_midi(int frame, int status, int data1, int data2) {
  return gInstrument && gInstrument->queue(frame, status, data1, data2) ? 1 : 0;
}

// Renders `frames` frames (at most tamblin_max_render_frames()) into tamblin_left() and tamblin_right().
EMSCRIPTEN_KEEPALIVE void tamblin_render(int frames) {
  if (gInstrument) gInstrument->render(frames);
}

EMSCRIPTEN_KEEPALIVE void tamblin_set_parameter(int index, float value) {
  if (gInstrument) gInstrument->instrument.setParameter(index, value);
}
EMSCRIPTEN_KEEPALIVE float tamblin_parameter(int index) {
  return gInstrument ? gInstrument->instrument.parameter(index) : 0.0f;
}
EMSCRIPTEN_KEEPALIVE int tamblin_stored_value_count() { return tamblin::kNumStoredValues; }

// Selects a program (0..15) with its values; 0 outside the range.
EMSCRIPTEN_KEEPALIVE int tamblin_select_program(int program) {
  return gInstrument && gInstrument->instrument.selectProgram(program) ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE int tamblin_current_program() {
  return gInstrument ? gInstrument->instrument.currentProgram() : 0;
}

EMSCRIPTEN_KEEPALIVE float tamblin_gate_position() {
  return gInstrument ? gInstrument->instrument.gatePosition() : 0.0f;
}

// The parameters changed since the last call: their count, the indices in tamblin_changes().
EMSCRIPTEN_KEEPALIVE int tamblin_take_changes() { return gInstrument ? gInstrument->takeChanges() : 0; }
EMSCRIPTEN_KEEPALIVE int* tamblin_changes() { return gInstrument ? gInstrument->taken : nullptr; }

// The factory programs' names, for the page's menu (no instrument needed).
EMSCRIPTEN_KEEPALIVE int tamblin_program_count() { return tamblin::kFactoryProgramCount; }
EMSCRIPTEN_KEEPALIVE const char* tamblin_program_name(int program) {
  if (program < 0 || program >= tamblin::kFactoryProgramCount) return "";
  return tamblin::kFactoryBank[program].name;
}

}  // extern "C"
