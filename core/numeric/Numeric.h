// The engine's numeric helpers, with the exact constants and rounding the sound is defined by.
//
// Arithmetic model: every engine operation is a 32-bit float operation in the order written, with float
// constants; the exceptions are computed in double from the float operands and rounded to float once:
// the transcendental functions (their argument included, with the decimal constants as doubles), the
// subtraction inside floorInt, and every expression that holds the frame counter.
#pragma once

#include <cmath>
#include <cstdint>

#include "Transcendental.h"

namespace tamblin {

// Round to nearest, ties to even, for |d| < 2^51: adding kShift (1.5 x 2^52) leaves no fraction bits, and
// the default rounding mode does the rest. Exact, and much cheaper than nearbyint's environment handling.
inline double roundHalfEven(double d) { return (d + detmath::kShift) - detmath::kShift; }

// x - 0.4999999 in double, rounded to the nearest integer with ties to even: floor(x), except that a
// value less than 1e-7 below an integer gives that integer. Saturates instead of overflowing.
inline int64_t floorInt64(float x) {
  if (!(std::fabs(x) < 1125899906842624.0f)) {  // 2^50 and beyond, floats are whole numbers
    if (x != x) return 0;
    if (x >= 9.0e18f) return INT64_MAX;
    if (x <= -9.0e18f) return INT64_MIN;
    return static_cast<int64_t>(x);
  }
  return static_cast<int64_t>(roundHalfEven(static_cast<double>(x) - 0.4999999));
}

inline int32_t floorInt(float x) {
  if (!(std::fabs(x) <= 2147483520.0f)) {  // beyond the largest float below 2^31: saturate
    if (x != x) return 0;
    return x > 0.0f ? INT32_MAX : INT32_MIN;
  }
  return static_cast<int32_t>(roundHalfEven(static_cast<double>(x) - 0.4999999));
}

// The bits of a float, for comparisons that tell -0 from +0 and see a NaN equal to itself.
inline uint32_t floatBits(float x) {
  uint32_t bits;
  __builtin_memcpy(&bits, &x, sizeof bits);
  return bits;
}

inline float signOf(float x) { return x < 0.0f ? -1.0f : (x > 0.0f ? 1.0f : 0.0f); }

inline float pow2(float x) { return detmath::expToFloat(0.6931472 * static_cast<double>(x)); }

inline float pow10(float x) { return detmath::expToFloat(2.302585 * static_cast<double>(x)); }

// Unity slope 1.5 at 0, reaching exactly +-1 at |x| = 1 and staying there.
inline float softClip(float x) {
  const float a = std::fabs(x);
  const float s = a > 1.0f ? 1.0f : (3.0f * a - a * a) / 2.0f;
  return signOf(x) * s;
}

// A level in decibels (value x range - offset) as a gain; value 0 is silence.
inline float dbGain(float value, float range, float offset) {
  if (value == 0.0f) return 0.0f;
  return pow10((value * range - offset) / 20.0f);
}

inline float clamp10(float x) {
  const float y = x + 1e-15f;
  if (y < -10.0f) return -10.0f;
  if (y > 10.0f) return 10.0f;
  return y;
}

// Sine and cosine of a double argument (the platform-independent routines), rounded to float once.
inline float sinRounded(double argument) { return detmath::sinToFloat(argument); }
inline float cosRounded(double argument) { return detmath::cosToFloat(argument); }

// A choice parameter with N choices, read through its factor N - 0.01 (e.g. 7.99 for 8 choices).
inline int32_t choiceOf(float value, float factor) { return floorInt(value * factor); }

}  // namespace tamblin
