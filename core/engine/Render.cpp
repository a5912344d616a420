// The block render loop: the voices in runs of frames (render) or frame by frame (renderPlain), summed.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Engine.h"
#include "Numeric.h"
#include "Stages.h"
#include "Ticks.h"
#include "VoiceKernels.h"

namespace tamblin {

namespace {

using stages::Bits4;
using stages::Frames4;

// Far beyond any audio level, and far enough below the float limit (3.4e38) that the input mix and the DC
// blocker's difference cannot overflow.
constexpr float kInputLimit = 1.0e30f;

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

// A run: the frames from one where something may change what a voice reads (a control tick, a MIDI
// message, an arpeggiator step) up to the next such frame, and how its voices render.
struct RunPlan {
  int32_t frames = 0;
  bool arpeggiator = false;  // the arpeggiator clock runs (the play mode only changes with a message)
  uint32_t sounding = 0;     // voices rendered over the whole run
  uint32_t lastFrame = 0;    // voices that fell silent in this tick's update: they sound in the first frame
  uint32_t alone = 0;        // voices of `sounding` rendered one at a time, through the one-voice stages
  kernels::GroupRun groups[kVoiceSlots / kernels::kGroupLanes];  // the rest, eight voices to a group
  int groupCount = 0;
};

// The run from the frame beginFrame has just begun (its counter `counter`), within the `left` frames of
// the block that remain and before the frame `toMessage` frames on, where the next message is due. On a
// control tick the voices are updated first (a lone voice of a group alone, since that costs less than
// a vector of eight lanes): a voice that falls silent in its update still sounds in this frame. A voice
// that renders goes in lanes with its group; a lone voice goes on its own, unless another group renders
// in lanes (two groups share one loop, where the second group's chain overlaps the first's at little
// cost) or it is a ring modulator (whose sine costs more alone than eight quick ones).
RunPlan planRun(EngineRecord& r, const kernels::VoiceKernels& voiceKernels, bool controlTick, int32_t counter,
                int32_t left, int32_t toMessage) {
  RunPlan plan;
  const int count = std::min<int>(r.voiceCount, kVoiceSlots);
  plan.arpeggiator = stages::playMode(r) == stages::kArp;
  // Up to the next control tick, message or arpeggiator step, within the block.
  const int32_t toControlTick =
      stages::kControlTick - static_cast<int32_t>(static_cast<uint32_t>(counter) & (stages::kControlTick - 1));
  plan.frames = std::min(std::min<int32_t>(left, toControlTick), toMessage);
  if (plan.arpeggiator) plan.frames = stages::framesBeforeArpStep(r, plan.frames);

  plan.sounding = stages::soundingVoices(r, count);
  if (controlTick && plan.sounding != 0) {
    for (int first = 0; first < count; first += kernels::kGroupLanes) {
      const uint32_t lanes = (plan.sounding >> first) & 0xFFu;
      if (lanes == 0) continue;
      if ((lanes & (lanes - 1)) == 0) {
        stages::voiceControlUpdate(r, first + __builtin_ctz(lanes));
      } else {
        voiceKernels.controlUpdate(r, first, lanes);
      }
    }
    const uint32_t still = stages::soundingVoices(r, count);
    plan.lastFrame = plan.sounding & ~still;
    plan.sounding &= still;
  }

  bool lanesElsewhere = false;
  for (int first = 0; first < count; first += kernels::kGroupLanes) {
    const uint32_t lanes = (plan.sounding >> first) & 0xFFu;
    lanesElsewhere = lanesElsewhere || (lanes & (lanes - 1)) != 0;
  }
  for (int first = 0; first < count; first += kernels::kGroupLanes) {
    const uint32_t lanes = (plan.sounding >> first) & 0xFFu;
    if (lanes == 0) continue;
    if ((lanes & (lanes - 1)) == 0 && !lanesElsewhere &&
        r.filterType[first + __builtin_ctz(lanes)] != FilterType::Ring) {
      plan.alone |= lanes << first;
      continue;
    }
    kernels::GroupRun& group = plan.groups[plan.groupCount++];
    group.first = first;
    group.frames = plan.frames;
    group.activeLanes = lanes;
    group.historyState = r.historyState;
  }
  return plan;
}

// The voices of a run into `out`, by frame and voice: each lone voice through the one-voice stages, the
// groups in their kernels' lanes, then the voices that sound in the first frame only. Only the columns
// of the voices that render are read afterwards, so nothing is cleared.
void renderVoices(EngineRecord& r, const kernels::VoiceKernels& voiceKernels, const RunPlan& plan,
                  kernels::RunOutput& out) {
  for (uint32_t alone = plan.alone; alone != 0; alone &= alone - 1) {
    const int v = __builtin_ctz(alone);
    int32_t state = r.historyState;
    for (int32_t i = 0; i < plan.frames; ++i) {
      if (i > 0) state = kernels::kNextHistoryState[state];
      stages::voiceFrameAt(r, v, kernels::kHistorySlot0[state], kernels::kHistorySlot1[state],
                           kernels::kHistorySlot2[state]);
      out[i][v] = r.voiceOutput[v];
    }
  }
  if (plan.groupCount > 0) voiceKernels.render(r, plan.groups, plan.groupCount, out);
  for (uint32_t last = plan.lastFrame; last != 0; last &= last - 1) {
    const int v = __builtin_ctz(last);
    stages::voiceFrame(r, v);
    out[0][v] = r.voiceOutput[v];
  }
}

}  // namespace

// Frame k up to its voices: the messages due, the clocks and the ticks (Ticks.cpp). True on a control
// tick. With `kernels`, the modulators are computed in their lanes.
bool Engine::beginFrame(int32_t k, int32_t frames, int32_t& nextMessage, int32_t pending,
                        const kernels::VoiceKernels* kernels) {
  EngineRecord& r = record;
  // Queued MIDI acts at its delta frame, in delta order; a delta outside the block acts at its first or
  // last frame.
  while (nextMessage < pending && std::clamp(queue_[nextMessage].deltaFrames, 0, frames - 1) <= k) {
    applyMessage(queue_[nextMessage].bytes);
    ++nextMessage;
  }
  stages::frameClocks(r, host_);
  return stages::frameTicks(r, kernels);
}

// Messages left over from a block whose queue was appended to mid-render are kept for the next block.
void Engine::keepLeftoverMessages(int32_t applied) {
  const int32_t rest = queueCount_ - applied;
  for (int32_t i = 0; i < rest; ++i) queue_[i] = queue_[applied + i];
  queueCount_ = rest;
}

// Frame by frame the same steps as renderFrameByFrame, but the voices render in runs (planRun): each
// group of eight voices keeps its state in registers from the run's first frame to its last, and the
// clocks of the frames after the first move on without visiting the voices.
void Engine::renderInRuns(const float* input, float* left, int32_t leftStep, float* right, int32_t rightStep,
                          int32_t frames, int32_t& nextMessage) {
  EngineRecord& r = record;
  const int32_t pending = queueCount_;
  // Rows of frames the run did not reach are read by the four-frame sums and thrown away; zeroed once,
  // they only ever hold voice outputs.
  kernels::RunOutput out = {};

  // Per run: its first frame up to the voices, the plan, the voices, the clocks of the frames after the
  // first (which no voice reads), then the voice sums and the output stage over the whole run.
  for (int32_t k = 0; k < frames;) {
    const bool controlTick = beginFrame(k, frames, nextMessage, pending, kernels_);
    const int32_t counter = r.sampleCounter;
    const int32_t toMessage =
        nextMessage < pending ? std::clamp(queue_[nextMessage].deltaFrames, 0, frames - 1) - k : frames - k;
    const RunPlan plan = planRun(r, *kernels_, controlTick, counter, frames - k, toMessage);
    renderVoices(r, *kernels_, plan, out);
    stages::advanceClocks(r, host_, plan.frames - 1, plan.arpeggiator);

    float sums[kernels::kMaxRun], in[kernels::kMaxRun];
    sumVoices(out, plan.sounding, plan.frames, sums);
    // A voice in its last frame adds to the first frame only.
    if (plan.lastFrame != 0) sums[0] = sumFrame(out[0], plan.sounding | plan.lastFrame);
    inputSamples(input, k, plan.frames, in);
    stages::outputRun(r, sums, in, counter, plan.frames, left + k * leftStep, leftStep, right + k * rightStep,
                      rightStep);
    k += plan.frames;
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
