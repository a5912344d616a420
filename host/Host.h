// The host side of the VST 2 conversation: answers to the plug-in's requests, transport and tempo.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "DAEffectX.h"
#include "TempoMap.h"

namespace tamblin::host {

constexpr VstIntPtr kHostVersion = 2400;
constexpr int kProcessLevelUser = 1;
constexpr int kProcessLevelOffline = 4;

struct HostSettings {
  double sampleRate = 44100.0;
  int blockSize = 512;
};

// A parameter change the plug-in reported through audioMasterAutomate.
struct AutomationNotice {
  int index = 0;
  float value = 0;
  int64_t frame = 0;  // transport position when it came
};

// One Host answers the requests of the plug-ins adopted by it. Requests that arrive before the
// record is known (from inside the entry call) go to the host that made the call. Requests are
// answered on whichever thread the plug-in calls from; this host renders on one thread only.
class Host {
 public:
  explicit Host(HostSettings settings = {}, TempoMap tempoMap = {});
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The function every plug-in receives as its audioMasterCallback.
  static VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float opt);

  // Calls `entry` with the callback, this host answering requests made during the call.
  AEffect* callEntry(AEffect*(VSTCALLBACK* entry)(audioMasterCallback));
  void adopt(AEffect* effect);
  void release(AEffect* effect);

  VstIntPtr answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

  const HostSettings& settings() const { return settings_; }
  const TempoMap& tempoMap() const { return tempoMap_; }

  // Transport: the frame at which the block being processed starts; the first block after start
  // reports a transport change.
  void startTransport();
  void stopTransport();
  void setBlockStart(int64_t frame);
  void blockDone() { transportChanged_ = false; }
  int64_t blockStart() const { return blockStart_; }
  void setProcessing(bool processing) { processing_ = processing; }

  // The time record as the plug-in would receive it now.
  const VstTimeInfo& timeInfo();
  // Tempo in beats per minute times 10000 at `offset` frames after the block start.
  VstIntPtr tempoAt(int64_t offset) const;
  double bpmAtFrame(int64_t frame) const;

  const std::vector<AutomationNotice>& automationNotices() const { return automation_; }
  bool midiWanted() const { return midiWanted_; }
  static bool canDo(const char* capability);

 private:
  HostSettings settings_;
  TempoMap tempoMap_;
  // Tempo changes at the frames where they fall, so that block starts and changes compare exactly.
  std::vector<std::pair<int64_t, double>> tempoByFrame_;
  VstTimeInfo timeInfo_{};
  int64_t blockStart_ = 0;
  bool playing_ = false;
  bool transportChanged_ = false;
  bool processing_ = false;
  bool midiWanted_ = false;
  std::vector<AutomationNotice> automation_;
};

}  // namespace tamblin::host
