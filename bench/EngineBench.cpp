// Render speed of the engine by filter family and number of sounding voices, against real time at 44.1 kHz.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "Engine.h"

using namespace tamblin;

namespace {

constexpr float kRate = 44100.0f;
constexpr int kBlock = 512;

class SteadyHost : public tamblin::EngineHost {
 public:
  double timeInfoTempo() override { return 0.0; }
  int32_t tempoAt(int32_t) override { return 1200000; }
  void setParameterFromController(int32_t index, float value) override { engine->setParameter(index, value); }
  void controllerMessageHandled() override {}
  tamblin::Engine* engine = nullptr;
};

// One representative type per family: off, 2-pole (Low12), 4-pole (Low24), ring, comb.
constexpr FilterType kFilterTypes[] = {FilterType::Off, FilterType::Low12, FilterType::Low24,
                                       FilterType::Ring, FilterType::Comb};
const char* const kFilterNames[] = {"off", "2-pole", "4-pole", "ring", "comb"};

void renderVoices(benchmark::State& state) {
  const int family = static_cast<int>(state.range(0));
  const int voices = static_cast<int>(state.range(1));
  SteadyHost host;
  auto engine = std::make_unique<tamblin::Engine>(host);
  host.engine = engine.get();
  engine->setSampleRate(kRate);
  // A busy patch: every LFO moving, unison, vibrato, a stereo sweep and the gate.
  const struct {
    ParamId id;
    float value;
  } values[] = {{kVolume, 0.8f},         {kOsc12Attack, 0.1f},
                {kOsc12Release, 0.5f},   {kOsc12Sustain, 1.0f},
                {kTune1, 0.5f},          {kTune2, 0.52f},
                {kTune3, 0.5f},          {kTune4, 0.48f},
                {kOscMix, 0.5f},         {kOsc34Attack, 0.1f},
                {kOsc34Release, 0.5f},   {kOsc34Sustain, 1.0f},
                {kUnisonAmount, 0.3f},   {kUnisonSpread, 0.5f},
                {kUnisonSpeed, 0.4f},    {kTremoloAmount, 0.3f},
                {kTremoloSpeed, 0.5f},   {kFilterModAmount, 0.3f},
                {kFilterModSpeed, 0.4f}, {kVibratoAmount, 0.3f},
                {kVibratoSpeed, 0.6f},   {kFilterFrequency, 0.7f},
                {kFilterQ, 0.6f},        {kFilterEnvelope, 0.5f},
                {kFilterAttack, 0.3f},   {kStereoAmount, 0.5f},
                {kStereoWidth, 0.3f},    {kStereoSpeed, 0.3f},
                {kPwm12Amount, 0.4f},    {kPwm12Speed, 0.3f},
                {kPanAmount, 0.3f},      {kPanSpeed, 0.5f},
                {kVoiceCount, 1.0f},     {kGatePatternVolume, 0.6f},
                {kGateToVolume, 0.5f},   {kGateTempo, 0.501002f},
                {kGateLength, 1.0f}};
  for (const auto& value : values) engine->setParameter(value.id, value.value);
  engine->setParameter(kFilterType, choiceValue(static_cast<int32_t>(kFilterTypes[family]), kFilterTypeCount));
  engine->resetPlayMode();
  engine->resetAfterProgramChange();

  std::vector<tamblin::MidiMessage> notes;
  for (int i = 0; i < voices; ++i) {
    notes.push_back({0, {0x90, static_cast<uint8_t>(40 + 3 * i), 100, 0}});
  }
  if (!notes.empty()) engine->processEvents(notes.data(), static_cast<int32_t>(notes.size()));
  std::vector<float> left(kBlock), right(kBlock);
  for (int i = 0; i < 100; ++i) engine->render(nullptr, left.data(), right.data(), kBlock);  // attack done

  for (auto _ : state) {
    engine->render(nullptr, left.data(), right.data(), kBlock);
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
    benchmark::ClobberMemory();
  }
  const double frames = static_cast<double>(state.iterations()) * kBlock;
  state.counters["frames_per_second"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["realtime_factor"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
  state.SetLabel(std::string(kFilterNames[family]) + ", " + std::to_string(voices) + " voices");
}

BENCHMARK(renderVoices)->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1, 8, 16}})->ArgNames({"filter", "voices"});

}  // namespace

BENCHMARK_MAIN();
