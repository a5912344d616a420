// Tempo map arithmetic: piecewise-constant tempo from the file's tempo changes.
#include "TempoMap.h"

#include <algorithm>
#include <cmath>

namespace tamblin::host {

TempoMap::TempoMap() {
  segments_.push_back({});
  signatures_.push_back({});
}

TempoMap TempoMap::constant(double bpm, int ticksPerQuarter) {
  TempoMap map;
  map.ticksPerQuarter_ = ticksPerQuarter;
  map.segments_.front().microsPerQuarter = 60e6 / bpm;
  return map;
}

TempoMap TempoMap::fromMidiFile(const MidiFile& file, std::optional<double> bpmOverride) {
  TempoMap map;
  map.ticksPerQuarter_ = file.ticksPerQuarter;
  if (file.smpteFormat != 0) {
    double framesPerSecond = file.smpteFormat == 29 ? 30000.0 / 1001.0 : file.smpteFormat;
    map.ticksPerSecond_ = framesPerSecond * file.ticksPerFrame;
  }
  if (bpmOverride) {
    map.segments_.front().microsPerQuarter = 60e6 / *bpmOverride;
  } else {
    for (const TempoEvent& tempo : file.tempos) map.addTempo(tempo.tick, tempo.microsPerQuarter);
  }
  for (const TimeSignatureEvent& change : file.timeSignatures) {
    double quarters = map.quartersAtSeconds(map.secondsAtTick(change.tick));
    TimeSignature signature{change.numerator, change.denominator};
    if (quarters <= map.signatures_.back().quarters)
      map.signatures_.back().signature = signature;
    else
      map.signatures_.push_back({quarters, signature});
  }
  return map;
}

void TempoMap::addTempo(int64_t tick, double microsPerQuarter) {
  Segment& last = segments_.back();
  if (tick <= last.tick) {  // a change at the same tick as the previous one replaces it
    last.microsPerQuarter = microsPerQuarter;
    return;
  }
  Segment next;
  next.tick = tick;
  next.seconds = secondsAtTick(tick);
  next.quarters = quartersAtSeconds(next.seconds);
  next.microsPerQuarter = microsPerQuarter;
  segments_.push_back(next);
}

const TempoMap::Segment& TempoMap::segmentAtTick(int64_t tick) const {
  auto after = std::upper_bound(segments_.begin(), segments_.end(), tick,
                                [](int64_t t, const Segment& s) { return t < s.tick; });
  return after == segments_.begin() ? segments_.front() : *(after - 1);
}

const TempoMap::Segment& TempoMap::segmentAtSeconds(double seconds) const {
  auto after = std::upper_bound(segments_.begin(), segments_.end(), seconds,
                                [](double t, const Segment& s) { return t < s.seconds; });
  return after == segments_.begin() ? segments_.front() : *(after - 1);
}

double TempoMap::secondsAtTick(int64_t tick) const {
  if (ticksPerSecond_ > 0) return static_cast<double>(tick) / ticksPerSecond_;
  const Segment& segment = segmentAtTick(tick);
  // Product first, one division last: whole-number tempos and divisions give exact times.
  return segment.seconds +
         static_cast<double>(tick - segment.tick) * segment.microsPerQuarter / (1e6 * ticksPerQuarter_);
}

double TempoMap::bpmAtSeconds(double seconds) const { return 60e6 / segmentAtSeconds(seconds).microsPerQuarter; }

double TempoMap::quartersAtSeconds(double seconds) const {
  const Segment& segment = segmentAtSeconds(seconds);
  return segment.quarters + (seconds - segment.seconds) * 1e6 / segment.microsPerQuarter;
}

TimeSignature TempoMap::signatureAtQuarters(double quarters) const {
  auto after = std::upper_bound(signatures_.begin(), signatures_.end(), quarters,
                                [](double q, const SignatureChange& s) { return q < s.quarters; });
  return (after == signatures_.begin() ? signatures_.front() : *(after - 1)).signature;
}

double TempoMap::barStartAtQuarters(double quarters) const {
  auto after = std::upper_bound(signatures_.begin(), signatures_.end(), quarters,
                                [](double q, const SignatureChange& s) { return q < s.quarters; });
  const SignatureChange& change = after == signatures_.begin() ? signatures_.front() : *(after - 1);
  double barLength = change.signature.numerator * 4.0 / change.signature.denominator;
  double bars = std::floor((quarters - change.quarters) / barLength);
  return change.quarters + std::max(0.0, bars) * barLength;
}

std::vector<TempoMap::Change> TempoMap::changes() const {
  std::vector<Change> list;
  for (const Segment& segment : segments_) list.push_back({segment.seconds, 60e6 / segment.microsPerQuarter});
  return list;
}

}  // namespace tamblin::host
