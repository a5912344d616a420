// The voice kernels' quick transcendental lanes (and the computed ramp) over arrays, so that the tests can hold each build of
// them (SSE2, AVX2) to the one-lane routines over millions of arguments.
#pragma once

#include <cstdint>

namespace tamblin::kernels {

enum class LaneRoutine {
  Exp,       // detmath::expToFloat(x)
  Sin,       // detmath::sinToFloat(x)
  Cos,       // detmath::cosToFloat(x)
  RingSine,  // the ring modulator's sinRounded(6.28318 x phase), x taken as the float phase
  RingWrap,  // the ring modulator's phase - floorInt(phase), x taken as a float from a hair below 0 to 1.5
  Ramp,      // point x (a whole number 0..4095) of wave table 0 as the oscillators compute it
};

// results[i] is the routine at arguments[i]; returns how many arguments the quick lanes left to the
// one-lane routine (0 for RingWrap and Ramp).
using LaneMath = int64_t (*)(LaneRoutine routine, const double* arguments, float* results, int count);

LaneMath baselineLaneMath();
LaneMath avx2LaneMath();  // null where the build has no AVX2 kernels or the processor cannot run them

}  // namespace tamblin::kernels
