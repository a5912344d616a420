// The cost per frame of sound, of the quiet decay after the keys go up, and of the long silent tail
// that follows, for factory programs with filters, comb rings and the stereo delay: decays that sink
// into subnormal numbers would make the later phases dearer than sound. Also counts the subnormal
// samples each phase writes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "DAEffectX.h"
#include "Entry.h"
#include "support/EventBatch.h"
#include "support/QuietHost.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr int kBlock = 512;

struct Session {
  AEffect* e = tamblinCreateEffect(tamblin::test::QuietHost::callback);
  std::vector<float> left = std::vector<float>(kBlock), right = std::vector<float>(kBlock);
  float* outs[2] = {left.data(), right.data()};

  ~Session() { e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f); }
  void keys(uint8_t status) {
    tamblin::test::EventBatch batch(6);
    for (int k = 0; k < 6; ++k) batch.add(status, static_cast<uint8_t>(36 + 7 * k), 110);
    batch.send(e);
  }
  int render(double seconds) {
    int subnormal = 0;
    for (double done = 0; done < seconds * kRate; done += kBlock) {
      e->processReplacing(e, nullptr, outs, kBlock);
      for (int k = 0; k < kBlock; ++k)
        subnormal += (std::fpclassify(left[k]) == FP_SUBNORMAL) + (std::fpclassify(right[k]) == FP_SUBNORMAL);
    }
    return subnormal;
  }
};

// phase 0: six keys held; 1: the first second after they go up; 2: twenty seconds later, a second of tail.
void renderPhase(benchmark::State& state) {
  const int program = static_cast<int>(state.range(0));
  const int phase = static_cast<int>(state.range(1));
  double frames = 0;
  int subnormal = 0;
  std::optional<Session> s;
  for (auto _ : state) {
    state.PauseTiming();  // set-up: a new instrument brought to the start of the phase
    s.emplace();
    s->e->dispatcher(s->e, effSetSampleRate, 0, 0, nullptr, kRate);
    s->e->dispatcher(s->e, effMainsChanged, 0, 1, nullptr, 0.0f);
    s->e->dispatcher(s->e, effSetProgram, 0, program, nullptr, 0.0f);
    s->keys(0x90);
    s->render(1.0);
    if (phase > 0) s->keys(0x80);
    if (phase == 2) s->render(20.0);
    state.ResumeTiming();
    subnormal += s->render(1.0);
    frames += kRate;
  }
  state.counters["frames_per_second"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["realtime_factor"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
  state.counters["subnormal_samples"] = subnormal;
  static const char* const kPhases[] = {"sound", "quiet decay", "silent tail"};
  state.SetLabel("program " + std::to_string(program) + ", " + kPhases[phase]);
}

BENCHMARK(renderPhase)->ArgsProduct({{0, 7, 9, 11, 14}, {0, 1, 2}})->ArgNames({"program", "phase"})
    ->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
