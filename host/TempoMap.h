// The song's time line: ticks to seconds, and the tempo, beat and bar position at any moment.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "MidiFile.h"

namespace tamblin::host {

struct TimeSignature {
  int numerator = 4;
  int denominator = 4;
};

class TempoMap {
 public:
  // 120 beats per minute in 4/4, 480 ticks per quarter note.
  TempoMap();

  // The file's tempo changes and time signatures; `bpmOverride` replaces every tempo change by
  // one constant tempo (ticks then move with it).
  static TempoMap fromMidiFile(const MidiFile& file, std::optional<double> bpmOverride = std::nullopt);
  static TempoMap constant(double bpm, int ticksPerQuarter = 480);

  double secondsAtTick(int64_t tick) const;
  double bpmAtSeconds(double seconds) const;
  double quartersAtSeconds(double seconds) const;
  TimeSignature signatureAtQuarters(double quarters) const;
  // Start of the bar holding `quarters`, counting bars from each time-signature change.
  double barStartAtQuarters(double quarters) const;

  struct Change {
    double seconds = 0;
    double bpm = 120;
  };
  // The tempo from the start on and every change after it, in time order.
  std::vector<Change> changes() const;

 private:
  struct Segment {
    int64_t tick = 0;
    double seconds = 0;
    double quarters = 0;
    double microsPerQuarter = 500000;
  };
  struct SignatureChange {
    double quarters = 0;
    TimeSignature signature;
  };

  const Segment& segmentAtTick(int64_t tick) const;
  const Segment& segmentAtSeconds(double seconds) const;
  void addTempo(int64_t tick, double microsPerQuarter);

  int ticksPerQuarter_ = 480;
  double ticksPerSecond_ = 0;  // time-code files; 0 for metrical ones
  std::vector<Segment> segments_;  // the first starts at tick 0
  std::vector<SignatureChange> signatures_;  // the first starts at quarter 0
};

}  // namespace tamblin::host
