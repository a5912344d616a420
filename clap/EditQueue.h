// Edits made in the editor window on the main thread, waiting for the audio thread (or flush) to apply
// and report them: a fixed ring with one writer and one reader, no locks and no allocation.
#pragma once

#include <atomic>
#include <cstdint>

namespace tamblin::clap {

struct Edit {
  int index = 0;
  float value = 0.0f;
  bool applied = false;  // already stored (made while the plug-in was inactive): only to report
};

class EditQueue {
 public:
  static constexpr uint32_t kCapacity = 512;  // far more than a hand on a mouse makes between blocks

  // [main thread] False when full.
  bool push(const Edit& edit) {
    const uint32_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) >= kCapacity) return false;
    slots_[tail % kCapacity] = edit;
    tail_.store(tail + 1, std::memory_order_release);
    return true;
  }
  // [the reader] False when empty.
  bool pop(Edit& edit) {
    const uint32_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return false;
    edit = slots_[head % kCapacity];
    head_.store(head + 1, std::memory_order_release);
    return true;
  }

 private:
  Edit slots_[kCapacity];
  std::atomic<uint32_t> head_{0}, tail_{0};
};

}  // namespace tamblin::clap
