// Render speed of the engine by filter family and number of sounding voices, against real time at 44.1 kHz.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "Engine.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr int kBlock = 512;

class SteadyHost : public tamblin::EngineHost {
 public:
  double timeInfoTempo() override { return 0.0; }
  int32_t tempoAt(int32_t) override { return 1200000; }
  void setParameterFromController(int32_t index, float value) override { engine->setParam(index, value); }
  void controllerMessageHandled() override {}
  tamblin::Engine* engine = nullptr;
};

// One representative type per family: off, 2-pole (Low12), 4-pole (Low24), ring, comb.
constexpr int kFilterTypes[] = {0, 1, 5, 9, 10};
const char* const kFilterNames[] = {"off", "2-pole", "4-pole", "ring", "comb"};

void renderVoices(benchmark::State& state) {
  const int family = static_cast<int>(state.range(0));
  const int voices = static_cast<int>(state.range(1));
  SteadyHost host;
  auto engine = std::make_unique<tamblin::Engine>(host);
  host.engine = engine.get();
  engine->initPitchBend();
  engine->initPhases();
  engine->initTimingAndRate();
  engine->setSampleRate(kRate);
  // A busy patch: every LFO moving, unison, vibrato, a stereo sweep and the gate.
  const float values[][2] = {{0, 0.8f},   {2, 0.1f},   {3, 0.5f},  {4, 1.0f},   {8, 0.5f},  {9, 0.52f},
                             {10, 0.5f},  {11, 0.48f}, {14, 0.5f}, {15, 0.1f},  {16, 0.5f}, {17, 1.0f},
                             {20, 0.3f},  {21, 0.5f},  {22, 0.4f}, {24, 0.3f},  {25, 0.5f}, {26, 0.3f},
                             {27, 0.4f},  {28, 0.3f},  {29, 0.6f}, {31, 0.7f},  {32, 0.6f}, {33, 0.5f},
                             {35, 0.3f},  {36, 0.5f},  {37, 0.3f}, {38, 0.3f},  {40, 0.4f}, {41, 0.3f},
                             {57, 0.3f},  {58, 0.5f},  {81, 1.0f}, {92, 0.6f},  {94, 0.5f}, {96, 0.501002f},
                             {98, 1.0f}};
  for (const auto& value : values) engine->setParam(static_cast<int>(value[0]), value[1]);
  engine->setParam(30, (static_cast<float>(kFilterTypes[family]) + 0.5f) / 10.99f);
  engine->resetPlayMode();
  engine->resetAfterProgramChange();
  engine->initArpList();
  engine->buildWaveTables();

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
