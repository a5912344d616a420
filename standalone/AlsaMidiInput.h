// An ALSA sequencer port for keyboards that are not bridged into JACK. A thread of its own reads the
// port and stamps each message with JACK's frame clock; the audio thread takes them per block.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "Player.h"
#include "MidiQueue.h"

typedef struct _snd_seq snd_seq_t;

namespace tamblin::standalone {

class AlsaMidiInput {
 public:
  // Opens the sequencer and makes a writable port; throws std::runtime_error with the reason.
  explicit AlsaMidiInput(const std::string& clientName);
  ~AlsaMidiInput();
  AlsaMidiInput(const AlsaMidiInput&) = delete;
  AlsaMidiInput& operator=(const AlsaMidiInput&) = delete;

  // Starts the reading thread; `now` gives the frame clock of the audio side.
  void start(std::function<uint32_t()> now);
  void stop();

  // [audio thread] The messages that came before the block starting at `cycleStart` (see MidiQueue).
  int take(MidiEvent* out, int capacity, uint32_t cycleStart, uint32_t frames) {
    return queue_.take(out, capacity, cycleStart, frames);
  }

  int clientId() const { return client_; }
  int portId() const { return port_; }

 private:
  void run();

  snd_seq_t* seq_ = nullptr;
  int client_ = -1;
  int port_ = -1;
  int wakeRead_ = -1, wakeWrite_ = -1;
  std::function<uint32_t()> now_;
  std::thread thread_;
  MidiQueue queue_;
};

}  // namespace tamblin::standalone
