// Services the tamblin tests start and stop themselves: child processes (tamblin, jackd, Xvfb), a JACK
// server on the dummy backend, and a probe that plays MIDI into tamblin and records its outputs.
#pragma once

#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"

namespace tamblin::test {

using namespace std::chrono_literals;

// Opens a client of the named server without starting one; null when none answers.
inline jack_client_t* openClient(const std::string& name, const std::string& server) {
  // The tests poll for servers that are not there yet: JACK need not say so each time.
  jack_set_error_function([](const char*) {});
  jack_set_info_function([](const char*) {});
  jack_status_t status;
  return jack_client_open(name.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
                          server.c_str());
}

// jackd on the dummy backend in synchronous mode (no skipped cycles), under a fixed private name: JACK
// keeps only eight server names per machine, so the tests reuse a few names rather than make new ones.
class JackServer {
 public:
  JackServer(std::string name, int rate, int period) : name_(std::move(name)), rate_(rate), period_(period) {}
  ~JackServer() { stop(); }

  // False (with the reason) when jackd is missing or does not answer.
  bool start(std::string& problem) {
    if (!std::filesystem::exists("/usr/bin/jackd")) {
      problem = "jackd is not installed (Debian package jackd2)";
      return false;
    }
    if (jack_client_t* stale = openClient("tamblin-probe", name_)) {
      jack_client_close(stale);
      problem = "a JACK server named " + name_ + " is already running";
      return false;
    }
    removeLeftovers();
    log_ = std::filesystem::temp_directory_path() / ("jackd-" + name_ + ".log");
    process_.start({"/usr/bin/jackd", "-n", name_, "-S", "-r", "-d", "dummy", "-r", std::to_string(rate_), "-p",
                    std::to_string(period_)},
                   {}, log_, "/dev/null");
    jack_client_t* client = nullptr;
    waitFor([&] { return !process_.running() || (client = openClient("tamblin-probe", name_)) != nullptr; });
    if (client == nullptr) {
      problem = "jackd did not start: " + process_.errors();
      process_.stop();
      return false;
    }
    jack_client_close(client);
    return true;
  }
  // Stops the server by its id; every client must be gone first, or it waits for them.
  void stop() {
    if (process_.pid() > 0) {
      process_.stop();
      removeLeftovers();
    }
    if (killed_) reclaimName();
    std::error_code ignored;
    if (!log_.empty()) std::filesystem::remove(log_, ignored);
  }
  // The server dies at once, as when it crashes. Its name is given back to JACK when the server stops.
  void kill() {
    process_.signal(SIGKILL);
    process_.waitExit(5000ms);
    removeLeftovers();
    killed_ = true;
  }
  // The server stops answering (SIGSTOP), as a server held up by a debugger or a stalled disk, or
  // goes on again (SIGCONT).
  void freeze(bool frozen) { process_.signal(frozen ? SIGSTOP : SIGCONT); }
  const std::string& name() const { return name_; }
  bool running() { return process_.running(); }

 private:
  // A server that did not end cleanly leaves its semaphores and segments in /dev/shm.
  void removeLeftovers() {
    const std::string semaphores = "jack_sem." + std::to_string(getuid()) + "_" + name_ + "_";
    const std::string segments = "jack_" + name_ + "_";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", error)) {
      const std::string file = entry.path().filename();
      if (file.rfind(semaphores, 0) == 0 || file.rfind(segments, 0) == 0) std::filesystem::remove(entry.path(), error);
    }
  }

  // JACK keeps the names of running servers in a table of eight per machine; a server that was killed
  // keeps its entry until a server of the same name starts (and takes it back), so the names of killed
  // test servers would fill the table for good. A server of the name is started and stopped cleanly.
  void reclaimName() {
    killed_ = false;
    ChildProcess reclaimer;
    reclaimer.start({"/usr/bin/jackd", "-n", name_, "-d", "dummy", "-r", std::to_string(rate_), "-p",
                     std::to_string(period_)},
                    {}, "/dev/null");
    // No client of this process may meet it (libjack keeps one connection per server name and process,
    // which the tests' own clients may hold): the server is up once its own client's semaphore exists.
    const std::string semaphore = "jack_sem." + std::to_string(getuid()) + "_" + name_ + "_system";
    waitFor([&] { return !reclaimer.running() || std::filesystem::exists("/dev/shm/" + semaphore); });
    reclaimer.stop();
    removeLeftovers();
  }

  std::string name_;
  int rate_;
  int period_;
  bool killed_ = false;
  std::string log_;  // the server's messages, read when it does not start
  ChildProcess process_;
};

// Two clients of the test: one plays scheduled MIDI messages into tamblin's input, the other records
// tamblin's outputs with the frame time of every block. The player runs before tamblin and the
// recorder after it, so a message and the sound it makes fall in the same cycle.
class Probe {
 public:
  struct Message {
    uint32_t time;  // JACK frame time
    std::vector<uint8_t> bytes;
  };

  explicit Probe(const std::string& server) {
    player_ = openClient("tamblin-test-player", server);
    recorder_ = openClient("tamblin-test-recorder", server);
    if (player_ == nullptr || recorder_ == nullptr) return;
    midiOut_ = jack_port_register(player_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    inLeft_ = jack_port_register(recorder_, "in_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    inRight_ = jack_port_register(recorder_, "in_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(player_, &Probe::play, this);
    jack_set_process_callback(recorder_, &Probe::record, this);
    jack_activate(player_);
    jack_activate(recorder_);
    period_ = jack_get_buffer_size(recorder_);
    rate_ = jack_get_sample_rate(recorder_);
  }
  ~Probe() { close(); }
  void close() {
    for (jack_client_t** client : {&player_, &recorder_}) {
      if (*client != nullptr) jack_client_close(*client);
      *client = nullptr;
    }
  }
  bool ready() const { return player_ != nullptr && recorder_ != nullptr; }
  // The start of the latest block the recorder has seen. (JACK's running frame clock is no bound: on a
  // busy machine the dummy backend falls behind it.)
  uint32_t now() const { return lastBlock_.load(); }
  uint32_t period() const { return period_; }
  uint32_t rate() const { return rate_; }

  // Makes the recorder the transport's timebase master at `bpm` and starts the transport rolling;
  // true once clients see it roll with a bar/beat position.
  bool rollTransport(double bpm) {
    bpm_ = bpm;
    if (jack_set_timebase_callback(recorder_, 0, &Probe::timebase, this) != 0) return false;
    jack_transport_start(recorder_);
    return waitFor([this] {
      jack_position_t position;
      return jack_transport_query(player_, &position) == JackTransportRolling && (position.valid & JackPositionBBT) &&
             position.beats_per_minute == bpm_;
    });
  }

  // Connects to tamblin's ports, retrying while tamblin is not yet active.
  bool connect(const std::string& tamblin) {
    return waitFor([&] {
      return jack_connect(player_, jack_port_name(midiOut_), (tamblin + ":midi_in").c_str()) == 0 &&
             jack_connect(recorder_, (tamblin + ":out_left").c_str(), jack_port_name(inLeft_)) == 0 &&
             jack_connect(recorder_, (tamblin + ":out_right").c_str(), jack_port_name(inRight_)) == 0;
    });
  }
  bool clientGone(const std::string& tamblin) {
    return waitFor([&] { return jack_port_by_name(recorder_, (tamblin + ":out_left").c_str()) == nullptr; });
  }

  // Plays the messages (times ascending, all in the future) and records `frames` frames from `start`.
  void schedule(std::vector<Message> messages, uint32_t start, uint32_t frames) {
    messages_ = std::move(messages);
    left_.assign(frames, 0.0f);
    right_.assign(frames, 0.0f);
    recordStart_ = start;
    recorded_ = 0;
    armed_.store(true);
  }
  // Waits until the recording is full.
  bool finish() {
    const bool done = waitFor([this] { return recorded_.load() >= left_.size(); }, 60000ms);
    armed_.store(false);
    return done;
  }
  const std::vector<float>& left() const { return left_; }
  const std::vector<float>& right() const { return right_; }
  // The first block in which tamblin's output was not all zeros (it never is while it runs);
  // forgotten before each start of tamblin.
  uint32_t firstLiveBlock() const { return firstLiveBlock_.load(); }
  void forgetStart() { firstLiveBlock_.store(0); }

 private:
  static void timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* position, int, void* self) {
    position->valid = JackPositionBBT;
    position->bar = 1;
    position->beat = 1;
    position->tick = 0;
    position->bar_start_tick = 0;
    position->beats_per_bar = 4;
    position->beat_type = 4;
    position->ticks_per_beat = 1920;
    position->beats_per_minute = static_cast<Probe*>(self)->bpm_;
  }
  static int play(jack_nframes_t frames, void* self) {
    auto* probe = static_cast<Probe*>(self);
    void* buffer = jack_port_get_buffer(probe->midiOut_, frames);
    jack_midi_clear_buffer(buffer);
    if (!probe->armed_.load()) return 0;
    const uint32_t start = jack_last_frame_time(probe->player_);
    for (const Message& m : probe->messages_) {
      const uint32_t offset = m.time - start;
      if (offset < frames) jack_midi_event_write(buffer, offset, m.bytes.data(), m.bytes.size());
    }
    return 0;
  }
  static int record(jack_nframes_t frames, void* self) {
    auto* probe = static_cast<Probe*>(self);
    const uint32_t start = jack_last_frame_time(probe->recorder_);
    probe->lastBlock_.store(start);
    const auto* left = static_cast<const float*>(jack_port_get_buffer(probe->inLeft_, frames));
    const auto* right = static_cast<const float*>(jack_port_get_buffer(probe->inRight_, frames));
    if (probe->firstLiveBlock_.load() == 0) {
      for (uint32_t k = 0; k < frames; ++k)
        if (left[k] != 0.0f) {
          probe->firstLiveBlock_.store(start);
          break;
        }
    }
    if (!probe->armed_.load()) return 0;
    for (uint32_t k = 0; k < frames; ++k) {
      const uint32_t at = start + k - probe->recordStart_;
      if (at < probe->left_.size()) {
        probe->left_[at] = left[k];
        probe->right_[at] = right[k];
        probe->recorded_.store(std::max<size_t>(probe->recorded_.load(), at + 1));
      }
    }
    return 0;
  }

  jack_client_t* player_ = nullptr;
  jack_client_t* recorder_ = nullptr;
  jack_port_t* midiOut_ = nullptr;
  jack_port_t* inLeft_ = nullptr;
  jack_port_t* inRight_ = nullptr;
  uint32_t period_ = 0;
  uint32_t rate_ = 0;
  double bpm_ = 120.0;
  std::vector<Message> messages_;
  std::vector<float> left_, right_;
  uint32_t recordStart_ = 0;
  std::atomic<size_t> recorded_{0};
  std::atomic<uint32_t> firstLiveBlock_{0};
  std::atomic<uint32_t> lastBlock_{0};
  std::atomic<bool> armed_{false};
};

}  // namespace tamblin::test
