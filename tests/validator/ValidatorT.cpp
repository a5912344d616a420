// The battery a plug-in validator runs, through the effect record only: many instances, switching on and
// off, every rate and block size, every parameter swept to the edges and beyond, program changes and
// renames, the editor opened, used and closed, all while processing. Every case checks that the output is
// finite and within [-1, 1] and that no voice still sounds a release time after the last key went up.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "Harness.h"

using namespace tamblin;
using namespace tamblin::check;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Makes, plays and ends one instance in the middle of a validator's checks.
void playBriefly(AEffect* e, Outputs& out, int note) {
  sendChord(e, note, 3);
  ASSERT_TRUE(out.render(e, 256));
}

TEST(Validator, ManyInstancesInARowAndInterleaved) {
  Outputs out(512);
  int made = 0;
  for (int i = 0; i < 200; ++i, ++made) {
    AEffect* e = startInstrument();
    ASSERT_NE(e, nullptr) << "instance " << i;
    if (i % 20 == 0) playBriefly(e, out, 40 + i % 40);
    closeInstrument(e);
  }
  // Eight alive at once, played in turn, closed in another order than made: each keeps its own program.
  AEffect* live[8];
  for (int i = 0; i < 8; ++i, ++made) {
    live[i] = startInstrument();
    ASSERT_NE(live[i], nullptr);
    dispatch(live[i], effSetProgram, 0, i);
  }
  for (int round = 0; round < 4; ++round)
    for (int i = 0; i < 8; ++i) playBriefly(live[i], out, 36 + 7 * i);
  for (int i : {3, 0, 7, 5, 1, 6, 2, 4}) {
    EXPECT_EQ(dispatch(live[i], effGetProgram), i);
    bool clean = true;
    EXPECT_TRUE(fallsSilent(live[i], out, 44100, 512, clean)) << "instance " << i;
    EXPECT_TRUE(clean);
    closeInstrument(live[i]);
  }
  EXPECT_EQ(made, 208);
}

TEST(Validator, SwitchedOnAndOffWhilePlaying) {
  AEffect* e = startInstrument();
  Outputs out(1024);
  for (int cycle = 0; cycle < 50; ++cycle) {
    sendChord(e, 48 + cycle % 24, 4);
    ASSERT_TRUE(out.render(e, 1024)) << "cycle " << cycle;
    dispatch(e, effMainsChanged, 0, 0);
    if (cycle % 2) dispatch(e, effSetSampleRate, 0, 0, nullptr, cycle % 4 == 1 ? 48000.0f : 44100.0f);
    dispatch(e, effMainsChanged, 0, 1);
    ASSERT_TRUE(out.render(e, 333)) << "cycle " << cycle;
  }
  bool clean = true;
  EXPECT_TRUE(fallsSilent(e, out, 48000, 512, clean));
  EXPECT_TRUE(clean);
  closeInstrument(e);
}

// Rates x block sizes, each with and without notes: 6 x 19 x 2 cases on one instance per rate.
TEST(Validator, EveryRateAndBlockSize) {
  const float rates[] = {22050, 44100, 48000, 88200, 96000, 192000};
  const int blocks[] = {1, 2, 3, 7, 16, 31, 64, 100, 127, 256, 441, 512, 999, 1024, 2047, 2048, 4096, 4099, 8192};
  Outputs out(8192);
  int cases = 0;
  for (float rate : rates) {
    AEffect* e = startInstrument(rate);
    dispatch(e, effSetProgram, 0, 2);
    for (int block : blocks) {
      dispatch(e, effMainsChanged, 0, 0);
      dispatch(e, effSetBlockSize, 0, block);
      dispatch(e, effMainsChanged, 0, 1);
      for (bool notes : {false, true}) {
        ++cases;
        if (notes) sendChord(e, 45, 6);
        const double frames = std::max(2.0 * block, rate * 0.05);
        ASSERT_TRUE(out.renderFrames(e, frames, block)) << rate << " Hz, block " << block << ", notes " << notes;
        if (!notes) continue;
        EXPECT_GT(soundingVoices(e), 0) << rate << " Hz, block " << block;
        bool clean = true;
        EXPECT_TRUE(fallsSilent(e, out, rate, block, clean)) << rate << " Hz, block " << block;
        ASSERT_TRUE(clean) << rate << " Hz, block " << block;
      }
    }
    closeInstrument(e);
  }
  EXPECT_EQ(cases, 6 * 19 * 2);
}

// Every parameter driven to each value while notes play; each read back as the instrument stores it.
TEST(Validator, EveryParameterSweptWhileProcessing) {
  struct Sweep {
    float value;
    float readBack;  // negative: the value itself
  };
  const Sweep sweeps[] = {{0.0f, 0.0f}, {1.0f, 1.0f},   {0.37f, -1}, {kNaN, 0.0f}, {kInf, 1.0f},
                          {-kInf, 0.0f}, {-3.0f, 0.0f}, {7.0f, 1.0f}, {1e-42f, -1}, {0.999f, -1}};
  AEffect* e = startInstrument(48000);
  Outputs out(300);
  std::mt19937 rng(14);
  const int params = e->numParams;
  for (int round = 0; round < 3; ++round) {
    dispatch(e, effSetProgram, 0, round * 5);
    sendChord(e, 40 + round, 8);
    for (int index = 0; index < params; ++index) {
      for (const Sweep& s : sweeps) {
        e->setParameter(e, index, s.value);
        const float expected = s.readBack < 0 ? s.value : s.readBack;
        ASSERT_EQ(e->getParameter(e, index), expected) << "parameter " << index << " set to " << s.value;
        ASSERT_TRUE(out.render(e, 1 + static_cast<int>(rng() % 300))) << "parameter " << index << " at " << s.value;
      }
      const float random = std::uniform_real_distribution<float>(0.0f, 1.0f)(rng);
      e->setParameter(e, index, random);
      ASSERT_EQ(e->getParameter(e, index), random);
    }
    sendChord(e, 52, 4);  // the sweep of the play mode let the first chord go
    ASSERT_TRUE(out.renderFrames(e, 48000, 256));
    EXPECT_GT(soundingVoices(e), 0);
  }
  bool clean = true;
  EXPECT_TRUE(fallsSilent(e, out, 48000, 256, clean));
  EXPECT_TRUE(clean);
  EXPECT_GT(out.peak, 0.0f);
  closeInstrument(e);
}

// Program changes and renames between blocks while notes play; names read back as far as the host's
// program-name buffer reaches (23 characters and the zero).
TEST(Validator, ProgramChangesAndRenamesWhileProcessing) {
  const std::string names[] = {"", "Lead", "A name of exactly 23 ch", std::string(63, 'x'), std::string(200, 'y'),
                               "\xc3\xa9t\xc3\xa9 \xe2\x99\xaa"};
  AEffect* e = startInstrument(96000);
  Outputs out(512);
  for (int pass = 0; pass < 3; ++pass) {
    for (int p = 0; p < e->numPrograms; ++p) {
      sendChord(e, 50 + p, 3);
      dispatch(e, effSetProgram, 0, p);
      ASSERT_TRUE(out.render(e, 512)) << "program " << p;
      const std::string& name = names[(p + pass) % std::size(names)];
      std::string text = name;
      dispatch(e, effSetProgramName, 0, 0, text.data());
      ASSERT_TRUE(out.render(e, 97)) << "program " << p;
      for (VstInt32 bad : {-1, 16, 1 << 30}) dispatch(e, effSetProgram, 0, bad);
      EXPECT_EQ(dispatch(e, effGetProgram), p);
      char read[256];
      std::memset(read, '#', sizeof read);
      dispatch(e, effGetProgramName, 0, 0, read);
      EXPECT_EQ(std::string(read), name.substr(0, 23)) << "program " << p;
      std::memset(read, '#', sizeof read);
      EXPECT_EQ(dispatch(e, effGetProgramNameIndexed, p, 0, read), 1);
      EXPECT_EQ(std::string(read), name.substr(0, 23));
      EXPECT_EQ(instrumentOf(e)->program(p).getName(), name.substr(0, 63));
    }
  }
  bool clean = true;
  EXPECT_TRUE(fallsSilent(e, out, 96000, 512, clean));
  EXPECT_TRUE(clean);
  closeInstrument(e);
}

// The drawn editor (no display) opened, edited, idled and closed between blocks; every edit reaches the
// host as automation and reads back as the parameter's value.
TEST(Validator, EditorOpenedEditedAndClosedWhileProcessing) {
  AEffect* e = startInstrument(44100);
  useHeadlessEditor(e);
  Outputs out(512);
  std::mt19937 rng(7);
  int opens = 0;
  for (int cycle = 0; cycle < 20; ++cycle) {
    sendChord(e, 40 + cycle, 4);
    ERect* rect = nullptr;
    dispatch(e, effEditGetRect, 0, 0, &rect);
    ASSERT_EQ(dispatch(e, effEditOpen, 0, 0, fakeParentWindow()), 1);
    ++opens;
    ASSERT_TRUE(out.render(e, 512));
    for (int step = 0; step < 10; ++step) {
      for (auto& value : QuietHost::automated) value = -1.0f;
      editAtRandom(e, rng, 3);
      dispatch(e, effEditIdle);
      for (int i = 0; i < e->numParams; ++i) {
        const float sent = QuietHost::automated[i];
        if (sent >= 0.0f) {
          EXPECT_EQ(e->getParameter(e, i), sent) << i;
        }
      }
      e->setParameter(e, static_cast<VstInt32>(rng() % 100), 0.5f);
      ASSERT_TRUE(out.render(e, 1 + static_cast<int>(rng() % 512))) << "cycle " << cycle << " step " << step;
    }
    if (cycle % 3 == 0) dispatch(e, effSetProgram, 0, cycle % 16);
    dispatch(e, effEditClose);
    ASSERT_TRUE(out.render(e, 256));
  }
  EXPECT_GT(QuietHost::automations.load(), 0);
  EXPECT_EQ(bridgeOf(e).editorWindow(), nullptr);
  bool clean = true;
  EXPECT_TRUE(fallsSilent(e, out, 44100, 512, clean));
  EXPECT_TRUE(clean);
  closeInstrument(e);
  EXPECT_EQ(opens, 20);
}

// Keys held on voices 9 to 16 while "8 Poly" is chosen still go up with their note-off, and the arpeggiator
// lets them go when its list empties: back at "16 Poly" nothing is left sounding.
TEST(Validator, KeysHeldBeyondTheVoicesInUseAreReleased) {
  for (float playMode : {0.0f, 1.0f}) {  // Poly, Arp
    AEffect* e = startInstrument(44100);
    Outputs out(512);
    e->setParameter(e, kPlayMode, playMode);
    e->setParameter(e, kVoiceCount, 1.0f);  // 16 Poly
    EventBatch batch;
    for (int key = 40; key < 56; ++key) batch.add(0x90, static_cast<uint8_t>(key), 100);
    batch.send(e);
    ASSERT_TRUE(out.renderFrames(e, 44100, 512));
    e->setParameter(e, kVoiceCount, 0.0f);  // 8 Poly while the keys are down
    ASSERT_TRUE(out.renderFrames(e, 4410, 512));
    releaseAllKeys(e);
    ASSERT_TRUE(out.renderFrames(e, releaseFrames(e, 44100), 512));
    e->setParameter(e, kVoiceCount, 1.0f);
    ASSERT_TRUE(out.renderFrames(e, releaseFrames(e, 44100), 512));
    EXPECT_EQ(soundingVoices(e), 0) << "play mode " << playMode;
    closeInstrument(e);
  }
}

}  // namespace
