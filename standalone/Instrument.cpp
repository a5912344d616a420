// The host side of the in-process instrument: its requests answered, events batched, programs moved.
#include "Instrument.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "Entry.h"
#include "uPlugin.h"

namespace tamblin::standalone {
namespace {

constexpr VstIntPtr kHostVersion = 2400;
constexpr VstIntPtr kProcessLevelRealtime = 2;
// The instrument calls back from inside its entry, before its record is known to be ours.
thread_local Instrument* constructing = nullptr;

bool isProgramChange(const MidiEvent& event) { return event.size == 2 && (event.bytes[0] & 0xF0) == 0xC0; }

}  // namespace

Instrument::Instrument(float sampleRate, double tempo) : sampleRate_(sampleRate), defaultTempo_(tempo) {
  constructing = this;
  effect_ = tamblinCreateEffect(&Instrument::hostCallback);
  constructing = nullptr;
  if (effect_ == nullptr) throw std::runtime_error("the instrument could not be built");
  effect_->user = this;
  plugin_ = static_cast<APlugin*>(effect_->object);
  effect_->dispatcher(effect_, effSetSampleRate, 0, 0, nullptr, sampleRate);
  effect_->dispatcher(effect_, effSetBlockSize, 0, 1024, nullptr, 0.0f);
  effect_->dispatcher(effect_, effMainsChanged, 0, 1, nullptr, 0.0f);
  // A program change takes the new sample rate into every rate the engine derives.
  selectProgram(currentProgram());
  for (int i = 0; i < kEventsPerBatch; ++i) {
    midi_[i].type = kVstMidiType;
    midi_[i].byteSize = sizeof(VstMidiEvent);
    batch_.events[i] = reinterpret_cast<VstEvent*>(&midi_[i]);
  }
}

Instrument::~Instrument() {
  effect_->dispatcher(effect_, effMainsChanged, 0, 0, nullptr, 0.0f);
  effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
}

VstIntPtr VSTCALLBACK Instrument::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr value, void*,
                                               float) {
  Instrument* self = effect != nullptr && effect->user != nullptr ? static_cast<Instrument*>(effect->user) : constructing;
  if (self == nullptr) return opcode == audioMasterVersion ? kHostVersion : 0;
  return self->answer(opcode, value);
}

double Instrument::tempo() const {
  const double transport = transportTempo_.load(std::memory_order_relaxed);
  return transport > 0.0 ? transport : defaultTempo_;
}

VstIntPtr Instrument::answer(VstInt32 opcode, VstIntPtr) {
  switch (opcode) {
    case audioMasterVersion:
      return kHostVersion;
    case audioMasterGetSampleRate:
      return static_cast<VstIntPtr>(std::lround(sampleRate_));
    case audioMasterTempoAt:
      return static_cast<VstIntPtr>(std::llround(tempo() * 10000.0));
    case audioMasterGetTime:
      timeInfo_ = VstTimeInfo{};
      timeInfo_.samplePos = framesRendered_;
      timeInfo_.sampleRate = sampleRate_;
      timeInfo_.tempo = tempo();
      timeInfo_.flags = kVstTempoValid;
      return reinterpret_cast<VstIntPtr>(&timeInfo_);
    case audioMasterWantMidi:
      return 1;
    case audioMasterGetCurrentProcessLevel:
      return kProcessLevelRealtime;
    default:
      return 0;
  }
}

InstrumentState Instrument::state() const {
  InstrumentState state;
  state.currentProgram = currentProgram();
  for (int p = 0; p < kStateProgramCount; ++p) {
    StoredProgram& stored = state.programs[static_cast<size_t>(p)];
    stored.name = plugin_->program(p).getName();
    for (int i = 0; i < kStateValueCount; ++i) stored.values[static_cast<size_t>(i)] = plugin_->program(p).value(i);
  }
  return state;
}

// Each program is made current and filled the way a host restores a bank: values, then name.
void Instrument::restore(const InstrumentState& state) {
  for (int p = 0; p < kStateProgramCount; ++p) {
    const StoredProgram& stored = state.programs[static_cast<size_t>(p)];
    selectProgram(p);
    for (int i = 0; i < kStateValueCount; ++i) effect_->setParameter(effect_, i, stored.values[static_cast<size_t>(i)]);
    char name[kVstMaxProgNameLen + 40] = {};
    std::strncpy(name, stored.name.c_str(), sizeof name - 1);
    effect_->dispatcher(effect_, effSetProgramName, 0, 0, name, 0.0f);
  }
  selectProgram(state.currentProgram);
}

void Instrument::selectProgram(int program) { effect_->dispatcher(effect_, effSetProgram, 0, program, nullptr, 0.0f); }

void Instrument::setParameter(int index, float value) { effect_->setParameter(effect_, index, value); }

int Instrument::currentProgram() const {
  return static_cast<int>(effect_->dispatcher(effect_, effGetProgram, 0, 0, nullptr, 0.0f));
}

std::string Instrument::programName() const { return plugin_->program(currentProgram()).getName(); }

void Instrument::render(const MidiEvent* events, int count, float* left, float* right, uint32_t frames) {
  uint32_t start = 0;
  int first = 0;
  for (int i = 0; i < count; ++i) {
    if (!isProgramChange(events[i])) continue;
    const uint32_t at = events[i].frame < frames ? events[i].frame : frames;
    renderSpan(events + first, i - first, start, left + start, right + start, at - start);
    start = at;
    first = i + 1;
    // Only the sixteen programs exist; other numbers are ignored.
    if (events[i].bytes[1] < kStateProgramCount) selectProgram(events[i].bytes[1]);
  }
  renderSpan(events + first, count - first, start, left + start, right + start, frames - start);
}

void Instrument::renderSpan(const MidiEvent* events, int count, uint32_t start, float* left, float* right,
                            uint32_t frames) {
  while (count > 0) {
    const int n = count < kEventsPerBatch ? count : kEventsPerBatch;
    for (int i = 0; i < n; ++i) {
      VstMidiEvent& midi = midi_[i];
      midi.deltaFrames = static_cast<VstInt32>(events[i].frame - start);
      for (int b = 0; b < 3; ++b) midi.midiData[b] = static_cast<char>(b < events[i].size ? events[i].bytes[b] : 0);
    }
    batch_.numEvents = n;
    effect_->dispatcher(effect_, effProcessEvents, 0, 0, &batch_, 0.0f);
    events += n;
    count -= n;
  }
  if (frames == 0) return;
  float* outputs[2] = {left, right};
  effect_->processReplacing(effect_, nullptr, outputs, static_cast<VstInt32>(frames));
  framesRendered_ += frames;
}

void applyStart(Instrument& instrument, const std::optional<InstrumentState>& saved, const Options& options) {
  if (saved) instrument.restore(*saved);
  if (options.program) instrument.selectProgram(*options.program);
  for (const auto& [index, value] : options.parameters) instrument.setParameter(index, value);
}

}  // namespace tamblin::standalone
