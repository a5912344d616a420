// The voice filter: coefficient limits, comb delays, state clearing and stability.
#include <gtest/gtest.h>

#include <cmath>

#include "EngineTestSupport.h"
#include "Numeric.h"
#include "Stages.h"

using namespace tamblin;
using tamblin::test::TestEngine;

TEST(Filter, BypassAddsOnlyTheTinyOffset) {
  TestEngine t;
  stages::updateFilter(t.rec(), 0, FilterType::Off, 1000.0f, 0.5f);
  stages::filterSample(t.rec(), 0, 0.25f);
  EXPECT_EQ(t.rec().voiceOutput[0], 0.25f + 1e-15f);
  EXPECT_EQ(t.rec().biquadB0[0], 1.0f);
}

TEST(Filter, CombDelayFollowsTheCutoffWithinItsRing) {
  TestEngine t;
  EngineRecord& r = t.rec();
  stages::updateFilter(r, 2, FilterType::Comb, 1000.0f, 0.5f);
  EXPECT_EQ(r.combDelay[2], 44);
  EXPECT_EQ(r.combFeedback[2], static_cast<float>(std::sqrt(std::sqrt(static_cast<double>(0.501f)))));
  stages::updateFilter(r, 2, FilterType::Comb, 1e9f, 1.0f);  // cut off at 0.4 x rate: 44100 / 17640.001
  EXPECT_EQ(r.combDelay[2], 2);
  EXPECT_EQ(r.combFeedback[2], static_cast<float>(std::sqrt(std::sqrt(static_cast<double>(0.999f)))));
  t.engine->setSampleRate(192000.0f);
  stages::updateFilter(r, 2, FilterType::Comb, 0.0f, 0.5f);
  EXPECT_EQ(r.combDelay[2], 8190);
}

TEST(Filter, CombIsTheInvertedDelayedInputWithInvertedFeedback) {
  TestEngine t;
  EngineRecord& r = t.rec();
  stages::updateFilter(r, 1, FilterType::Comb, 1000.0f, 0.0f);  // delay 44
  const float g = r.combFeedback[1];
  stages::filterSample(r, 1, 1.0f);
  for (int n = 1; n < 44; ++n) stages::filterSample(r, 1, 0.0f);
  EXPECT_NEAR(r.voiceOutput[1], 0.0f, 1e-12f);
  stages::filterSample(r, 1, 0.0f);
  EXPECT_EQ(r.voiceOutput[1], clamp10(-1.0f + 1e-15f));
  for (int n = 1; n < 44; ++n) stages::filterSample(r, 1, 0.0f);
  stages::filterSample(r, 1, 0.0f);
  EXPECT_NEAR(r.voiceOutput[1], g, 1e-6f);
}

TEST(Filter, CutoffIsLimitedToTwentyHertzAndPointFourOfTheRate) {
  TestEngine t;
  EngineRecord& r = t.rec();
  stages::updateFilter(r, 0, FilterType::Ring, 0.0f, 0.5f);
  EXPECT_EQ(r.ringIncrement[0], 20.0f / 44100.0f);
  stages::updateFilter(r, 0, FilterType::Ring, 30000.0f, 1.0f);
  EXPECT_EQ(r.ringIncrement[0], (0.4f * 44100.0f) / 44100.0f);
  EXPECT_EQ(r.ringDepth[0], 0.999f);
}

TEST(Filter, ChangingTheTypeClearsTheSectionsButKeepsTheCombRings) {
  TestEngine t;
  EngineRecord& r = t.rec();
  stages::updateFilter(r, 3, FilterType::Comb, 500.0f, 0.5f);
  for (int n = 0; n < 200; ++n) stages::filterSample(r, 3, 0.5f);
  const float kept = r.combOut[3][r.combWrite[3]];
  stages::updateFilter(r, 3, FilterType::Low12, 500.0f, 0.5f);
  for (int n = 0; n < 10; ++n) stages::filterSample(r, 3, 0.5f);
  EXPECT_NE(r.biquadY[3][0], 0.0f);
  stages::updateFilter(r, 3, FilterType::Low24, 500.0f, 0.5f);
  EXPECT_EQ(r.biquadY[3][0], 0.0f);
  EXPECT_EQ(r.ladderY4[3], 0.0f);
  EXPECT_EQ(r.combOut[3][r.combWrite[3]], kept);
  // The same type again keeps the state.
  for (int n = 0; n < 10; ++n) stages::filterSample(r, 3, 0.5f);
  const float y4 = r.ladderY4[3];
  stages::updateFilter(r, 3, FilterType::Low24, 800.0f, 0.5f);
  EXPECT_EQ(r.ladderY4[3], y4);
}

TEST(Filter, EveryTypeStaysFiniteAcrossCutoffAndResonance) {
  for (int type = 1; type <= 10; ++type) {
    for (float q : {0.0f, 0.5f, 1.0f}) {
      for (float cutoff : {0.0f, 100.0f, 2000.0f, 17000.0f, 40000.0f}) {
        TestEngine t;
        EngineRecord& r = t.rec();
        stages::updateFilter(r, 0, static_cast<FilterType>(type), cutoff, q);
        for (int n = 0; n < 20000; ++n) {
          test::rotateHistory(r);
          stages::filterSample(r, 0, (n / 50) % 2 == 0 ? 1.0f : -1.0f);
          ASSERT_TRUE(std::isfinite(r.voiceOutput[0])) << type << " " << q << " " << cutoff;
        }
      }
    }
  }
}

TEST(Filter, ATwoPoleSectionRestartedEveryFewFramesNeverReachesInfinity) {
  // A voice skipped for one frame in every 51 comes back to history slots that rotated on without it.
  // At 20 Hz with full resonance this feeds the section's past back in a new order until it overflows;
  // it has to stay finite (and start again from silence) instead.
  for (int type = 1; type <= 4; ++type) {
    TestEngine t(test::neutralValues(), 8000.0f);
    EngineRecord& r = t.rec();
    stages::updateFilter(r, 0, static_cast<FilterType>(type), 19.0f, 1.0f);
    bool finite = true;
    for (int n = 0; n < 300000 && finite; ++n) {
      test::rotateHistory(r);
      if (n % 51 == 50) continue;
      stages::filterSample(r, 0, (n / 50) % 2 == 0 ? 1.0f : -1.0f);
      finite = std::isfinite(r.voiceOutput[0]) && std::fabs(r.voiceOutput[0]) < 1e30f;
    }
    EXPECT_TRUE(finite) << "type " << type;
  }
}
