// The numeric helpers at the values the sound depends on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Numeric.h"

using namespace tamblin;

TEST(FloorInt, IsFloorExceptJustBelowAnInteger) {
  EXPECT_EQ(floorInt(2.5f), 2);
  EXPECT_EQ(floorInt(-0.5f), -1);
  EXPECT_EQ(floorInt(3.0f), 3);
  EXPECT_EQ(floorInt(0.0f), 0);
  EXPECT_EQ(floorInt(-1.0f), -1);
  EXPECT_EQ(floorInt(1.9999f), 1);
  // Less than 1e-7 below an integer rounds up to it.
  EXPECT_EQ(floorInt(0.99999994f), 1);
  EXPECT_EQ(floorInt(0.9999999f), 0);  // the float nearest 0.9999999 lies 1.2e-7 below 1
  EXPECT_EQ(floorInt(-1e-8f), 0);
  EXPECT_EQ(floorInt(-2e-7f), -1);
  EXPECT_EQ(floorInt(-2.5f), -3);
  EXPECT_EQ(floorInt(8388607.5f), 8388607);
  EXPECT_EQ(floorInt(16777215.0f), 16777215);
}

TEST(FloorInt, SaturatesAndMapsNaNToZero) {
  EXPECT_EQ(floorInt(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(floorInt(1e20f), INT32_MAX);
  EXPECT_EQ(floorInt(-1e20f), INT32_MIN);
  EXPECT_EQ(floorInt(std::numeric_limits<float>::infinity()), INT32_MAX);
  EXPECT_EQ(floorInt64(1e10f), 10000000000LL);
  EXPECT_EQ(floorInt64(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(FloorInt, ChoicesCoverEveryIndexOfTheirRange) {
  EXPECT_EQ(choiceOf(0.0f, 7.99f), 0);
  EXPECT_EQ(choiceOf(1.0f, 7.99f), 7);
  EXPECT_EQ(choiceOf(1.0f, 10.99f), 10);
  EXPECT_EQ(choiceOf(1.0f, 65535.99f), 65535);
  // The editor writes choice k as (k + 0.5) / (N - 0.01).
  for (int k = 0; k < 11; ++k) EXPECT_EQ(choiceOf((static_cast<float>(k) + 0.5f) / 10.99f, 10.99f), k);
}

TEST(SoftClip, HasSlopeOneAndAHalfAndSaturatesAtOne) {
  EXPECT_EQ(softClip(0.5f), 0.625f);
  EXPECT_EQ(softClip(-0.5f), -0.625f);
  EXPECT_EQ(softClip(0.0f), 0.0f);
  EXPECT_EQ(softClip(1.0f), 1.0f);
  EXPECT_EQ(softClip(-2.0f), -1.0f);
  EXPECT_EQ(softClip(1e30f), 1.0f);
  EXPECT_EQ(softClip(-std::numeric_limits<float>::infinity()), -1.0f);
}

TEST(Helpers, GainsPowersAndClamp) {
  EXPECT_EQ(dbGain(0.0f, 40.0f, 40.0f), 0.0f);
  EXPECT_EQ(dbGain(1.0f, 40.0f, 40.0f), 1.0f);
  EXPECT_NEAR(dbGain(0.5f, 40.0f, 40.0f), 0.1f, 1e-6f);
  EXPECT_EQ(pow2(0.0f), 1.0f);
  EXPECT_NEAR(pow2(12.0f), 4096.0f, 0.01f);
  EXPECT_NEAR(pow2(-1.0f), 0.5f, 1e-7f);
  EXPECT_NEAR(pow10(2.0f), 100.0f, 1e-4f);
  EXPECT_EQ(clamp10(12.0f), 10.0f);
  EXPECT_EQ(clamp10(-12.0f), -10.0f);
  EXPECT_EQ(clamp10(3.0f), 3.0f);
  EXPECT_EQ(signOf(-0.0f), 0.0f);
  EXPECT_EQ(signOf(-3.0f), -1.0f);
}
