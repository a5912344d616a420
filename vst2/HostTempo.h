// The tempo a VST 2 host gives: two answers (the tempo request and the time info) made into one.
#pragma once

#include <cstdint>

namespace tamblin::vst2 {

// The tempo is the tempo request's answer / 10000. Hosts that leave that request unanswered (0), or
// answer it in another scale, still report their tempo in the time info: where the time info marks a
// tempo valid (`reported`, 0 when it marks none) and the answer is missing or more than 1 % away from
// it, the time info's tempo counts. Nothing valid at all: 0, which the engine plays as 120.
float reconcileTempo(double reported, int32_t answer);

}  // namespace tamblin::vst2
