// The LV2 plug-in: the instrument behind LV2 ports, MIDI and host tempo on their exact frames, and the
// parameters mapped controllers change reported on the notification port.
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "Atoms.h"
#include "Instrument.h"
#include "ParameterPorts.h"
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
    atomUrid_ = map.map(map.handle, LV2_ATOM__URID);
    atomSequence_ = map.map(map.handle, LV2_ATOM__Sequence);
    timePosition_ = map.map(map.handle, LV2_TIME__Position);
    beatsPerMinute_ = map.map(map.handle, LV2_TIME__beatsPerMinute);
    patchSet_ = map.map(map.handle, LV2_PATCH__Set);
    patchProperty_ = map.map(map.handle, LV2_PATCH__property);
    patchValue_ = map.map(map.handle, LV2_PATCH__value);
    for (int i = 0; i < kNumParams; ++i)
      parameterUrids_[i] = map.map(map.handle, (kParameterUriPrefix + parameterPort(i).symbol).c_str());
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
    } else if (port == kNotifyPort) {
      notify_ = static_cast<LV2_Atom_Sequence*>(data);
    }
  }

  void run(uint32_t frames) {
    applyChangedPorts();
    // The block is rendered in pieces that end where the host's tempo changes. MIDI waits in `staged_`
    // until the sequence moves past its frame, so that a message on the frame of a tempo change acts
    // on that frame, after the change, in whichever order the two come.
    pieceStart_ = 0;
    stagedFrame_ = 0;
    stagedCount_ = 0;
    if (events_ != nullptr) {
      forEachEvent(&events_->body, events_->atom.size, [&](const LV2_Atom_Event& event) { take(event, frames); });
    }
    queueStaged(stagedFrame_ - pieceStart_);
    if (frames > pieceStart_) renderPiece(pieceStart_, frames);
    if (gateLamp_ != nullptr) *gateLamp_ = instrument_.gatePosition();
    writeNotifications();
  }

  // InstrumentHost: the host's tempo.
  float hostTempo() override { return tempoFromBpm(bpm_); }
  // InstrumentHost: a value stored while rendering came from a mapped controller, which the host has
  // not seen: it is reported at the end of the block.
  void parameterChanged(int index, float value) override {
    if (!rendering_ || index < 0 || index >= kNumParams) return;
    reported_[index] = value;
    unreported_[index] = true;
    echoPending_[index] = true;
  }

 private:
  // The instrument starts in program 0; the program is applied again at the host's rate.
  void start(float sampleRate) {
    instrument_.setSampleRate(sampleRate);
    instrument_.selectProgram(0);
    for (int i = 0; i < kNumParams; ++i) lastPortValues_[i] = instrument_.parameter(i);
  }

  // Port values that changed since the last block act at its start, in parameter order. A port that
  // comes to the value last reported for a controller is the host catching up (the UI writes what it
  // was told): the instrument holds it already.
  void applyChangedPorts() {
    for (int i = 0; i < kNumParams; ++i) {
      if (parameterPorts_[i] == nullptr) continue;
      const float value = *parameterPorts_[i];
      if (std::memcmp(&value, &lastPortValues_[i], sizeof value) == 0) continue;
      lastPortValues_[i] = value;
      if (echoPending_[i] && std::memcmp(&value, &reported_[i], sizeof value) == 0) {
        echoPending_[i] = false;
        continue;
      }
      echoPending_[i] = false;
      instrument_.setParameter(i, value);
    }
  }

  void take(const LV2_Atom_Event& event, uint32_t frames) {
    // Frames outside the block act at its ends; a host's frames never go back.
    const int64_t at = event.time.frames;
    const uint32_t inBlock = at <= 0        ? 0u
                             : at >= frames ? (frames > 0 ? frames - 1 : 0u)
                                            : static_cast<uint32_t>(at);
    const uint32_t frame = std::max(inBlock, stagedFrame_);
    if (frame != stagedFrame_) {
      queueStaged(stagedFrame_ - pieceStart_);
      stagedFrame_ = frame;
    }
    if (event.body.type == midiEvent_) {
      stage(event, stagedFrame_ - pieceStart_);
    } else if (event.body.type == atomObject_ || event.body.type == atomBlank_) {
      double bpm = 0.0;
      if (!tempoOf(reinterpret_cast<const LV2_Atom_Object&>(event.body), bpm)) return;
      if (frame > pieceStart_) {
        renderPiece(pieceStart_, frame);
        pieceStart_ = frame;
      }
      bpm_ = bpm;
    }
  }

  void stage(const LV2_Atom_Event& event, uint32_t frameInPiece) {
    const uint32_t size = event.body.size < 3 ? event.body.size : 3;
    if (size == 0) return;
    if (stagedCount_ == kStagedMessages) queueStaged(frameInPiece);  // a flood on one frame goes on now
    MidiMessage& message = staged_[stagedCount_++];
    message = MidiMessage{0, {0, 0, 0, 0}};
    std::memcpy(message.bytes, &event + 1, size);
  }

  void queueStaged(uint32_t frameInPiece) {
    for (int i = 0; i < stagedCount_; ++i) staged_[i].deltaFrames = static_cast<int32_t>(frameInPiece);
    instrument_.processEvents(staged_, stagedCount_);
    stagedCount_ = 0;
  }

  // The object's size lies inside the sequence (forEachEvent); its properties are read within it. The
  // first beatsPerMinute decides: a number of one of four types, finite.
  bool tempoOf(const LV2_Atom_Object& object, double& bpm) const {
    if (object.atom.size < sizeof(LV2_Atom_Object_Body) || object.body.otype != timePosition_) return false;
    bool seen = false, found = false;
    forEachProperty(object, [&](const LV2_Atom_Property_Body& property) {
      if (seen || property.key != beatsPerMinute_) return;
      seen = true;
      float f;
      int32_t i;
      int64_t l;
      if (valueOf(property, atomFloat_, f)) {
        bpm = f;
      } else if (valueOf(property, atomInt_, i)) {
        bpm = i;
      } else if (valueOf(property, atomLong_, l)) {
        bpm = static_cast<double>(l);
      } else if (!valueOf(property, atomDouble_, bpm)) {
        return;
      }
      found = std::isfinite(bpm);
    });
    return found;
  }

  void renderPiece(uint32_t from, uint32_t to) {
    rendering_ = true;
    instrument_.render(nullptr, left_ != nullptr ? left_ + from : nullptr,
                       right_ != nullptr ? right_ + from : nullptr, static_cast<int32_t>(to - from));
    rendering_ = false;
  }

  // The block's controller changes, one patch:Set each at frame 0, as far as the host's buffer holds
  // them; the rest wait for the next block.
  void writeNotifications() {
    if (notify_ == nullptr) return;
    const uint32_t capacity = notify_->atom.size;  // the host's buffer, less the atom header
    if (capacity < sizeof(LV2_Atom_Sequence_Body)) return;
    notify_->atom.type = atomSequence_;
    notify_->body.unit = 0;
    notify_->body.pad = 0;
    uint32_t used = sizeof(LV2_Atom_Sequence_Body);
    auto* bytes = reinterpret_cast<uint8_t*>(&notify_->body);
    for (int i = 0; i < kNumParams && used + sizeof(SetMessage) <= capacity; ++i) {
      if (!unreported_[i]) continue;
      unreported_[i] = false;
      SetMessage message{};
      message.event.time.frames = 0;
      message.event.body = {SetMessage::kBodySize, atomObject_};
      message.object = {0, patchSet_};
      message.propertyKey = {patchProperty_, 0, {sizeof(uint32_t), atomUrid_}};
      message.property = parameterUrids_[i];
      message.valueKey = {patchValue_, 0, {sizeof(float), atomFloat_}};
      message.value = reported_[i];
      std::memcpy(bytes + used, &message, sizeof message);
      used += sizeof message;
    }
    notify_->atom.size = used;
  }

  Instrument instrument_{*this};
  const float* parameterPorts_[kNumParams] = {};
  float lastPortValues_[kNumParams] = {};
  const LV2_Atom_Sequence* events_ = nullptr;
  float* left_ = nullptr;
  float* right_ = nullptr;
  float* gateLamp_ = nullptr;
  LV2_Atom_Sequence* notify_ = nullptr;
  double bpm_ = 0.0;  // 0 until the host tells its tempo: the engine then plays at 120
  // MIDI messages of one frame, waiting for the sequence to pass it.
  static constexpr int kStagedMessages = 256;
  MidiMessage staged_[kStagedMessages] = {};
  int stagedCount_ = 0;
  uint32_t pieceStart_ = 0, stagedFrame_ = 0;
  // Controller changes: the value, not yet written to the notification port, not yet back on the port.
  bool rendering_ = false;
  float reported_[kNumParams] = {};
  bool unreported_[kNumParams] = {};
  bool echoPending_[kNumParams] = {};

  LV2_URID midiEvent_, atomObject_, atomBlank_, atomFloat_, atomDouble_, atomInt_, atomLong_, atomUrid_;
  LV2_URID atomSequence_, timePosition_, beatsPerMinute_, patchSet_, patchProperty_, patchValue_;
  LV2_URID parameterUrids_[kNumParams] = {};
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
