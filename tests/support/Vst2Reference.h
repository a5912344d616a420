// The VST 2 library played as a host plays it: the reference every other format's samples are held to.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "support/EventBatch.h"
#include "support/FactoryPhrase.h"
#include "support/RecordingHost.h"

namespace tamblin::test {

// What the host changes at `frame` (a multiple of 512): its tempo, when `bpm` is above 0, and the
// parameters, set with setParameter before the block that starts there.
struct Vst2Change {
  int frame;
  float bpm;
  std::vector<std::pair<int, float>> parameters;
};

// Program `program` of the library at `path` playing `phrase` in blocks of 512 frames at 44.1 kHz, with
// the host's tempo `bpm` in its tempo answer and its time info.
inline Render playVst2Library(const char* path, int program, const std::vector<TimedMessage>& phrase, int frames,
                              float bpm, const std::vector<Vst2Change>& changes = {}) {
  Render out{std::vector<float>(static_cast<size_t>(frames), 99.0f),
             std::vector<float>(static_cast<size_t>(frames), 99.0f)};
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    ADD_FAILURE() << dlerror();
    return out;
  }
  auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library, "VSTPluginMain"));
  RecordingHost host;
  auto setTempo = [&host](float tempo) {
    host.tempoAnswer = static_cast<VstIntPtr>(std::lround(static_cast<double>(tempo) * 10000.0));
    host.timeInfo.tempo = tempo;
    host.timeInfo.flags = kVstTempoValid;
  };
  setTempo(bpm);
  AEffect* effect = entry(RecordingHost::callback);
  dispatch(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  dispatch(effect, effSetProgram, 0, program);
  dispatch(effect, effMainsChanged, 0, 1);
  constexpr int kBlock = 512;
  std::vector<float> silence(kBlock, 0.0f);
  for (int start = 0; start < frames; start += kBlock) {
    const int n = std::min(kBlock, frames - start);
    for (const Vst2Change& change : changes) {
      if (change.frame != start) continue;
      if (change.bpm > 0.0f) setTempo(change.bpm);
      for (const auto& [index, value] : change.parameters) effect->setParameter(effect, index, value);
    }
    EventBatch::inBlock(phrase, start, n).send(effect);
    float* inputs[2] = {silence.data(), silence.data()};
    float* outputs[2] = {out.left.data() + start, out.right.data() + start};
    effect->processReplacing(effect, inputs, outputs, n);
  }
  dispatch(effect, effClose);
  dlclose(library);
  return out;
}

}  // namespace tamblin::test
