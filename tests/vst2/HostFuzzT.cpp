// A careless host: random requests, parameter values, MIDI and block sizes, interleaved with rendering.
// The instrument must never crash and never output anything but finite samples within the clip range.
// TAMBLIN_SOAK=1 runs it two hundred times longer.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "support/EventBatch.h"
#include "support/Instrument.h"

using tamblin::test::InstrumentTest;

namespace {

int rounds() {
  const char* soak = std::getenv("TAMBLIN_SOAK");
  return soak && soak[0] == '1' ? 400000 : 2000;
}

// Requests that open windows or end the instrument are driven by their own tests.
bool skipped(VstInt32 opcode) {
  return opcode == effClose || (opcode >= effEditGetRect && opcode <= effEditSleep) ||
         (opcode >= effEditKeyDown && opcode <= effSetEditKnobMode) || opcode == effProcessEvents;
}

float wildValue(std::mt19937& rng) {
  static const float kSpecial[] = {0.0f, 1.0f, -1.0f, 0.5f, 1e30f, -1e30f, 1e-40f,
                                   std::numeric_limits<float>::quiet_NaN(),
                                   std::numeric_limits<float>::infinity(),
                                   -std::numeric_limits<float>::infinity()};
  if (rng() % 3 == 0) return kSpecial[rng() % std::size(kSpecial)];
  return std::uniform_real_distribution<float>(-0.5f, 1.5f)(rng);
}

}  // namespace

TEST_F(InstrumentTest, SurvivesACarelessHost) {
  std::mt19937 rng(20261207);
  constexpr int kMaxFrames = 3000;
  std::vector<float> in0(kMaxFrames), in1(kMaxFrames), left(kMaxFrames), right(kMaxFrames);
  float* inputs[2] = {in0.data(), in1.data()};
  float* outputs[2] = {left.data(), right.data()};
  tamblin::test::EventBatch batch(96);
  char buffer[512];
  request(effMainsChanged, 0, 1);

  for (int round = 0; round < rounds(); ++round) {
    switch (rng() % 5) {
      case 0: {  // any request with a generous, zeroed buffer holding a random text
        const VstInt32 opcode = static_cast<VstInt32>(rng() % 80);
        if (skipped(opcode)) break;
        std::memset(buffer, 0, sizeof buffer);
        for (int c = 0, n = static_cast<int>(rng() % 100); c < n; ++c) buffer[c] = static_cast<char>(1 + rng() % 255);
        const VstInt32 index = static_cast<VstInt32>(rng() % 3 ? rng() % 120 : rng());
        const VstIntPtr value = rng() % 3 ? static_cast<VstIntPtr>(rng() % 20) : static_cast<VstIntPtr>(rng()) - (1 << 30);
        request(opcode, index, value, buffer, wildValue(rng));
        break;
      }
      case 1:
        setParameter(static_cast<VstInt32>(rng() % 110) - 5, wildValue(rng));
        break;
      case 2: {  // a batch of notes, controllers, bends and junk at random frames
        const int count = static_cast<int>(rng() % 96);
        for (int i = 0; i < count; ++i) {
          VstMidiEvent& e = batch.add(0, 0, 0, static_cast<VstInt32>(rng() % 4 ? rng() % 512 : rng()));
          static const unsigned char kStatus[] = {0x90, 0x80, 0xB0, 0xE0, 0xC0, 0xF0, 0x00};
          e.midiData[0] = static_cast<char>(kStatus[rng() % std::size(kStatus)] | (rng() % 16));
          e.midiData[1] = static_cast<char>(rng() % 256);
          e.midiData[2] = static_cast<char>(rng() % 256);
        }
        request(effProcessEvents, 0, 0, batch.get());
        batch.clear();
        break;
      }
      case 3: {  // render a block of any size, sometimes with a loud or broken input
        const int frames = static_cast<int>(rng() % 4 ? rng() % 600 : rng() % kMaxFrames);
        const float level = wildValue(rng);
        for (int k = 0; k < frames; ++k) in0[k] = (k % 7 == 0) ? level : 0.0f;
        std::fill(left.begin(), left.end(), 9.0f);
        std::fill(right.begin(), right.end(), 9.0f);
        if (rng() % 2)
          effect->processReplacing(effect, inputs, outputs, frames);
        else
          effect->process(effect, inputs, outputs, frames);
        for (int k = 0; k < frames; ++k) {
          ASSERT_TRUE(std::isfinite(left[k]) && std::fabs(left[k]) <= 1.0f) << "round " << round << " frame " << k;
          ASSERT_TRUE(std::isfinite(right[k]) && std::fabs(right[k]) <= 1.0f) << "round " << round << " frame " << k;
        }
        break;
      }
      case 4:
        request(effSetProgram, 0, static_cast<VstIntPtr>(rng() % 20) - 2);
        break;
    }
  }
}
