// The fast render path against the plain one, sample for sample, for every filter type and play mode,
// with each instruction set's voice kernels; and the memory one engine holds.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/PathComparison.h"

using namespace tamblin;

TEST(FastPath, EveryFilterTypeAndPlayModeGivesThePlainPathsSamples) {
  struct Renderer {
    const char* name;
    const kernels::VoiceKernels* kernels;
  };
  std::vector<Renderer> renderers = {{"baseline", kernels::baselineVoiceKernels()}};
  if (kernels::avx2VoiceKernels() != nullptr && kernels::bestVoiceKernels() == kernels::avx2VoiceKernels())
    renderers.push_back({"avx2", kernels::avx2VoiceKernels()});
  constexpr int kFrames = 24000;
  const struct {
    const char* name;
    float value;
  } modes[] = {{"Poly", 0.0f}, {"Legato", 0.5f}, {"Arp", 0.9f}};
  for (int t = 0; t < kFilterTypeCount; ++t) {
    const auto type = static_cast<FilterType>(t);
    for (const auto& mode : modes) {
      const std::vector<float> plain = test::playBusyPhrase(type, mode.value, kFrames, true);
      for (const Renderer& r : renderers) {
        const std::vector<float> fast = test::playBusyPhrase(type, mode.value, kFrames, false, r.kernels);
        EXPECT_EQ(test::firstDifference(plain, fast), -1)
            << "filter type " << t << ", " << mode.name << ", " << r.name << " kernels";
      }
    }
  }
  // Patches that take other ways through the kernels: comb delays shorter than a run, alike in every
  // voice or different with key tracking.
  const struct {
    FilterType type;
    std::vector<test::PatchValue> changes;
  } patches[] = {
      {FilterType::Comb, {{kFilterFrequency, 1.0f}, {kFilterEnvelope, 0.0f}, {kFilterModAmount, 0.0f}, {kFilterVelocity, 0.0f}}},
      {FilterType::Comb, {{kFilterFrequency, 1.0f}, {kFilterTracking, 1.0f}, {kFilterEnvelope, 0.0f}, {kFilterModAmount, 0.0f}, {kFilterVelocity, 0.0f}}},
  };
  for (const auto& patch : patches) {
    const std::vector<float> plain = test::playBusyPhrase(patch.type, 0.0f, kFrames, true, nullptr, patch.changes);
    for (const Renderer& r : renderers) {
      const std::vector<float> fast = test::playBusyPhrase(patch.type, 0.0f, kFrames, false, r.kernels, patch.changes);
      EXPECT_EQ(test::firstDifference(plain, fast), -1)
          << "filter type " << static_cast<int>(patch.type) << " with changes, " << r.name << " kernels";
    }
  }
}

// Fifty instances should fit in a host without a second thought: every buffer of one engine (comb
// rings, stereo ring, wave tables, MIDI queue) stays under 1.5 MB.
TEST(FastPath, OneEngineHoldsUnderOneAndAHalfMegabytes) {
  EXPECT_LT(sizeof(Engine), 1536u * 1024u) << sizeof(Engine);
}
