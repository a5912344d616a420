// An ALSA sequencer port for keyboards that are not bridged into JACK. A thread of its own reads the
// port and stamps each message with JACK's frame clock; the audio thread takes them per block.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "Instrument.h"

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

  // [audio thread] Moves the messages that came before `cycleStart` into `out`, each on the frame of
  // the previous block where it arrived (so they keep their spacing, one block late); returns the count.
  int take(MidiEvent* out, int capacity, uint32_t cycleStart, uint32_t frames);

  int clientId() const { return client_; }
  int portId() const { return port_; }

 private:
  struct Stamped {
    uint32_t time;
    MidiEvent event;
  };
  static constexpr uint32_t kRingSize = 1024;  // a power of two

  void run();
  void push(const Stamped& message);

  snd_seq_t* seq_ = nullptr;
  int client_ = -1;
  int port_ = -1;
  int wakeRead_ = -1, wakeWrite_ = -1;
  std::function<uint32_t()> now_;
  std::thread thread_;
  Stamped ring_[kRingSize] = {};
  std::atomic<uint32_t> head_{0};  // written by the reading thread
  std::atomic<uint32_t> tail_{0};  // written by the audio thread
};

}  // namespace tamblin::standalone
