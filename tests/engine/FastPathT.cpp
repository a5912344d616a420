// The fast render path against the plain one, sample for sample, for every filter type and play mode,
// with each instruction set's voice kernels; and the memory one engine holds.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

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
  // Everything moving, and the same held still (voices keep what their inputs have not changed).
  const struct {
    const char* name;
    std::vector<test::PatchValue> changes;
  } patches[] = {{"busy", {}}, {"steady", test::steadyPatch()}};
  for (const auto& patch : patches) {
    for (int t = 0; t < kFilterTypeCount; ++t) {
      const auto type = static_cast<FilterType>(t);
      for (const auto& mode : modes) {
        const std::vector<float> plain =
            test::playBusyPhrase(type, mode.value, kFrames, true, nullptr, patch.changes);
        for (const Renderer& r : renderers) {
          const std::vector<float> fast =
              test::playBusyPhrase(type, mode.value, kFrames, false, r.kernels, patch.changes);
          EXPECT_EQ(test::firstDifference(plain, fast), -1)
              << patch.name << " patch, filter type " << t << ", " << mode.name << ", " << r.name
              << " kernels";
        }
      }
    }
  }
}

// A voice updated alone takes its filter coefficients one voice at a time; when it later sounds beside
// another voice with the key it had before, in lanes, it must not take the coefficients of that earlier
// key as still in place. Eight voices in turn, each chord played and released to silence.
TEST(FastPath, AVoiceBackOnAnEarlierKeyInLanesGetsItsCoefficientsAgain) {
  const std::vector<std::vector<uint8_t>> chords = {{60, 64}, {50}, {51}, {52}, {53}, {54}, {55}, {48},
                                                    {56},     {57}, {58}, {59}, {61}, {62}, {63}, {60, 64}};
  std::vector<test::PatchValue> patch = test::steadyPatch();
  patch.insert(patch.end(), {{kVoiceCount, 0.0f}, {kOsc12Release, 0.0f}, {kOsc34Release, 0.0f}});
  auto play = [&](FilterType type, bool plain, const kernels::VoiceKernels* kernels) {
    test::BusyEngine busy(type, 0.0f, patch);
    if (kernels != nullptr) busy.engine->useVoiceKernels(kernels);
    std::vector<float> out, left(3000), right(3000);
    for (const std::vector<uint8_t>& chord : chords) {
      for (const uint8_t status : {uint8_t{0x90}, uint8_t{0x80}}) {
        std::vector<MidiMessage> messages;
        for (const uint8_t key : chord) messages.push_back({0, {status, key, 100, 0}});
        busy.engine->processEvents(messages.data(), static_cast<int32_t>(messages.size()));
        if (plain) {
          busy.engine->renderPlain(nullptr, left.data(), right.data(), 3000);
        } else {
          busy.engine->render(nullptr, left.data(), right.data(), 3000);
        }
        out.insert(out.end(), left.begin(), left.end());
      }
    }
    return out;
  };
  for (const FilterType type : {FilterType::Low24, FilterType::Ring, FilterType::Comb}) {
    const std::vector<float> plain = play(type, true, nullptr);
    for (const kernels::VoiceKernels* set : {kernels::baselineVoiceKernels(), kernels::bestVoiceKernels()}) {
      EXPECT_EQ(test::firstDifference(plain, play(type, false, set)), -1)
          << "filter type " << static_cast<int>(type);
    }
  }
}

// The coefficients a tick derives from the parameters, the tempo and the sample rate alone are kept
// while none of those changes; a change of any one parameter between ticks must still reach them, as
// if the engine had started with the new value.
TEST(FastPath, EveryParameterChangeReachesTheNextCoefficientTick) {
  auto coefficients = [](const EngineRecord& r) {
    std::vector<float> c = {r.env1Attack,      r.env1Decay,       r.env1Sustain,    r.env1Release,
                            r.env2Attack,      r.env2Decay,       r.env2Sustain,    r.env2Release,
                            r.filterEnvAttack, r.filterEnvRelease, r.glideCoef,     r.glideNorm,
                            r.pairGain1,       r.pairGain2,       r.panRate,        r.stereoRate,
                            r.pwmRate[0],      r.pwmRate[1],      r.tremoloRate,    r.filterModRate,
                            r.vibratoRate,     r.arpIncrement,    r.stereoBaseDelay, r.volumeGain,
                            static_cast<float>(r.waveType[0]), static_cast<float>(r.waveType[1])};
    c.insert(c.end(), {r.gateLength, r.gateIncrement, r.gateSmoothCoef});
    c.insert(c.end(), r.tuneRatio, r.tuneRatio + kOscillators);
    c.insert(c.end(), r.gateVolumePattern, r.gateVolumePattern + kGateSteps);
    c.insert(c.end(), r.gateFilterPattern, r.gateFilterPattern + kGateSteps);
    return c;
  };
  std::vector<float> left(256), right(256);
  for (int p = 0; p < kNumStoredValues; ++p) {
    const auto id = static_cast<ParamId>(p);
    test::BusyEngine changed(FilterType::Low24);
    changed.engine->render(nullptr, left.data(), right.data(), 128);
    const float before = changed.engine->param(p);
    const float value = before < 0.5f ? before + 0.4f : before - 0.4f;
    changed.engine->setParameter(p, value);
    changed.engine->render(nullptr, left.data(), right.data(), 64);
    test::BusyEngine fresh(FilterType::Low24, 0.0f, {{id, value}});
    fresh.engine->render(nullptr, left.data(), right.data(), 192);
    const std::vector<float> expected = coefficients(fresh.engine->record);
    const std::vector<float> actual = coefficients(changed.engine->record);
    EXPECT_EQ(std::memcmp(expected.data(), actual.data(), expected.size() * sizeof(float)), 0)
        << "parameter " << p;
  }
}

// Fifty instances should fit in a host without a second thought: every buffer of one engine (comb
// rings, stereo ring, wave tables, MIDI queue) stays under 1.5 MB.
TEST(FastPath, OneEngineHoldsUnderOneAndAHalfMegabytes) {
  EXPECT_LT(sizeof(Engine), 1536u * 1024u) << sizeof(Engine);
}
