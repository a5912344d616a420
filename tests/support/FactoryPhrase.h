// The golden phrase as events in blocks, and the golden line of a render: the hash of every sample and
// a few exact spot samples. Shared by the in-process render tests and the host check that loads the
// plug-in library (on Linux and, under Wine, on Windows).
#pragma once

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "DAEffectX.h"
#include "support/GoldenPhrase.h"

namespace tamblin::test {

constexpr int kPhraseBlock = 1000;  // frames per block of the golden renders
constexpr int kSpotFrames[] = {1000, 6000, 20000, 40000, 55000};

inline VstMidiEvent midiEvent(uint8_t status, uint8_t data1, uint8_t data2, int32_t deltaFrames = 0) {
  VstMidiEvent e{};
  e.type = kVstMidiType;
  e.byteSize = sizeof(VstMidiEvent);
  e.deltaFrames = deltaFrames;
  e.midiData[0] = static_cast<char>(status);
  e.midiData[1] = static_cast<char>(data1);
  e.midiData[2] = static_cast<char>(data2);
  return e;
}

// The messages that fall in the block of `frames` frames from `start`, each at its frame in the block.
inline std::vector<VstMidiEvent> eventsInBlock(const std::vector<TimedMessage>& messages, int start,
                                               int frames) {
  std::vector<VstMidiEvent> events;
  for (const TimedMessage& m : messages) {
    if (m.frame >= start && m.frame < start + frames)
      events.push_back(midiEvent(m.status, m.data1, m.data2, m.frame - start));
  }
  return events;
}

// A VstEvents record pointing at the events, which must outlive it.
class EventBatch {
 public:
  explicit EventBatch(std::vector<VstMidiEvent>& events)
      : storage_(sizeof(VstEvents) + events.size() * sizeof(VstEvent*)) {
    auto* batch = get();
    batch->numEvents = static_cast<VstInt32>(events.size());
    for (size_t i = 0; i < events.size(); ++i) batch->events[i] = reinterpret_cast<VstEvent*>(&events[i]);
  }
  VstEvents* get() { return reinterpret_cast<VstEvents*>(storage_.data()); }

 private:
  std::vector<char> storage_;
};

struct Render {
  std::vector<float> left, right;
};

inline uint32_t bitsOf(float x) {
  uint32_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

inline uint64_t hashOf(const Render& r) { return samplesHash(r.left, r.right); }

// One line per program: index, hash, then left/right bit patterns at the spot frames.
inline std::string goldenLine(int program, const Render& r) {
  std::ostringstream line;
  char text[32];
  std::snprintf(text, sizeof text, "%016" PRIx64, hashOf(r));
  line << program << ' ' << text;
  for (int frame : kSpotFrames) {
    std::snprintf(text, sizeof text, " %08x:%08x", bitsOf(r.left[frame]), bitsOf(r.right[frame]));
    line << text;
  }
  return line.str();
}

}  // namespace tamblin::test
