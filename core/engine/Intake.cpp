// MIDI intake: the delta-frame queue and the decoding of note, controller and pitch-bend messages.
#include <algorithm>

#include "Engine.h"
#include "Numeric.h"
#include "Stages.h"

namespace tamblin {

namespace {

constexpr int kAllSoundOff = 120;
constexpr int kAllNotesOff = 123;

}  // namespace

int32_t Engine::processEvents(const MidiMessage* messages, int32_t count) {
  if (messages == nullptr || count <= 0) return 1;
  for (int32_t i = 0; i < count; ++i) {
    if (queueCount_ >= kMidiQueueSize) {
      // Better early than lost.
      applyMessage(messages[i].bytes);
      continue;
    }
    QueuedMessage& slot = queue_[queueCount_++];
    slot.deltaFrames = messages[i].deltaFrames;
    for (int b = 0; b < 4; ++b) slot.bytes[b] = messages[i].bytes[b];
  }
  return 1;
}

// Stable order by delta frame; batches usually arrive sorted, so insertion sort does one pass.
void Engine::sortQueue() {
  for (int32_t i = 1; i < queueCount_; ++i) {
    const QueuedMessage moving = queue_[i];
    int32_t j = i;
    while (j > 0 && queue_[j - 1].deltaFrames > moving.deltaFrames) {
      queue_[j] = queue_[j - 1];
      --j;
    }
    queue_[j] = moving;
  }
}

void Engine::applyMessage(const uint8_t bytes[4]) {
  EngineRecord& r = record;
  const int status = bytes[0] & 0xF0;  // every channel plays the instrument
  const int data2 = bytes[2];
  if (status == 0x90 && data2 > 0) {
    stages::noteOn(r, bytes[1] & 0x7F, data2);
  } else if (status == 0x90 || status == 0x80) {
    stages::noteOff(r, bytes[1] & 0x7F);
  } else if (status == 0xB0) {
    const float value = static_cast<float>(data2) / 127.0f;
    r.controllerValue = value > 1.0f ? 1.0f : value;
    const int controller = bytes[1];
    if (controller == kAllSoundOff || controller == kAllNotesOff) {
      // A host stopping playback means silence: the arpeggiator's list goes too, or its clock would
      // start the next step on a released voice and play on.
      stages::releaseAllKeys(r);
      r.arpLast = -1;
    }
    const int32_t index = parameterForController(controller);
    if (index >= 0) host_.setParameterFromController(index, r.controllerValue);
    host_.controllerMessageHandled();
  } else if (status == 0xE0) {
    // Most significant byte only: one octave down to 63/64 octave up.
    r.pitchBend = pow2((static_cast<float>(data2) - 64.0f) / 64.0f);
    host_.controllerMessageHandled();
  }
}

}  // namespace tamblin
