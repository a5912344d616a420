// A long session rendered offline: random MIDI, automation of any parameter and program changes at
// several sample rates. Every block is finite and within [-1, 1]; every half minute all keys go up and
// every voice must fall silent within a release time. Ten minutes of audio by default;
// TAMBLIN_SOAK_MINUTES=N renders N minutes (TAMBLIN_SOAK=1: three hours).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "Harness.h"

using namespace tamblin::check;

namespace {

double soakMinutes() {
  if (const char* minutes = std::getenv("TAMBLIN_SOAK_MINUTES")) return std::atof(minutes);
  const char* soak = std::getenv("TAMBLIN_SOAK");
  return soak && soak[0] == '1' ? 180.0 : 10.0;
}

float anyValue(std::mt19937& rng) {
  static const float kEdges[] = {0.0f, 1.0f, std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::infinity(), -1.0f, 1e-40f};
  if (rng() % 8 == 0) return kEdges[rng() % std::size(kEdges)];
  return std::uniform_real_distribution<float>(0.0f, 1.0f)(rng);
}

TEST(Soak, RandomSessionsAtSeveralRates) {
  const float rates[] = {22050, 44100, 48000, 96000, 192000};
  const double secondsPerRate = soakMinutes() * 60.0 / std::size(rates);
  const auto started = std::chrono::steady_clock::now();
  double seconds = 0;
  int checks = 0, programChanges = 0, automations = 0;
  for (float rate : rates) {
    std::mt19937 rng(static_cast<unsigned>(rate));
    AEffect* e = startInstrument(rate, 2048);
    ASSERT_NE(e, nullptr);
    Outputs out(2048);
    EventBatch batch;
    double nextCheck = 30.0 * rate;
    while (out.frames < secondsPerRate * rate) {
      const int frames = rng() % 4 ? 1 + static_cast<int>(rng() % 512) : 1 + static_cast<int>(rng() % 2048);
      for (int n = static_cast<int>(rng() % 6); n > 0; --n) {
        static const uint8_t kStatus[] = {0x90, 0x90, 0x90, 0x80, 0x80, 0xB0, 0xE0, 0xC0, 0xD0};
        const uint8_t status = static_cast<uint8_t>(kStatus[rng() % std::size(kStatus)] | (rng() % 16));
        batch.add(status, static_cast<uint8_t>(24 + rng() % 72), static_cast<uint8_t>(rng() % 128),
                  static_cast<int32_t>(rng() % static_cast<unsigned>(frames)));
      }
      batch.send(e);
      if (rng() % 3 == 0) {
        e->setParameter(e, static_cast<VstInt32>(rng() % 100), anyValue(rng));
        ++automations;
      }
      if (rng() % 400 == 0) {
        dispatch(e, effSetProgram, 0, static_cast<VstIntPtr>(rng() % 16));
        ++programChanges;
      }
      ASSERT_TRUE(out.render(e, frames, rng() % 2)) << rate << " Hz after " << out.frames / rate << " s";
      if (out.frames >= nextCheck) {
        bool clean = true;
        const bool silent = fallsSilent(e, out, rate, 512, clean);
        ASSERT_TRUE(silent) << rate << " Hz: a voice still sounds after "
                                                           << out.frames / rate << " s";
        ASSERT_TRUE(clean);
        ++checks;
        nextCheck = out.frames + 30.0 * rate;
      }
    }
    seconds += out.frames / rate;
    closeInstrument(e);
  }
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("soak: %.1f minutes of audio at %zu rates in %.1f s; %d automations, %d program changes, %d "
              "silence checks; nothing non-finite, out of range or stuck\n",
              seconds / 60.0, std::size(rates), took, automations, programChanges, checks);
  RecordProperty("audio_seconds", static_cast<int>(seconds));
  EXPECT_GE(seconds, soakMinutes() * 60.0);
}

}  // namespace
