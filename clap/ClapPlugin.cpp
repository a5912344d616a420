// The instance's life cycle and its block: CLAP notes and MIDI become the engine's messages on their
// frames, automation and tempo changes split the block where they act, and changes the instrument
// makes itself go back to the host as parameter events.
#include "ClapPlugin.h"

#include <cmath>
#include <cstring>

#include "ClapEditor.h"
#include "ClapParameters.h"
#include "Engine.h"

namespace tamblin::clap {

struct Plugin::Block {
  uint32_t frames = 0;
  float* left = nullptr;
  float* right = nullptr;
  uint32_t lastFrame = 0;    // events never go back in time
  uint32_t stagedFrame = 0;  // the frame of the messages waiting in staged_
};

namespace {

// Record entries: each recovers the instance and forwards.
bool entryInit(const clap_plugin_t* p) {
  Plugin* plugin = Plugin::from(p);
  return plugin != nullptr && plugin->init();
}
void entryDestroy(const clap_plugin_t* p) { delete Plugin::from(p); }
bool entryActivate(const clap_plugin_t* p, double rate, uint32_t minFrames, uint32_t maxFrames) {
  Plugin* plugin = Plugin::from(p);
  return plugin != nullptr && plugin->activate(rate, minFrames, maxFrames);
}
void entryDeactivate(const clap_plugin_t* p) {
  if (Plugin* plugin = Plugin::from(p)) plugin->deactivate();
}
bool entryStartProcessing(const clap_plugin_t* p) {
  Plugin* plugin = Plugin::from(p);
  return plugin != nullptr && plugin->startProcessing();
}
void entryStopProcessing(const clap_plugin_t* p) {
  if (Plugin* plugin = Plugin::from(p)) plugin->stopProcessing();
}
void entryReset(const clap_plugin_t* p) {
  if (Plugin* plugin = Plugin::from(p)) plugin->reset();
}
clap_process_status entryProcess(const clap_plugin_t* p, const clap_process_t* process) {
  Plugin* plugin = Plugin::from(p);
  return plugin != nullptr ? plugin->process(process) : CLAP_PROCESS_ERROR;
}
void entryOnMainThread(const clap_plugin_t* p) {
  if (Plugin* plugin = Plugin::from(p)) plugin->onMainThread();
}

uint8_t velocity7(double velocity) {
  if (!(velocity > 0.0)) return 0;  // NaN too
  return static_cast<uint8_t>(velocity >= 1.0 ? 127 : std::lround(velocity * 127.0));
}

constexpr uint32_t kMagic = 0x54616d62;  // 'Tamb': marks our records among foreign ones

}  // namespace

const void* pluginExtension(const clap_plugin_t* plugin, const char* id);  // ClapExtensionTables.cpp

Plugin::Plugin(const clap_host_t* host) : host_(host), editor_(std::make_unique<ClapEditor>(*this)) {
  record_ = clap_plugin_t{&kDescriptor,         this,           entryInit,         entryDestroy,
                          entryActivate,        entryDeactivate, entryStartProcessing, entryStopProcessing,
                          entryReset,           entryProcess,   pluginExtension,   entryOnMainThread};
  magic_ = kMagic;
}

Plugin::~Plugin() {
  magic_ = 0;
  editor_->destroy();
  if (active_) deactivate();
}

Plugin* Plugin::from(const clap_plugin_t* record) {
  if (record == nullptr || record->plugin_data == nullptr) return nullptr;
  auto* plugin = static_cast<Plugin*>(record->plugin_data);
  return &plugin->record_ == record && plugin->magic_ == kMagic ? plugin : nullptr;
}

const void* Plugin::hostExtension(const char* id) const {
  return host_ != nullptr && host_->get_extension != nullptr ? host_->get_extension(host_, id) : nullptr;
}

bool Plugin::onHostMainThread() const {
  return threadCheck_ == nullptr || threadCheck_->is_main_thread == nullptr || threadCheck_->is_main_thread(host_);
}

bool Plugin::init() {
  hostParams_ = static_cast<const clap_host_params_t*>(hostExtension(CLAP_EXT_PARAMS));
  hostState_ = static_cast<const clap_host_state_t*>(hostExtension(CLAP_EXT_STATE));
  threadCheck_ = static_cast<const clap_host_thread_check_t*>(hostExtension(CLAP_EXT_THREAD_CHECK));
  editor_->init();
  return true;
}

bool Plugin::activate(double sampleRate, uint32_t, uint32_t) {
  if (active_ || !(sampleRate >= Engine::kMinSampleRate && sampleRate <= Engine::kMaxSampleRate)) return false;
  // The rate reaches everything derived from it through a program selection, as in the VST 2 library.
  instrument_.setSampleRate(static_cast<float>(sampleRate));
  instrument_.selectProgram(instrument_.currentProgram());
  std::memset(held_, 0, sizeof held_);
  active_ = true;
  return true;
}

void Plugin::deactivate() {
  if (!active_) return;
  processing_.store(false, std::memory_order_release);
  active_ = false;
}

bool Plugin::startProcessing() {
  if (!active_) return false;
  processing_.store(true, std::memory_order_release);
  return true;
}

void Plugin::stopProcessing() { processing_.store(false, std::memory_order_release); }

void Plugin::reset() {
  if (!active_) return;
  // All notes off, as a host's panic does.
  const MidiMessage allOff{0, {0xB0, 123, 0, 0}};
  instrument_.processEvents(&allOff, 1);
  std::memset(held_, 0, sizeof held_);
}

void Plugin::onMainThread() {
  if (rescanWanted_.exchange(false) && hostParams_ != nullptr && hostParams_->rescan != nullptr) {
    hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
  }
}

void Plugin::requestRescan() {
  rescanWanted_.store(true);
  if (host_ != nullptr && host_->request_callback != nullptr) host_->request_callback(host_);
}

// ---- InstrumentHost ------------------------------------------------------------------------------

float Plugin::hostTempo() { return tempoFromBpm(bpm_); }

void Plugin::parameterChanged(int index, float value) {
  editor_->valueChanged(index, value);
  // Only the changes the instrument makes itself inside a render (mapped controllers) are reported
  // from here; the others are reported where they are made.
  if (!inRender_.load(std::memory_order_relaxed) ||
      renderThread_.load(std::memory_order_relaxed) != std::this_thread::get_id() || index >= kNumParams) {
    return;
  }
  if (changeCount_ == kChanges) {
    rescanWanted_.store(true);
    return;
  }
  changes_[changeCount_++] = Change{pieceStart_, index, value};
}

// ---- The block ---------------------------------------------------------------------------------

clap_process_status Plugin::process(const clap_process_t* process) {
  if (!active_ || !processing_.load(std::memory_order_acquire) || process == nullptr) return CLAP_PROCESS_ERROR;
  renderThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  Block block;
  block.frames = process->frames_count;
  if (process->audio_outputs != nullptr && process->audio_outputs_count > 0) {
    clap_audio_buffer_t& out = process->audio_outputs[0];
    if (out.data32 != nullptr) {
      if (out.channel_count > 0) block.left = out.data32[0];
      if (out.channel_count > 1) block.right = out.data32[1];
    }
    out.constant_mask = 0;
  }
  const clap_event_transport_t* transport = process->transport;
  bpm_ = transport != nullptr && (transport->flags & CLAP_TRANSPORT_HAS_TEMPO) != 0 && std::isfinite(transport->tempo)
             ? transport->tempo
             : 0.0;

  const clap_output_events_t* out = process->out_events;
  if (out != nullptr && out->try_push == nullptr) out = nullptr;
  applyEdits(out);
  pieceStart_ = 0;
  stagedCount_ = 0;
  changeCount_ = 0;
  const clap_input_events_t* in = process->in_events;
  if (in != nullptr && in->size != nullptr && in->get != nullptr) {
    const uint32_t count = in->size(in);
    for (uint32_t i = 0; i < count; ++i) handleEvent(block, in->get(in, i));
  }
  queueStaged(block);
  renderTo(block, block.frames);
  for (int i = 0; i < changeCount_; ++i) pushValue(out, changes_[i].time, changes_[i].index, changes_[i].value);
  changeCount_ = 0;
  if (rescanWanted_.load(std::memory_order_relaxed)) requestRescan();
  return CLAP_PROCESS_CONTINUE;
}

void Plugin::handleEvent(Block& block, const clap_event_header_t* event) {
  if (event == nullptr || event->space_id != CLAP_CORE_EVENT_SPACE_ID) return;
  // Frames outside the block act at its ends; a frame before the last event's acts with it.
  uint32_t frame = event->time;
  if (frame >= block.frames) frame = block.frames > 0 ? block.frames - 1 : 0;
  if (frame < block.lastFrame) frame = block.lastFrame;
  block.lastFrame = frame;
  if (frame != block.stagedFrame) {
    queueStaged(block);
    block.stagedFrame = frame;
  }
  switch (event->type) {
    case CLAP_EVENT_NOTE_ON:
    case CLAP_EVENT_NOTE_OFF:
    case CLAP_EVENT_NOTE_CHOKE:
      if (event->size >= sizeof(clap_event_note_t)) {
        handleNote(block, *reinterpret_cast<const clap_event_note_t*>(event));
      }
      break;
    case CLAP_EVENT_MIDI: {
      if (event->size < sizeof(clap_event_midi_t)) break;
      const auto& midi = *reinterpret_cast<const clap_event_midi_t*>(event);
      if (midi.port_index != 0) break;
      const uint8_t status = midi.data[0];
      if (status < 0x80 || status >= 0xF0) break;  // running status and system messages play nothing
      if ((status & 0xF0) == 0xC0) {
        // A program change acts on its frame: the frames before it sound with the old program.
        renderTo(block, frame);
        queueStaged(block);
        if (midi.data[1] < Instrument::kNumPrograms) {
          inRender_.store(false, std::memory_order_relaxed);
          instrument_.selectProgram(midi.data[1]);
          std::memset(held_, 0, sizeof held_);
          rescanWanted_.store(true);
        }
        break;
      }
      const uint8_t channel = status & 0x0F;
      const uint8_t key = midi.data[1] & 0x7F;
      if ((status & 0xF0) == 0x90 && midi.data[2] > 0) held_[channel][key] = true;
      if ((status & 0xF0) == 0x80 || ((status & 0xF0) == 0x90 && midi.data[2] == 0)) held_[channel][key] = false;
      stageMidi(block, frame, status, midi.data[1] & 0x7F, midi.data[2] & 0x7F);
      break;
    }
    case CLAP_EVENT_PARAM_VALUE:
      if (event->size >= sizeof(clap_event_param_value_t)) {
        renderTo(block, frame);
        applyHostValue(*reinterpret_cast<const clap_event_param_value_t*>(event));
      }
      break;
    case CLAP_EVENT_TRANSPORT:
      if (event->size >= sizeof(clap_event_transport_t)) {
        const auto& transport = *reinterpret_cast<const clap_event_transport_t*>(event);
        renderTo(block, frame);
        bpm_ = (transport.flags & CLAP_TRANSPORT_HAS_TEMPO) != 0 && std::isfinite(transport.tempo) ? transport.tempo : 0.0;
      }
      break;
    default:
      break;  // expressions, modulation, gestures, SysEx and MIDI 2: nothing here follows them
  }
}

void Plugin::handleNote(Block& block, const clap_event_note_t& note) {
  if (note.port_index != 0 && note.port_index != -1) return;
  const bool on = note.header.type == CLAP_EVENT_NOTE_ON;
  if (on) {
    // A note-on names one key on one channel; velocity 0 would read as a note-off, so it is 1.
    if (note.key < 0 || note.key > 127 || note.channel < 0 || note.channel > 15) return;
    const uint8_t velocity = velocity7(note.velocity);
    held_[note.channel][note.key] = true;
    stageMidi(block, block.stagedFrame, static_cast<uint8_t>(0x90 | note.channel), static_cast<uint8_t>(note.key),
              velocity > 0 ? velocity : 1);
    return;
  }
  // Off and choke: every held key the event matches, -1 matching any key or channel. One that names
  // its key and channel goes to the engine as it is, held or not, as the same MIDI note-off would.
  if (note.key < -1 || note.key > 127 || note.channel < -1 || note.channel > 15) return;
  const uint8_t velocity = note.header.type == CLAP_EVENT_NOTE_OFF ? velocity7(note.velocity) : 0;
  if (note.key != -1 && note.channel != -1) {
    held_[note.channel][note.key] = false;
    stageMidi(block, block.stagedFrame, static_cast<uint8_t>(0x80 | note.channel), static_cast<uint8_t>(note.key),
              velocity);
    return;
  }
  for (int channel = 0; channel < 16; ++channel) {
    if (note.channel != -1 && note.channel != channel) continue;
    for (int key = 0; key < 128; ++key) {
      if ((note.key != -1 && note.key != key) || !held_[channel][key]) continue;
      held_[channel][key] = false;
      stageMidi(block, block.stagedFrame, static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(key), velocity);
    }
  }
}

void Plugin::stageMidi(Block& block, uint32_t frame, uint8_t status, uint8_t data1, uint8_t data2) {
  if (stagedCount_ == kStagedMessages) queueStaged(block);  // a flood on one frame goes on now
  block.stagedFrame = frame;
  staged_[stagedCount_++] = MidiMessage{0, {status, data1, data2, 0}};
}

void Plugin::queueStaged(Block& block) {
  if (stagedCount_ == 0) return;
  const int32_t delta = static_cast<int32_t>(block.stagedFrame - pieceStart_);
  for (int i = 0; i < stagedCount_; ++i) staged_[i].deltaFrames = delta;
  instrument_.processEvents(staged_, stagedCount_);
  stagedCount_ = 0;
}

void Plugin::renderTo(Block& block, uint32_t frame) {
  if (frame <= pieceStart_) return;
  // Messages waiting on this frame act after the change that ends the piece, on the next piece.
  if (block.stagedFrame < frame) queueStaged(block);
  inRender_.store(true, std::memory_order_relaxed);
  instrument_.render(nullptr, block.left != nullptr ? block.left + pieceStart_ : nullptr,
                     block.right != nullptr ? block.right + pieceStart_ : nullptr,
                     static_cast<int32_t>(frame - pieceStart_));
  inRender_.store(false, std::memory_order_relaxed);
  pieceStart_ = frame;
}

void Plugin::applyHostValue(const clap_event_param_value_t& event) {
  const std::optional<float> stored = storedValue(event.param_id, event.value);
  if (stored) instrument_.setParameter(static_cast<int>(event.param_id), *stored);
}

// ---- Editor edits and flush ------------------------------------------------------------------------

void Plugin::editorEdit(int index, float value) {
  if (index < 0 || index >= kNumParams) return;
  // Inactive, nothing renders: the value is stored now and only reported later.
  const bool applyNow = !active_;
  if (applyNow) instrument_.setParameter(index, value);
  if (!edits_.push(Edit{index, value, applyNow})) {
    if (!applyNow) instrument_.setParameter(index, value);  // a full queue: stored at once, rescanned
    rescanWanted_.store(true);
    onMainThread();
  }
  if (hostParams_ != nullptr && hostParams_->request_flush != nullptr && !processing_.load()) {
    hostParams_->request_flush(host_);
  }
  if (hostState_ != nullptr && hostState_->mark_dirty != nullptr) hostState_->mark_dirty(host_);
}

void Plugin::applyEdits(const clap_output_events_t* out) {
  Edit edit;
  while (edits_.pop(edit)) {
    if (!edit.applied) instrument_.setParameter(edit.index, edit.value);
    pushValue(out, 0, edit.index, instrument_.parameter(edit.index));
  }
}

void Plugin::pushValue(const clap_output_events_t* out, uint32_t time, int index, float value) {
  if (out == nullptr) return;
  clap_event_param_value_t event{};
  event.header = {sizeof event, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
  event.param_id = static_cast<clap_id>(index);
  event.cookie = nullptr;
  event.note_id = -1;
  event.port_index = event.channel = event.key = -1;
  event.value = hostValue(static_cast<uint32_t>(index), value);
  out->try_push(out, &event.header);
}

void Plugin::flush(const clap_input_events_t* in, const clap_output_events_t* out) {
  if (processing_.load(std::memory_order_acquire)) return;  // process() takes the values then
  if (out != nullptr && out->try_push == nullptr) out = nullptr;
  applyEdits(out);
  if (in == nullptr || in->size == nullptr || in->get == nullptr) return;
  const uint32_t count = in->size(in);
  for (uint32_t i = 0; i < count; ++i) {
    const clap_event_header_t* event = in->get(in, i);
    if (event == nullptr || event->space_id != CLAP_CORE_EVENT_SPACE_ID || event->type != CLAP_EVENT_PARAM_VALUE ||
        event->size < sizeof(clap_event_param_value_t)) {
      continue;
    }
    applyHostValue(*reinterpret_cast<const clap_event_param_value_t*>(event));
  }
}

bool Plugin::parameterValue(clap_id id, double* value) const {
  if (value == nullptr || id >= static_cast<clap_id>(kNumParams)) return false;
  *value = hostValue(id, instrument_.parameter(static_cast<int>(id)));
  return true;
}

}  // namespace tamblin::clap
