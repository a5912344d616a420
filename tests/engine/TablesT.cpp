// The engine record after construction: wave tables, phases, timing, resets.
#include <gtest/gtest.h>

#include <cmath>

#include "EngineTestSupport.h"
#include "LaneMath.h"

using namespace tamblin;
using tamblin::test::TestEngine;

TEST(WaveTables, EndsOfThePeriodAreBothIncluded) {
  TestEngine t;
  const auto& w = t.rec().waveTable;
  EXPECT_EQ(w[0][0], -1.0f);
  EXPECT_EQ(w[0][4095], 1.0f);
  EXPECT_EQ(w[2][0], -1.0f);
  EXPECT_EQ(w[2][4095], 1.0f);
  EXPECT_EQ(w[3][0], 1.0f);
  EXPECT_EQ(w[3][4095], 1.0f);
  for (int table = 4; table < 8; ++table) EXPECT_EQ(w[table][0], 0.0f) << table;
  // Table 1 is never read: the pulse is computed from the phase.
  for (int i = 0; i < kWaveTableSize; ++i) ASSERT_EQ(w[1][i], 0.0f);
}

TEST(WaveTables, ShapesFollowTheirFormulas) {
  TestEngine t;
  const auto& w = t.rec().waveTable;
  const int i = 1000;
  const float p = static_cast<float>(i) / 4095.0f;
  const double q = static_cast<double>(6.28318f * p);
  EXPECT_EQ(w[0][i], static_cast<float>(2.0 * p - 1.0));
  EXPECT_EQ(w[3][2047], static_cast<float>(std::fabs(4.0 * (2047.0f / 4095.0f) - 2.0) - 1.0));
  EXPECT_EQ(w[7][i], static_cast<float>((std::sin(q) + 0.8 * std::sin(7 * q) + 0.6 * std::sin(9 * q) +
                                          0.4 * std::sin(13 * q)) / 1.9));
  // Every value is finite and within a sensible bound.
  for (int table = 0; table < 8; ++table) {
    for (int k = 0; k < kWaveTableSize; ++k) ASSERT_LE(std::fabs(w[table][k]), 1.5f);
  }
  // The voice kernels compute the ramp instead of reading it: every point must be the table's.
  double index[kWaveTableSize];
  for (int i = 0; i < kWaveTableSize; ++i) index[i] = i;
  for (const kernels::LaneMath laneMath : {kernels::baselineLaneMath(), kernels::avx2LaneMath()}) {
    if (laneMath == nullptr) continue;
    float ramp[kWaveTableSize];
    laneMath(kernels::LaneRoutine::Ramp, index, ramp, kWaveTableSize);
    for (int i = 0; i < kWaveTableSize; ++i) ASSERT_EQ(ramp[i], w[0][i]) << i;
  }
}

TEST(Construction, SetsPhasesPitchBendAndTiming) {
  TestEngine t;
  EngineRecord& r = t.rec();
  EXPECT_EQ(r.arpLast, -1);
  EXPECT_EQ(r.pitchBend, 1.0f);
  EXPECT_EQ(r.phase[0][3], 0);
  EXPECT_EQ(r.phase[1][3], 2396745);
  EXPECT_EQ(r.phase[2][3], 4793490);
  EXPECT_EQ(r.phase[3][7], 7190235);
  EXPECT_EQ(r.phase[1][8], 0);
  EXPECT_EQ(r.tempoBpm, 120.0f);
  EXPECT_EQ(r.sampleRate, 44100.0f);
  EXPECT_EQ(r.baseIncrement, 110.0f / 44100.0f);
  EXPECT_EQ(r.historySlot0, 0);
  EXPECT_EQ(r.historySlot2, 2);
  EXPECT_EQ(r.pairGain1, 1.0f);
  EXPECT_EQ(r.pairGain2, 1.0f);
}

TEST(SampleRate, InvalidRatesKeepTheLastValidOne) {
  TestEngine t;
  t.engine->setSampleRate(48000.0f);
  EXPECT_EQ(t.engine->sampleRate(), 48000.0f);
  EXPECT_EQ(t.rec().baseIncrement, 110.0f / 48000.0f);
  t.engine->setSampleRate(std::nanf(""));
  t.engine->setSampleRate(INFINITY);
  t.engine->setSampleRate(0.0f);
  t.engine->setSampleRate(999.0f);
  t.engine->setSampleRate(1.5e6f);
  t.engine->setSampleRate(-44100.0f);
  EXPECT_EQ(t.engine->sampleRate(), 48000.0f);
  t.engine->setSampleRate(1000.0f);
  EXPECT_EQ(t.engine->sampleRate(), 1000.0f);
  t.engine->setSampleRate(1000000.0f);
  EXPECT_EQ(t.engine->sampleRate(), 1000000.0f);
}

TEST(ProgramChangeReset, ReleasesKeysKeepsLevelsAndClearsFirstSixFilters) {
  TestEngine t;
  EngineRecord& r = t.rec();
  t.noteOn(60);
  t.render(256);
  const int v = r.voicePointer;
  ASSERT_EQ(r.voiceHeld[v], 1);
  const float level = r.env1Level[v];
  r.biquadX[5][1] = 0.5f;
  r.ladderY4[5] = 0.5f;
  r.biquadX[6][1] = 0.5f;
  r.combIn[0][7] = 0.25f;
  t.engine->resetAfterProgramChange();
  EXPECT_EQ(r.voiceHeld[v], 0);
  EXPECT_EQ(r.env1Level[v], level);
  EXPECT_EQ(r.biquadX[5][1], 0.0f);
  EXPECT_EQ(r.ladderY4[5], 0.0f);
  EXPECT_EQ(r.biquadX[6][1], 0.5f);
  EXPECT_EQ(r.combIn[0][7], 0.25f);
}

TEST(Parameters, AreClampedAndOutOfRangeIndicesIgnored) {
  TestEngine t;
  t.engine->setParam(kOsc12Decay, 1.7f);
  EXPECT_EQ(t.engine->param(kOsc12Decay), 1.0f);
  t.engine->setParam(kOsc12Decay, -0.2f);
  EXPECT_EQ(t.engine->param(kOsc12Decay), 0.0f);
  t.engine->setParam(kOsc12Decay, std::nanf(""));
  EXPECT_EQ(t.engine->param(kOsc12Decay), 0.0f);
  t.engine->setParam(100, 0.25f);
  EXPECT_EQ(t.engine->param(100), 0.25f);
  t.engine->setParam(101, 0.5f);
  t.engine->setParam(-1, 0.5f);
  EXPECT_EQ(t.engine->param(101), 0.0f);
  EXPECT_EQ(t.engine->param(-1), 0.0f);
}
