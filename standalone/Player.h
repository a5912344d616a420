// The instrument as tamblin plays it: given the sample rate and the tempo, fed MIDI events on their
// frames, read and written as a whole state, with its editor window.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "EditorSlot.h"
#include "Instrument.h"
#include "Options.h"
#include "ProgramFiles.h"
#include "State.h"

namespace tamblin::standalone {

// One complete MIDI message (1 to 3 bytes) on a frame of the block being rendered.
struct MidiEvent {
  uint32_t frame = 0;
  uint8_t size = 0;
  uint8_t bytes[3] = {};
};

class Player final : private InstrumentHost {
 public:
  // Builds the instrument at the sample rate; `tempo` is used while no transport tempo is set.
  Player(float sampleRate, double tempo);
  ~Player() override;
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // [main thread, before audio starts or while it runs]
  InstrumentState state() const { return instrument_.state(); }
  void restore(const InstrumentState& state) { instrument_.restore(state); }
  void selectProgram(int program) {
    if (instrument_.selectProgram(program)) releaseAllNotes();  // a program change ends every note
  }
  void setParameter(int index, float value) { instrument_.setParameter(index, value); }
  int currentProgram() const { return instrument_.currentProgram(); }
  std::string programName() const { return instrument_.program(currentProgram()).getName(); }
  std::string programName(int program) const { return instrument_.program(program).getName(); }
  Instrument& instrument() { return instrument_; }

  // [main thread] The editor inside `parentWindow` (an X11 window id); false when none could be made.
  bool openEditor(void* parentWindow);
  void closeEditor() { editor_.close(); }
  EditorWindow* editorWindow() const { return editor_.window(); }

  // [any thread] Whether a note-on for `note` (0..127) came and its note-off has not yet, whatever
  // played it: what the on-screen keyboard shows.
  bool noteSounds(int note) const {
    return note >= 0 && note < 128 && (heldNotes_[note / 64].load(std::memory_order_relaxed) >> (note % 64) & 1u) != 0;
  }

  // [audio thread] The tempo JACK transport gives for the next block; 0 when it gives none.
  void setTransportTempo(double bpm) { transportTempo_.store(bpm, std::memory_order_relaxed); }
  // Renders `frames` frames into left and right. Events are in frame order, every frame below
  // `frames`; a program change takes effect on its frame, everything else goes to the instrument.
  // Allocates nothing.
  void render(const MidiEvent* events, int count, float* left, float* right, uint32_t frames);

 private:
  float hostTempo() override;
  void parameterChanged(int index, float value) override { editor_.setValue(index, value); }
  void renderSpan(const MidiEvent* events, int count, uint32_t start, float* left, float* right, uint32_t frames);
  void followNotes(const MidiEvent& event);
  void releaseAllNotes() {
    for (auto& word : heldNotes_) word.store(0, std::memory_order_relaxed);
  }

  static constexpr int kEventsPerBatch = 256;

  const double defaultTempo_;
  std::atomic<double> transportTempo_{0.0};
  MidiMessage batch_[kEventsPerBatch]{};
  std::atomic<uint64_t> heldNotes_[2] = {};
  EditorSlot editor_;
  Instrument instrument_{*this};
};

// The instrument as tamblin starts it: the saved state (when there is one), the bank file, the program,
// the program file and the parameters of the command line, in this order.
void applyStart(Player& player, const std::optional<InstrumentState>& saved, const Options& options,
                const StartFiles& files = {});

}  // namespace tamblin::standalone
