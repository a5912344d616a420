// A host callback for tests, benchmarks and fuzzing that answers like a plain host and keeps only counts,
// and requests sent as a host sends them.
#pragma once

#include <atomic>

#include "DAEffectX.h"

namespace tamblin::test {

// A plain host at 120 beats per minute: it answers from fixed state and keeps the last automated value
// of each parameter and a few counts in atomics, so that it never allocates or locks and any thread,
// real-time sections included, may call it. Its time info marks no field valid: the tempo comes from
// the tempo request.
struct QuietHost {
  static constexpr int kParameterSlots = 128;
  static inline std::atomic<float> sampleRate{44100.0f};
  static inline std::atomic<int> automations{0};
  static inline std::atomic<int> timeRequests{0};
  static inline std::atomic<float> automated[kParameterSlots] = {};

  static VstIntPtr VSTCALLBACK callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*,
                                        float opt) {
    static VstTimeInfo time{};
    switch (opcode) {
      case audioMasterVersion: return 2400;
      case audioMasterAutomate:
        if (index >= 0 && index < kParameterSlots) automated[index].store(opt, std::memory_order_relaxed);
        automations.fetch_add(1, std::memory_order_relaxed);
        return 0;
      case audioMasterTempoAt: return 1200000;
      case audioMasterGetSampleRate: return static_cast<VstIntPtr>(sampleRate.load(std::memory_order_relaxed));
      case audioMasterGetTime:
        timeRequests.fetch_add(1, std::memory_order_relaxed);
        return reinterpret_cast<VstIntPtr>(&time);
      default: return 0;
    }
  }
};

// Sends a request through the record as a host does.
inline VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f) {
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

}  // namespace tamblin::test
