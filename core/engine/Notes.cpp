// Note handling: which voice slot plays a key in the three play modes, and the key resets.
#include <algorithm>

#include "Numeric.h"
#include "Stages.h"

namespace tamblin::stages {

int32_t playMode(const EngineRecord& r) { return r.choice(kPlayMode); }

int32_t voiceCountFromParams(const EngineRecord& r) { return r.P(kVoiceCount) >= 0.5f ? 16 : 8; }

namespace {

bool noKeyDown(const EngineRecord& r) {
  for (int v = 0; v < kVoiceSlots; ++v) {
    if (r.voiceHeld[v] != 0) return false;
  }
  return true;
}

int32_t nextVoice(int32_t voice, int32_t count) { return count > 0 ? (voice + 1) % count : 0; }

}  // namespace

void noteOn(EngineRecord& r, int32_t key, int32_t velocityByte) {
  const int32_t mode = playMode(r);
  // A full arpeggiator list takes no more keys; the note-on does nothing at all.
  if (mode == kArp && r.arpLast >= kArpListSize - 1) return;

  r.voiceCount = voiceCountFromParams(r);
  const bool firstKey = noKeyDown(r);

  if (mode == kPoly) {
    // Round robin from the voice after the last one started, to the first whose key is up; when every
    // key is down the pointer comes back round and that voice is stolen.
    r.voicePointer = nextVoice(r.voicePointer, r.voiceCount);
    for (int32_t i = 0; i < r.voiceCount; ++i) {
      if (r.voiceHeld[r.voicePointer] == 1) r.voicePointer = nextVoice(r.voicePointer, r.voiceCount);
    }
    r.restart(r.voicePointer);
    if (firstKey) r.gatePosition.store(0.0f, std::memory_order_relaxed);
  } else if (mode == kArp) {
    if (r.arpLast < 0) {
      // The clock steps onto the first entry on the very next frame.
      r.arpPrevPosition = -1.0f;
      r.arpPosition = -r.arpIncrement;
    }
    r.arpLast += 1;
    r.arpNotes[r.arpLast] = static_cast<float>(key);
  } else {
    if (r.voicePointer > 1) r.voicePointer = 1;
    r.voiceHeld[r.voicePointer] = 0;
    if (r.legatoHeld == 0) {
      r.voicePointer = 0;
      r.legatoFirstNote = key;
      r.legatoHeld = 1;
      r.restart(0);
      if (firstKey) r.gatePosition.store(0.0f, std::memory_order_relaxed);
    } else {
      r.legatoHeld = 2;  // the sounding voice only changes pitch
    }
  }

  const int v = std::clamp(r.voicePointer, 0, kVoiceSlots - 1);
  r.legatoLastNote = key;
  r.voiceHeld[v] = 1;
  r.noteNumber[v] = static_cast<float>(key);
  r.velocity[v] = static_cast<float>(velocityByte) / 127.0f;
  const float amount = r.P(kFilterVelocity);
  r.filterVelocity[v] = 1.0f - amount + amount * r.velocity[v];
  if (r.P(kVelocityToVolume) < 0.5f) r.velocity[v] = 1.0f;
}

void noteOff(EngineRecord& r, int32_t key) {
  r.voiceCount = voiceCountFromParams(r);
  const int32_t mode = playMode(r);
  if (mode == kPoly) {
    const float note = static_cast<float>(key);
    // All slots, not only the voices in use: a key held on voice 8..15 when "8 Poly" was chosen would
    // otherwise stay down and sound for ever once "16 Poly" is chosen again.
    for (int v = 0; v < kVoiceSlots; ++v) {
      if (r.noteNumber[v] == note) r.voiceHeld[v] = 0;
    }
  } else if (mode == kLegato) {
    // Two keys are remembered: the first of the phrase and the most recent one.
    if (r.legatoHeld == 1) {
      for (int v = 0; v < 8; ++v) r.voiceHeld[v] = 0;
      r.legatoHeld = 0;
    }
    if (r.legatoHeld == 2) {
      if (key == r.legatoFirstNote) {
        r.legatoFirstNote = r.legatoLastNote;
        r.legatoHeld -= 1;
      }
      if (key == r.legatoLastNote) {
        r.legatoHeld -= 1;
        r.noteNumber[std::clamp(r.voicePointer, 0, kVoiceSlots - 1)] = static_cast<float>(r.legatoFirstNote);
      }
    }
  } else {
    const float note = static_cast<float>(key);
    int32_t kept = 0;
    for (int32_t i = 0; i <= r.arpLast && i < kArpListSize; ++i) {
      if (r.arpNotes[i] != note) r.arpNotes[kept++] = r.arpNotes[i];
    }
    r.arpLast = kept - 1;
  }
}

void releaseAllKeys(EngineRecord& r) {
  for (int v = 0; v < kVoiceSlots; ++v) r.releaseKey(v);
}

void resetPlayMode(EngineRecord& r) {
  releaseAllKeys(r);
  r.voicePointer = 0;
  r.arpLast = -1;
}

void resetAfterProgramChange(EngineRecord& r) {
  for (int v = 0; v < 8; ++v) r.voiceHeld[v] = 0;
  r.historySlot0 = 0;
  r.historySlot1 = 1;
  r.historySlot2 = 2;
  for (int v = 0; v < 6; ++v) r.clearHistory(v);
}

}  // namespace tamblin::stages
