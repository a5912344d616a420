// Messages from a thread that is not JACK's, stamped with JACK's frame clock on arrival and taken by
// the audio thread block by block: one writer, one reader, no lock, nothing allocated.
#pragma once

#include <atomic>
#include <cstdint>

#include "Player.h"

namespace tamblin::standalone {

class MidiQueue {
 public:
  static constexpr uint32_t kCapacity = 1024;  // a power of two

  // [writer] False when the queue is full (the reader has stopped taking): the message is dropped.
  bool push(uint32_t time, const MidiEvent& event) {
    const uint32_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) >= kCapacity) return false;
    slots_[head & (kCapacity - 1)] = {time, event};
    head_.store(head + 1, std::memory_order_release);
    return true;
  }

  // [reader] Moves the messages that arrived before `cycleStart` into `out`, each on the frame of the
  // previous block at which it arrived, so they keep their spacing one block late; older ones go on
  // frame 0. Messages of the running block wait for the next one. Answers the count.
  int take(MidiEvent* out, int capacity, uint32_t cycleStart, uint32_t frames) {
    uint32_t tail = tail_.load(std::memory_order_relaxed);
    const uint32_t head = head_.load(std::memory_order_acquire);
    const uint32_t previousStart = cycleStart - frames;
    int count = 0;
    while (tail != head && count < capacity) {
      const Slot& slot = slots_[tail & (kCapacity - 1)];
      if (static_cast<int32_t>(slot.time - cycleStart) >= 0) break;
      const int32_t offset = static_cast<int32_t>(slot.time - previousStart);
      out[count] = slot.event;
      out[count].frame = offset < 0 ? 0u : static_cast<uint32_t>(offset);
      ++count;
      ++tail;
    }
    tail_.store(tail, std::memory_order_release);
    return count;
  }

 private:
  struct Slot {
    uint32_t time;
    MidiEvent event;
  };
  Slot slots_[kCapacity] = {};
  std::atomic<uint32_t> head_{0};
  std::atomic<uint32_t> tail_{0};
};

}  // namespace tamblin::standalone
