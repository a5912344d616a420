// The event batch a VST 2 host hands over with effProcessEvents, built for tests, benchmarks and fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "DAEffectX.h"
#include "support/GoldenPhrase.h"

namespace tamblin::test {

// A VstEvents record with its pointers inline and room for `capacity` events, and MIDI events of its
// own behind them. The record is exactly as large as `capacity` slots need, so that a read past the
// last slot shows under the address sanitizer. Once made it never allocates: real-time sections may
// fill and send it.
class EventBatch {
 public:
  explicit EventBatch(size_t capacity = 256)
      : record_(offsetof(VstEvents, events) + capacity * sizeof(VstEvent*)), midi_(capacity + 1) {}
  // Moved, the slots still point at the events; a copy's would point at the original's.
  EventBatch(EventBatch&&) = default;
  EventBatch(const EventBatch&) = delete;

  // The messages of `messages` that fall in the block of `frames` frames from `start`, each at its
  // frame in the block.
  static EventBatch inBlock(const std::vector<TimedMessage>& messages, int start, int frames) {
    EventBatch batch;
    for (const TimedMessage& m : messages)
      if (m.frame >= start && m.frame < start + frames)
        batch.add(m.status, m.data1, m.data2, m.frame - start);
    return batch;
  }

  // Adds a MIDI message `delta` frames into the block; answers its event for further changes. A full
  // batch takes no more: the answer then is a spare event that is not sent.
  VstMidiEvent& add(uint8_t status, uint8_t data1, uint8_t data2, int32_t delta = 0) {
    VstMidiEvent& m = midi_[static_cast<size_t>(size() < capacity() ? size() : capacity())];
    m = VstMidiEvent{};
    m.type = kVstMidiType;
    m.byteSize = sizeof(VstMidiEvent);
    m.deltaFrames = delta;
    m.midiData[0] = static_cast<char>(status);
    m.midiData[1] = static_cast<char>(data1);
    m.midiData[2] = static_cast<char>(data2);
    add(reinterpret_cast<VstEvent*>(&m));
    return m;
  }
  // Adds an event of any kind, or an empty slot.
  void add(VstEvent* event) {
    if (size() < capacity()) slots()[count()++] = event;
  }

  VstEvents* get() { return reinterpret_cast<VstEvents*>(record_.data()); }
  int size() const { return *reinterpret_cast<const VstInt32*>(record_.data()); }
  int capacity() const { return static_cast<int>(midi_.size()) - 1; }
  void clear() { count() = 0; }

  // Hands the batch to the instrument as a host does, and empties it.
  void send(AEffect* effect) {
    effect->dispatcher(effect, effProcessEvents, 0, 0, get(), 0.0f);
    clear();
  }

 private:
  // The record's fields reached by their offsets: the record may be shorter than VstEvents declares.
  VstInt32& count() { return *reinterpret_cast<VstInt32*>(record_.data()); }
  VstEvent** slots() { return reinterpret_cast<VstEvent**>(record_.data() + offsetof(VstEvents, events)); }
  static_assert(offsetof(VstEvents, numEvents) == 0);

  std::vector<unsigned char> record_;
  std::vector<VstMidiEvent> midi_;  // one per slot, and the spare
};

}  // namespace tamblin::test
