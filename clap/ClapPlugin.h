// One Tamblin instance as a CLAP plug-in: the instrument, its life cycle, the audio thread's block
// (notes, MIDI, automation and tempo on their frames), and what the extensions ask of it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "ClapExtensions.h"
#include "EditQueue.h"
#include "Instrument.h"

namespace tamblin::clap {

class ClapEditor;

// The plug-in's identity.
extern const clap_plugin_descriptor_t kDescriptor;

class Plugin final : public InstrumentHost {
 public:
  explicit Plugin(const clap_host_t* host);
  ~Plugin() override;
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  const clap_plugin_t* record() const { return &record_; }
  // The instance behind a record the host passes; null for a null or foreign record.
  static Plugin* from(const clap_plugin_t* record);

  // ---- life cycle (clap_plugin_t) ----
  bool init();
  bool activate(double sampleRate, uint32_t minFrames, uint32_t maxFrames);
  void deactivate();
  bool startProcessing();
  void stopProcessing();
  void reset();
  clap_process_status process(const clap_process_t* process);
  void onMainThread();

  // ---- params ----
  bool parameterValue(clap_id id, double* value) const;
  void flush(const clap_input_events_t* in, const clap_output_events_t* out);

  // ---- state and presets [main thread] ----
  bool saveState(const clap_ostream_t* stream);
  bool loadState(const clap_istream_t* stream);
  bool loadPreset(uint32_t locationKind, const char* location, const char* loadKey);

  // ---- editor ----
  ClapEditor& editor() { return *editor_; }
  // [main thread] An edit in the window: applied and reported to the host through process or flush.
  void editorEdit(int index, float value);

  Instrument& instrument() { return instrument_; }
  const clap_host_t* host() const { return host_; }
  // Whether the caller is on the host's main thread (true when the host cannot tell).
  bool onHostMainThread() const;
  // An extension of the host, or null.
  const void* hostExtension(const char* id) const;

 private:
  // InstrumentHost
  float hostTempo() override;
  void parameterChanged(int index, float value) override;

  // The block: events in order, rendered in pieces that end where automation, tempo or a program
  // change acts.
  struct Block;
  void handleEvent(Block& block, const clap_event_header_t* event);
  void handleNote(Block& block, const clap_event_note_t& note);
  void stageMidi(Block& block, uint32_t frame, uint8_t status, uint8_t data1, uint8_t data2);
  void queueStaged(Block& block);
  void renderTo(Block& block, uint32_t frame);
  void applyHostValue(const clap_event_param_value_t& event);
  void applyEdits(const clap_output_events_t* out);
  void pushValue(const clap_output_events_t* out, uint32_t time, int index, float value);
  void requestRescan();

  const clap_host_t* host_;
  clap_plugin_t record_;
  uint32_t magic_ = 0;
  std::unique_ptr<ClapEditor> editor_;
  EditQueue edits_;

  const clap_host_params_t* hostParams_ = nullptr;
  const clap_host_state_t* hostState_ = nullptr;
  const clap_host_thread_check_t* threadCheck_ = nullptr;

  bool active_ = false;                    // [main thread]
  std::atomic<bool> processing_{false};    // between start_processing and stop_processing
  std::atomic<bool> rescanWanted_{false};  // values changed on the audio thread in bulk
  std::atomic<bool> inRender_{false};
  std::atomic<std::thread::id> renderThread_{};

  // Audio thread only.
  double bpm_ = 0.0;  // 0 when the host gives none: the engine plays 120
  bool held_[16][128] = {};  // keys down per channel, for note-offs that name no key or channel
  static constexpr int kStagedMessages = 256;
  MidiMessage staged_[kStagedMessages] = {};
  int stagedCount_ = 0;
  // Values that mapped controllers changed during render, reported after the block.
  struct Change {
    uint32_t time;
    int index;
    float value;
  };
  static constexpr int kChanges = 256;
  Change changes_[kChanges] = {};
  int changeCount_ = 0;
  uint32_t pieceStart_ = 0;
  // Last: its construction selects program 0, which reports every value to the members above.
  Instrument instrument_{*this};
};

}  // namespace tamblin::clap
