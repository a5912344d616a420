// The instrument inside tamblin: tempo, events split at program changes, the editor's link.
#include "Player.h"

#include <array>
#include <cmath>

namespace tamblin::standalone {
namespace {

bool isProgramChange(const MidiEvent& event) { return event.size == 2 && (event.bytes[0] & 0xF0) == 0xC0; }

// Edits in the window are parameter writes; the window's lamp follows the engine's gate.
class PlayerLink final : public InstrumentLink {
 public:
  explicit PlayerLink(Player& player) : player_(player) {}
  void setParameterAutomated(int index, float value) override { player_.setParameter(index, value); }
  float gatePosition() const override { return player_.instrument().gatePosition(); }

 private:
  Player& player_;
};

}  // namespace

// JACK's rates are whole numbers; the program change applies the rate to everything derived from it.
Player::Player(float sampleRate, double tempo) : defaultTempo_(tempo) {
  instrument_.setSampleRate(std::round(sampleRate));
  instrument_.selectProgram(instrument_.currentProgram());
}

Player::~Player() { editor_.close(); }

float Player::hostTempo() {
  const double transport = transportTempo_.load(std::memory_order_relaxed);
  return tempoFromBpm(transport > 0.0 ? transport : defaultTempo_);
}

bool Player::openEditor(void* parentWindow) {
  std::array<float, kNumStoredValues> values;
  for (int i = 0; i < kNumStoredValues; ++i) values[static_cast<size_t>(i)] = instrument_.parameter(i);
  return editor_.open(parentWindow, values, std::make_unique<PlayerLink>(*this));
}

void Player::followNotes(const MidiEvent& event) {
  const uint8_t kind = event.bytes[0] & 0xF0;
  const int note = event.bytes[1] & 0x7F;
  const uint64_t bit = uint64_t{1} << (note % 64);
  if (kind == 0x90 && event.size == 3 && event.bytes[2] != 0) {
    heldNotes_[note / 64].fetch_or(bit, std::memory_order_relaxed);
  } else if ((kind == 0x80 || kind == 0x90) && event.size == 3) {
    heldNotes_[note / 64].fetch_and(~bit, std::memory_order_relaxed);
  } else if (kind == 0xB0 && event.size == 3 && (event.bytes[1] == 120 || event.bytes[1] == 123)) {
    releaseAllNotes();  // all sound off, all notes off
  }
}

void Player::render(const MidiEvent* events, int count, float* left, float* right, uint32_t frames) {
  uint32_t start = 0;
  int first = 0;
  for (int i = 0; i < count; ++i) {
    followNotes(events[i]);
    if (!isProgramChange(events[i])) continue;
    const uint32_t at = events[i].frame < frames ? events[i].frame : frames;
    renderSpan(events + first, i - first, start, left + start, right + start, at - start);
    start = at;
    first = i + 1;
    // Only the sixteen programs exist; other numbers are ignored.
    if (events[i].bytes[1] < Instrument::kNumPrograms) selectProgram(events[i].bytes[1]);
  }
  renderSpan(events + first, count - first, start, left + start, right + start, frames - start);
}

void Player::renderSpan(const MidiEvent* events, int count, uint32_t start, float* left, float* right,
                        uint32_t frames) {
  while (count > 0) {
    const int n = count < kEventsPerBatch ? count : kEventsPerBatch;
    for (int i = 0; i < n; ++i) {
      MidiMessage& message = batch_[i];
      message.deltaFrames = static_cast<int32_t>(events[i].frame - start);
      for (int b = 0; b < 4; ++b) message.bytes[b] = b < events[i].size && b < 3 ? events[i].bytes[b] : 0;
    }
    instrument_.processEvents(batch_, n);
    events += n;
    count -= n;
  }
  if (frames == 0) return;
  instrument_.render(nullptr, left, right, static_cast<int32_t>(frames));
}

void applyStart(Player& player, const std::optional<InstrumentState>& saved, const Options& options,
                const StartFiles& files) {
  if (saved) player.restore(*saved);
  if (files.bank) player.instrument().loadBank(*files.bank);
  if (options.program) player.selectProgram(*options.program);
  if (files.preset) player.instrument().loadPreset(*files.preset);
  for (const auto& [index, value] : options.parameters) player.setParameter(index, value);
}

}  // namespace tamblin::standalone
