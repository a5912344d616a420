// Standard MIDI File reading: channel events, tempo and time-signature changes of format 0 and 1 files.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tamblin::host {

// A channel message (status 0x80..0xEF) at its tick; `size` is 2 for program change and channel
// pressure, 3 for the rest.
struct MidiEvent {
  int64_t tick = 0;
  int track = 0;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;
  uint8_t size = 3;

  int type() const { return status & 0xF0; }
  int channel() const { return status & 0x0F; }
};

struct TempoEvent {
  int64_t tick = 0;
  uint32_t microsPerQuarter = 500000;
};

struct TimeSignatureEvent {
  int64_t tick = 0;
  int numerator = 4;
  int denominator = 4;
};

struct MidiFile {
  int format = 0;
  int trackCount = 0;
  // Metrical files count ticks per quarter note; time-code files count ticks per frame of a SMPTE
  // rate (24, 25, 29.97 or 30 frames per second) and have ticksPerQuarter 0.
  int ticksPerQuarter = 480;
  int smpteFormat = 0;  // 24, 25, 29 (meaning 29.97 drop-frame) or 30; 0 for metrical files
  int ticksPerFrame = 0;
  std::vector<MidiEvent> events;  // every track merged, by tick; ties keep track order, then file order
  std::vector<TempoEvent> tempos;  // by tick
  std::vector<TimeSignatureEvent> timeSignatures;  // by tick
  int64_t lastTick = 0;  // the latest end of track
};

// What is wrong with a file, in one line; readMidiFile prefixes the file name.
class MidiFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a file image. Running status is honoured, also across meta and system-exclusive events,
// as many writers expect. Chunks other than MThd and MTrk are skipped.
MidiFile parseMidiFile(std::span<const uint8_t> bytes);

MidiFile readMidiFile(const std::string& path);

}  // namespace tamblin::host
