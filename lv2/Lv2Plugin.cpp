// The LV2 plug-in: the instrument behind LV2 ports, MIDI and host tempo on their exact frames.
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "Instrument.h"
#include "Ports.h"

namespace tamblin::lv2 {

namespace {

// One instance: the instrument and what the host's ports and messages last told it. Every entry is
// called by the host on its audio thread, apart from instantiate and cleanup.
class Plugin final : public InstrumentHost {
 public:
  Plugin(float sampleRate, LV2_URID_Map& map) {
    midiEvent_ = map.map(map.handle, LV2_MIDI__MidiEvent);
    atomObject_ = map.map(map.handle, LV2_ATOM__Object);
    atomBlank_ = map.map(map.handle, LV2_ATOM__Blank);
    atomFloat_ = map.map(map.handle, LV2_ATOM__Float);
    atomDouble_ = map.map(map.handle, LV2_ATOM__Double);
    atomInt_ = map.map(map.handle, LV2_ATOM__Int);
    atomLong_ = map.map(map.handle, LV2_ATOM__Long);
    timePosition_ = map.map(map.handle, LV2_TIME__Position);
    beatsPerMinute_ = map.map(map.handle, LV2_TIME__beatsPerMinute);
    start(sampleRate);
  }

  void connect(uint32_t port, void* data) {
    if (port < static_cast<uint32_t>(kNumParams)) {
      parameterPorts_[port] = static_cast<const float*>(data);
    } else if (port == kEventsPort) {
      events_ = static_cast<const LV2_Atom_Sequence*>(data);
    } else if (port == kLeftOutPort) {
      left_ = static_cast<float*>(data);
    } else if (port == kRightOutPort) {
      right_ = static_cast<float*>(data);
    } else if (port == kGateLampPort) {
      gateLamp_ = static_cast<float*>(data);
    }
  }

  void run(uint32_t frames) {
    applyChangedPorts();
    // The block is rendered in pieces that end where the host's tempo changes. MIDI waits in `staged_`
    // until the sequence moves past its frame, so that a message on the frame of a tempo change acts
    // on that frame, after the change, in whichever order the two come.
    uint32_t pieceStart = 0;
    uint32_t stagedFrame = 0;
    stagedCount_ = 0;
    if (events_ != nullptr) {
      for (const LV2_Atom_Event* event = lv2_atom_sequence_begin(&events_->body);
           !lv2_atom_sequence_is_end(&events_->body, events_->atom.size, event);
           event = lv2_atom_sequence_next(event)) {
        // Frames outside the block act at its ends; a host's frames never go back.
        const int64_t at = event->time.frames;
        const uint32_t inBlock = at <= 0        ? 0u
                                 : at >= frames ? (frames > 0 ? frames - 1 : 0u)
                                                : static_cast<uint32_t>(at);
        const uint32_t frame = std::max(inBlock, stagedFrame);
        if (frame != stagedFrame) {
          queueStaged(stagedFrame - pieceStart);
          stagedFrame = frame;
        }
        if (event->body.type == midiEvent_) {
          stage(event, stagedFrame - pieceStart);
        } else if (event->body.type == atomObject_ || event->body.type == atomBlank_) {
          double bpm = 0.0;
          if (!tempoOf(reinterpret_cast<const LV2_Atom_Object*>(&event->body), bpm)) continue;
          if (frame > pieceStart) {
            renderPiece(pieceStart, frame);
            pieceStart = frame;
          }
          bpm_ = bpm;
        }
      }
    }
    queueStaged(stagedFrame - pieceStart);
    if (frames > pieceStart) renderPiece(pieceStart, frames);
    if (gateLamp_ != nullptr) *gateLamp_ = instrument_.gatePosition();
  }

  // InstrumentHost: the host's tempo.
  float hostTempo() override { return tempoFromBpm(bpm_); }

 private:
  // The instrument starts in program 0; the program is applied again at the host's rate.
  void start(float sampleRate) {
    instrument_.setSampleRate(sampleRate);
    instrument_.selectProgram(0);
    for (int i = 0; i < kNumParams; ++i) lastPortValues_[i] = instrument_.parameter(i);
  }

  // Port values that changed since the last block act at its start, in parameter order.
  void applyChangedPorts() {
    for (int i = 0; i < kNumParams; ++i) {
      if (parameterPorts_[i] == nullptr) continue;
      const float value = *parameterPorts_[i];
      if (std::memcmp(&value, &lastPortValues_[i], sizeof value) == 0) continue;
      lastPortValues_[i] = value;
      instrument_.setParameter(i, value);
    }
  }

  void stage(const LV2_Atom_Event* event, uint32_t frameInPiece) {
    const uint32_t size = event->body.size < 3 ? event->body.size : 3;
    if (size == 0) return;
    if (stagedCount_ == kStagedMessages) queueStaged(frameInPiece);  // a flood on one frame goes on now
    MidiMessage& message = staged_[stagedCount_++];
    message = MidiMessage{0, {0, 0, 0, 0}};
    std::memcpy(message.bytes, event + 1, size);
  }

  void queueStaged(uint32_t frameInPiece) {
    for (int i = 0; i < stagedCount_; ++i) staged_[i].deltaFrames = static_cast<int32_t>(frameInPiece);
    instrument_.processEvents(staged_, stagedCount_);
    stagedCount_ = 0;
  }

  bool tempoOf(const LV2_Atom_Object* object, double& bpm) const {
    if (object->body.otype != timePosition_) return false;
    LV2_ATOM_OBJECT_FOREACH(object, property) {
      if (property->key != beatsPerMinute_) continue;
      const LV2_Atom& value = property->value;
      const void* body = &value + 1;
      if (value.type == atomFloat_ && value.size >= sizeof(float)) {
        bpm = *static_cast<const float*>(body);
      } else if (value.type == atomDouble_ && value.size >= sizeof(double)) {
        bpm = *static_cast<const double*>(body);
      } else if (value.type == atomInt_ && value.size >= sizeof(int32_t)) {
        bpm = *static_cast<const int32_t*>(body);
      } else if (value.type == atomLong_ && value.size >= sizeof(int64_t)) {
        bpm = static_cast<double>(*static_cast<const int64_t*>(body));
      } else {
        return false;
      }
      return std::isfinite(bpm);
    }
    return false;
  }

  void renderPiece(uint32_t from, uint32_t to) {
    instrument_.render(nullptr, left_ != nullptr ? left_ + from : nullptr,
                   right_ != nullptr ? right_ + from : nullptr, static_cast<int32_t>(to - from));
  }

  Instrument instrument_{*this};
  const float* parameterPorts_[kNumParams] = {};
  float lastPortValues_[kNumParams] = {};
  const LV2_Atom_Sequence* events_ = nullptr;
  float* left_ = nullptr;
  float* right_ = nullptr;
  float* gateLamp_ = nullptr;
  double bpm_ = 0.0;  // 0 until the host tells its tempo: the engine then plays at 120
  // MIDI messages of one frame, waiting for the sequence to pass it.
  static constexpr int kStagedMessages = 256;
  MidiMessage staged_[kStagedMessages] = {};
  int stagedCount_ = 0;

  LV2_URID midiEvent_, atomObject_, atomBlank_, atomFloat_, atomDouble_, atomInt_, atomLong_;
  LV2_URID timePosition_, beatsPerMinute_;
};

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
  if (!(rate >= Engine::kMinSampleRate && rate <= Engine::kMaxSampleRate)) return nullptr;
  LV2_URID_Map* map = nullptr;
  for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
    if (std::strcmp(features[i]->URI, LV2_URID__map) == 0)
      map = static_cast<LV2_URID_Map*>(features[i]->data);
  }
  if (map == nullptr || map->map == nullptr) return nullptr;
  return new (std::nothrow) Plugin(static_cast<float>(rate), *map);
}

void connectPort(LV2_Handle instance, uint32_t port, void* data) {
  static_cast<Plugin*>(instance)->connect(port, data);
}
void activate(LV2_Handle) {}
void run(LV2_Handle instance, uint32_t frames) { static_cast<Plugin*>(instance)->run(frames); }
void deactivate(LV2_Handle) {}
void cleanup(LV2_Handle instance) { delete static_cast<Plugin*>(instance); }
const void* extensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {kPluginUri, instantiate, connectPort, activate,
                                    run,        deactivate,  cleanup,     extensionData};

}  // namespace

}  // namespace tamblin::lv2

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &tamblin::lv2::kDescriptor : nullptr;
}
