// Writes the demo phrase: chords, a melody over them, a held note for the trance gate, a chord for the arpeggiator.
//
// Usage: tamblin-demo-midi OUTPUT.mid
// 120 beats per minute in 4/4, thirteen bars (26 s):
//   bars 1-8   chords Am F C G twice; the melody enters in bar 3
//   bars 9-10  one held A, bent up a tone and back at the end: the gate pattern plays on it
//   bars 11-12 a held Am7 chord: the arpeggiator programs walk through it
//   bar 13     the closing A minor chord
#include <cstdio>
#include <exception>
#include <vector>

#include "MidiWriter.h"

namespace {

using tamblin::host::MidiWriter;

constexpr int kQuarter = 480;
constexpr int kEighth = kQuarter / 2;
constexpr int kBar = 4 * kQuarter;
constexpr int kChannel = 0;

int64_t bar(int number) { return static_cast<int64_t>(number - 1) * kBar; }

struct Step {
  int key;     // 0 for a rest
  int eighths; // length
};

void writeChords(MidiWriter& song, int track) {
  const std::vector<std::vector<int>> chords = {
      {57, 60, 64}, {53, 57, 60}, {55, 60, 64}, {55, 59, 62}};  // Am, F, C (second inversion), G
  for (int number = 1; number <= 8; ++number) {
    const auto& chord = chords[static_cast<size_t>((number - 1) % 4)];
    int velocity = number <= 4 ? 80 : 70;
    for (int key : chord) song.note(track, bar(number), kBar - kEighth / 2, kChannel, key, velocity);
    song.note(track, bar(number), kBar - kEighth / 2, kChannel, chord.front() - 12, velocity);  // bass
  }
}

void writeMelody(MidiWriter& song, int track) {
  const std::vector<Step> melody = {
      {76, 2}, {74, 1}, {72, 1}, {74, 2}, {76, 2},   // bar 3
      {77, 3}, {76, 1}, {72, 4},                     // bar 4
      {76, 2}, {79, 2}, {81, 3}, {79, 1},            // bar 5
      {77, 2}, {76, 2}, {74, 4},                     // bar 6
      {72, 1}, {74, 1}, {76, 2}, {79, 2}, {76, 2},   // bar 7
      {74, 3}, {71, 1}, {74, 2}, {0, 2},             // bar 8
  };
  int64_t tick = bar(3);
  int accent = 0;
  for (const Step& step : melody) {
    int64_t length = static_cast<int64_t>(step.eighths) * kEighth;
    if (step.key != 0) song.note(track, tick, length - 20, kChannel, step.key, (accent++ % 2) ? 88 : 104);
    tick += length;
  }
}

void writeGateNote(MidiWriter& song, int track) {
  song.note(track, bar(9), 2 * kBar - kEighth, kChannel, 57, 100);
  // A tone up over the last two beats and back (the bend spans an octave each way).
  for (int step = 0; step <= 8; ++step) {
    int64_t tick = bar(10) + 2 * kQuarter + step * (kQuarter / 8);
    song.pitchBend(track, tick, kChannel, 8192 + step * 1365 / 8);
  }
  song.pitchBend(track, bar(10) + 3 * kQuarter + kEighth, kChannel, 8192);
}

void writeArpeggioChord(MidiWriter& song, int track) {
  for (int key : {57, 60, 64, 67}) song.note(track, bar(11), 2 * kBar - kEighth, kChannel, key, 96);
  for (int key : {45, 57, 60, 64, 69}) song.note(track, bar(13), kBar, kChannel, key, 90);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tamblin-demo-midi OUTPUT.mid\n");
    return 2;
  }
  try {
    MidiWriter song(kQuarter, 1);
    int conductor = song.addTrack();
    song.trackName(conductor, 0, "Tamblin demo");
    song.timeSignature(conductor, 0, 4, 4);
    song.tempo(conductor, 0, 120.0);
    int chords = song.addTrack();
    song.trackName(chords, 0, "Chords");
    writeChords(song, chords);
    int melody = song.addTrack();
    song.trackName(melody, 0, "Melody");
    writeMelody(song, melody);
    int gate = song.addTrack();
    song.trackName(gate, 0, "Gate");
    writeGateNote(song, gate);
    int arpeggio = song.addTrack();
    song.trackName(arpeggio, 0, "Arpeggio and ending");
    writeArpeggioChord(song, arpeggio);
    song.save(argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tamblin-demo-midi: error: %s\n", error.what());
    return 1;
  }
  return 0;
}
