// Key geometry, pointer play and painting of the on-screen keyboard.
#include "PianoKeys.h"

#include <algorithm>

#include "Drawing.h"

namespace tamblin::standalone {
namespace {

constexpr Color kLitWhite{120, 230, 130};
constexpr Color kLitBlack{30, 150, 50};
constexpr Color kKeyOutline{60, 60, 60};
// The white key each semitone of an octave stands on, and for black keys the one left of it.
constexpr int kWhiteOf[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};

int blackHeight(const Rect& area) { return area.height() * 6 / 10; }

}  // namespace

bool isBlackKey(int note) {
  const int semitone = ((note % 12) + 12) % 12;
  return semitone == 1 || semitone == 3 || semitone == 6 || semitone == 8 || semitone == 10;
}

void PianoKeys::shiftOctave(int by) { lowest_ = std::clamp(lowest_ + 12 * by, 0, kHighestLowest); }

// A black key's rectangle: centred on the edge between its two white keys.
static Rect blackKeyRect(const Rect& area, int whiteIndex) {
  const int edge = area.left + (whiteIndex + 1) * PianoKeys::kWhiteWidth;
  return {edge - PianoKeys::kBlackWidth / 2, area.top, edge + PianoKeys::kBlackWidth / 2, area.top + blackHeight(area)};
}

int PianoKeys::noteAt(int x, int y) const {
  if (x < area_.left || y < area_.top || y >= area_.bottom || x >= area_.left + kWhiteKeys * kWhiteWidth) return -1;
  const int white = (x - area_.left) / kWhiteWidth;
  // Black keys lie over the white ones: they are looked at first.
  if (y < area_.top + blackHeight(area_)) {
    for (int note = lowest_; note < lowest_ + 12 * kOctaves; ++note) {
      if (!isBlackKey(note)) continue;
      const int index = 7 * ((note - lowest_) / 12) + kWhiteOf[(note - lowest_) % 12];
      const Rect r = blackKeyRect(area_, index);
      if (x >= r.left && x < r.right) return note;
    }
  }
  static constexpr int kSemitoneOfWhite[7] = {0, 2, 4, 5, 7, 9, 11};
  return lowest_ + 12 * (white / 7) + kSemitoneOfWhite[white % 7];
}

void PianoKeys::press(int x, int y, int velocity, NoteSink& sink) {
  release(sink);
  const int note = noteAt(x, y);
  if (note < 0 || note > 127) return;
  playing_ = note;
  sink.send(0x90, static_cast<uint8_t>(note), static_cast<uint8_t>(std::clamp(velocity, 1, 127)));
}

void PianoKeys::drag(int x, int y, int velocity, NoteSink& sink) {
  if (playing_ < 0) return;
  const int note = noteAt(x, y);
  if (note == playing_) return;
  release(sink);
  if (note >= 0 && note <= 127) {
    playing_ = note;
    sink.send(0x90, static_cast<uint8_t>(note), static_cast<uint8_t>(std::clamp(velocity, 1, 127)));
  }
}

void PianoKeys::release(NoteSink& sink) {
  if (playing_ < 0) return;
  sink.send(0x80, static_cast<uint8_t>(playing_), 0);
  playing_ = -1;
}

void PianoKeys::paint(Image& image, const std::function<bool(int)>& sounds) const {
  for (int white = 0; white < kWhiteKeys; ++white) {
    static constexpr int kSemitoneOfWhite[7] = {0, 2, 4, 5, 7, 9, 11};
    const int note = lowest_ + 12 * (white / 7) + kSemitoneOfWhite[white % 7];
    const Rect r{area_.left + white * kWhiteWidth, area_.top, area_.left + (white + 1) * kWhiteWidth + 1, area_.bottom};
    image.fillRect(r, sounds(note) ? kLitWhite : kWhite);
    image.frameRect(r, kKeyOutline);
    if (white % 7 == 0) {
      std::string name = std::to_string(note / 12 - 1);
      name.insert(name.begin(), 'C');
      const Font font{7.0f, false};
      image.textOut(r.left + (kWhiteWidth - textWidth(name, font)) / 2, r.bottom - font.lineHeight() - 2, name, font,
                    kPanelColor);
    }
  }
  for (int note = lowest_; note < lowest_ + 12 * kOctaves; ++note) {
    if (!isBlackKey(note)) continue;
    const int index = 7 * ((note - lowest_) / 12) + kWhiteOf[(note - lowest_) % 12];
    const Rect r = blackKeyRect(area_, index);
    image.fillRect(r, sounds(note) ? kLitBlack : kBlack);
    image.frameRect(r, kKeyOutline);
  }
}

}  // namespace tamblin::standalone
