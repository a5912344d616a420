// The render loop end to end: pitch, tempo clocks, the gate and arpeggiator, delta frames, safety.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "EngineTestSupport.h"
#include "Numeric.h"

using namespace tamblin;
using tamblin::test::neutralValues;
using tamblin::test::TestEngine;

namespace {

constexpr float kArpValue = 0.8361204f;
constexpr float kGateAtTempo = 0.501002f;          // speed "Tempo"
constexpr float kArpOneSixteenth = 8.5f / 10.99f;  // arpeggiator step "1": one note per sixteenth
// The largest tempo a VST 2 host's answer can carry: 2^31 - 1 ten-thousandths of a beat per minute.
constexpr float kAbsurdTempo = static_cast<float>(std::numeric_limits<int32_t>::max()) / 10000.0f;

struct TimedMessage {
  int64_t frame;
  uint8_t status, data1, data2;
};

// Renders `total` frames in blocks of `block`, handing each message to the block that holds its frame.
std::vector<float> renderInBlocks(const std::vector<float>& values, const std::vector<TimedMessage>& messages,
                                  int total, int block, std::vector<float>* right = nullptr) {
  TestEngine t(values);
  std::vector<float> left(static_cast<size_t>(total)), r(static_cast<size_t>(total));
  for (int start = 0; start < total; start += block) {
    const int frames = std::min(block, total - start);
    for (const auto& m : messages) {
      if (m.frame >= start && m.frame < start + frames) {
        t.send(m.status, m.data1, m.data2, static_cast<int32_t>(m.frame - start));
      }
    }
    t.engine->render(nullptr, left.data() + start, r.data() + start, frames);
  }
  if (right != nullptr) *right = r;
  return left;
}

}  // namespace

TEST(Pitch, NoteFiftySevenWithTunesCentredPlaysAt110HzLess) {
  TestEngine t;
  t.noteOn(57);
  t.render(4096);
  const int v = t.rec().voicePointer;
  for (int j = 0; j < 4; ++j) EXPECT_EQ(t.rec().phaseIncrement[j][v], 41847) << j;
  EXPECT_NEAR(41847.0 / 16777216.0 * 44100.0, 109.998, 0.001);
}

TEST(Pitch, TunesSpanThreeOctavesAndBendHalvesTheFrequency) {
  std::vector<float> values = neutralValues();
  values[kTune1] = 0.0f;  // -36 semitones
  values[kTune2] = 1.0f;  // +36 semitones
  TestEngine t(values);
  t.noteOn(57);
  t.render(4096);
  const int v = t.rec().voicePointer;
  EXPECT_EQ(t.rec().tuneRatio[0], pow2(-3.0f));
  EXPECT_EQ(t.rec().tuneRatio[1], pow2(3.0f));
  EXPECT_NEAR(static_cast<double>(t.rec().phaseIncrement[1][v]) / t.rec().phaseIncrement[0][v], 64.0, 0.02);
  t.send(0xE0, 0, 0);
  t.render(64);
  EXPECT_NEAR(static_cast<double>(t.rec().phaseIncrement[2][v]), 41847 / 2.0, 1.0);
}

TEST(HostTick, AsksForTheTempoEvery1024FramesAndPlays120WhereThereIsNone) {
  TestEngine t;
  t.host.tempo = 120.5f;
  t.render(1);
  EXPECT_EQ(t.host.tempoRequests, 1);
  EXPECT_EQ(t.rec().tempoBpm, 120.5f);
  t.render(4095);
  EXPECT_EQ(t.host.tempoRequests, 4);
  for (float none : {0.0f, -5.0f, 0.5f, std::numeric_limits<float>::quiet_NaN()}) {
    t.host.tempo = none;
    t.render(1024);
    EXPECT_EQ(t.rec().tempoBpm, 120.0f) << none;
  }
}

TEST(HostTick, EveryFormatsTempoIsTheVst2RequestsResolution) {
  struct Case {
    double bpm;
    float tempo;
  };
  for (const Case& c : {Case{123.456789, 1234568.0f / 10000.0f}, Case{120.0, 120.0f}, Case{90.0, 90.0f},
                        Case{0.0, 0.0f}, Case{0.5, 0.0f}, Case{-3.0, 0.0f}, Case{1.0e300, 0.0f},
                        Case{std::numeric_limits<double>::quiet_NaN(), 0.0f}}) {
    EXPECT_EQ(tempoFromBpm(c.bpm), c.tempo) << c.bpm;
  }
}

TEST(Gate, StepsEverySixteenthNoteAt120Bpm) {
  std::vector<float> values = neutralValues();
  values[kGateTempo] = kGateAtTempo;
  values[kGateLength] = 1.0f;  // 16 steps
  TestEngine t(values);
  // The increment is set on the first coefficient tick (frame 64): 8 / 44100 step per frame.
  t.render(64);
  EXPECT_EQ(t.rec().gateIncrement, 1.0f * (120.0f / 15.0f) / 44100.0f);
  int previous = 0;
  std::vector<int64_t> changes;
  for (int64_t frame = 65; frame < 64 + 5513 * 17 && changes.size() < 17; ++frame) {
    t.render(1);
    const int step = floorInt(t.rec().gatePosition.load());
    if (step != previous) changes.push_back(frame);
    previous = step;
  }
  ASSERT_GE(changes.size(), 16u);
  // The position is a float sum, so later steps drift by a few frames; each lasts a sixteenth note.
  EXPECT_NEAR(static_cast<double>(changes[0]), 64.0 + 5512.5, 2.0);
  for (size_t i = 1; i < 16; ++i) EXPECT_NEAR(static_cast<double>(changes[i] - changes[i - 1]), 5512.5, 20.0) << i;
  EXPECT_EQ(floorInt(t.rec().gatePosition.load()), 0);  // the 16th change wrapped to step 0
}

TEST(Gate, ClosedStepsSettleTheVolumeAtOneMinusDepth) {
  std::vector<float> values = neutralValues();
  values[kGatePatternVolume] = 0.0f;  // every step closed
  values[kGateToVolume] = 0.75f;
  values[kGateSmooth] = 0.0f;  // fastest smoothing
  TestEngine t(values);
  t.render(64 * 20);
  EXPECT_NEAR(t.rec().gateVolume, 0.25f, 1e-6f);
  t.setParam(kGatePatternVolume, 1.0f);  // every step open
  t.render(64 * 20);
  EXPECT_NEAR(t.rec().gateVolume, 1.0f, 1e-6f);
}

TEST(Gate, OneStepLengthStaysOnStepZero) {
  std::vector<float> values = neutralValues();
  values[kGateTempo] = 1.0f;
  values[kGateLength] = 0.0f;
  TestEngine t(values);
  for (int i = 0; i < 200; ++i) {
    t.render(997);
    ASSERT_LT(t.rec().gatePosition.load(), 1.0f);
  }
}

TEST(Arpeggiator, CyclesItsStepsThroughTheVoicesInOrder) {
  std::vector<float> values = neutralValues();
  values[kPlayMode] = kArpValue;
  values[kArpRate] = kArpOneSixteenth;
  TestEngine t(values);
  t.render(64);
  t.noteOn(60);
  t.noteOn(67);
  std::vector<int> voices;
  std::vector<float> notes;
  int previous = t.rec().voicePointer;
  int64_t lastStepFrame = 0;
  std::vector<int64_t> gaps;
  for (int64_t frame = 0; frame < 5513 * 10; ++frame) {
    t.render(1);
    if (t.rec().voicePointer != previous) {
      previous = t.rec().voicePointer;
      voices.push_back(previous);
      notes.push_back(t.rec().noteNumber[previous]);
      if (frame > 0) gaps.push_back(frame - lastStepFrame);
      lastStepFrame = frame;
      // Only the step's voice is held.
      int held = 0;
      for (int v = 0; v < 16; ++v) held += t.rec().voiceHeld[v];
      EXPECT_EQ(held, 1);
    }
  }
  ASSERT_GE(voices.size(), 10u);
  EXPECT_EQ(std::vector<int>(voices.begin(), voices.begin() + 10), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 0, 1, 2}));
  EXPECT_EQ(notes[0], 60.0f);
  EXPECT_EQ(notes[1], 67.0f);
  EXPECT_EQ(notes[2], 60.0f);
  for (int64_t gap : gaps) EXPECT_NEAR(static_cast<double>(gap), 5512.5, 2.0);
}

TEST(Arpeggiator, EmptyListReleasesEveryVoiceAndUnisonPhaseSpreadsTheOscillators) {
  std::vector<float> values = neutralValues();
  values[kPlayMode] = kArpValue;
  values[kUnisonPhase] = 1.0f;
  TestEngine t(values);
  t.render(64);  // the first step needs the clock's increment
  t.noteOn(60);
  t.render(1);
  const int v = t.rec().voicePointer;
  EXPECT_EQ(v, 1);
  EXPECT_EQ(t.rec().voiceHeld[v], 1);
  EXPECT_EQ(t.rec().phase[3][v], (floorInt(16777215.0f * 1.0f * 3.0f / 7.0f) + 0) & 16777215);
  t.noteOff(60);
  t.render(1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(t.rec().voiceHeld[i], 0);
}

TEST(AbsurdTempo, KeepsTheGateAndTheArpeggiatorInsideTheirTables) {
  std::vector<float> values = neutralValues();
  values[kPlayMode] = kArpValue;
  values[kArpRate] = 1.0f;    // "2": two steps per sixteenth
  values[kGateTempo] = 1.0f;  // four times the tempo
  values[kGateLength] = 0.6f;
  TestEngine t(values, 1000.0f);
  t.host.tempo = kAbsurdTempo;
  t.noteOn(60);
  t.noteOn(62);
  for (int i = 0; i < 300; ++i) {
    t.render(37);
    const float gate = t.rec().gatePosition.load();
    ASSERT_GE(gate, 0.0f);
    ASSERT_LT(gate, 16.0f);
    ASSERT_LT(t.engine->gatePositionForDisplay(), 16.0f);
    ASSERT_LT(floorInt(t.rec().arpPosition), kArpListSize);
  }
  // Steps far beyond a whole list in one frame.
  t.rec().arpIncrement = 1000.5f;
  t.rec().arpPosition = 0.0f;
  t.rec().sampleCounter = 1;  // no coefficient tick in the next frames
  for (int i = 0; i < 10; ++i) {
    t.render(1);
    ASSERT_GE(t.rec().arpPosition, 0.0f);
    ASSERT_LT(t.rec().arpPosition, 2.0f);
  }
}

TEST(AbsurdTempo, AnArpeggioSteppingEveryFrameThroughAResonantFilterStaysFinite) {
  // Voices restarted every frame or two find their two-pole history rotated on without them; at full
  // resonance and a low cutoff such a section would grow to infinity unless restarted from silence.
  std::vector<float> values = neutralValues();
  values[kPlayMode] = kArpValue;
  values[kArpRate] = 1.0f;
  values[kFilterFrequency] = 0.0f;  // 20 Hz
  values[kFilterQ] = 1.0f;
  for (int type : {1, 2}) {
    values[kFilterType] = (static_cast<float>(type) + 0.5f) / 10.99f;
    TestEngine t(values, 8000.0f);
    t.host.tempo = kAbsurdTempo;
    t.noteOn(48);
    t.noteOn(55);
    t.noteOn(60);
    std::vector<float> right;
    for (int block = 0; block < 40; ++block) {
      const auto left = t.render(1000, &right);
      for (int k = 0; k < 1000; ++k) {
        ASSERT_TRUE(std::isfinite(left[k]) && std::isfinite(right[k]))
            << "type " << type << ", frame " << block * 1000 + k;
      }
    }
  }
}

TEST(Input, NonFiniteSamplesCountAsSilence) {
  TestEngine clean, poisoned;
  clean.noteOn(60);
  poisoned.noteOn(60);
  std::vector<float> zeros(512, 0.0f), bad(512, 0.0f);
  for (int i = 0; i < 512; ++i) zeros[i] = bad[i] = 0.01f * static_cast<float>(i % 7);
  bad[3] = zeros[3] = 0.0f;
  bad[3] = std::numeric_limits<float>::quiet_NaN();
  zeros[100] = 0.0f;
  bad[100] = std::numeric_limits<float>::infinity();
  zeros[101] = 0.0f;
  bad[101] = -std::numeric_limits<float>::infinity();
  std::vector<float> rightClean, rightBad;
  const auto a = clean.render(512, &rightClean, zeros.data());
  const auto b = poisoned.render(512, &rightBad, bad.data());
  EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(float)));
  EXPECT_EQ(0, std::memcmp(rightClean.data(), rightBad.data(), a.size() * sizeof(float)));
}

TEST(Input, SamplesNearTheFloatLimitCannotOverflowTheDcBlocker) {
  // Alternating full-scale floats would push the blocker's difference past the largest float: infinity,
  // then infinity minus infinity, and the instrument would stay silent with NaN for good.
  TestEngine t;
  t.noteOn(60);
  std::vector<float> extreme(256);
  for (int i = 0; i < 256; ++i) extreme[i] = (i % 2 == 0 ? 1.0f : -1.0f) * std::numeric_limits<float>::max();
  std::vector<float> right;
  const auto left = t.render(256, &right, extreme.data());
  const auto after = t.render(2000, &right);
  for (float x : left) ASSERT_TRUE(std::isfinite(x));
  for (float x : after) ASSERT_TRUE(std::isfinite(x));
  for (float x : right) ASSERT_TRUE(std::isfinite(x));
  EXPECT_TRUE(std::isfinite(t.rec().dcAverage));
  float peak = 0.0f;
  for (int i = 1000; i < 2000; ++i) peak = std::max(peak, std::fabs(after[static_cast<size_t>(i)]));
  EXPECT_GT(peak, 0.01f);  // the note still sounds
}

TEST(Input, IsMixedInThroughTheDcBlockerOnly) {
  TestEngine t;
  std::vector<float> constant(44100, 0.5f);
  const auto out = t.render(44100, nullptr, constant.data());
  EXPECT_GT(std::fabs(out[100]), 0.1f);  // the volume is set on frame 64
  EXPECT_LT(std::fabs(out[44099]), 1e-3f);
}

TEST(Output, VolumeZeroIsExactSilence) {
  std::vector<float> values = neutralValues();
  values[kVolume] = 0.0f;
  TestEngine t(values);
  t.noteOn(60);
  std::vector<float> right;
  const auto left = t.render(3000, &right);
  for (int i = 0; i < 3000; ++i) {
    ASSERT_EQ(left[i], 0.0f);
    ASSERT_EQ(right[i], 0.0f);
  }
}

TEST(Output, WithoutWidthTheLeftIsTheRightDelayedByTheBaseDelay) {
  std::vector<float> values = neutralValues();
  values[kStereoAmount] = 0.5f;  // 2^6 = 64 frames
  values[kStereoWidth] = 0.0f;
  TestEngine t(values);
  t.noteOn(48);
  std::vector<float> right;
  const auto left = t.render(4000, &right);
  EXPECT_NEAR(t.rec().stereoBaseDelay, 64.0f, 1e-4f);
  for (int k = 300; k < 4000; ++k) ASSERT_EQ(left[k], right[k - 64]) << k;
}

TEST(Output, OscillatorMixFadesThePairOnTheFarSide) {
  std::vector<float> values = neutralValues();
  values[kOscMix] = 0.25f;
  TestEngine t(values);
  t.render(64);
  EXPECT_EQ(t.rec().pairGain1, 1.0f);
  EXPECT_EQ(t.rec().pairGain2, 0.5f);
  t.setParam(kOscMix, 0.75f);
  t.render(64);
  EXPECT_EQ(t.rec().pairGain1, 0.5f);
  EXPECT_EQ(t.rec().pairGain2, 1.0f);
}

TEST(DeltaFrames, EventsActAtTheirFrameWhateverTheBlockSize) {
  std::vector<float> values = neutralValues();
  values[kFilterType] = 5.5f / 10.99f;  // Low24
  values[kFilterQ] = 0.6f;
  values[kStereoAmount] = 0.6f;
  values[kStereoWidth] = 0.4f;
  values[kPanAmount] = 0.5f;
  values[kPanSpeed] = 0.6f;
  values[kGateTempo] = kGateAtTempo;
  values[kGateToVolume] = 0.5f;
  values[kGatePatternVolume] = 0.3f;
  const std::vector<TimedMessage> messages = {
      {3, 0x90, 60, 100},    {3, 0x90, 64, 90},   {700, 0x90, 67, 80},  {701, 0xB0, 74, 40},
      {1500, 0xE0, 0, 90},   {2047, 0x80, 60, 0}, {2048, 0x90, 72, 127}, {3001, 0xB0, 123, 0},
      {3333, 0x90, 55, 64},  {5000, 0x80, 55, 0}, {6100, 0xB0, 7, 90},  {8190, 0x90, 62, 70}};
  std::vector<float> rightReference;
  const auto reference = renderInBlocks(values, messages, 9000, 4096, &rightReference);
  for (int block : {1, 7, 64}) {
    std::vector<float> right;
    const auto left = renderInBlocks(values, messages, 9000, block, &right);
    EXPECT_EQ(0, std::memcmp(reference.data(), left.data(), left.size() * sizeof(float))) << block;
    EXPECT_EQ(0, std::memcmp(rightReference.data(), right.data(), right.size() * sizeof(float))) << block;
  }
}

TEST(DeltaFrames, UnsortedBatchesGoInDeltaOrderAndEqualDeltasKeepBatchOrder) {
  TestEngine t;
  const MidiMessage batch[] = {{10, {0x90, 60, 100, 0}}, {5, {0x80, 60, 0, 0}}, {7, {0x90, 62, 100, 0}},
                               {7, {0x80, 62, 0, 0}}};
  t.engine->processEvents(batch, 4);
  t.render(6);
  EXPECT_EQ(t.rec().voiceHeld[1], 0);
  t.render(2);  // frame 7: on, then off
  EXPECT_EQ(t.rec().voiceHeld[1], 0);
  EXPECT_EQ(t.rec().noteNumber[1], 62.0f);
  t.render(100);  // frame 10: the note-on of 60 sounds
  EXPECT_EQ(t.rec().voiceHeld[2], 1);
  EXPECT_EQ(t.rec().noteNumber[2], 60.0f);
}

TEST(DeltaFrames, DeltasOutsideTheBlockActAtItsEnds) {
  // Late: acts at the block's last frame, as if sent with that delta.
  TestEngine late, reference;
  late.noteOn(60, 100, 500);
  const auto a = late.render(10);
  reference.noteOn(60, 100, 9);
  const auto b = reference.render(10);
  EXPECT_EQ(late.rec().voiceHeld[1], 1);
  EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(float)));
  // Early: acts at the first frame.
  TestEngine early, atZero;
  early.render(100);
  atZero.render(100);
  early.noteOn(62, 100, -40);
  atZero.noteOn(62, 100, 0);
  const auto c = early.render(300);
  const auto d = atZero.render(300);
  EXPECT_EQ(0, std::memcmp(c.data(), d.data(), c.size() * sizeof(float)));
  EXPECT_EQ(early.rec().voiceHeld[1], 1);
}

TEST(DeltaFrames, AFullQueueActsAtOnce) {
  TestEngine t;
  std::vector<MidiMessage> many(kMidiQueueSize + 1, MidiMessage{5, {0xB0, 1, 0, 0}});
  many.back() = MidiMessage{5, {0x90, 60, 100, 0}};
  t.engine->processEvents(many.data(), static_cast<int32_t>(many.size()));
  EXPECT_EQ(t.rec().voiceHeld[1], 1);  // did not fit: applied immediately
  t.render(8);
  EXPECT_EQ(t.host.handledMessages, kMidiQueueSize);
}

TEST(Safety, RandomParametersAndMidiNeverGiveNonFiniteSamples) {
  std::mt19937 random(1234);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int trial = 0; trial < 24; ++trial) {
    std::vector<float> values(kNumStoredValues);
    for (float& v : values) v = unit(random);
    if (trial % 3 == 0) values[kVolume] = 1.0f;
    TestEngine t(values, trial % 4 == 0 ? 1000.0f : (trial % 4 == 1 ? 192000.0f : 44100.0f));
    t.host.tempo = trial % 5 == 0 ? kAbsurdTempo : 140.0f;
    for (int block = 0; block < 40; ++block) {
      for (int m = 0; m < 4; ++m) {
        const uint8_t status = static_cast<uint8_t>(0x80 + 0x10 * (random() % 7));
        t.send(status, static_cast<uint8_t>(random() % 256), static_cast<uint8_t>(random() % 256),
               static_cast<int32_t>(random() % 600) - 50);
      }
      if (block % 10 == 5) t.setParam(static_cast<int>(random() % 100), unit(random));
      std::vector<float> right;
      const auto left = t.render(1 + static_cast<int>(random() % 700), &right);
      for (size_t k = 0; k < left.size(); ++k) {
        ASSERT_TRUE(std::isfinite(left[k]) && std::isfinite(right[k])) << trial << " " << block;
        ASSERT_LE(std::fabs(left[k]), 1.0f);
      }
    }
  }
}

TEST(Outputs, OneMissingChannelLeavesTheOtherAsItWouldBe) {
  // The same notes at frames deep into a large block, rendered with both channels and with one.
  auto play = [](bool leftOnly, bool rightOnly) {
    TestEngine t;
    t.noteOn(60, 100, 700);
    t.noteOn(67, 90, 2500);
    std::vector<float> left(4096, 9.0f), right(4096, 9.0f);
    t.engine->render(nullptr, rightOnly ? nullptr : left.data(), leftOnly ? nullptr : right.data(), 4096);
    return std::make_pair(left, right);
  };
  const auto both = play(false, false);
  const auto leftOnly = play(true, false);
  const auto rightOnly = play(false, true);
  EXPECT_EQ(leftOnly.first, both.first);
  EXPECT_EQ(rightOnly.second, both.second);
  EXPECT_EQ(leftOnly.second, std::vector<float>(4096, 9.0f));  // the missing channel is not touched
  EXPECT_NE(both.first[3000], 0.0f);
  TestEngine t;
  t.engine->render(nullptr, nullptr, nullptr, 64);  // nothing to write: nothing happens
  EXPECT_EQ(t.rec().sampleCounter, 0);
}
