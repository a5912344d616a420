// Letters to notes, and the keys that change octave and velocity.
#include "ComputerKeyboard.h"

#include <algorithm>
#include <cstring>

namespace tamblin::standalone {

int semitoneOfKey(char symbol) {
  // The lower row holds the white keys, the upper row the black ones between them.
  static constexpr char kKeys[] = "awsedftgyhujkolp";
  if (symbol == '\0') return -1;
  const char* at = std::strchr(kKeys, symbol);
  return at == nullptr ? -1 : static_cast<int>(at - kKeys);
}

bool ComputerKeyboard::press(int keyCode, char symbol, NoteSink& sink) {
  const bool ours = symbol != '\0' && (semitoneOfKey(symbol) >= 0 || std::strchr("zxcv", symbol) != nullptr);
  if (!ours || keyCode < 0 || keyCode >= kKeyCodes) return false;
  const auto at = static_cast<size_t>(keyCode);
  if (down_[at]) return true;  // the key repeats while held: nothing more
  down_[at] = true;
  switch (symbol) {
    case 'z':
      octave_ = std::max(kMinOctave, octave_ - 1);
      return true;
    case 'x':
      octave_ = std::min(kMaxOctave, octave_ + 1);
      return true;
    case 'c':
      velocity_ = std::max(1, velocity_ - kVelocityStep);
      return true;
    case 'v':
      velocity_ = std::min(127, velocity_ + kVelocityStep);
      return true;
    default:
      break;
  }
  const int note = lowestNote() + semitoneOfKey(symbol);
  if (note > 127) return true;
  playing_[at] = static_cast<int16_t>(note);
  sink.send(0x90, static_cast<uint8_t>(note), static_cast<uint8_t>(velocity_));
  return true;
}

void ComputerKeyboard::release(int keyCode, NoteSink& sink) {
  if (keyCode < 0 || keyCode >= kKeyCodes) return;
  const auto at = static_cast<size_t>(keyCode);
  down_[at] = false;
  if (playing_[at] < 0) return;
  sink.send(0x80, static_cast<uint8_t>(playing_[at]), 0);
  playing_[at] = -1;
}

void ComputerKeyboard::releaseAll(NoteSink& sink) {
  for (int code = 0; code < kKeyCodes; ++code) release(code, sink);
}

}  // namespace tamblin::standalone
