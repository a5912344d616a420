// The whole instrument rendering: both block entries, block-size independence and golden renders of
// every factory program.
//
// Golden references live in golden/factory_programs.txt: per program a hash of every sample of a fixed
// phrase and a few exact spot samples. After an intended change of the sound, regenerate them with
//   TAMBLIN_UPDATE_GOLDEN=1 ./build/<dir>/tests/engine/instrument_render_tests
// and review the diff. They are the same for Release, Debug and sanitizer builds (no fused multiply-add,
// no fast-math), so any difference is a real change of the sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/EventBatch.h"
#include "support/FactoryPhrase.h"
#include "support/QuietHost.h"
#include "uPlugin.h"

namespace {

using namespace tamblin::test;

class Instrument {
 public:
  explicit Instrument(int program) : plugin_(std::make_unique<APlugin>(QuietHost::callback)) {
    plugin_->setProgram(program);
  }
  APlugin& plugin() { return *plugin_; }

  // Plays `messages` over `frames` frames in blocks of `block`, each message in the block holding its frame.
  Render play(const std::vector<TimedMessage>& messages, int frames, int block, bool accumulating = false,
              float fill = 0.0f) {
    Render out{std::vector<float>(static_cast<size_t>(frames), fill), std::vector<float>(static_cast<size_t>(frames), fill)};
    std::vector<float> input(static_cast<size_t>(block), 0.0f);
    for (int start = 0; start < frames; start += block) {
      const int n = std::min(block, frames - start);
      EventBatch events = EventBatch::inBlock(messages, start, n);
      if (events.size() > 0) plugin_->processEvents(events.get());
      float* inputs[2] = {input.data(), input.data()};
      float* outputs[2] = {out.left.data() + start, out.right.data() + start};
      if (accumulating) {
        plugin_->process(inputs, outputs, n);
      } else {
        plugin_->processReplacing(inputs, outputs, n);
      }
    }
    return out;
  }

 private:
  std::unique_ptr<APlugin> plugin_;
};

bool sameSamples(const Render& a, const Render& b) {
  return a.left.size() == b.left.size() &&
         std::memcmp(a.left.data(), b.left.data(), a.left.size() * sizeof(float)) == 0 &&
         std::memcmp(a.right.data(), b.right.data(), a.right.size() * sizeof(float)) == 0;
}

}  // namespace

TEST(InstrumentRender, ProcessAndProcessReplacingBothOverwriteWithTheSameSamples) {
  Instrument a(1), b(1);
  const Render replaced = a.play(kPhrase, 20000, 512, false, 123.0f);
  const Render accumulated = b.play(kPhrase, 20000, 512, true, -7.0f);
  EXPECT_TRUE(sameSamples(replaced, accumulated));
  float peak = 0.0f;
  for (float x : replaced.left) peak = std::max(peak, std::fabs(x));
  EXPECT_GT(peak, 0.05f);
  EXPECT_LE(peak, 1.0f);
}

TEST(InstrumentRender, TheHostIsAskedForTimeInfoAndTempoEvery1024Frames) {
  QuietHost::timeRequests = 0;
  Instrument a(0);
  a.play({}, 4096, 100);
  EXPECT_EQ(QuietHost::timeRequests, 4);
}

TEST(InstrumentRender, BlockSizeDoesNotChangeASample) {
  for (int program : {6, 8, 11}) {  // gate, arpeggiator, comb with gate
    const Render reference = Instrument(program).play(kPhrase, 30000, 4096);
    for (int block : {1, 7, 64}) {
      EXPECT_TRUE(sameSamples(reference, Instrument(program).play(kPhrase, 30000, block)))
          << "program " << program << ", blocks of " << block;
    }
  }
}

TEST(InstrumentRender, Trance1AGatesItsChordInSixteenthsAtTheHostTempo) {
  Instrument trance(6);
  const int step = 5512;  // a sixteenth at 120 beats per minute, 44.1 kHz (5512.5 frames)
  const Render r = trance.play({{0, 0x90, 57, 100}, {0, 0x90, 64, 100}}, step * 16 + 100, 256);
  // Volume pattern 0xAD56: step s open when bit 15 - s is set.
  const int pattern = 0xAD56;
  double open = 1e9, closed = 0.0;
  for (int s = 1; s < 16; ++s) {
    double energy = 0.0;
    const int from = static_cast<int>(s * 5512.5) + 4000, to = static_cast<int>((s + 1) * 5512.5);
    for (int k = from; k < to; ++k) energy += static_cast<double>(r.left[k]) * r.left[k];
    const double rms = std::sqrt(energy / (to - from));
    if ((pattern >> (15 - s)) & 1) open = std::min(open, rms);
    else closed = std::max(closed, rms);
  }
  EXPECT_GT(open, 2.5 * closed) << open << " " << closed;
}

TEST(InstrumentRender, ArpedPlaysTheHeldKeysInTurnOnSuccessiveVoices) {
  Instrument arped(8);
  const tamblin::EngineRecord& record = arped.plugin().soundEngine().record;
  arped.play({{0, 0x90, 60, 100}, {1, 0x90, 64, 100}, {2, 0x90, 67, 100}}, 64, 64);
  std::vector<float> notes;
  std::vector<int> voices;
  int last = record.voicePointer;
  for (int block = 0; block < 3000 && notes.size() < 7; ++block) {  // a step every 2 s, 1/16 per sixteenth
    arped.play({}, 256, 256);
    if (record.voicePointer != last) {
      last = record.voicePointer;
      voices.push_back(last);
      notes.push_back(record.noteNumber[last]);
    }
  }
  ASSERT_GE(notes.size(), 6u);
  for (size_t i = 0; i + 3 < notes.size(); ++i) EXPECT_EQ(notes[i], notes[i + 3]);
  EXPECT_NE(notes[0], notes[1]);
  EXPECT_NE(notes[1], notes[2]);
  for (size_t i = 1; i < voices.size(); ++i) EXPECT_EQ(voices[i], (voices[i - 1] + 1) % 8);
}

TEST(InstrumentRender, EveryFactoryProgramMatchesItsGoldenRender) {
  std::vector<std::string> lines;
  for (int program = 0; program < 16; ++program) {
    Instrument instrument(program);
    const Render r = instrument.play(kPhrase, kPhraseFrames, kPhraseBlock);
    for (size_t k = 0; k < r.left.size(); ++k) {
      ASSERT_TRUE(std::isfinite(r.left[k]) && std::isfinite(r.right[k])) << program;
    }
    lines.push_back(goldenLine(program, r));
  }

  const char* update = std::getenv("TAMBLIN_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream file(TAMBLIN_GOLDEN_FILE);
    file << "# program, FNV-1a hash of every sample (left, right interleaved), then left:right bit patterns\n"
            "# at frames 1000 6000 20000 40000 55000. Regenerate: TAMBLIN_UPDATE_GOLDEN=1 instrument_render_tests\n";
    for (const auto& line : lines) file << line << '\n';
    ASSERT_TRUE(file.good());
    GTEST_SKIP() << "golden renders written to " << TAMBLIN_GOLDEN_FILE;
  }

  std::ifstream file(TAMBLIN_GOLDEN_FILE);
  ASSERT_TRUE(file.good()) << "missing " << TAMBLIN_GOLDEN_FILE;
  std::vector<std::string> expected;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line[0] != '#') expected.push_back(line);
  }
  ASSERT_EQ(expected.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "program " << i;
}
