// Host request answers, the time record and the registry that maps effect records to hosts.
#include "Host.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>

namespace tamblin::host {
namespace {

constexpr const char* kVendor = "Tamblin";
constexpr const char* kProduct = "tamblin-render";
constexpr VstIntPtr kProductVersion = 1000;
constexpr VstIntPtr kLanguageEnglish = 1;
constexpr VstIntPtr kAutomationOff = 1;

// Effect records and their hosts. Few plug-ins live at once, so a list is enough.
std::mutex registryMutex;
std::vector<std::pair<AEffect*, Host*>>& registry() {
  static std::vector<std::pair<AEffect*, Host*>> entries;
  return entries;
}
// The host whose entry call is running on this thread.
thread_local Host* enteringHost = nullptr;

Host* hostOf(AEffect* effect) {
  if (effect != nullptr) {
    std::lock_guard lock(registryMutex);
    for (auto& [record, host] : registry())
      if (record == effect) return host;
  }
  return enteringHost;
}

void copyText(void* destination, const char* text, size_t capacity) {
  if (destination == nullptr) return;
  std::strncpy(static_cast<char*>(destination), text, capacity - 1);
  static_cast<char*>(destination)[capacity - 1] = '\0';
}

}  // namespace

Host::Host(HostSettings settings, TempoMap tempoMap) : settings_(settings), tempoMap_(std::move(tempoMap)) {
  for (const TempoMap::Change& change : tempoMap_.changes())
    tempoByFrame_.emplace_back(std::llround(change.seconds * settings_.sampleRate), change.bpm);
}

double Host::bpmAtFrame(int64_t frame) const {
  double bpm = tempoByFrame_.front().second;
  for (const auto& [start, tempo] : tempoByFrame_) {
    if (start > frame) break;
    bpm = tempo;
  }
  return bpm;
}

Host::~Host() {
  std::lock_guard lock(registryMutex);
  std::erase_if(registry(), [this](const auto& entry) { return entry.second == this; });
}

AEffect* Host::callEntry(AEffect*(VSTCALLBACK* entry)(audioMasterCallback)) {
  Host* previous = std::exchange(enteringHost, this);
  AEffect* effect = entry(&Host::callback);
  enteringHost = previous;
  return effect;
}

void Host::adopt(AEffect* effect) {
  std::lock_guard lock(registryMutex);
  registry().emplace_back(effect, this);
}

void Host::release(AEffect* effect) {
  std::lock_guard lock(registryMutex);
  std::erase_if(registry(), [effect](const auto& entry) { return entry.first == effect; });
}

VstIntPtr VSTCALLBACK Host::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                     void* ptr, float opt) {
  if (Host* host = hostOf(effect)) return host->answer(effect, opcode, index, value, ptr, opt);
  // A request from a record nobody adopted: only the version is worth telling.
  return opcode == audioMasterVersion ? kHostVersion : 0;
}

bool Host::canDo(const char* capability) {
  if (capability == nullptr) return false;
  static constexpr const char* kCapabilities[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo"};
  return std::any_of(std::begin(kCapabilities), std::end(kCapabilities),
                     [capability](const char* known) { return std::strcmp(known, capability) == 0; });
}

VstIntPtr Host::answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt) {
  switch (opcode) {
    case audioMasterAutomate:
      automation_.push_back({index, opt, blockStart_});
      return 0;
    case audioMasterVersion:
      return kHostVersion;
    case audioMasterWantMidi:
      midiWanted_ = true;
      return 1;
    case audioMasterGetTime:
      return reinterpret_cast<VstIntPtr>(&timeInfo());
    case audioMasterTempoAt:
      return tempoAt(value);
    case audioMasterPinConnected: {
      // Answers 0 when the pin is connected: every pin the record declares is.
      int pins = effect == nullptr ? 0 : (value == 0 ? effect->numInputs : effect->numOutputs);
      return index >= 0 && index < pins ? 0 : 1;
    }
    case audioMasterGetSampleRate:
      return static_cast<VstIntPtr>(std::lround(settings_.sampleRate));
    case audioMasterGetBlockSize:
      return settings_.blockSize;
    case audioMasterGetCurrentProcessLevel:
      return processing_ ? kProcessLevelOffline : kProcessLevelUser;
    case audioMasterGetAutomationState:
      return kAutomationOff;
    case audioMasterWillReplaceOrAccumulate:
      return effect != nullptr && (effect->flags & effFlagsCanReplacing) ? 1 : 2;
    case audioMasterGetVendorString:
      copyText(ptr, kVendor, kVstMaxVendorStrLen);
      return 1;
    case audioMasterGetProductString:
      copyText(ptr, kProduct, kVstMaxProductStrLen);
      return 1;
    case audioMasterGetVendorVersion:
      return kProductVersion;
    case audioMasterCanDo:
      return canDo(static_cast<const char*>(ptr)) ? 1 : 0;
    case audioMasterGetLanguage:
      return kLanguageEnglish;
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
    case audioMasterIdle:
    case audioMasterUpdateDisplay:
      return 1;
    default:
      return 0;
  }
}

void Host::startTransport() {
  playing_ = true;
  transportChanged_ = true;
  blockStart_ = 0;
}

void Host::stopTransport() {
  playing_ = false;
  transportChanged_ = true;
}

void Host::setBlockStart(int64_t frame) { blockStart_ = frame; }

VstIntPtr Host::tempoAt(int64_t offset) const {
  return static_cast<VstIntPtr>(std::llround(bpmAtFrame(blockStart_ + std::max<int64_t>(offset, 0)) * 10000.0));
}

const VstTimeInfo& Host::timeInfo() {
  double seconds = static_cast<double>(blockStart_) / settings_.sampleRate;
  double quarters = tempoMap_.quartersAtSeconds(seconds);
  TimeSignature signature = tempoMap_.signatureAtQuarters(quarters);
  timeInfo_ = VstTimeInfo{};
  timeInfo_.samplePos = static_cast<double>(blockStart_);
  timeInfo_.sampleRate = settings_.sampleRate;
  timeInfo_.nanoSeconds = seconds * 1e9;
  timeInfo_.ppqPos = quarters;
  timeInfo_.tempo = bpmAtFrame(blockStart_);
  timeInfo_.barStartPos = tempoMap_.barStartAtQuarters(quarters);
  timeInfo_.timeSigNumerator = signature.numerator;
  timeInfo_.timeSigDenominator = signature.denominator;
  timeInfo_.flags = kVstNanosValid | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
  if (playing_) timeInfo_.flags |= kVstTransportPlaying;
  if (transportChanged_) timeInfo_.flags |= kVstTransportChanged;
  return timeInfo_;
}

}  // namespace tamblin::host
