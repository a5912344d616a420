// Where the window's keyboards send what a MIDI keyboard would: channel messages, queued for the
// audio thread, which plays them in its next period.
#pragma once

#include <cstdint>

namespace tamblin::standalone {

class NoteSink {
 public:
  virtual ~NoteSink() = default;
  // [ui thread] One three-byte channel message.
  virtual void send(uint8_t status, uint8_t data1, uint8_t data2) = 0;
};

}  // namespace tamblin::standalone
