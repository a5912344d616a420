// The platform-independent sine, cosine and exponential against the C library.
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
}  // namespace

TEST(Transcendental, SineAndCosineAreWithinAFewUlpsOverTheLfoRange) {
  std::mt19937_64 random(7);
  double worst = 0.0;
  int floatMismatches = 0;
  for (int i = 0; i < 200000; ++i) {
    // Small arguments (filters, tables) and large ones (frame counter x 2 pi x rate).
    const double scale = i % 2 == 0 ? 4.0 : 1.0e9;
    const double x = std::uniform_real_distribution<double>(-scale, scale)(random);
    const double s = std::sin(x), c = std::cos(x);
    if (std::fabs(s) > 1e-3) worst = std::max(worst, ulps(detmath::sin(x), s));
    if (std::fabs(c) > 1e-3) worst = std::max(worst, ulps(detmath::cos(x), c));
    floatMismatches += static_cast<float>(detmath::sin(x)) != static_cast<float>(s);
  }
  EXPECT_LE(worst, 4.0);
  EXPECT_LE(floatMismatches, 2);
  EXPECT_EQ(detmath::sin(0.0), 0.0);
  EXPECT_EQ(detmath::cos(0.0), 1.0);
  EXPECT_NEAR(detmath::sin(3.14159), std::sin(3.14159), 1e-16);
  EXPECT_TRUE(std::isnan(detmath::sin(INFINITY)));
}

TEST(Transcendental, ExponentialIsWithinAFewUlpsAndHandlesItsLimits) {
  std::mt19937_64 random(11);
  double worst = 0.0;
  for (int i = 0; i < 200000; ++i) {
    const double x = std::uniform_real_distribution<double>(-40.0, 40.0)(random);
    worst = std::max(worst, ulps(detmath::exp(x), std::exp(x)));
  }
  EXPECT_LE(worst, 4.0);
  EXPECT_EQ(detmath::exp(0.0), 1.0);
  EXPECT_EQ(detmath::exp(800.0), HUGE_VAL);
  EXPECT_EQ(detmath::exp(-800.0), 0.0);
  EXPECT_NEAR(detmath::exp(-720.0) / std::exp(-720.0), 1.0, 1e-12);
  EXPECT_NEAR(detmath::exp(709.0) / std::exp(709.0), 1.0, 1e-14);
  // 2^12 through e^(0.6931472 x 12): the glide coefficient at "Port" 1.
  EXPECT_EQ(static_cast<float>(detmath::exp(0.6931472 * 12.0)), static_cast<float>(std::exp(0.6931472 * 12.0)));
}
