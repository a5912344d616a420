// Render speed of the engine by filter family and number of sounding voices, against real time at 44.1 kHz;
// the time to construct one engine and the memory it holds. Before anything is timed, the fast render
// path must give the plain path's samples bit for bit on a busy phrase for every filter type, so that a
// run can never time a wrong answer.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "Engine.h"
#include "support/PathComparison.h"

using namespace tamblin;

namespace {

constexpr float kRate = 44100.0f;
constexpr int kBlock = 512;

// One representative type per family: off, 2-pole (Low12), 4-pole (Low24), ring, comb.
constexpr FilterType kFilterTypes[] = {FilterType::Off, FilterType::Low12, FilterType::Low24,
                                       FilterType::Ring, FilterType::Comb};
const char* const kFilterNames[] = {"off", "2-pole", "4-pole", "ring", "comb"};

void renderVoices(benchmark::State& state) {
  const int family = static_cast<int>(state.range(0));
  const int voices = static_cast<int>(state.range(1));
  test::BusyEngine busy(kFilterTypes[family]);
  Engine& engine = *busy.engine;

  std::vector<MidiMessage> notes;
  for (int i = 0; i < voices; ++i) {
    notes.push_back({0, {0x90, static_cast<uint8_t>(40 + 3 * i), 100, 0}});
  }
  if (!notes.empty()) engine.processEvents(notes.data(), static_cast<int32_t>(notes.size()));
  std::vector<float> left(kBlock), right(kBlock);
  for (int i = 0; i < 100; ++i) engine.render(nullptr, left.data(), right.data(), kBlock);  // attack done

  for (auto _ : state) {
    engine.render(nullptr, left.data(), right.data(), kBlock);
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

// What a host pays to open one instance's engine: construction (wave tables included) on the heap.
void constructEngine(benchmark::State& state) {
  test::SteadyHost host;
  for (auto _ : state) {
    auto engine = std::make_unique<Engine>(host);
    benchmark::DoNotOptimize(engine.get());
  }
  state.counters["bytes"] = static_cast<double>(sizeof(Engine));
}

BENCHMARK(constructEngine)->Unit(benchmark::kMillisecond);

// The fast path against the plain one for every filter type; false (and a message) on any difference.
bool fastPathMatchesPlainPath() {
  bool same = true;
  for (int t = 0; t < kFilterTypeCount; ++t) {
    const auto type = static_cast<FilterType>(t);
    const std::vector<float> plain = test::playBusyPhrase(type, 0.0f, 20000, true);
    const std::vector<float> fast = test::playBusyPhrase(type, 0.0f, 20000, false);
    const int64_t at = test::firstDifference(plain, fast);
    if (at >= 0) {
      std::fprintf(stderr, "tamblin_bench: filter type %d: the fast path differs from the plain path at sample %lld\n",
                   t, static_cast<long long>(at));
      same = false;
    }
  }
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  if (!fastPathMatchesPlainPath()) return 1;
  std::fprintf(stderr, "tamblin_bench: the fast path gives the plain path's samples for all %d filter types\n",
               kFilterTypeCount);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
