// What the validator, soak, thread and real-time tests share: an instrument made through the entry on the
// quiet host, clean-output checks, and the test for voices left sounding.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "APluginEditor.h"
#include "DAEffectX.h"
#include "Entry.h"
#include "platform/headless/HeadlessBackend.h"
#include "support/EventBatch.h"
#include "support/QuietHost.h"
#include "uEditor.h"
#include "uPlugin.h"

namespace tamblin::check {

using test::dispatch;
using test::EventBatch;
using test::QuietHost;

inline APlugin* instrumentOf(AEffect* e) { return static_cast<APlugin*>(static_cast<AudioEffect*>(e->object)); }
inline APluginEditor& bridgeOf(AEffect* e) { return *static_cast<APluginEditor*>(instrumentOf(e)->getEditor()); }

// An instrument as a host starts it: made, opened, rate and block size set, switched on.
inline AEffect* startInstrument(float rate = 44100.0f, int blockSize = 512) {
  QuietHost::sampleRate = rate;
  AEffect* e = tamblinCreateEffect(QuietHost::callback);
  if (!e) return nullptr;
  dispatch(e, effOpen);
  dispatch(e, effSetSampleRate, 0, 0, nullptr, rate);
  dispatch(e, effSetBlockSize, 0, blockSize);
  dispatch(e, effMainsChanged, 0, 1);
  return e;
}
inline void closeInstrument(AEffect* e) {
  dispatch(e, effMainsChanged, 0, 0);
  dispatch(e, effClose);
}

// The drawn editor on a backend without a display, for editor requests through the record.
inline void useHeadlessEditor(AEffect* e) {
  bridgeOf(e).setWindowFactory([]() -> std::unique_ptr<EditorWindow> {
    return std::make_unique<TPluginEditorWindow>(std::make_unique<HeadlessBackend>());
  });
}
inline void* fakeParentWindow() {
  static int token;
  return &token;
}

// A user's hand on the open headless editor: presses, drags and releases at random places, as the
// window's backend would deliver them (under the window lock, which makes the automation on release).
inline void editAtRandom(AEffect* e, std::mt19937& rng, int gestures) {
  auto* window = dynamic_cast<TPluginEditorWindow*>(bridgeOf(e).editorWindow());
  if (!window) return;
  static uint32_t clock = 0;
  for (int g = 0; g < gestures; ++g) {
    const int x = static_cast<int>(rng() % TPluginEditorWindow::kClientWidth);
    const int y = static_cast<int>(rng() % TPluginEditorWindow::kClientHeight);
    const auto button = rng() % 4 ? MouseButton::Left : MouseButton::Right;
    std::lock_guard lock(window->windowLock());
    clock += 700;
    if (window->openMenu() != TPluginEditorWindow::Menu::None) {
      window->menuPointerMoved(x / 4, y / 4);
      window->menuPointerPressed(x / 4, y / 4);
      window->menuPointerReleased(x / 4, y / 4);
      continue;
    }
    window->pointerPressed(button, rng() % 5 == 0, x, y, clock);
    window->pointerMoved(false, x + static_cast<int>(rng() % 41) - 20, y + static_cast<int>(rng() % 41) - 20);
    window->pointerReleased(button, false, x, y);
    if (rng() % 3 == 0) window->timerElapsed(rng() % 2 ? kGateLampTimer : kRefreshTimer);
  }
}

// Stereo output buffers for blocks up to `capacity` frames, filled with a value no instrument writes.
struct Outputs {
  explicit Outputs(int capacity) : left(capacity), right(capacity), in0(capacity), in1(capacity) {}
  float* outs[2] = {nullptr, nullptr};
  float* ins[2] = {nullptr, nullptr};
  std::vector<float> left, right, in0, in1;
  double frames = 0;  // rendered so far
  float peak = 0.0f;

  // Renders one block through processReplacing (or the accumulating entry); false when a sample is not
  // finite, lies outside [-1, 1], or was left unwritten.
  bool render(AEffect* e, int n, bool replacing = true) {
    outs[0] = left.data();
    outs[1] = right.data();
    ins[0] = in0.data();
    ins[1] = in1.data();
    std::fill_n(left.begin(), n, 7.0f);
    std::fill_n(right.begin(), n, 7.0f);
    (replacing ? e->processReplacing : e->process)(e, ins, outs, n);
    frames += n;
    for (int k = 0; k < n; ++k) {
      const float l = std::fabs(left[k]), r = std::fabs(right[k]);
      if (!(l <= 1.0f && r <= 1.0f)) return false;  // NaN fails every comparison
      peak = std::max(peak, std::max(l, r));
    }
    return true;
  }
  bool renderFrames(AEffect* e, double total, int block) {
    for (double done = 0; done < total; done += block)
      if (!render(e, block)) return false;
    return true;
  }
};

inline void sendChord(AEffect* e, int root, int keys, int channel = 0) {
  EventBatch batch;
  for (int k = 0; k < keys; ++k) batch.add(static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(root + 4 * k), 100, k);
  batch.send(e);
}
// Every key of every channel up.
inline void releaseAllKeys(AEffect* e) {
  EventBatch batch;
  for (int channel = 0; channel < 16; channel += 15)
    for (int key = 0; key < 128; ++key) batch.add(static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(key), 64);
  batch.send(e);
}

// Frames the longer of the two envelope releases takes at 120 beats per minute for the current values,
// plus a bar for the arpeggiator to let its last step go.
inline double releaseFrames(AEffect* e, double rate) {
  static const int kTimes[50] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,  12,  13,  14,  15,  16,   18,
                                 20, 22, 24, 26, 28, 30, 32, 34, 36, 38, 40,  42,  44,  46,  48,  52,   56,
                                 60, 64, 72, 80, 88, 96, 112, 128, 160, 192, 224, 256, 384, 512, 1024, 1536};
  double longest = 0;
  for (int index : {kOsc12Release, kOsc34Release}) {
    const float p = e->getParameter(e, index);
    const double t = kTimes[static_cast<int>(std::floor(p * 49.99f))];
    longest = std::max(longest, t * 7.5 / 4.0 * rate / 120.0 + 1.0);
  }
  return longest + 2.0 * rate + 64.0;
}

// A voice sounds while its key is held or its two envelopes together stand above a thousandth. Only the
// voices in use (8 or 16) are rendered: one beyond them keeps its release where it was until they are
// 16 again, but one beyond them whose key is held would sound for ever once they are, so it counts.
inline int soundingVoices(AEffect* e) {
  const EngineRecord& r = instrumentOf(e)->soundEngine().record;
  const int inUse = e->getParameter(e, kVoiceCount) >= 0.5f ? 16 : 8;
  int sounding = 0;
  for (int v = 0; v < kVoiceSlots; ++v)
    if (r.voiceHeld[v] || (v < inUse && r.env1Level[v] + r.env2Level[v] > 0.001f)) ++sounding;
  return sounding;
}

// Releases every key and renders one release time: true when every voice has fallen silent.
inline bool fallsSilent(AEffect* e, Outputs& out, double rate, int block, bool& clean) {
  releaseAllKeys(e);
  clean = out.renderFrames(e, releaseFrames(e, rate), block) && clean;
  return soundingVoices(e) == 0;
}

}  // namespace tamblin::check
