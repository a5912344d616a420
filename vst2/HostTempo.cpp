// The VST 2 host's two tempo answers made into the engine's one.
#include "HostTempo.h"

#include <cmath>

namespace tamblin::vst2 {

float reconcileTempo(double reported, int32_t answer) {
  float tempo = static_cast<float>(answer) / 10000.0f;
  const bool reportedValid = reported >= 1.0 && reported <= 1.0e6;
  if (reportedValid && !(tempo >= 1.0f && std::fabs(static_cast<double>(tempo) - reported) <= 0.01 * reported)) {
    tempo = static_cast<float>(reported);
  }
  return tempo >= 1.0f ? tempo : 0.0f;
}

}  // namespace tamblin::vst2
