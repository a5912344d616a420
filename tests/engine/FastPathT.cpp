// The fast render path against the plain one, sample for sample, for every filter type and play mode,
// with each instruction set's voice kernels; their quick transcendental lanes against the one-lane
// routines; and the memory one engine holds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "LaneMath.h"
#include "Numeric.h"
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
  // Patches that take other ways through the kernels: comb delays shorter than a run, alike in every
  // voice or different with key tracking.
  const struct {
    FilterType type;
    std::vector<test::PatchValue> changes;
  } combPatches[] = {
      {FilterType::Comb, {{kFilterFrequency, 1.0f}, {kFilterEnvelope, 0.0f}, {kFilterModAmount, 0.0f}, {kFilterVelocity, 0.0f}}},
      {FilterType::Comb, {{kFilterFrequency, 1.0f}, {kFilterTracking, 1.0f}, {kFilterEnvelope, 0.0f}, {kFilterModAmount, 0.0f}, {kFilterVelocity, 0.0f}}},
  };
  for (const auto& patch : combPatches) {
    const std::vector<float> plain = test::playBusyPhrase(patch.type, 0.0f, kFrames, true, nullptr, patch.changes);
    for (const Renderer& r : renderers) {
      const std::vector<float> fast = test::playBusyPhrase(patch.type, 0.0f, kFrames, false, r.kernels, patch.changes);
      EXPECT_EQ(test::firstDifference(plain, fast), -1)
          << "filter type " << static_cast<int>(patch.type) << " with changes, " << r.name << " kernels";
    }
  }
}

namespace {

// Renders `frames` frames through the plain path or the fast one and adds the left side to `out`.
void renderLeft(Engine& engine, bool plain, int frames, std::vector<float>& out) {
  std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
  if (plain) {
    engine.renderPlain(nullptr, left.data(), right.data(), frames);
  } else {
    engine.render(nullptr, left.data(), right.data(), frames);
  }
  out.insert(out.end(), left.begin(), left.end());
}

}  // namespace

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
    std::vector<float> out;
    for (const std::vector<uint8_t>& chord : chords) {
      for (const uint8_t status : {uint8_t{0x90}, uint8_t{0x80}}) {
        std::vector<MidiMessage> messages;
        for (const uint8_t key : chord) messages.push_back({0, {status, key, 100, 0}});
        busy.engine->processEvents(messages.data(), static_cast<int32_t>(messages.size()));
        renderLeft(*busy.engine, plain, 3000, out);
      }
    }
    return out;
  };
  for (const FilterType type : {FilterType::Low12, FilterType::BR12, FilterType::Low24, FilterType::Ring,
                                 FilterType::Comb}) {
    const std::vector<float> plain = play(type, true, nullptr);
    for (const kernels::VoiceKernels* set : {kernels::baselineVoiceKernels(), kernels::bestVoiceKernels()}) {
      EXPECT_EQ(test::firstDifference(plain, play(type, false, set)), -1)
          << "filter type " << static_cast<int>(type);
    }
  }
}

// Held keys on a still patch keep their cutoff inputs while the filter type changes under them: each new
// type must bring its own two-pole coefficients (the other types' are pass-through), not those recorded
// for the inputs under the type before.
TEST(FastPath, HeldVoicesThatChangeFilterTypeGetTheNewTypesCoefficients) {
  const std::vector<std::vector<FilterType>> sequences = {
      {FilterType::Low12, FilterType::High12, FilterType::Low12},
      {FilterType::BP12, FilterType::BR12, FilterType::Low24, FilterType::BP12},
      {FilterType::High12, FilterType::Off, FilterType::High12, FilterType::Comb, FilterType::High12}};
  auto play = [](const std::vector<FilterType>& types, bool plain, const kernels::VoiceKernels* kernels) {
    test::BusyEngine busy(types[0], 0.0f, test::steadyPatch());
    if (kernels != nullptr) busy.engine->useVoiceKernels(kernels);
    std::vector<MidiMessage> chord;
    for (const uint8_t key : {48, 55, 60, 64}) chord.push_back({0, {0x90, key, 100, 0}});
    busy.engine->processEvents(chord.data(), static_cast<int32_t>(chord.size()));
    std::vector<float> out;
    for (const FilterType type : types) {
      busy.engine->setParameter(kFilterType, test::filterTypeValue(type));
      renderLeft(*busy.engine, plain, 2000, out);
    }
    return out;
  };
  for (size_t s = 0; s < sequences.size(); ++s) {
    const std::vector<float> plain = play(sequences[s], true, nullptr);
    for (const kernels::VoiceKernels* set : {kernels::baselineVoiceKernels(), kernels::bestVoiceKernels()}) {
      EXPECT_EQ(test::firstDifference(plain, play(sequences[s], false, set)), -1) << "sequence " << s;
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

// Each build's quick lanes (exponential, sine, cosine, the ring modulator's sine and phase wrap) give the
// floats of the accurate routines over millions of random arguments, the edges of each range and
// arguments whose results sit on float rounding boundaries; and they settle nearly every lane themselves.
TEST(FastPath, QuickTranscendentalLanesGiveTheAccurateFloats) {
  using kernels::LaneRoutine;
  struct Build {
    const char* name;
    kernels::LaneMath laneMath;
  };
  std::vector<Build> builds = {{"baseline", kernels::baselineLaneMath()}};
  if (kernels::avx2LaneMath() != nullptr) builds.push_back({"avx2", kernels::avx2LaneMath()});

  auto asFloat = [](double x) { return static_cast<double>(static_cast<float>(x)); };
  auto expFloat = [](double x) { return static_cast<float>(detmath::exp(x)); };
  auto sinFloat = [](double x) { return static_cast<float>(detmath::sin(x)); };
  auto cosFloat = [](double x) { return static_cast<float>(detmath::cos(x)); };
  auto ringSine = [](double phase) {
    return static_cast<float>(detmath::sin(6.28318 * static_cast<double>(static_cast<float>(phase))));
  };
  auto ringWrap = [](double x) {
    const float phase = static_cast<float>(x);
    return phase - static_cast<float>(floorInt(phase));
  };
  // Within `units` double units of a float rounding boundary (the low 29 of 52 fraction bits near 2^28).
  auto nearBoundary = [](double y, int64_t units) {
    uint64_t bits;
    std::memcpy(&bits, &y, sizeof bits);
    return std::abs(static_cast<int64_t>(bits & ((uint64_t{1} << 29) - 1)) - (int64_t{1} << 28)) < units;
  };
  // Phases whose sine lies within 2048 double units of a float rounding boundary, found by trial (one
  // phase in about 130000), and arguments a few double units from one whose exponential is a boundary.
  auto ringNearBoundary = [nearBoundary](std::mt19937_64& random) {
    for (;;) {
      const float phase = std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
      if (nearBoundary(std::sin(6.28318 * static_cast<double>(phase)), 2048))
        return static_cast<double>(phase);
    }
  };
  // Small arguments, which need no reduction, with magnitudes spread evenly in their logarithm.
  auto smallArgument = [](std::mt19937_64& random) {
    const double x = std::exp2(std::uniform_real_distribution<double>(-110.0, -0.35)(random));
    return random() % 2 == 0 ? x : -x;
  };
  auto expNearBoundary = [](std::mt19937_64& random) {
    const float f = std::uniform_real_distribution<float>(1e-3f, 1e3f)(random);
    double x = std::log(0.5 * (static_cast<double>(f) + static_cast<double>(std::nextafter(f, 2e3f))));
    for (int k = static_cast<int>(random() % 9); k > 0; --k)
      x = std::nextafter(x, k % 2 == 0 ? -INFINITY : INFINITY);
    return x;
  };
  const struct {
    const char* name;
    LaneRoutine routine;
    float (*reference)(double);
    double low, high;                               // random arguments, uniform
    bool floats;                                    // arguments are floats
    std::function<double(std::mt19937_64&)> extra;  // further arguments
    int extraCount;
    std::vector<double> edges;
    double mostUnsettled;  // fraction of the random arguments left to the one-lane routine
  } cases[] = {
      // clang-format off
      {"exp", LaneRoutine::Exp, expFloat, -30.0, 30.0, false, expNearBoundary, 1 << 16,
       {0.0, -0.0, 1e-300, -1e-20, 79.99, -79.99, 80.0, -80.0, 88.7, -103.0, 710.0, -746.0, NAN}, 1e-3},
      {"sin", LaneRoutine::Sin, sinFloat, -1e4, 1e4, false, smallArgument, 1 << 16,
       {0.0, -0.0, 1e-300, 0.78539816339744828, 3.141592653589793, 1e9 + 0.5, 1e15, NAN}, 1e-2},
      {"cos", LaneRoutine::Cos, cosFloat, -1e4, 1e4, false, nullptr, 0,
       {0.0, -0.0, 1.5707963267948966, -0.78539816339744828, 1e9 + 0.5, 1e15, NAN}, 1e-2},
      {"ring sine", LaneRoutine::RingSine, ringSine, -0.5, 1.0, true, ringNearBoundary, 64,
       {0.0, -0.0, -0.5, 0.25, 0.5, 0.75, 0x1.fffffep-1, -0x1.ad7f28p-24, 0x1p-124, -0x1p-124, 1e-30}, 1e-3},
      // From the lowest phase the wrap leaves (four floats up: the neighbours below count too) to 1.5.
      {"ring wrap", LaneRoutine::RingWrap, ringWrap, -0x1.ad7f28p-24, 1.5, true, nullptr, 0,
       {-0x1.ad7f20p-24, 0.0, -0.0, 1.0, 0x1.7ffffep+0, 0x1.fffffep-1}, 0.0},
      // clang-format on
  };
  constexpr int kRandom = 1 << 20;
  for (const auto& c : cases) {
    std::mt19937_64 random(13);
    std::vector<double> arguments;
    for (int i = 0; i < kRandom; ++i) {
      const double x = std::uniform_real_distribution<double>(c.low, c.high)(random);
      arguments.push_back(c.floats ? asFloat(x) : x);
    }
    for (int i = 0; i < c.extraCount; ++i) arguments.push_back(c.extra(random));
    for (double e : c.edges) {
      // Each edge and a few neighbours on either side, in floats or in doubles.
      double below = e, above = e;
      arguments.push_back(e);
      for (int k = 0; k < 4; ++k) {
        below =
            c.floats ? std::nextafter(static_cast<float>(below), -2.0f) : std::nextafter(below, -INFINITY);
        above = c.floats ? std::nextafter(static_cast<float>(above), 2.0f) : std::nextafter(above, INFINITY);
        arguments.push_back(below);
        arguments.push_back(above);
      }
    }
    std::vector<float> expected(arguments.size());
    for (size_t i = 0; i < arguments.size(); ++i) expected[i] = c.reference(arguments[i]);
    for (const Build& b : builds) {
      std::vector<float> results(arguments.size());
      const int64_t unsettledRandom = b.laneMath(c.routine, arguments.data(), results.data(), kRandom);
      const int64_t unsettled =
          b.laneMath(c.routine, arguments.data(), results.data(), static_cast<int>(arguments.size()));
      int mismatches = 0;
      for (size_t i = 0; i < arguments.size(); ++i) {
        if (std::memcmp(&results[i], &expected[i], sizeof(float)) == 0) continue;
        if (++mismatches <= 3)
          ADD_FAILURE() << c.name << ", " << b.name << ": " << std::hexfloat << arguments[i] << " gives "
                        << results[i] << ", not " << expected[i];
      }
      EXPECT_EQ(mismatches, 0) << c.name << ", " << b.name;
      const double fraction = static_cast<double>(unsettledRandom) / kRandom;
      EXPECT_LE(fraction, c.mostUnsettled) << c.name << ", " << b.name;
      std::printf(
          "%s, %s kernels: %.5f%% of random arguments, %lld of all %zu left to the one-lane routine\n",
          c.name, b.name, 100.0 * fraction, static_cast<long long>(unsettled), arguments.size());
    }
  }
}
