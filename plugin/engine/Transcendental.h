// Sine, cosine and exponential in plain double arithmetic, so that every platform and every CPU gives
// the same bits (a C library may pick a different routine per CPU, and differs between systems).
//
// Argument reduction subtracts k x (pi/2) in five 20-bit pieces, so each product is exact for |k| < 2^33
// (arguments up to about 1.3e10, far beyond what the engine's LFOs reach); the reduced argument is then
// fed to Taylor polynomials whose truncation error is far below a double's precision. Accuracy is a few
// units in the last place of a double: ample for results that are rounded to float.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace tamblin::detmath {

namespace detail {

constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kPiOver2Pieces[5] = {0x1.921fap+0, 0x1.54442p-20, 0x1.a308cp-41, 0x1.31318p-61, 0x1.8a2ep-81};
constexpr double kShift = 6755399441055744.0;  // 1.5 x 2^52: adding it rounds to an integer, ties to even

// sin(r) for |r| <= pi/4 (a little beyond is fine): odd Taylor terms up to r^17.
inline double sinKernel(double r) {
  const double r2 = r * r;
  double p = 1.0 / 355687428096000.0;  // 1/17!
  p = p * r2 - 1.0 / 1307674368000.0;  // 1/15!
  p = p * r2 + 1.0 / 6227020800.0;     // 1/13!
  p = p * r2 - 1.0 / 39916800.0;       // 1/11!
  p = p * r2 + 1.0 / 362880.0;         // 1/9!
  p = p * r2 - 1.0 / 5040.0;           // 1/7!
  p = p * r2 + 1.0 / 120.0;            // 1/5!
  p = p * r2 - 1.0 / 6.0;              // 1/3!
  return r + r * r2 * p;
}

// cos(r) for |r| <= pi/4: even Taylor terms up to r^18.
inline double cosKernel(double r) {
  const double r2 = r * r;
  double p = 1.0 / 6402373705728000.0;  // 1/18!
  p = p * r2 - 1.0 / 20922789888000.0;  // 1/16!
  p = p * r2 + 1.0 / 87178291200.0;     // 1/14!
  p = p * r2 - 1.0 / 479001600.0;       // 1/12!
  p = p * r2 + 1.0 / 3628800.0;         // 1/10!
  p = p * r2 - 1.0 / 40320.0;           // 1/8!
  p = p * r2 + 1.0 / 720.0;             // 1/6!
  p = p * r2 - 1.0 / 24.0;              // 1/4!
  p = p * r2 + 0.5;
  return 1.0 - r2 * p;
}

// sin(x + quarterTurns x pi/2).
inline double sinQuadrant(double x, int64_t quarterTurns) {
  if (!(std::fabs(x) < 1.0e15)) return x - x;  // NaN for infinity and NaN; never reached by the engine
  if (std::fabs(x) <= 0.78539816339744828) {  // nothing to reduce: the same bits as with k = 0 below
    return quarterTurns == 0 ? sinKernel(x) : cosKernel(x);
  }
  const double k = (x * kTwoOverPi + kShift) - kShift;
  double r = x;
  for (double piece : kPiOver2Pieces) r -= k * piece;
  const int64_t quadrant = (static_cast<int64_t>(k) + quarterTurns) & 3;
  switch (quadrant) {
    case 0: return sinKernel(r);
    case 1: return cosKernel(r);
    case 2: return -sinKernel(r);
    default: return -cosKernel(r);
  }
}

}  // namespace detail

inline double sin(double x) { return detail::sinQuadrant(x, 0); }
inline double cos(double x) { return detail::sinQuadrant(x, 1); }

// e^x: x = k ln2 + r with |r| <= ln2 / 2, Taylor terms up to r^13, then scaled by 2^k.
inline double exp(double x) {
  if (x != x) return x;
  if (x > 709.7) return HUGE_VAL;
  if (x < -745.2) return 0.0;
  constexpr double kInverseLn2 = 0x1.71547652b82fep+0;
  constexpr double kLn2High = 0x1.62e42feep-1;  // 32 bits: k x kLn2High is exact
  constexpr double kLn2Low = 0x1.a39ef35793c76p-33;
  const double k = (x * kInverseLn2 + detail::kShift) - detail::kShift;
  const double r = (x - k * kLn2High) - k * kLn2Low;
  double p = 1.0 / 6227020800.0;  // 1/13!
  p = p * r + 1.0 / 479001600.0;
  p = p * r + 1.0 / 39916800.0;
  p = p * r + 1.0 / 3628800.0;
  p = p * r + 1.0 / 362880.0;
  p = p * r + 1.0 / 40320.0;
  p = p * r + 1.0 / 5040.0;
  p = p * r + 1.0 / 720.0;
  p = p * r + 1.0 / 120.0;
  p = p * r + 1.0 / 24.0;
  p = p * r + 1.0 / 6.0;
  p = p * r + 0.5;
  p = p * r + 1.0;
  p = p * r + 1.0;
  const int64_t exponent = static_cast<int64_t>(k);
  if (exponent < -1021 || exponent > 1023) return std::ldexp(p, static_cast<int>(exponent));
  // 2^k built from its bits: exact, and cheaper than a library call.
  const uint64_t bits = static_cast<uint64_t>(exponent + 1023) << 52;
  double scale;
  std::memcpy(&scale, &bits, sizeof scale);
  return p * scale;
}

}  // namespace tamblin::detmath
