// A host callback for tests: answers like a plain host and records every request it receives.
#pragma once

#include <cstdint>
#include <vector>

#include "DAEffectX.h"
#include "support/QuietHost.h"

namespace tamblin::test {

struct HostRequest {
  AEffect* effect;
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  void* ptr;
  float opt;
};

// One recording host at a time: the callback is a plain function, so it finds the host through a
// static pointer that the constructor sets and the destructor clears; without one, the quiet host answers.
class RecordingHost {
 public:
  RecordingHost() { current() = this; }
  ~RecordingHost() { current() = nullptr; }
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  static VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float opt) {
    RecordingHost* host = current();
    if (!host) return QuietHost::callback(effect, opcode, index, value, ptr, opt);
    host->requests.push_back({effect, opcode, index, value, ptr, opt});
    switch (opcode) {
      case audioMasterVersion: return host->versionAnswer;
      case audioMasterTempoAt: return host->tempoAnswer;
      case audioMasterGetSampleRate: return static_cast<VstIntPtr>(host->sampleRate);
      case audioMasterGetTime: return reinterpret_cast<VstIntPtr>(&host->timeInfo);
      default: return 0;
    }
  }

  std::vector<HostRequest> requestsWith(VstInt32 opcode) const {
    std::vector<HostRequest> found;
    for (const HostRequest& r : requests)
      if (r.opcode == opcode) found.push_back(r);
    return found;
  }

  std::vector<HostRequest> requests;
  VstIntPtr versionAnswer = 2400;
  VstIntPtr tempoAnswer = 1200000;
  double sampleRate = 44100.0;
  VstTimeInfo timeInfo{};

 private:
  static RecordingHost*& current() {
    static RecordingHost* host = nullptr;
    return host;
  }
};

}  // namespace tamblin::test
