// tamblin's JACK client: a MIDI input port and two audio outputs, the instrument rendered in JACK's
// process callback with every event on its frame and the tempo of a rolling transport.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "MidiQueue.h"
#include "Player.h"

namespace tamblin::standalone {

class AlsaMidiInput;

class JackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class JackAudio {
 public:
  // Opens the client without starting a server; throws JackError saying what went wrong.
  JackAudio(const std::string& clientName, const std::string& serverName);
  ~JackAudio();
  JackAudio(const JackAudio&) = delete;
  JackAudio& operator=(const JackAudio&) = delete;

  uint32_t sampleRate() const { return jack_get_sample_rate(client_); }
  uint32_t frameTime() const { return jack_frame_time(client_); }
  const std::string& clientName() const { return name_; }

  // Starts rendering; a byte is written to `wakeFd` if the server goes away.
  void start(Player& instrument, AlsaMidiInput* alsa, int wakeFd);
  // Connects the outputs to the first two physical playback ports and every physical MIDI source to
  // the input; answers what could not be done (a missing MIDI source only when `midiExpected`).
  std::vector<std::string> connectPhysical(bool midiExpected);
  bool serverGone() const { return serverGone_.load(); }
  // [ui thread] A message from the window's keyboards, played in the next period as a MIDI keyboard's
  // would be; dropped only when more than a queue of them wait (the audio side has stopped).
  void sendFromWindow(uint8_t status, uint8_t data1, uint8_t data2);
  // Makes the process callback leave the instrument alone (it plays silence from then on) and waits up
  // to `limit` for a callback that has seen it, so that the instrument may be read without the audio
  // thread; false when none came (a frozen or vanished server).
  bool silence(std::chrono::milliseconds limit);
  // Stops rendering and leaves the server, waiting at most `limit`: a server that does not answer
  // keeps the thread that asked it, and tamblin goes on without it. False when it did not answer in
  // time. Safe to repeat.
  bool stop(std::chrono::milliseconds limit = kStopLimit);

  // How long tamblin waits for a server to let its client go.
  static constexpr std::chrono::milliseconds kStopLimit{2000};
  // The messages one list of a period holds; beyond them, messages act on the period's last frame.
  static constexpr int kMaxEvents = 1024;

 private:
  static int process(jack_nframes_t frames, void* self);
  static void shutdown(jack_status_t code, const char* reason, void* self);
  int render(jack_nframes_t frames);
  void updateTempo();

  jack_client_t* client_ = nullptr;
  std::string name_;
  jack_port_t* midiIn_ = nullptr;
  jack_port_t* outLeft_ = nullptr;
  jack_port_t* outRight_ = nullptr;
  Player* instrument_ = nullptr;
  AlsaMidiInput* alsa_ = nullptr;
  int wakeFd_ = -1;
  bool active_ = false;
  std::atomic<bool> serverGone_{false};
  std::atomic<bool> silenced_{false};
  std::atomic<bool> silenceSeen_{false};
  MidiEvent jackEvents_[kMaxEvents];
  MidiEvent alsaEvents_[kMaxEvents];
  MidiEvent windowEvents_[kMaxEvents];
  MidiEvent merged_[3 * kMaxEvents];
  MidiQueue fromWindow_;
};

}  // namespace tamblin::standalone
