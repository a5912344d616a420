// The block render loop: per frame the clocks, the three ticks, the voices and the output stage.
#include <algorithm>
#include <cmath>

#include "Engine.h"
#include "Numeric.h"
#include "Stages.h"

namespace tamblin {

namespace {

constexpr int32_t kControlTick = 16;       // envelopes, pitch, filter coefficients, LFO values
constexpr int32_t kCoefficientTick = 64;   // parameter-derived coefficients
constexpr int32_t kHostTick = 1024;        // the host's tempo
// Far beyond any audio level, and far enough below the float limit (3.4e38) that the input mix and the DC
// blocker's difference cannot overflow.
constexpr float kInputLimit = 1.0e30f;

constexpr int32_t kNextHistoryState[3] = {1, 2, 0};
constexpr int32_t kSlot0[3] = {2, 1, 0};
constexpr int32_t kSlot1[3] = {0, 2, 1};
constexpr int32_t kSlot2[3] = {1, 0, 2};

bool multipleOf(int32_t counter, int32_t period) { return (static_cast<uint32_t>(counter) & (period - 1)) == 0; }

}  // namespace

namespace {

// The tempo is the tempo request's answer / 10000. Hosts that leave that request unanswered (0), or
// answer it in another scale, still report their tempo in the time info: where the time info marks a
// tempo valid and the answer is missing or more than 1 % away from it, the time info's tempo counts.
// Nothing valid at all: 120 beats per minute.
float hostTempo(double reported, int32_t answer) {
  float tempo = static_cast<float>(answer) / 10000.0f;
  const bool reportedValid = reported >= 1.0 && reported <= 1.0e6;
  if (reportedValid && !(tempo >= 1.0f && std::fabs(static_cast<double>(tempo) - reported) <= 0.01 * reported)) {
    tempo = static_cast<float>(reported);
  }
  return tempo >= 1.0f ? tempo : 120.0f;
}

}  // namespace

void Engine::render(const float* input, float* left, float* right, int32_t frames) {
  if (frames <= 0 || (left == nullptr && right == nullptr)) return;
  applyRequests();
  // A host that hands over only one output still gets it, with time and events running as usual: the
  // missing channel is written to one discarded sample.
  float discarded = 0.0f;
  const int32_t leftStep = left != nullptr ? 1 : 0;
  const int32_t rightStep = right != nullptr ? 1 : 0;
  if (left == nullptr) left = &discarded;
  if (right == nullptr) right = &discarded;
  EngineRecord& r = record;

  // Queued MIDI acts at its delta frame, in delta order; a delta outside the block acts at its first or
  // last frame.
  sortQueue();
  int32_t nextMessage = 0;
  const int32_t pending = queueCount_;

  for (int32_t k = 0; k < frames; ++k) {
    while (nextMessage < pending && std::clamp(queue_[nextMessage].deltaFrames, 0, frames - 1) <= k) {
      applyMessage(queue_[nextMessage].bytes);
      ++nextMessage;
    }

    r.historyState = kNextHistoryState[std::clamp(r.historyState, 0, 2)];
    r.historySlot0 = kSlot0[r.historyState];
    r.historySlot1 = kSlot1[r.historyState];
    r.historySlot2 = kSlot2[r.historyState];

    // A non-finite input sample would poison the DC blocker for good, and so would one near the float
    // limit (the blocker's difference of two such samples overflows): both count as silence.
    float sample = input != nullptr ? input[k] : 0.0f;
    if (!(std::fabs(sample) < kInputLimit)) sample = 0.0f;
    const float in = sample + 1e-15f;

    if (multipleOf(r.sampleCounter, kHostTick)) {
      r.tempoBpm = hostTempo(host_.timeInfoTempo(), host_.tempoAt(0));
    }
    r.sampleCounter = static_cast<int32_t>(static_cast<uint32_t>(r.sampleCounter) + 1u);

    stages::advanceGate(r);
    stages::runArpClock(r);

    if (multipleOf(r.sampleCounter, kCoefficientTick)) {
      stages::voiceCoefficients(r);
      stages::gateCoefficients(r);
      stages::arpCoefficients(r);
      stages::modulatorRates(r);
      stages::outputCoefficients(r);
    }
    const bool controlTick = multipleOf(r.sampleCounter, kControlTick);
    if (controlTick) stages::modulatorValues(r);

    // Even slots are added and odd slots subtracted; silent voices are skipped entirely.
    float sum = 0.0f;
    r.voiceCount = stages::voiceCountFromParams(r);
    const int count = std::min<int>(r.voiceCount, kVoiceSlots);
    for (int v = 0; v < count; ++v) {
      if (!stages::voiceSounding(r, v)) continue;
      if (controlTick) stages::voiceControlUpdate(r, v);
      stages::voiceFrame(r, v);
      sum = (v & 1) == 0 ? sum + r.voiceOutput[v] : sum - r.voiceOutput[v];
    }
    r.leftSample = sum;

    stages::outputStage(r, in, left[k * leftStep], right[k * rightStep]);
  }

  // Messages left over from a block whose queue was appended to mid-render are kept for the next block.
  const int32_t rest = queueCount_ - nextMessage;
  for (int32_t i = 0; i < rest; ++i) queue_[i] = queue_[nextMessage + i];
  queueCount_ = rest;
}

}  // namespace tamblin
