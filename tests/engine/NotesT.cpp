// MIDI intake and note handling: voice allocation in the three play modes, controllers and pitch bend.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "EngineTestSupport.h"
#include "Stages.h"

using namespace tamblin;
using tamblin::test::TestEngine;

namespace {

// Applies the queued messages (they act at the first frame of the next block).
void flush(TestEngine& t) { t.render(1); }

constexpr float kArpValue = 0.8361204f;     // "Arp"
constexpr float kLegatoValue = 0.5f;        // "Legato"

}  // namespace

TEST(PolyMode, RoundRobinStartsAfterThePointerAndStealsWhenAllKeysAreDown) {
  TestEngine t;
  std::vector<int> started;
  for (int key = 60; key < 69; ++key) {
    t.noteOn(key);
    flush(t);
    started.push_back(t.rec().voicePointer);
  }
  EXPECT_EQ(started, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 0, 1}));
  EXPECT_EQ(t.rec().noteNumber[1], 68.0f);
}

TEST(PolyMode, ReusesTheNextVoiceWhoseKeyIsUpEvenWhileItReleases) {
  TestEngine t;
  t.noteOn(60);
  t.noteOn(62);
  t.noteOn(64);
  flush(t);
  t.noteOff(62);  // voice 2 releases
  flush(t);
  t.rec().voicePointer = 0;
  t.noteOn(65);
  flush(t);
  EXPECT_EQ(t.rec().voicePointer, 2);  // voice 1 is held, voice 2 is free
  EXPECT_EQ(t.rec().noteNumber[2], 65.0f);
  EXPECT_EQ(t.rec().env1Level[2] < 0.02f, true);  // restarted from zero
}

TEST(PolyMode, TheSameKeyTwiceTakesTwoVoicesAndOneNoteOffReleasesBoth) {
  TestEngine t;
  t.noteOn(60);
  t.noteOn(60);
  flush(t);
  EXPECT_EQ(t.rec().voiceHeld[1], 1);
  EXPECT_EQ(t.rec().voiceHeld[2], 1);
  t.noteOff(60);
  flush(t);
  EXPECT_EQ(t.rec().voiceHeld[1], 0);
  EXPECT_EQ(t.rec().voiceHeld[2], 0);
}

TEST(PolyMode, VelocityZeroIsANoteOffAndEveryChannelPlays) {
  TestEngine t;
  t.send(0x9F, 60, 90);
  flush(t);
  EXPECT_EQ(t.rec().voiceHeld[1], 1);
  t.send(0x93, 60, 0);
  flush(t);
  EXPECT_EQ(t.rec().voiceHeld[1], 0);
  t.send(0x95, 61, 90);
  t.send(0x85, 61, 77);
  flush(t);
  EXPECT_EQ(t.rec().voiceHeld[2], 0);
  // Pressure, program change and system messages are skipped.
  t.send(0xA0, 61, 90);
  t.send(0xC0, 3, 0);
  t.send(0xF0, 61, 90);
  flush(t);
  EXPECT_EQ(t.rec().voicePointer, 2);
}

TEST(PolyMode, VelocityFollowsTheSwitchesAndTheFilterAlwaysSeesIt) {
  TestEngine t;
  t.setParam(kFilterVelocity, 0.5f);
  t.noteOn(60, 127);
  flush(t);
  EXPECT_EQ(t.rec().velocity[1], 1.0f);
  t.noteOn(61, 64);
  flush(t);
  EXPECT_EQ(t.rec().velocity[2], 1.0f);  // velocity to volume is off
  EXPECT_EQ(t.rec().filterVelocity[2], 1.0f - 0.5f + 0.5f * (64.0f / 127.0f));
  t.setParam(kVelocityToVolume, 1.0f);
  t.noteOn(62, 200);  // a byte above 127 is used as it is
  flush(t);
  EXPECT_EQ(t.rec().velocity[3], 200.0f / 127.0f);
}

TEST(PolyMode, FirstKeyRestartsTheGateAndSixteenVoicesAreUsedWhenAsked) {
  TestEngine t;
  t.setParam(kVoiceCount, 1.0f);
  t.render(5000);
  ASSERT_GT(t.rec().gatePosition.load(), 0.0f);
  t.noteOn(60);
  t.render(1);
  EXPECT_LT(t.rec().gatePosition.load(), 0.001f);
  for (int i = 0; i < 15; ++i) t.noteOn(70 + i);
  flush(t);
  EXPECT_EQ(t.rec().voicePointer, 0);  // voices 1..15 then 0
  for (int v = 0; v < 16; ++v) EXPECT_EQ(t.rec().voiceHeld[v], 1);
  // Back to eight: the upper voices are not rendered, but a note-off still lets their key go (else the
  // note would sound for ever once sixteen are chosen again).
  t.setParam(kVoiceCount, 0.0f);
  t.noteOff(80);  // on voice 12
  flush(t);
  EXPECT_EQ(t.rec().voiceHeld[12], 0);
  EXPECT_EQ(t.rec().voiceHeld[11], 1);
}

TEST(LegatoMode, TwoKeyMemoryReturnsToTheFirstKeyWithoutANewAttack) {
  TestEngine t;
  t.setParam(kPlayMode, kLegatoValue);
  EngineRecord& r = t.rec();
  t.noteOn(60);
  flush(t);
  EXPECT_EQ(r.voicePointer, 0);
  EXPECT_EQ(r.legatoHeld, 1);
  t.render(2000);
  const float level = r.env1Level[0];
  ASSERT_GT(level, 0.5f);
  t.noteOn(64);
  flush(t);
  EXPECT_EQ(r.legatoHeld, 2);
  EXPECT_EQ(r.noteNumber[0], 64.0f);
  EXPECT_GE(r.env1Level[0], level);  // no retrigger
  t.noteOn(67);
  flush(t);
  EXPECT_EQ(r.noteNumber[0], 67.0f);
  t.noteOff(64);  // the middle key is not remembered
  flush(t);
  EXPECT_EQ(r.noteNumber[0], 67.0f);
  EXPECT_EQ(r.legatoHeld, 2);
  t.noteOff(67);
  flush(t);
  EXPECT_EQ(r.noteNumber[0], 60.0f);
  EXPECT_EQ(r.legatoHeld, 1);
  EXPECT_EQ(r.voiceHeld[0], 1);
  t.noteOff(60);
  flush(t);
  EXPECT_EQ(r.voiceHeld[0], 0);
  EXPECT_EQ(r.legatoHeld, 0);
}

TEST(LegatoMode, ReleasingTheFirstKeyKeepsTheLastOne) {
  TestEngine t;
  t.setParam(kPlayMode, kLegatoValue);
  EngineRecord& r = t.rec();
  t.noteOn(60);
  t.noteOn(64);
  flush(t);
  t.noteOff(60);
  flush(t);
  EXPECT_EQ(r.legatoFirstNote, 64);
  EXPECT_EQ(r.legatoHeld, 1);
  EXPECT_EQ(r.noteNumber[0], 64.0f);
  t.noteOff(99);  // with one key counted, any note-off releases
  flush(t);
  EXPECT_EQ(r.voiceHeld[0], 0);
}

TEST(ArpMode, KeysFormAListInPressOrderAndNoteOffRemovesEveryCopy) {
  TestEngine t;
  t.setParam(kPlayMode, kArpValue);
  EngineRecord& r = t.rec();
  t.noteOn(60);
  t.noteOn(64);
  t.noteOn(67);
  t.noteOn(64);
  flush(t);
  ASSERT_EQ(r.arpLast, 3);
  EXPECT_EQ(r.arpNotes[0], 60.0f);
  EXPECT_EQ(r.arpNotes[3], 64.0f);
  t.noteOff(64);
  flush(t);
  EXPECT_EQ(r.arpLast, 1);
  EXPECT_EQ(r.arpNotes[0], 60.0f);
  EXPECT_EQ(r.arpNotes[1], 67.0f);
  t.noteOff(60);
  t.noteOff(67);
  flush(t);
  EXPECT_EQ(r.arpLast, -1);
}

TEST(ArpMode, AFullListIgnoresFurtherKeys) {
  TestEngine t;
  t.setParam(kPlayMode, kArpValue);
  EngineRecord& r = t.rec();
  for (int i = 0; i < 40; ++i) t.noteOn(30 + i);
  flush(t);
  EXPECT_EQ(r.arpLast, 32);
  EXPECT_EQ(r.arpNotes[32], 62.0f);
  t.noteOff(31);
  t.noteOn(100);
  flush(t);
  EXPECT_EQ(r.arpLast, 32);
  EXPECT_EQ(r.arpNotes[32], 100.0f);
}

TEST(PlayModeReset, StoringThePlayModeReleasesEverythingEvenWithTheSameValue) {
  TestEngine t;
  EngineRecord& r = t.rec();
  t.noteOn(60);
  t.noteOn(62);
  flush(t);
  t.setParam(kPlayMode, 0.0f);
  EXPECT_EQ(r.voiceHeld[1] + r.voiceHeld[2], 0);
  EXPECT_EQ(r.voicePointer, 0);
  t.setParam(kPlayMode, kArpValue);
  t.noteOn(60);
  flush(t);
  t.setParam(kPlayMode, kArpValue);
  EXPECT_EQ(r.arpLast, -1);
}

TEST(Controllers, MapToTheirParametersAndClamp) {
  TestEngine t;
  t.send(0xB0, 74, 127);
  flush(t);
  EXPECT_EQ(t.engine->param(kFilterFrequency), 1.0f);
  t.send(0xB0, 74, 0);
  flush(t);
  EXPECT_EQ(t.engine->param(kFilterFrequency), 0.0f);
  const int pairs[][2] = {
      {7, kVolume}, {64, kOsc12Sustain}, {65, kPortamento}, {66, kOsc12Decay}, {67, kOscMix},
      {68, kPanAmount}, {69, kPanSpeed}, {71, kFilterQ}, {72, kOsc12Release}, {73, kOsc12Attack},
      {75, kUnisonAmount}, {76, kUnisonSpeed}, {77, kTremoloAmount}, {78, kTremoloSpeed},
      {79, kVibratoAmount}, {80, kVibratoSpeed}, {81, kStereoAmount}, {82, kStereoSpeed},
      {83, kFilterModAmount}, {84, kFilterModSpeed}, {85, kTune1}, {86, kTune2}, {87, kTune3}, {88, kTune4},
      {91, kOsc34Attack}, {92, kOsc34Decay}, {93, kOsc34Sustain}, {94, kOsc34Release}};
  for (const auto& pair : pairs) {
    t.host.lastControllerIndex = -1;
    t.send(0xB3, static_cast<uint8_t>(pair[0]), 100);
    flush(t);
    EXPECT_EQ(t.host.lastControllerIndex, pair[1]) << pair[0];
    EXPECT_EQ(t.engine->param(pair[1]), 100.0f / 127.0f) << pair[0];
  }
  // Unmapped controllers set nothing but are still reported.
  const int handled = t.host.handledMessages;
  for (int c : {0, 1, 6, 8, 63, 70, 89, 90, 95, 127}) {
    t.host.lastControllerIndex = -1;
    t.send(0xB0, static_cast<uint8_t>(c), 100);
    flush(t);
    EXPECT_EQ(t.host.lastControllerIndex, -1) << c;
  }
  EXPECT_EQ(t.host.handledMessages, handled + 10);
  // A value byte above 127 clamps.
  t.send(0xB0, 7, 255);
  flush(t);
  EXPECT_EQ(t.rec().controllerValue, 1.0f);
  EXPECT_EQ(t.engine->param(kVolume), 1.0f);
}

TEST(Controllers, AllNotesOffAndAllSoundOffReleaseEveryKey) {
  for (int controller : {120, 123}) {
    TestEngine t;
    t.noteOn(60);
    t.noteOn(64);
    flush(t);
    t.send(0xB0, static_cast<uint8_t>(controller), 0);
    flush(t);
    for (int v = 0; v < 16; ++v) EXPECT_EQ(t.rec().voiceHeld[v], 0);
  }
  TestEngine t;
  t.noteOn(60);
  t.send(0xB0, 121, 0);  // reset all controllers: no release
  flush(t);
  EXPECT_EQ(t.rec().voiceHeld[1], 1);
}

TEST(Controllers, AllNotesOffStopsARunningArpeggio) {
  TestEngine t;
  t.setParam(kArpRate, 1.0f);  // the fastest steps
  t.setParam(kPlayMode, kArpValue);
  t.noteOn(60);
  t.noteOn(64);
  t.render(4096);
  ASSERT_EQ(t.rec().arpLast, 1);
  t.send(0xB0, 123, 0);
  t.render(4096);
  EXPECT_EQ(t.rec().arpLast, -1);
  for (int v = 0; v < 16; ++v) EXPECT_EQ(t.rec().voiceHeld[v], 0) << v;
  // Nothing starts again: the released voices only fade.
  t.render(44100);
  for (int v = 0; v < 16; ++v) EXPECT_EQ(t.rec().voiceHeld[v], 0) << v;
}

TEST(PitchBend, UsesTheMostSignificantByteOnly) {
  TestEngine t;
  t.send(0xE0, 0, 0);
  flush(t);
  EXPECT_EQ(t.rec().pitchBend, 0.5f);
  t.send(0xE0, 127, 64);
  flush(t);
  EXPECT_EQ(t.rec().pitchBend, 1.0f);
  t.send(0xE5, 0, 127);
  flush(t);
  EXPECT_NEAR(t.rec().pitchBend, std::exp2(63.0f / 64.0f), 1e-6f);
  EXPECT_EQ(t.host.handledMessages, 3);
}

TEST(Intake, AnswersOneAlwaysAndIgnoresAnEmptyBatch) {
  TestEngine t;
  EXPECT_EQ(t.engine->processEvents(nullptr, 5), 1);
  EXPECT_EQ(t.engine->processEvents(nullptr, 0), 1);
  const MidiMessage m{0, {0x90, 60, 100, 0}};
  EXPECT_EQ(t.engine->processEvents(&m, -3), 1);
  flush(t);
  EXPECT_EQ(t.rec().voiceHeld[1], 0);
}
