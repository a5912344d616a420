// Fuzz target: any bytes as a Standard MIDI File for tamblin-render's reader. A file is either read or
// refused with MidiFileError; what is read has events in tick order and a tempo map that gives finite,
// non-decreasing times.
#include <cmath>
#include <cstdlib>
#include <span>

#include "MidiFile.h"
#include "TempoMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tamblin::host;
  MidiFile file;
  try {
    file = parseMidiFile(std::span<const uint8_t>(data, size));
  } catch (const MidiFileError&) {
    return 0;
  }
  for (size_t i = 1; i < file.events.size(); ++i)
    if (file.events[i].tick < file.events[i - 1].tick) std::abort();
  const TempoMap tempo = TempoMap::fromMidiFile(file);
  double last = -1.0;
  for (const MidiEvent& event : file.events) {
    const double seconds = tempo.secondsAtTick(event.tick);
    if (!std::isfinite(seconds) || seconds < last) std::abort();
    last = seconds;
  }
  const double end = tempo.secondsAtTick(file.lastTick);
  if (!std::isfinite(end)) std::abort();
  static_cast<void>(tempo.bpmAtSeconds(end));
  static_cast<void>(tempo.barStartAtQuarters(tempo.quartersAtSeconds(end)));
  return 0;
}
