// Building Standard MIDI Files: tracks of timed messages, tempo and time signature, with running status.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tamblin::host {

class MidiWriter {
 public:
  explicit MidiWriter(int ticksPerQuarter = 480, int format = 1);

  // Returns the new track's index. Format 0 files hold exactly one track.
  int addTrack();

  void tempo(int track, int64_t tick, double bpm);
  void timeSignature(int track, int64_t tick, int numerator, int denominator);
  void trackName(int track, int64_t tick, const std::string& name);
  void meta(int track, int64_t tick, uint8_t type, const std::vector<uint8_t>& data);
  void systemExclusive(int track, int64_t tick, const std::vector<uint8_t>& data);

  void message(int track, int64_t tick, uint8_t status, uint8_t data1, uint8_t data2 = 0);
  void noteOn(int track, int64_t tick, int channel, int key, int velocity);
  void noteOff(int track, int64_t tick, int channel, int key);
  // Note on at `tick`, note off `length` ticks later.
  void note(int track, int64_t tick, int64_t length, int channel, int key, int velocity);
  void controlChange(int track, int64_t tick, int channel, int controller, int value);
  void programChange(int track, int64_t tick, int channel, int program);
  // `value` from 0 to 16383, 8192 in the middle.
  void pitchBend(int track, int64_t tick, int channel, int value);

  // The file image; events of a track sorted by tick, ties in the order they were added.
  std::vector<uint8_t> bytes(bool runningStatus = true) const;
  // Throws std::runtime_error naming the file when it cannot be written.
  void save(const std::string& path, bool runningStatus = true) const;

 private:
  struct Event {
    int64_t tick;
    std::vector<uint8_t> bytes;  // status first
  };
  void add(int track, int64_t tick, std::vector<uint8_t> bytes);

  int ticksPerQuarter_;
  int format_;
  std::vector<std::vector<Event>> tracks_;
};

}  // namespace tamblin::host
