// The on-screen keyboard: three octaves of keys, shifted an octave at a time, played with the pointer,
// showing every note that sounds whatever plays it.
#pragma once

#include <functional>
#include <string>

#include "Canvas.h"
#include "NoteSink.h"

namespace tamblin::standalone {

class PianoKeys {
 public:
  static constexpr int kOctaves = 3;
  static constexpr int kWhiteKeys = 7 * kOctaves;
  static constexpr int kWhiteWidth = 22;
  static constexpr int kBlackWidth = 14;
  static constexpr int kDefaultLowest = 48;  // C3
  static constexpr int kHighestLowest = (128 - 12 * kOctaves) / 12 * 12;  // the last C whose keys all exist

  // The keys fill `area` from its left edge (kWhiteKeys x kWhiteWidth wide); black keys take the upper
  // 60 % of it.
  explicit PianoKeys(const Rect& area) : area_(area) {}

  const Rect& area() const { return area_; }
  int lowestNote() const { return lowest_; }
  // Moves the keys an octave down (-1) or up (+1) while notes stay in 0..127.
  void shiftOctave(int by);

  // The note of the key at (x, y), -1 for none.
  int noteAt(int x, int y) const;
  // A press starts the note under the pointer; moving with it held glides from key to key (the old
  // note ends before the new one starts); the release ends it.
  void press(int x, int y, int velocity, NoteSink& sink);
  void drag(int x, int y, int velocity, NoteSink& sink);
  void release(NoteSink& sink);
  int playing() const { return playing_; }

  // Paints the keys into `image` at their area; a key whose note `sounds` is lit.
  void paint(Image& image, const std::function<bool(int)>& sounds) const;

 private:
  Rect area_;
  int lowest_ = kDefaultLowest;
  int playing_ = -1;
};

// Whether a note is a black key.
bool isBlackKey(int note);

}  // namespace tamblin::standalone
