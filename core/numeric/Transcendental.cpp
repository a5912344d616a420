// The accurate sine, cosine and exponential: reduced arguments and leading series terms carried as pairs
// of doubles, rounded once at the end.
#include "Transcendental.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace tamblin::detmath {

namespace detail {

namespace {

// A value held as high + low, |low| at most half a unit of high.
struct Pair {
  double high;
  double low;
};

// a + b exactly, for any a and b.
Pair twoSum(double a, double b) {
  const double s = a + b;
  const double bPart = s - a;
  const double aPart = s - bPart;
  return {s, (a - aPart) + (b - bPart)};
}

// a + b exactly, for |a| >= |b| (or a = 0).
Pair fastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// a x b exactly (Dekker): both factors split into 26-bit halves whose products are exact.
Pair twoProduct(double a, double b) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  const double p = a * b;
  const double ta = kSplitter * a;
  const double aHigh = ta - (ta - a);
  const double aLow = a - aHigh;
  const double tb = kSplitter * b;
  const double bHigh = tb - (tb - b);
  const double bLow = b - bHigh;
  return {p, ((aHigh * bHigh - p) + aHigh * bLow + aLow * bHigh) + aLow * bLow};
}

// c / d for a pair c and a small whole d: the quotient's rounding error is recovered exactly.
Pair divideByWhole(Pair c, double d) {
  const double q = c.high / d;
  const Pair back = twoProduct(q, d);
  return {q, (((c.high - back.high) - back.low) + c.low) / d};
}

// sin(r + rLow) for |r| <= pi/4 (a little beyond is fine).
double sinKernel(double r, double rLow) {
  if (r == 0.0) return r;  // keeps the sign of a zero
  const Pair r2 = twoProduct(r, r);
  const Pair r3Product = twoProduct(r2.high, r);
  const Pair r3 = {r3Product.high, r3Product.low + r2.low * r};
  const Pair sixth = divideByWhole(r3, 6.0);  // r^3 / 3!
  const double z = r2.high;
  // r^5 (1/5! - r^2/7! + ...): at most 1/300 of the result, so plain doubles are ample.
  double p = -kInverseFactorial[19];
  p = p * z + kInverseFactorial[17];
  p = sineSeriesToFifth(p, z);
  const double tail = r3.high * z * p;
  const Pair lead = fastTwoSum(r, -sixth.high);
  // rLow enters through the derivative, cos r = 1 - r^2/2 + r^4/24 to well below a unit here.
  const double low = ((lead.low - sixth.low) + tail) + rLow * (1.0 - z * (0.5 - z / 24.0));
  return lead.high + low;
}

// cos(r + rLow) for |r| <= pi/4.
double cosKernel(double r, double rLow) {
  const Pair r2 = twoProduct(r, r);
  const Pair half = {0.5 * r2.high, 0.5 * r2.low};  // r^2 / 2!, exact
  const Pair r4Product = twoProduct(r2.high, r2.high);
  const Pair r4 = {r4Product.high, r4Product.low + 2.0 * r2.high * r2.low};
  const Pair twentyFourth = divideByWhole(r4, 24.0);  // r^4 / 4!
  const double z = r2.high;
  // r^6 (-1/6! + r^2/8! - ...): at most 1/2000 of the result.
  const double p = cosineSeriesToSixth(z);
  const double tail = -(r4.high * z * p);
  const Pair first = fastTwoSum(1.0, -half.high);
  const Pair second = fastTwoSum(first.high, twentyFourth.high);
  // rLow enters through the derivative, -sin r = -r (1 - r^2/6 + r^4/120).
  const double low = ((((first.low - half.low) + second.low) + twentyFourth.low) + tail) -
                     rLow * (r * (1.0 - z * (1.0 / 6.0 - z / 120.0)));
  return second.high + low;
}

// x - k x pi/2 as a pair, with the quadrant k + quarterTurns (mod 4): the first subtraction is exact (the
// two are within a factor of two), the others collect their rounding errors.
struct Reduced {
  Pair r;
  int64_t quadrant;
};

Reduced reduce(double x, int64_t quarterTurns) {
  if (std::fabs(x) <= kPiOver4) return {{x, 0.0}, quarterTurns & 3};  // nothing to reduce
  const double k = (x * kTwoOverPi + kShift) - kShift;
  double high = x - k * kPiOver2Pieces[0];
  double low = 0.0;
  for (int i = 1; i < 6; ++i) {
    const Pair step = twoSum(high, -(k * kPiOver2Pieces[i]));
    high = step.high;
    low += step.low;
  }
  return {fastTwoSum(high, low), (static_cast<int64_t>(k) + quarterTurns) & 3};
}

// sin(x + quarterTurns x pi/2), to about 0.51 units of a double.
double sinQuadrant(double x, int64_t quarterTurns) {
  if (!(std::fabs(x) < 1.0e15))
    return x - x;  // NaN for infinity and NaN; 0 for huge arguments the engine never forms
  const Reduced reduced = reduce(x, quarterTurns);
  const Pair r = reduced.r;
  switch (reduced.quadrant) {
    case 0:
      return sinKernel(r.high, r.low);
    case 1:
      return cosKernel(r.high, r.low);
    case 2:
      return -sinKernel(r.high, r.low);
    default:
      return -cosKernel(r.high, r.low);
  }
}

}  // namespace

}  // namespace detail

double sin(double x) { return detail::sinQuadrant(x, 0); }
double cos(double x) { return detail::sinQuadrant(x, 1); }

// e^x: x = k ln2 + r with |r| <= ln2 / 2, e^r as 1 + r + r^2/2 + r^3/6 in pairs plus a short tail,
// then scaled by 2^k.
double exp(double x) {
  using detail::Pair;
  if (x != x) return x;
  if (x > 709.7) return HUGE_VAL;
  if (x < -745.2) return 0.0;
  const double k = (x * kInverseLn2 + kShift) - kShift;
  const double a = x - k * kLn2High;  // exact
  const Pair kLow = detail::twoProduct(k, kLn2Low);
  const Pair diff = detail::twoSum(a, -kLow.high);
  const Pair r = detail::fastTwoSum(diff.high, diff.low - kLow.low);

  const double z = r.high;
  const Pair z2 = detail::twoProduct(z, z);
  const Pair half = {0.5 * z2.high, 0.5 * z2.low};  // r^2 / 2!, exact
  const Pair z3Product = detail::twoProduct(z2.high, z);
  const Pair sixth = detail::divideByWhole({z3Product.high, z3Product.low + z2.low * z}, 6.0);  // r^3 / 3!
  // r^4 (1/4! + r/5! + ...): at most 1/400 of the result.
  double p = kInverseFactorial[15];
  p = p * z + kInverseFactorial[14];
  p = p * z + kInverseFactorial[13];
  p = p * z + kInverseFactorial[12];
  p = p * z + kInverseFactorial[11];
  p = p * z + kInverseFactorial[10];
  p = p * z + kInverseFactorial[9];
  p = p * z + kInverseFactorial[8];
  p = p * z + kInverseFactorial[7];
  p = p * z + kInverseFactorial[6];
  p = p * z + kInverseFactorial[5];
  p = p * z + kInverseFactorial[4];
  const double tail = z2.high * z2.high * p;
  const Pair first = detail::fastTwoSum(1.0, z);
  const Pair second = detail::twoSum(first.high, half.high);
  const Pair third = detail::twoSum(second.high, sixth.high);
  // r.low enters through the derivative e^r = 1 + r + r^2/2.
  const double low = (((((first.low + second.low) + third.low) + half.low) + sixth.low) + tail) +
                     r.low * (1.0 + z * (1.0 + 0.5 * z));
  const double value = third.high + low;

  const int64_t exponent = static_cast<int64_t>(k);
  if (exponent < -1021 || exponent > 1023) return std::ldexp(value, static_cast<int>(exponent));
  // 2^k built from its bits: exact, and cheaper than a library call.
  const uint64_t bits = static_cast<uint64_t>(exponent + 1023) << 52;
  double scale;
  std::memcpy(&scale, &bits, sizeof scale);
  return value * scale;
}

}  // namespace tamblin::detmath
