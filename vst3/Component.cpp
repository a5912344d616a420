// The processing half: buses, processing set-up, blocks rendered in pieces at the frames of parameter
// changes with notes and mapped controllers queued on their frames, and the state.
#include "Component.h"

#include <cmath>
#include <string>

#include "Identity.h"
#include "Parameters.h"
#include "Text.h"

namespace tamblin::vst3 {

using namespace ::vst3;

namespace {

template <typename T>
void insertionSortByFrame(T* items, int count) {
  for (int i = 1; i < count; ++i) {
    const T moving = items[i];
    int j = i;
    while (j > 0 && items[j - 1].frame > moving.frame) {
      items[j] = items[j - 1];
      --j;
    }
    items[j] = moving;
  }
}

int32_t frameInBlock(int32_t offset, int32_t frames) {
  if (offset <= 0 || frames <= 0) return 0;
  return offset >= frames ? frames - 1 : offset;
}

uint8_t sevenBits(float velocity) {
  if (!(velocity > 0.0f)) return 0;
  const long v = std::lround(static_cast<double>(velocity > 1.0f ? 1.0f : velocity) * 127.0);
  return static_cast<uint8_t>(v < 1 ? 1 : v);
}

}  // namespace

Component::Component() = default;

tresult Component::queryInterface(const TUID iid, void** object) {
  if (object == nullptr) return kInvalidArgument;
  *object = nullptr;
  if (FUnknown::iid.matches(iid) || IPluginBase::iid.matches(iid) || IComponent::iid.matches(iid)) {
    *object = static_cast<IComponent*>(this);
  } else if (IAudioProcessor::iid.matches(iid)) {
    *object = static_cast<IAudioProcessor*>(this);
  } else if (IConnectionPoint::iid.matches(iid)) {
    *object = static_cast<IConnectionPoint*>(this);
  } else if (IGateSource::iid.matches(iid)) {
    *object = static_cast<IGateSource*>(this);
  } else {
    return kNoInterface;
  }
  addRef();
  return kResultOk;
}

uint32 Component::addRef() { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }

uint32 Component::release() {
  const uint32 left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

tresult Component::initialize(FUnknown*) {
  if (initialized_) return kResultFalse;
  initialized_ = true;
  return kResultOk;
}

tresult Component::terminate() {
  if (peer_ != nullptr) disconnect(peer_);
  initialized_ = false;
  active_ = processing_ = false;
  return kResultOk;
}

tresult Component::getControllerClassId(TUID classId) {
  if (classId == nullptr) return kInvalidArgument;
  std::memcpy(classId, kControllerUid.bytes, sizeof(TUID));
  return kResultOk;
}

tresult Component::setIoMode(int32) { return kResultOk; }

int32 Component::getBusCount(int32 type, int32 direction) {
  if (type == kAudio && direction == kOutput) return 1;
  if (type == kEvent && direction == kInput) return 1;
  return 0;
}

tresult Component::getBusInfo(int32 type, int32 direction, int32 index, BusInfo& bus) {
  if (index != 0 || getBusCount(type, direction) == 0) return kInvalidArgument;
  bus = BusInfo{};
  bus.mediaType = type;
  bus.direction = direction;
  bus.channelCount = type == kAudio ? 2 : 16;
  copyText(bus.name, type == kAudio ? "Output" : "MIDI In", 128);
  bus.busType = kMain;
  bus.flags = kDefaultActive;
  return kResultOk;
}

tresult Component::getRoutingInfo(RoutingInfo&, RoutingInfo&) { return kNotImplemented; }

tresult Component::activateBus(int32 type, int32 direction, int32 index, TBool) {
  return index == 0 && getBusCount(type, direction) == 1 ? kResultOk : kInvalidArgument;
}

tresult Component::setActive(TBool state) {
  active_ = state != 0;
  if (active_) instrument_.setSampleRate(static_cast<float>(sampleRate_));
  return kResultOk;
}

tresult Component::setState(IBStream* state) {
  std::string text, problem;
  if (!readWhole(state, text, kMaxStateTextSize)) return kResultFalse;
  return instrument_.loadState(text, problem) ? kResultOk : kResultFalse;
}

tresult Component::getState(IBStream* state) {
  return writeWhole(state, instrument_.saveState()) ? kResultOk : kResultFalse;
}

tresult Component::setBusArrangements(SpeakerArrangement*, int32 numIns, SpeakerArrangement* outputs,
                                      int32 numOuts) {
  return numIns == 0 && numOuts == 1 && outputs != nullptr && outputs[0] == kStereo ? kResultOk : kResultFalse;
}

tresult Component::getBusArrangement(int32 direction, int32 index, SpeakerArrangement& arrangement) {
  if (direction != kOutput || index != 0) return kInvalidArgument;
  arrangement = kStereo;
  return kResultOk;
}

tresult Component::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == kSample32 ? kResultOk : kResultFalse;
}

tresult Component::setupProcessing(ProcessSetup& setup) {
  if (active_) return kResultFalse;  // only between activations
  if (setup.symbolicSampleSize != kSample32) return kResultFalse;
  if (!(setup.sampleRate >= Engine::kMinSampleRate && setup.sampleRate <= Engine::kMaxSampleRate))
    return kInvalidArgument;
  sampleRate_ = setup.sampleRate;
  instrument_.setSampleRate(static_cast<float>(sampleRate_));
  return kResultOk;
}

tresult Component::setProcessing(TBool state) {
  if (!active_ && state != 0) return kResultFalse;
  processing_ = state != 0;
  return kResultOk;
}

tresult Component::connect(IConnectionPoint* other) {
  if (other == nullptr) return kInvalidArgument;
  if (peer_ != nullptr) return kResultFalse;
  peer_ = other;
  return kResultOk;
}

tresult Component::disconnect(IConnectionPoint* other) {
  if (other == nullptr || other != peer_) return kInvalidArgument;
  peer_ = nullptr;
  return kResultOk;
}

tresult Component::notify(IMessage*) { return kResultFalse; }

float Component::hostTempo() { return tempoFromBpm(bpm_); }

void Component::parameterChanged(int index, float value) {
  if (!reporting_ || renderThread_.load(std::memory_order_relaxed) != std::this_thread::get_id()) return;
  if (index < 0 || index >= kNumParams) return;
  for (int i = 0; i < echoCount_; ++i) {
    if (echoes_[i].index == index) {
      echoes_[i].value = value;
      return;
    }
  }
  if (echoCount_ < kMaxEchoes) echoes_[echoCount_++] = Echo{index, value};
}

void Component::gatherEvents(IEventList* events, int32_t frames) {
  if (events == nullptr) return;
  const int32 count = events->getEventCount();
  for (int32 i = 0; i < count && messageCount_ < kMaxMessages; ++i) {
    Event e{};
    if (events->getEvent(i, e) != kResultOk || e.busIndex != 0) continue;
    MidiMessage m{0, {0, 0, 0, 0}};
    if (e.type == Event::kNoteOnEvent && e.noteOn.pitch >= 0 && e.noteOn.pitch < 128) {
      // A note-on of velocity 0 is MIDI's note-off, as a host converting MIDI may send it.
      const uint8_t velocity = e.noteOn.velocity == 0.0f ? 0 : sevenBits(e.noteOn.velocity);
      m.bytes[0] = static_cast<uint8_t>(0x90 | (e.noteOn.channel & 0x0F));
      m.bytes[1] = static_cast<uint8_t>(e.noteOn.pitch);
      m.bytes[2] = velocity;
    } else if (e.type == Event::kNoteOffEvent && e.noteOff.pitch >= 0 && e.noteOff.pitch < 128) {
      m.bytes[0] = static_cast<uint8_t>(0x80 | (e.noteOff.channel & 0x0F));
      m.bytes[1] = static_cast<uint8_t>(e.noteOff.pitch);
      m.bytes[2] = sevenBits(e.noteOff.velocity);
    } else {
      continue;
    }
    messages_[messageCount_++] = TimedMessage{frameInBlock(e.sampleOffset, frames), m};
  }
}

void Component::gatherChanges(IParameterChanges* changes, int32_t frames) {
  if (changes == nullptr) return;
  const int32 queues = changes->getParameterCount();
  for (int32 q = 0; q < queues; ++q) {
    IParamValueQueue* queue = changes->getParameterData(q);
    if (queue == nullptr) continue;
    const ParamID id = queue->getParameterId();
    const ParamKind kind = kindOf(id);
    if (kind == ParamKind::Unknown) continue;
    const int32 points = queue->getPointCount();
    for (int32 p = 0; p < points; ++p) {
      int32 offset = 0;
      ParamValue value = 0.0;
      if (queue->getPoint(p, offset, value) != kResultOk) continue;
      if (std::isnan(value)) value = 0.0;
      const int32_t frame = frameInBlock(offset, frames);
      if (kind == ParamKind::Controller || kind == ParamKind::PitchBend) {
        if (messageCount_ < kMaxMessages) messages_[messageCount_++] = TimedMessage{frame, messageFor(id, value)};
      } else if (changeCount_ < kMaxChanges) {
        changes_[changeCount_++] = Change{frame, id, value};
      }
    }
  }
}

void Component::apply(const Change& change) {
  if (change.id == kProgramParamId) {
    // The program's values go back to the host as output changes, so that it and the controller show
    // them: a host that picked the program does not read them again by itself.
    const int program = programOf(change.value);
    if (program != instrument_.currentProgram()) {
      reporting_ = true;
      instrument_.selectProgram(program);
      reporting_ = false;
    }
  } else {
    instrument_.setParameter(static_cast<int>(change.id), static_cast<float>(change.value));
  }
}

void Component::reportEchoes(IParameterChanges* out, int32_t frame) {
  for (int i = 0; out != nullptr && i < echoCount_; ++i) {
    int32 index = 0;
    const ParamID id = static_cast<ParamID>(echoes_[i].index);
    if (IParamValueQueue* queue = out->addParameterData(id, index)) queue->addPoint(frame, echoes_[i].value, index);
  }
  echoCount_ = 0;
}

tresult Component::process(ProcessData& data) {
  const int32_t frames = data.numSamples;
  if (frames < 0) return kInvalidArgument;
  renderThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);

  float* left = nullptr;
  float* right = nullptr;
  if (data.numOutputs >= 1 && data.outputs != nullptr && data.outputs[0].numChannels >= 1) {
    AudioBusBuffers& bus = data.outputs[0];
    bus.silenceFlags = 0;
    if (data.symbolicSampleSize != kSample32) {
      // A host that asks for doubles after being told no gets silence.
      for (int32 c = 0; bus.channelBuffers64 != nullptr && c < bus.numChannels; ++c) {
        for (int32_t k = 0; bus.channelBuffers64[c] != nullptr && k < frames; ++k) bus.channelBuffers64[c][k] = 0.0;
      }
      return kResultFalse;
    }
    if (bus.channelBuffers32 != nullptr) {
      left = bus.channelBuffers32[0];
      right = bus.numChannels >= 2 ? bus.channelBuffers32[1] : nullptr;
    }
  }

  const ProcessContext* context = data.processContext;
  bpm_ = context != nullptr && (context->state & ProcessContext::kTempoValid) != 0 && std::isfinite(context->tempo) &&
                 context->tempo > 0.0
             ? context->tempo
             : 0.0;

  messageCount_ = changeCount_ = echoCount_ = 0;
  gatherEvents(data.inputEvents, frames);
  gatherChanges(data.inputParameterChanges, frames);
  insertionSortByFrame(messages_, messageCount_);
  insertionSortByFrame(changes_, changeCount_);

  // The block in pieces that end at the frames of parameter changes; notes and controllers are queued
  // for the piece they fall in, on their frame in it.
  int32_t position = 0;
  int change = 0, message = 0;
  for (;;) {
    while (change < changeCount_ && changes_[change].frame <= position) apply(changes_[change++]);
    if (echoCount_ > 0) reportEchoes(data.outputParameterChanges, position);
    const int32_t end = change < changeCount_ ? changes_[change].frame : frames;
    int staged = 0;
    while (message < messageCount_ && (messages_[message].frame < end || end >= frames)) {
      staged_[staged] = messages_[message++].message;
      staged_[staged].deltaFrames = frames > 0 ? messages_[message - 1].frame - position : 0;
      ++staged;
    }
    instrument_.processEvents(staged_, staged);
    if (end > position) {
      reporting_ = true;
      instrument_.render(nullptr, left != nullptr ? left + position : nullptr,
                         right != nullptr ? right + position : nullptr, end - position);
      reporting_ = false;
      reportEchoes(data.outputParameterChanges, position);
    }
    position = end;
    if (position >= frames && change >= changeCount_) break;
  }
  return kResultOk;
}

}  // namespace tamblin::vst3
