// The frame clocks and the three ticks around the voices, for both render paths (Ticks.cpp).
#pragma once

#include <cstdint>

#include "Engine.h"
#include "EngineRecord.h"
#include "VoiceKernels.h"

namespace tamblin::stages {

constexpr int32_t kControlTick = 16;      // envelopes, pitch, filter coefficients, LFO values
constexpr int32_t kCoefficientTick = 64;  // parameter-derived coefficients
constexpr int32_t kHostTick = 1024;       // the host's tempo

// The frame counter after `frames` more frames, wrapping as the counter does.
inline uint32_t counterAfter(int32_t counter, int32_t frames) {
  return static_cast<uint32_t>(counter) + static_cast<uint32_t>(frames);
}

// One frame's clocks, before its voices: the history rotation, the host tick (on the frame whose counter
// before its increment is a multiple of kHostTick), the frame counter, the gate and the arpeggiator clock.
void frameClocks(EngineRecord& r, EngineHost& host);
// The ticks that fall on the frame frameClocks has just counted: the coefficient tick, the control
// tick's LFO values (in the kernels' lanes where `kernels` is given) and the voice count. True on a
// control tick, whose voice updates are the caller's.
bool frameTicks(EngineRecord& r, const kernels::VoiceKernels* kernels);
// The clocks of `frames` frames that no voice reads, as frameClocks would move them frame by frame; the
// arpeggiator clock only with `arpeggiator` (whose steps end a run, so none starts among them).
void advanceClocks(EngineRecord& r, EngineHost& host, int32_t frames, bool arpeggiator);

}  // namespace tamblin::stages
