// ALSA sequencer events decoded to MIDI bytes and handed to the audio thread through a lock-free ring.
#include "AlsaMidiInput.h"

#include <alsa/asoundlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace tamblin::standalone {

namespace {
// The library's own diagnostics would bury the one line that says what went wrong.
void quiet(const char*, int, const char*, int, const char*, ...) {}
}  // namespace

AlsaMidiInput::AlsaMidiInput(const std::string& clientName) {
  snd_lib_error_set_handler(quiet);
  if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) {
    seq_ = nullptr;
    throw std::runtime_error("no ALSA sequencer (is the snd-seq module loaded?)");
  }
  snd_seq_set_client_name(seq_, clientName.c_str());
  client_ = snd_seq_client_id(seq_);
  port_ = snd_seq_create_simple_port(seq_, "midi_in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                     SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  int fds[2];
  if (port_ < 0 || pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    snd_seq_close(seq_);
    throw std::runtime_error("cannot make an ALSA sequencer port");
  }
  wakeRead_ = fds[0];
  wakeWrite_ = fds[1];
}

AlsaMidiInput::~AlsaMidiInput() {
  stop();
  snd_seq_close(seq_);
  ::close(wakeRead_);
  ::close(wakeWrite_);
}

void AlsaMidiInput::start(std::function<uint32_t()> now) {
  now_ = std::move(now);
  thread_ = std::thread([this] { run(); });
}

void AlsaMidiInput::stop() {
  if (!thread_.joinable()) return;
  const char byte = 1;
  (void)!::write(wakeWrite_, &byte, 1);
  thread_.join();
}

void AlsaMidiInput::run() {
  snd_midi_event_t* decoder = nullptr;
  if (snd_midi_event_new(16, &decoder) < 0) return;
  snd_midi_event_no_status(decoder, 1);  // every message complete, no running status
  const int seqFds = snd_seq_poll_descriptors_count(seq_, POLLIN);
  std::vector<pollfd> fds(static_cast<size_t>(seqFds) + 1);
  fds[0] = {wakeRead_, POLLIN, 0};
  snd_seq_poll_descriptors(seq_, fds.data() + 1, static_cast<unsigned>(seqFds), POLLIN);
  for (;;) {
    if (poll(fds.data(), fds.size(), -1) < 0) continue;
    if (fds[0].revents != 0) break;
    snd_seq_event_t* event = nullptr;
    while (snd_seq_event_input(seq_, &event) >= 0 && event != nullptr) {
      unsigned char bytes[16];
      const long size = snd_midi_event_decode(decoder, bytes, sizeof bytes, event);
      // Only channel messages of up to three bytes reach the instrument; system exclusive does not.
      if (size >= 1 && size <= 3 && bytes[0] >= 0x80 && bytes[0] < 0xF0) {
        MidiEvent message;
        message.size = static_cast<uint8_t>(size);
        for (long b = 0; b < size; ++b) message.bytes[b] = bytes[b];
        queue_.push(now_(), message);
      }
      event = nullptr;
    }
  }
  snd_midi_event_free(decoder);
}

}  // namespace tamblin::standalone
