// The platform-independent sine, cosine and exponential: the same float as the C library's double
// routines give, also where the result lies next to a float rounding boundary.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "Transcendental.h"

namespace detmath = tamblin::detmath;

namespace {

// Error in units of the last place of the reference.
double ulps(double value, double reference) {
  const double ulp = std::nextafter(std::fabs(reference), INFINITY) - std::fabs(reference);
  return std::fabs(value - reference) / ulp;
}

// Arguments whose true results lie within a fraction of a double unit of a float rounding boundary, with
// the float of the correctly rounded result (worked out with 113-bit arithmetic). A routine a unit or so
// off in double rounds some of these to the neighbouring float.
struct HardCase {
  int function;  // 0 sine, 1 cosine, 2 exponential
  double argument;
  float expected;
};
constexpr HardCase kHardCases[] = {
    {1, 0x1.fdf6d0ef5ad5ep-1, 0x1.16588p-1f},   {1, 0x1.9850c8d30557ap-1, 0x1.65a254p-1f},
    {1, 0x1.a56dcbf2f238dp-1, 0x1.5c2244p-1f},  {1, 0x1.b2be28b2283adp-1, 0x1.524134p-1f},
    {2, 0x1.df6306262a29ap+2, 0x1.bfb356p+10f}, {2, 0x1.c6d720158b46ep+2, 0x1.311566p+10f},
    {2, 0x1.bfe52ce79e18bp+2, 0x1.11b5b6p+10f}, {2, 0x1.d2f0e6d856a23p+2, 0x1.70949ap+10f},
    {0, 0x1.0314f8dcbdf87p-1, 0x1.f05506p-2f},  {0, 0x1.b7c4b9897a4b9p-1, 0x1.83a7c4p-1f},
    {0, 0x1.3b0b104a9fea2p+4, 0x1.7d7a4ap-1f},  {0, 0x1.3686e261629d9p+4, 0x1.0f4312p-1f},
};

}  // namespace

TEST(Transcendental, ResultsNextToAFloatBoundaryRoundToTheCorrectFloat) {
  for (const HardCase& c : kHardCases) {
    switch (c.function) {
      case 0:
        EXPECT_EQ(static_cast<float>(detmath::sin(c.argument)), c.expected) << c.argument;
        EXPECT_EQ(detmath::sinToFloat(c.argument), c.expected) << c.argument;
        break;
      case 1:
        EXPECT_EQ(static_cast<float>(detmath::cos(c.argument)), c.expected) << c.argument;
        EXPECT_EQ(detmath::cosToFloat(c.argument), c.expected) << c.argument;
        break;
      default:
        EXPECT_EQ(static_cast<float>(detmath::exp(c.argument)), c.expected) << c.argument;
        break;
    }
  }
}

TEST(Transcendental, FloatResultsAgreeWithTheCLibraryOverTheEngineRanges) {
  std::mt19937_64 random(7);
  // Filters (up to 2 x 3.14159 x 0.4), ring phase, wave tables (up to 64 x 3.14159) and the LFOs
  // (frame counter x 2 pi x rate, up to about 1e10).
  const double scales[] = {2.6, 6.3, 202.0, 1.0e10};
  double worst = 0.0;
  int mismatches = 0;
  for (int i = 0; i < 200000; ++i) {
    const double scale = scales[i % 4];
    const double x = std::uniform_real_distribution<double>(-scale, scale)(random);
    const double s = std::sin(x), c = std::cos(x);
    if (std::fabs(s) > 1e-3) worst = std::max(worst, ulps(detmath::sin(x), s));
    if (std::fabs(c) > 1e-3) worst = std::max(worst, ulps(detmath::cos(x), c));
    mismatches += static_cast<float>(detmath::sin(x)) != static_cast<float>(s);
    mismatches += static_cast<float>(detmath::cos(x)) != static_cast<float>(c);
    mismatches += detmath::sinToFloat(x) != static_cast<float>(s);
    mismatches += detmath::cosToFloat(x) != static_cast<float>(c);
  }
  for (int i = 0; i < 100000; ++i) {
    const double x = std::uniform_real_distribution<double>(-40.0, 40.0)(random);
    const double e = std::exp(x);
    worst = std::max(worst, ulps(detmath::exp(x), e));
    mismatches += static_cast<float>(detmath::exp(x)) != static_cast<float>(e);
  }
  EXPECT_LE(worst, 1.0);
  EXPECT_EQ(mismatches, 0);
}

TEST(Transcendental, TheQuickFloatPathAgreesWithTheAccurateOneNearBoundaries) {
  // Arguments swept across results that sit on float rounding boundaries: the quick path must hand
  // these to the accurate one.
  std::mt19937_64 random(5);
  int mismatches = 0;
  for (int i = 0; i < 2000; ++i) {
    const float f = std::uniform_real_distribution<float>(1e-6f, 0.999f)(random);
    const double boundary = 0.5 * (static_cast<double>(f) + static_cast<double>(std::nextafter(f, 2.0f)));
    double x = std::asin(boundary);
    for (int k = 0; k < 40; ++k, x = std::nextafter(x, 10.0)) {
      mismatches += detmath::sinToFloat(x) != static_cast<float>(detmath::sin(x));
      mismatches += detmath::cosToFloat(x) != static_cast<float>(detmath::cos(x));
      mismatches += detmath::sinToFloat(x + 6.283185307179586) !=
                    static_cast<float>(detmath::sin(x + 6.283185307179586));
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(Transcendental, LimitsAndExactValues) {
  EXPECT_EQ(detmath::sin(0.0), 0.0);
  EXPECT_EQ(detmath::cos(0.0), 1.0);
  EXPECT_EQ(detmath::sinToFloat(0.0), 0.0f);
  EXPECT_EQ(detmath::cosToFloat(0.0), 1.0f);
  EXPECT_TRUE(std::signbit(detmath::sin(-0.0)));
  EXPECT_TRUE(std::signbit(detmath::sinToFloat(-0.0)));
  EXPECT_TRUE(std::isnan(detmath::sin(INFINITY)));
  EXPECT_TRUE(std::isnan(detmath::sinToFloat(NAN)));
  EXPECT_EQ(detmath::exp(0.0), 1.0);
  EXPECT_EQ(detmath::exp(800.0), HUGE_VAL);
  EXPECT_EQ(detmath::exp(-800.0), 0.0);
  EXPECT_NEAR(detmath::exp(-720.0) / std::exp(-720.0), 1.0, 1e-12);
  EXPECT_NEAR(detmath::exp(709.0) / std::exp(709.0), 1.0, 1e-14);
  // A result near a zero of the sine after a long reduction keeps its relative precision.
  const double x = -4644389235.6720734;  // sin(x) is about 7e-7
  EXPECT_LE(ulps(detmath::sin(x), std::sin(x)), 1.0);
}
