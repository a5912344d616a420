// The JACK side: client and ports, the process callback, transport tempo, server loss.
#include "JackAudio.h"

#include <jack/midiport.h>
#include <unistd.h>

#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "AlsaMidiInput.h"

namespace tamblin::standalone {
namespace {

void quiet(const char*) {}

// Channel messages only: notes, controllers, program change, pressure, pitch bend.
bool takeMessage(const jack_midi_event_t& in, MidiEvent& out) {
  if (in.size < 1 || in.size > 3 || in.buffer[0] < 0x80 || in.buffer[0] >= 0xF0) return false;
  out.frame = in.time;
  out.size = static_cast<uint8_t>(in.size);
  for (size_t b = 0; b < in.size; ++b) out.bytes[b] = in.buffer[b];
  return true;
}

// Reads the period's JACK messages from index `next` on into `out`, at most `capacity`; a message
// stamped beyond the period (a faulty client) acts on its last frame. Answers the count.
int readJackEvents(void* midi, uint32_t available, uint32_t& next, uint32_t frames, MidiEvent* out, int capacity) {
  int count = 0;
  while (next < available && count < capacity) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, midi, next++) == 0 && takeMessage(event, out[count])) {
      if (out[count].frame >= frames) out[count].frame = frames - 1;
      ++count;
    }
  }
  return count;
}

// JACK 2 answers a name in use with a plain server error: a client under another name tells whether
// the server is there and whether a client holds the name, with ports or without.
bool nameTaken(const std::string& name, const std::string& server) {
  const std::string probeName = "tamblin-check-" + std::to_string(::getpid());
  jack_status_t status{};
  jack_client_t* probe =
      server.empty() ? jack_client_open(probeName.c_str(), JackNoStartServer, &status)
                     : jack_client_open(probeName.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                        &status, server.c_str());
  if (probe == nullptr) return false;
  std::string pattern = "^";
  for (char c : name) {
    if (std::strchr(".[]{}()\\*+?^$|", c) != nullptr) pattern.push_back('\\');
    pattern.push_back(c);
  }
  pattern += ":";
  const char** ports = jack_get_ports(probe, pattern.c_str(), nullptr, 0);
  bool taken = ports != nullptr;
  if (ports != nullptr) jack_free(ports);
  if (char* uuid = jack_get_uuid_for_client_name(probe, name.c_str())) {
    taken = true;
    jack_free(uuid);
  }
  jack_client_close(probe);
  return taken;
}

}  // namespace

JackAudio::JackAudio(const std::string& clientName, const std::string& serverName) : name_(clientName) {
  // JACK's own diagnostics would bury the one line that says what went wrong.
  jack_set_error_function(quiet);
  jack_set_info_function(quiet);
  jack_status_t status{};
  int options = JackNoStartServer | JackUseExactName;
  if (!serverName.empty()) options |= JackServerName;
  client_ = serverName.empty()
                ? jack_client_open(clientName.c_str(), static_cast<jack_options_t>(options), &status)
                : jack_client_open(clientName.c_str(), static_cast<jack_options_t>(options), &status,
                                   serverName.c_str());
  const std::string server = serverName.empty() ? "" : " '" + serverName + "'";
  if (client_ == nullptr) {
    if ((status & JackNameNotUnique) || nameTaken(clientName, serverName))
      throw JackError("the JACK client name '" + clientName + "' is already taken (is tamblin already running? "
                      "--name gives another)");
    if (status & (JackServerFailed | JackServerError))
      throw JackError("no JACK server" + server + " is running (start one, for example with qjackctl)");
    char code[32];
    std::snprintf(code, sizeof code, "0x%x", static_cast<unsigned>(status));
    throw JackError("the JACK server" + server + " refused the client (status " + code + ")");
  }
  midiIn_ = jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  outLeft_ = jack_port_register(client_, "out_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  outRight_ = jack_port_register(client_, "out_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  if (midiIn_ == nullptr || outLeft_ == nullptr || outRight_ == nullptr) {
    jack_client_close(client_);
    throw JackError("the JACK server" + server + " refused tamblin's ports");
  }
}

JackAudio::~JackAudio() { stop(); }

void JackAudio::start(Player& instrument, AlsaMidiInput* alsa, int wakeFd) {
  instrument_ = &instrument;
  alsa_ = alsa;
  wakeFd_ = wakeFd;
  jack_set_process_callback(client_, &JackAudio::process, this);
  jack_on_info_shutdown(client_, &JackAudio::shutdown, this);
  if (jack_activate(client_) != 0) throw JackError("the JACK server would not start tamblin's client");
  active_ = true;
}

std::vector<std::string> JackAudio::connectPhysical(bool midiExpected) {
  std::vector<std::string> problems;
  const char** playback = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput);
  jack_port_t* outputs[2] = {outLeft_, outRight_};
  int connected = 0;
  for (int i = 0; i < 2 && playback != nullptr && playback[i] != nullptr; ++i)
    if (jack_connect(client_, jack_port_name(outputs[i]), playback[i]) == 0) ++connected;
  if (connected == 0) problems.push_back("no physical playback port to connect the outputs to");
  if (playback != nullptr) jack_free(playback);
  const char** sources = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsPhysical | JackPortIsOutput);
  for (int i = 0; sources != nullptr && sources[i] != nullptr; ++i) jack_connect(client_, sources[i], jack_port_name(midiIn_));
  if (sources == nullptr && midiExpected) problems.push_back("no physical MIDI source in JACK (try --alsa-midi)");
  if (sources != nullptr) jack_free(sources);
  return problems;
}

void JackAudio::sendFromWindow(uint8_t status, uint8_t data1, uint8_t data2) {
  if (client_ == nullptr) return;
  MidiEvent event;
  event.size = 3;
  event.bytes[0] = status;
  event.bytes[1] = data1;
  event.bytes[2] = data2;
  fromWindow_.push(jack_frame_time(client_), event);
}

bool JackAudio::silence(std::chrono::milliseconds limit) {
  silenced_.store(true, std::memory_order_release);
  if (!active_ || serverGone_) return false;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!silenceSeen_.load(std::memory_order_acquire)) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

bool JackAudio::stop(std::chrono::milliseconds limit) {
  if (client_ == nullptr) return true;
  // The thread owns what it needs, so that it may outlive this object when the server never answers.
  struct Leaving {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
  };
  auto leaving = std::make_shared<Leaving>();
  std::thread worker([leaving, client = client_, deactivate = active_ && !serverGone_] {
    if (deactivate) jack_deactivate(client);
    jack_client_close(client);
    std::lock_guard lock(leaving->mutex);
    leaving->finished = true;
    leaving->done.notify_all();
  });
  client_ = nullptr;
  active_ = false;
  bool finished;
  {
    std::unique_lock lock(leaving->mutex);
    finished = leaving->done.wait_for(lock, limit, [&] { return leaving->finished; });
  }
  if (finished) {
    worker.join();
  } else {
    worker.detach();
  }
  return finished;
}

int JackAudio::process(jack_nframes_t frames, void* self) { return static_cast<JackAudio*>(self)->render(frames); }

void JackAudio::shutdown(jack_status_t, const char*, void* self) {
  auto* audio = static_cast<JackAudio*>(self);
  audio->serverGone_ = true;
  const char byte = 1;
  if (audio->wakeFd_ >= 0) (void)!::write(audio->wakeFd_, &byte, 1);
}

void JackAudio::updateTempo() {
  jack_position_t position;
  const jack_transport_state_t state = jack_transport_query(client_, &position);
  const double bpm = position.beats_per_minute;
  const bool valid = state == JackTransportRolling && (position.valid & JackPositionBBT) && std::isfinite(bpm) &&
                     bpm >= 1.0 && bpm <= 1000.0;
  instrument_->setTransportTempo(valid ? bpm : 0.0);
}

int JackAudio::render(jack_nframes_t frames) {
  auto* left = static_cast<float*>(jack_port_get_buffer(outLeft_, frames));
  auto* right = static_cast<float*>(jack_port_get_buffer(outRight_, frames));
  if (silenced_.load(std::memory_order_acquire)) {
    std::memset(left, 0, frames * sizeof(float));
    std::memset(right, 0, frames * sizeof(float));
    silenceSeen_.store(true, std::memory_order_release);
    return 0;
  }
  if (frames == 0) return 0;
  void* midi = jack_port_get_buffer(midiIn_, frames);
  const uint32_t available = jack_midi_get_event_count(midi);
  uint32_t next = 0;
  const int jackCount = readJackEvents(midi, available, next, frames, jackEvents_, kMaxEvents);
  MidiEvent* events = jackEvents_;
  int count = jackCount;
  const uint32_t cycleStart = jack_last_frame_time(client_);
  const int alsaCount = alsa_ != nullptr ? alsa_->take(alsaEvents_, kMaxEvents, cycleStart, frames) : 0;
  const int windowCount = fromWindow_.take(windowEvents_, kMaxEvents, cycleStart, frames);
  if (alsaCount > 0 || windowCount > 0) {
    // All three lists are in frame order; at equal frames JACK's messages go first, then ALSA's.
    int a = 0, b = 0, c = 0;
    count = 0;
    while (a < jackCount || b < alsaCount || c < windowCount) {
      uint32_t best = UINT32_MAX;
      if (a < jackCount) best = jackEvents_[a].frame;
      if (b < alsaCount && alsaEvents_[b].frame < best) best = alsaEvents_[b].frame;
      if (c < windowCount && windowEvents_[c].frame < best) best = windowEvents_[c].frame;
      if (a < jackCount && jackEvents_[a].frame == best) {
        merged_[count++] = jackEvents_[a++];
      } else if (b < alsaCount && alsaEvents_[b].frame == best) {
        merged_[count++] = alsaEvents_[b++];
      } else {
        merged_[count++] = windowEvents_[c++];
      }
    }
    events = merged_;
  }
  updateTempo();
  if (next >= available) {
    instrument_->render(events, count, left, right, frames);
    return 0;
  }
  // More messages than a list holds: the listed ones act on their frames before the last one; the
  // last frame takes the rest, in order, as many lists as they fill.
  const uint32_t last = frames - 1;
  int early = 0;
  while (early < count && events[early].frame < last) ++early;
  instrument_->render(events, early, left, right, last);
  for (int i = early; i < count; ++i) events[i].frame = 0;
  instrument_->render(events + early, count - early, left + last, right + last, 0);
  while (next < available) {
    const int more = readJackEvents(midi, available, next, frames, jackEvents_, kMaxEvents);
    for (int i = 0; i < more; ++i) jackEvents_[i].frame = 0;
    instrument_->render(jackEvents_, more, left + last, right + last, 0);
  }
  instrument_->render(nullptr, 0, left + last, right + last, 1);
  return 0;
}

}  // namespace tamblin::standalone
