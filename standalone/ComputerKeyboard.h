// The computer keyboard as a piano, in the two-row layout most programs use: A W S E D F T G Y H U J K
// (O L P) play C to C' (to D#'), Z and X move the octave down and up, C and V the velocity.
#pragma once

#include <array>
#include <cstdint>

#include "NoteSink.h"

namespace tamblin::standalone {

class ComputerKeyboard {
 public:
  static constexpr int kDefaultOctave = 4;  // A plays C4, MIDI note 60
  static constexpr int kMinOctave = -1, kMaxOctave = 8;
  static constexpr int kDefaultVelocity = 100;
  static constexpr int kVelocityStep = 16;

  // A key went down: `keyCode` tells the key again at its release, `symbol` is its unshifted character
  // (a lowercase letter; anything else does nothing). True when the key is one of the keyboard's. A
  // key already down (a repeat) sends nothing.
  bool press(int keyCode, char symbol, NoteSink& sink);
  // The key went up: the note it started ends, whatever the octave is now.
  void release(int keyCode, NoteSink& sink);
  // Every note still held ends (the window lost the keyboard).
  void releaseAll(NoteSink& sink);

  int octave() const { return octave_; }
  int velocity() const { return velocity_; }
  // The note A plays.
  int lowestNote() const { return 12 * (octave_ + 1); }

 private:
  static constexpr int kKeyCodes = 256;
  std::array<int16_t, kKeyCodes> playing_ = filled(-1);  // the note each key started, -1 for none
  std::array<bool, kKeyCodes> down_{};
  int octave_ = kDefaultOctave;
  int velocity_ = kDefaultVelocity;

  static constexpr std::array<int16_t, kKeyCodes> filled(int16_t value) {
    std::array<int16_t, kKeyCodes> a{};
    a.fill(value);
    return a;
  }
};

// The semitone above the keyboard's lowest note that `symbol` plays, -1 for none.
int semitoneOfKey(char symbol);

}  // namespace tamblin::standalone
