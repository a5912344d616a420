// Sine, cosine and exponential in plain double arithmetic, so that every platform and every CPU gives
// the same bits (a C library may pick a different routine per CPU, and differs between systems).
//
// The engine rounds these results to float, so a result a few double units off would round to the
// other float whenever the true value lies next to a float rounding boundary (a few times in a billion
// arguments, but certainly somewhere in a long render). The routines therefore carry the reduced
// argument and the leading terms of each series as an unevaluated sum of two doubles (exact products by
// Dekker's splitting, exact sums by Knuth's two-sum, no fused multiply-add needed) and round once at the
// end: the result is within about 0.51 units in the last place of a double, so its float is the float of
// the correctly rounded double except where the true value lies within 1/100 of a double unit of a float
// rounding boundary.
//
// Argument reduction subtracts k x (pi/2) in six pieces of at most 20 bits, so each product is exact for
// |k| < 2^33 (arguments up to about 1.3e10, beyond what the engine's LFOs reach); together they hold
// pi/2 to about 126 bits, so that even a result near a zero of the sine keeps its precision.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "TranscendentalConstants.h"

namespace tamblin::detmath {

// Accurate to about 0.51 units of a double (Transcendental.cpp).
double sin(double x);
double cos(double x);
double exp(double x);

namespace detail {

// Horner steps of the Taylor series in z = r^2, shared by the quick and the accurate kernels.
// Sine: from the 1/17! coefficient p down to 1/5!.
inline double sineSeriesToFifth(double p, double z) {
  p = p * z - kInverseFactorial[15];
  p = p * z + kInverseFactorial[13];
  p = p * z - kInverseFactorial[11];
  p = p * z + kInverseFactorial[9];
  p = p * z - kInverseFactorial[7];
  return p * z + kInverseFactorial[5];
}

// Cosine: from 1/18! down to 1/6!.
inline double cosineSeriesToSixth(double z) {
  double p = kInverseFactorial[18];
  p = p * z - kInverseFactorial[16];
  p = p * z + kInverseFactorial[14];
  p = p * z - kInverseFactorial[12];
  p = p * z + kInverseFactorial[10];
  p = p * z - kInverseFactorial[8];
  return p * z + kInverseFactorial[6];
}

// sin and cos of r for |r| <= pi/4 (a little beyond is fine) in plain doubles, within 2 units of a double:
// the kernels of the quick float entries below.
inline double quickSinKernel(double r) {
  const double z = r * r;
  double p = sineSeriesToFifth(kInverseFactorial[17], z);
  p = p * z - kInverseFactorial[3];
  return r + r * z * p;
}

inline double quickCosKernel(double r) {
  const double z = r * r;
  double p = cosineSeriesToSixth(z);
  p = p * z - kInverseFactorial[4];
  p = p * z + kInverseFactorial[2];
  return 1.0 - z * p;
}

// True when a quick result y (within a few hundred double units of the true value) might round to
// another float than the accurate one: y lies within 4096 double units of a float rounding boundary (the
// low 29 of its 52 fraction bits near 2^28), or below 2^minExponent.
inline bool nearFloatBoundary(double y, int64_t minExponent) {
  uint64_t bits;
  std::memcpy(&bits, &y, sizeof bits);
  const int64_t exponent = static_cast<int64_t>((bits >> 52) & 0x7FF);
  if (exponent < 1023 + minExponent) return true;
  const int64_t belowFloat = static_cast<int64_t>(bits & ((uint64_t{1} << 29) - 1));
  const int64_t distance = belowFloat - (int64_t{1} << 28);
  return distance >= -4096 && distance <= 4096;
}

// The float of the accurate sin (quarterTurns 0) or cos (1) of x, cheaply. The quick path reduces in
// plain doubles (the first subtraction is exact, the two others round by at most 2^-54 each, so the
// reduced argument is off by less than 2^-52) and runs the plain kernels (within 2 double units). For a
// result of at least 1/256 that is under 1000 double units of the result, so unless the result lies
// within 4096 units of a float rounding boundary it rounds to the same float as the accurate one.
// Otherwise (about one argument in 400, nearly all of them results below 1/256) the accurate routine
// decides.
inline float sinQuadrantToFloat(double x, int64_t quarterTurns) {
  if (!(std::fabs(x) < 1.0e15)) return static_cast<float>(x - x);
  double r = x;
  int64_t quadrant = quarterTurns & 3;
  if (std::fabs(x) > kPiOver4) {
    const double k = (x * kTwoOverPi + kShift) - kShift;
    // The small pieces are summed apart (their rounding is far below 2^-54), so that only three
    // subtractions stand in a row.
    const double small =
        k * kPiOver2Pieces[2] + (k * kPiOver2Pieces[3] + (k * kPiOver2Pieces[4] + k * kPiOver2Pieces[5]));
    r = ((x - k * kPiOver2Pieces[0]) - k * kPiOver2Pieces[1]) - small;
    quadrant = (static_cast<int64_t>(k) + quarterTurns) & 3;
  }
  double y;
  switch (quadrant) {
    case 0:
      y = quickSinKernel(r);
      break;
    case 1:
      y = quickCosKernel(r);
      break;
    case 2:
      y = -quickSinKernel(r);
      break;
    default:
      y = -quickCosKernel(r);
      break;
  }
  if (!nearFloatBoundary(y, -8)) [[likely]]
    return static_cast<float>(y);
  return static_cast<float>(quarterTurns == 0 ? detmath::sin(x) : detmath::cos(x));
}

}  // namespace detail

// The float nearest the correctly rounded double sine and cosine (see the top of this file).
inline float sinToFloat(double x) { return detail::sinQuadrantToFloat(x, 0); }
inline float cosToFloat(double x) { return detail::sinQuadrantToFloat(x, 1); }

// e^x rounded to float, cheaply: the plain-double evaluation below is within 2 double units of the true
// value, so unless it lies within 4096 units of a float rounding boundary (or below the float normal
// range) it rounds to the same float as the accurate exp, which decides otherwise.
inline float expToFloat(double x) {
  if (x != x) return static_cast<float>(x);
  if (x > 709.7) return static_cast<float>(HUGE_VAL);
  if (x < -745.2) return 0.0f;
  const double k = (x * kInverseLn2 + kShift) - kShift;
  const double r = (x - k * kLn2High) - k * kLn2Low;
  double p = kInverseFactorial[13];
  p = p * r + kInverseFactorial[12];
  p = p * r + kInverseFactorial[11];
  p = p * r + kInverseFactorial[10];
  p = p * r + kInverseFactorial[9];
  p = p * r + kInverseFactorial[8];
  p = p * r + kInverseFactorial[7];
  p = p * r + kInverseFactorial[6];
  p = p * r + kInverseFactorial[5];
  p = p * r + kInverseFactorial[4];
  p = p * r + kInverseFactorial[3];
  p = p * r + kInverseFactorial[2];
  p = p * r + kInverseFactorial[1];
  p = p * r + kInverseFactorial[0];
  const int64_t exponent = static_cast<int64_t>(k);
  if (exponent >= -1021 && exponent <= 1023) {
    const uint64_t bits = static_cast<uint64_t>(exponent + 1023) << 52;
    double scale;
    std::memcpy(&scale, &bits, sizeof scale);
    const double y = p * scale;
    if (!detail::nearFloatBoundary(y, -125)) [[likely]]
      return static_cast<float>(y);
  }
  return static_cast<float>(exp(x));
}

}  // namespace tamblin::detmath
