// The block render loop: per frame the clocks, the three ticks, the voices and the output stage.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Engine.h"
#include "Numeric.h"
#include "Stages.h"
#include "VoiceKernels.h"

namespace tamblin {

namespace {

using stages::Bits4;
using stages::Frames4;

constexpr int32_t kControlTick = 16;       // envelopes, pitch, filter coefficients, LFO values
constexpr int32_t kCoefficientTick = 64;   // parameter-derived coefficients
constexpr int32_t kHostTick = 1024;        // the host's tempo
// Far beyond any audio level, and far enough below the float limit (3.4e38) that the input mix and the DC
// blocker's difference cannot overflow.
constexpr float kInputLimit = 1.0e30f;

bool multipleOf(int32_t counter, int32_t period) { return (static_cast<uint32_t>(counter) & (period - 1)) == 0; }

// The history rotation moved on by `frames` frames.
void rotateHistory(EngineRecord& r, int32_t frames = 1) {
  r.historyState = (std::clamp(r.historyState, 0, 2) + frames) % 3;
  r.historySlot0 = kernels::kHistorySlot0[r.historyState];
  r.historySlot1 = kernels::kHistorySlot1[r.historyState];
  r.historySlot2 = kernels::kHistorySlot2[r.historyState];
}

// The coefficient tick. All but the gate's smoothed step are pure functions of the parameters, the tempo
// and the sample rate, and most ticks find those unchanged: then they stay. The parameters count as
// unchanged while their write count stays: the count is read before the values (a write counts after
// its value is stored), so a value another thread writes while the coefficients are computed moves the
// count past the one kept, and the next tick computes them again, even where the value went back.
void coefficientTick(EngineRecord& r) {
  const uint32_t writes = r.paramWrites.load(std::memory_order_acquire);
  const bool fresh = !r.coefficientInputsTaken || writes != r.coefficientParamWrites ||
                     floatBits(r.tempoBpm) != r.coefficientTempoBits || floatBits(r.sampleRate) != r.coefficientRateBits;
  if (fresh) {
    r.coefficientParamWrites = writes;
    r.coefficientTempoBits = floatBits(r.tempoBpm);
    r.coefficientRateBits = floatBits(r.sampleRate);
    r.coefficientInputsTaken = true;
    stages::voiceCoefficients(r);
    stages::gatePatterns(r);
  }
  stages::gateCoefficients(r);
  if (fresh) {
    stages::arpCoefficients(r);
    stages::modulatorRates(r);
    stages::outputCoefficients(r);
  }
}

// A non-finite input sample would poison the DC blocker for good, and so would one near the float limit
// (the blocker's difference of two such samples overflows): both count as silence.
float inputSample(const float* input, int32_t k) {
  float sample = input != nullptr ? input[k] : 0.0f;
  if (!(std::fabs(sample) < kInputLimit)) sample = 0.0f;
  return sample + 1e-15f;
}


// inputSample for `frames` frames from frame k, four at a time (a sample kept where its magnitude is
// below the limit, else a zero: NaN compares false).
void inputSamples(const float* input, int32_t k, int32_t frames, float* in) {
  if (input == nullptr) {
    for (int32_t i = 0; i < frames; ++i) in[i] = 0.0f + 1e-15f;
    return;
  }
  int32_t i = 0;
  for (; i + 4 <= frames; i += 4) {
    Frames4 sample;
    std::memcpy(&sample, input + k + i, sizeof sample);
    const Frames4 magnitude = reinterpret_cast<Frames4>(reinterpret_cast<Bits4>(sample) & 0x7FFFFFFFu);
    const Frames4 kept = reinterpret_cast<Frames4>(reinterpret_cast<Bits4>(sample) &
                                                   reinterpret_cast<Bits4>(magnitude < kInputLimit));
    const Frames4 out = kept + 1e-15f;
    std::memcpy(in + i, &out, sizeof out);
  }
  for (; i < frames; ++i) in[i] = inputSample(input, k + i);
}

uint32_t counterAfter(int32_t counter, int32_t frames) {
  return static_cast<uint32_t>(counter) + static_cast<uint32_t>(frames);
}

}  // namespace

namespace {

// The host's tempo, or 120 beats per minute where it gives none.
float hostTempo(EngineHost& host) {
  const float tempo = host.hostTempo();
  return tempo >= 1.0f ? tempo : 120.0f;
}

// The clocks of `frames` frames that no voice reads: the history rotation, the host tick, the frame
// counter, the gate and, with `arpeggiator`, the arpeggiator (whose steps end a run, so none starts here).
// Frame by frame only the gate and the arpeggiator keep their float sums; the rest is counted at once.
void advanceClocks(EngineRecord& r, EngineHost& host, int32_t frames, bool arpeggiator) {
  if (frames <= 0) return;
  rotateHistory(r, frames);
  // The host tick falls on the frame whose counter (before its increment) is a multiple of the period.
  const uint32_t counter = static_cast<uint32_t>(r.sampleCounter);
  if (((0u - counter) & static_cast<uint32_t>(kHostTick - 1)) < static_cast<uint32_t>(frames)) {
    r.tempoBpm = hostTempo(host);
  }
  r.sampleCounter = static_cast<int32_t>(counterAfter(r.sampleCounter, frames));
  stages::advanceGateFrames(r, frames);
  if (arpeggiator) {
    for (int32_t i = 0; i < frames; ++i) stages::runArpClock(r);
  }
}

// Even slots are added and odd slots subtracted, in voice order, for the voices in `voices`; the voices
// left out are silent, and adding or subtracting their zero would change no sum (which is never -0).
float sumFrame(const float* outputs, uint32_t voices) {
  float sum = 0.0f;
  for (int v = 0; v < kVoiceSlots; ++v) {
    if ((voices >> v) & 1u) sum = (v & 1) == 0 ? sum + outputs[v] : sum - outputs[v];
  }
  return sum;
}

// sumFrame for every frame of a run, four frames to a vector: each block of four voices by four frames
// turned so that a vector holds one voice's four frames.
void sumVoices(const kernels::RunOutput& out, uint32_t voices, int32_t frames, float* sums) {
  Frames4 sum[kernels::kMaxRun / 4] = {};
  const int blocks = (frames + 3) / 4;
  for (int first = 0; first < kVoiceSlots; first += 4) {
    const uint32_t four = (voices >> first) & 0xFu;
    if (four == 0) continue;
    for (int b = 0; b < blocks; ++b) {
      Frames4 row[4];
      std::memcpy(row, &out[4 * b][first], sizeof(Frames4));
      std::memcpy(row + 1, &out[4 * b + 1][first], sizeof(Frames4));
      std::memcpy(row + 2, &out[4 * b + 2][first], sizeof(Frames4));
      std::memcpy(row + 3, &out[4 * b + 3][first], sizeof(Frames4));
      const Frames4 low01 = __builtin_shufflevector(row[0], row[1], 0, 4, 1, 5);
      const Frames4 low23 = __builtin_shufflevector(row[2], row[3], 0, 4, 1, 5);
      const Frames4 high01 = __builtin_shufflevector(row[0], row[1], 2, 6, 3, 7);
      const Frames4 high23 = __builtin_shufflevector(row[2], row[3], 2, 6, 3, 7);
      Frames4 s = sum[b];
      // Voices first and first + 2 are even, first + 1 and first + 3 odd.
      if (four & 1u) s = s + __builtin_shufflevector(low01, low23, 0, 1, 4, 5);
      if (four & 2u) s = s - __builtin_shufflevector(low01, low23, 2, 3, 6, 7);
      if (four & 4u) s = s + __builtin_shufflevector(high01, high23, 0, 1, 4, 5);
      if (four & 8u) s = s - __builtin_shufflevector(high01, high23, 2, 3, 6, 7);
      sum[b] = s;
    }
  }
  float all[kernels::kMaxRun];
  std::memcpy(all, sum, sizeof all);
  std::memcpy(sums, all, sizeof(float) * static_cast<size_t>(frames));
}

}  // namespace

// Frame k up to its voices: the messages due, the history rotation, the host tick, the frame counter,
// the gate and the arpeggiator clocks, the coefficient and control ticks and the voice count. True on a
// control tick. With `kernels`, the modulators are computed in their lanes.
bool Engine::beginFrame(int32_t k, int32_t frames, int32_t& nextMessage, int32_t pending,
                        const kernels::VoiceKernels* kernels) {
  EngineRecord& r = record;
  // Queued MIDI acts at its delta frame, in delta order; a delta outside the block acts at its first or
  // last frame.
  while (nextMessage < pending && std::clamp(queue_[nextMessage].deltaFrames, 0, frames - 1) <= k) {
    applyMessage(queue_[nextMessage].bytes);
    ++nextMessage;
  }
  rotateHistory(r);
  if (multipleOf(r.sampleCounter, kHostTick)) {
    r.tempoBpm = hostTempo(host_);
  }
  r.sampleCounter = static_cast<int32_t>(counterAfter(r.sampleCounter, 1));
  stages::advanceGate(r);
  stages::runArpClock(r);
  if (multipleOf(r.sampleCounter, kCoefficientTick)) {
    coefficientTick(r);
  }
  const bool controlTick = multipleOf(r.sampleCounter, kControlTick);
  if (controlTick) kernels != nullptr ? kernels->modulatorValues(r) : stages::modulatorValues(r);
  r.voiceCount = stages::voiceCountFromParams(r);
  return controlTick;
}

// Messages left over from a block whose queue was appended to mid-render are kept for the next block.
void Engine::keepLeftoverMessages(int32_t applied) {
  const int32_t rest = queueCount_ - applied;
  for (int32_t i = 0; i < rest; ++i) queue_[i] = queue_[applied + i];
  queueCount_ = rest;
}

// Frame by frame the same steps as renderFrameByFrame, but the voices render in runs: from a frame where
// something may change what a voice reads (a control tick, a MIDI message, an arpeggiator step) up to
// the next such frame, each group of eight voices keeps its state in registers, and the clocks of the
// frames in between move on without visiting the voices.
void Engine::renderInRuns(const float* input, float* left, int32_t leftStep, float* right, int32_t rightStep,
                          int32_t frames, int32_t& nextMessage) {
  EngineRecord& r = record;
  const int32_t pending = queueCount_;
  auto messageFrame = [&](int32_t i) { return std::clamp(queue_[i].deltaFrames, 0, frames - 1); };
  // Rows of frames the run did not reach are read by the four-frame sums and thrown away; zeroed once,
  // they only ever hold voice outputs.
  kernels::RunOutput out = {};

  for (int32_t k = 0; k < frames;) {
    // Frame k up to its voices, as frame by frame.
    const bool controlTick = beginFrame(k, frames, nextMessage, pending, kernels_);
    const int32_t runCounter = r.sampleCounter;
    const int count = std::min<int>(r.voiceCount, kVoiceSlots);
    const bool arpeggiator = stages::playMode(r) == stages::kArp;

    // The run: up to the next control tick, message or arpeggiator step, within the block.
    int32_t run = std::min<int32_t>(frames - k, kControlTick - static_cast<int32_t>(counterAfter(runCounter, 0) & (kControlTick - 1)));
    if (nextMessage < pending) run = std::min(run, messageFrame(nextMessage) - k);
    if (arpeggiator) run = stages::framesBeforeArpStep(r, run);

    // Which voices sound: on a control tick a voice is updated first, and one that falls silent in
    // its update still sounds in this frame.
    uint32_t sounding = stages::soundingVoices(r, count), lastFrame = 0;
    if (controlTick && sounding != 0) {
      for (int first = 0; first < count; first += kernels::kGroupLanes) {
        const uint32_t lanes = (sounding >> first) & 0xFFu;
        if (lanes == 0) continue;
        // A lone voice costs less on its own than a vector of eight lanes.
        if ((lanes & (lanes - 1)) == 0) {
          stages::voiceControlUpdate(r, first + __builtin_ctz(lanes));
        } else {
          kernels_->controlUpdate(r, first, lanes);
        }
      }
      const uint32_t still = stages::soundingVoices(r, count);
      lastFrame = sounding & ~still;
      sounding &= still;
    }
    // Each group of eight voices that has voices to render, in registers across the run. Only the
    // columns of the voices that render are read afterwards, so nothing is cleared. A lone voice goes
    // on its own, unless another group renders in lanes (two groups share one loop, where the second
    // group's chain overlaps the first's at little cost) or it is a ring modulator (whose sine costs
    // more alone than eight quick ones).
    bool lanesElsewhere = false;
    for (int first = 0; first < count; first += kernels::kGroupLanes) {
      const uint32_t lanes = (sounding >> first) & 0xFFu;
      lanesElsewhere = lanesElsewhere || (lanes & (lanes - 1)) != 0;
    }
    kernels::GroupRun groups[kVoiceSlots / kernels::kGroupLanes];
    int groupCount = 0;
    for (int first = 0; first < count; first += kernels::kGroupLanes) {
      const uint32_t lanes = (sounding >> first) & 0xFFu;
      if (lanes == 0) continue;
      if ((lanes & (lanes - 1)) == 0 && !lanesElsewhere &&
          r.filterType[first + __builtin_ctz(lanes)] != FilterType::Ring) {
        const int v = first + __builtin_ctz(lanes);
        int32_t state = r.historyState;
        for (int32_t i = 0; i < run; ++i) {
          if (i > 0) state = kernels::kNextHistoryState[state];
          stages::voiceFrameAt(r, v, kernels::kHistorySlot0[state], kernels::kHistorySlot1[state],
                               kernels::kHistorySlot2[state]);
          out[i][v] = r.voiceOutput[v];
        }
        continue;
      }
      kernels::GroupRun& group = groups[groupCount++];
      group.first = first;
      group.frames = run;
      group.activeLanes = lanes;
      group.historyState = r.historyState;
    }
    if (groupCount > 0) kernels_->render(r, groups, groupCount, out);
    for (uint32_t last = lastFrame; last != 0; last &= last - 1) {
      const int v = __builtin_ctz(last);
      stages::voiceFrame(r, v);
      out[0][v] = r.voiceOutput[v];
    }

    // The frames after the first: their clocks, which no voice reads. (The play mode only changes with
    // a message, which ends a run.)
    advanceClocks(r, host_, run - 1, arpeggiator);

    float sums[kernels::kMaxRun], in[kernels::kMaxRun];
    sumVoices(out, sounding, run, sums);
    // A voice in its last frame adds to the first frame only.
    if (lastFrame != 0) sums[0] = sumFrame(out[0], sounding | lastFrame);
    inputSamples(input, k, run, in);
    stages::outputRun(r, sums, in, runCounter, run, left + k * leftStep, leftStep, right + k * rightStep, rightStep);
    k += run;
  }
}

// Per frame the clocks and ticks, each sounding voice (control update, oscillators, filter) and the
// output stage.
void Engine::renderFrameByFrame(const float* input, float* left, int32_t leftStep, float* right, int32_t rightStep,
                                int32_t frames, int32_t& nextMessage) {
  EngineRecord& r = record;
  const int32_t pending = queueCount_;

  for (int32_t k = 0; k < frames; ++k) {
    const bool controlTick = beginFrame(k, frames, nextMessage, pending, nullptr);
    const float in = inputSample(input, k);

    // Even slots are added and odd slots subtracted; silent voices are skipped entirely.
    float sum = 0.0f;
    const int count = std::min<int>(r.voiceCount, kVoiceSlots);
    for (int v = 0; v < count; ++v) {
      if (!stages::voiceSounding(r, v)) continue;
      if (controlTick) stages::voiceControlUpdate(r, v);
      stages::voiceFrame(r, v);
      sum = (v & 1) == 0 ? sum + r.voiceOutput[v] : sum - r.voiceOutput[v];
    }
    r.leftSample = sum;

    stages::outputStage(r, in, r.sampleCounter, left[k * leftStep], right[k * rightStep]);
  }
}

void Engine::render(const float* input, float* left, float* right, int32_t frames) {
  renderBlock(input, left, right, frames, false);
}

void Engine::renderPlain(const float* input, float* left, float* right, int32_t frames) {
  renderBlock(input, left, right, frames, true);
}

void Engine::renderBlock(const float* input, float* left, float* right, int32_t frames, bool plain) {
  if (frames <= 0 || (left == nullptr && right == nullptr)) return;
  applyRequests();
  // A host that hands over only one output still gets it, with time and events running as usual: the
  // missing channel is written to one discarded sample.
  float discarded = 0.0f;
  const int32_t leftStep = left != nullptr ? 1 : 0;
  const int32_t rightStep = right != nullptr ? 1 : 0;
  if (left == nullptr) left = &discarded;
  if (right == nullptr) right = &discarded;
  sortQueue();
  int32_t nextMessage = 0;
  if (plain) {
    renderFrameByFrame(input, left, leftStep, right, rightStep, frames, nextMessage);
  } else {
    renderInRuns(input, left, leftStep, right, rightStep, frames, nextMessage);
  }
  keepLeftoverMessages(nextMessage);
}

}  // namespace tamblin
