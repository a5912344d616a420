// Standard MIDI File reading and the tempo map: running status, formats 0 and 1, time codes, bad files.
#include <gtest/gtest.h>

#include "HostTestSupport.h"

namespace tamblin::host {
namespace {

std::vector<uint8_t> header(int format, int tracks, int division) {
  return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<uint8_t>(format), 0, static_cast<uint8_t>(tracks),
          static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division & 0xFF)};
}

std::vector<uint8_t> track(const std::vector<uint8_t>& body) {
  std::vector<uint8_t> chunk(8 + body.size());
  const uint8_t head[8] = {'M', 'T', 'r', 'k', 0, 0, static_cast<uint8_t>(body.size() >> 8),
                           static_cast<uint8_t>(body.size() & 0xFF)};
  std::copy(head, head + 8, chunk.begin());
  std::copy(body.begin(), body.end(), chunk.begin() + 8);
  return chunk;
}

std::vector<uint8_t> join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(MidiFileRead, RunningStatusRepeatsTheLastStatusAlsoAcrossMetaEvents) {
  // Note on 60, then (running) note on 60 velocity 0 after 0x81 0x70 = 240 ticks, a text meta event,
  // then another running-status note and a program change with its own status.
  auto bytes = join(header(0, 1, 480), track({0x00, 0x90, 60, 100,        //
                                              0x81, 0x70, 60, 0,           //
                                              0x00, 0xFF, 0x01, 2, 'h', 'i',  //
                                              0x10, 62, 90,                //
                                              0x00, 0xC3, 5,               //
                                              0x00, 0xFF, 0x2F, 0x00}));
  MidiFile file = parseMidiFile(bytes);
  ASSERT_EQ(file.events.size(), 4u);
  EXPECT_EQ(file.events[1].tick, 240);
  EXPECT_EQ(file.events[1].status, 0x90);
  EXPECT_EQ(file.events[1].data2, 0);
  EXPECT_EQ(file.events[2].tick, 256);
  EXPECT_EQ(file.events[2].data1, 62);
  EXPECT_EQ(file.events[3].status, 0xC3);
  EXPECT_EQ(file.events[3].size, 2);
  EXPECT_EQ(file.lastTick, 256);
}

TEST(MidiFileRead, WriterWithAndWithoutRunningStatusReadsTheSame) {
  MidiWriter song = testing::shortPhrase();
  song.pitchBend(0, 100, 0, 16383);
  song.controlChange(0, 100, 0, 74, 127);
  auto compact = song.bytes(true), full = song.bytes(false);
  EXPECT_LT(compact.size(), full.size());
  MidiFile a = parseMidiFile(compact), b = parseMidiFile(full);
  ASSERT_EQ(a.events.size(), b.events.size());
  for (size_t i = 0; i < a.events.size(); ++i) {
    EXPECT_EQ(a.events[i].tick, b.events[i].tick);
    EXPECT_EQ(a.events[i].status, b.events[i].status);
    EXPECT_EQ(a.events[i].data1, b.events[i].data1);
    EXPECT_EQ(a.events[i].data2, b.events[i].data2);
  }
  EXPECT_EQ(a.events.size(), 12u);
}

TEST(MidiFileRead, FormatOneMergesTracksByTickKeepingTrackOrderOnTies) {
  MidiWriter song(96, 1);
  int conductor = song.addTrack(), first = song.addTrack(), second = song.addTrack();
  song.tempo(conductor, 0, 100.0);
  song.noteOn(second, 10, 1, 70, 1);
  song.noteOn(first, 10, 0, 60, 1);
  song.noteOn(first, 5, 0, 61, 1);
  song.systemExclusive(second, 7, {0x7E, 0x7F, 0x09, 0x01, 0xF7});
  song.noteOn(second, 0, 1, 71, 1);
  MidiFile file = parseMidiFile(song.bytes());
  EXPECT_EQ(file.format, 1);
  EXPECT_EQ(file.trackCount, 3);
  EXPECT_EQ(file.ticksPerQuarter, 96);
  std::vector<int> keys;
  for (const MidiEvent& event : file.events) keys.push_back(event.data1);
  EXPECT_EQ(keys, (std::vector<int>{71, 61, 60, 70}));
  EXPECT_EQ(file.events[3].track, 2);
  ASSERT_EQ(file.tempos.size(), 1u);
  EXPECT_EQ(file.tempos[0].microsPerQuarter, 600000u);
}

TEST(MidiFileRead, BadFilesAreRejectedWithTheReason) {
  auto expectError = [](const std::vector<uint8_t>& bytes, const std::string& fragment) {
    try {
      parseMidiFile(bytes);
      ADD_FAILURE() << "no error, expected: " << fragment;
    } catch (const MidiFileError& error) {
      EXPECT_NE(std::string(error.what()).find(fragment), std::string::npos) << error.what();
    }
  };
  expectError({'R', 'I', 'F', 'F', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "no MThd");
  expectError(header(2, 1, 480), "format 2");
  expectError(join(header(0, 1, 0), track({0, 0xFF, 0x2F, 0})), "division of 0");
  expectError(join(header(1, 2, 480), track({0, 0xFF, 0x2F, 0})), "after 1 of 2 tracks");
  auto truncated = join(header(0, 1, 480), track({0, 0x90, 60, 100, 0, 0xFF, 0x2F, 0}));
  truncated.erase(truncated.end() - 3, truncated.end());
  expectError(truncated, "truncated");
  expectError(join(header(0, 1, 480), track({0, 60, 100})), "without a status");
  expectError(join(header(0, 1, 480), track({0, 0x90, 60})), "ends inside");
  expectError(join(header(0, 1, 480), track({0, 0x90, 60, 100, 0x60})), "ends inside an event");  // a time, no event
  expectError(join(header(0, 1, 480), track({0x81, 0x82, 0x83, 0x84, 0x85, 0x00})), "variable-length");
  expectError(join(header(0, 1, 480), track({0, 0xFF, 0x51, 3, 0, 0, 0})), "tempo change to 0");
  expectError(join(header(0, 1, 480), track({0, 0x90, 160, 100})), "above 127");
}

TEST(MidiFileRead, MissingAndDirectoryPathsNameTheFile) {
  testing::TempFolder folder;
  for (const std::string& path : {folder.file("absent.mid"), folder.path().string()}) {
    try {
      readMidiFile(path);
      ADD_FAILURE() << path;
    } catch (const MidiFileError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(path + ": ", 0), 0u) << error.what();
    }
  }
}

TEST(TempoMap, TicksBecomeSecondsThroughEveryTempoChange) {
  MidiWriter song(480, 1);
  int conductor = song.addTrack();
  song.tempo(conductor, 0, 120.0);
  song.tempo(conductor, 960, 60.0);   // after one second
  song.tempo(conductor, 1440, 240.0); // after two seconds
  song.timeSignature(conductor, 0, 3, 4);
  TempoMap map = TempoMap::fromMidiFile(parseMidiFile(song.bytes()));
  EXPECT_DOUBLE_EQ(map.secondsAtTick(480), 0.5);
  EXPECT_DOUBLE_EQ(map.secondsAtTick(960), 1.0);
  EXPECT_DOUBLE_EQ(map.secondsAtTick(1200), 1.5);
  EXPECT_DOUBLE_EQ(map.secondsAtTick(1920), 2.25);
  EXPECT_DOUBLE_EQ(map.bpmAtSeconds(0.99), 120.0);
  EXPECT_DOUBLE_EQ(map.bpmAtSeconds(1.0), 60.0);
  EXPECT_DOUBLE_EQ(map.bpmAtSeconds(2.5), 240.0);
  EXPECT_DOUBLE_EQ(map.quartersAtSeconds(1.5), 2.5);
  EXPECT_DOUBLE_EQ(map.quartersAtSeconds(2.25), 4.0);
  EXPECT_DOUBLE_EQ(map.barStartAtQuarters(4.0), 3.0);  // bars of three quarters
  ASSERT_EQ(map.changes().size(), 3u);
  EXPECT_EQ(map.changes()[2].seconds, 2.0);
  EXPECT_EQ(map.changes()[2].bpm, 240.0);

  TempoMap fixed = TempoMap::fromMidiFile(parseMidiFile(song.bytes()), 60.0);
  EXPECT_DOUBLE_EQ(fixed.secondsAtTick(1920), 4.0);
  EXPECT_EQ(fixed.changes().size(), 1u);
}

TEST(TempoMap, TimeCodeDivisionCountsTicksPerSecond) {
  // 25 frames per second, 40 ticks per frame: 1000 ticks per second whatever the tempo says.
  auto bytes = join(header(0, 1, 0xE728), track({0, 0xFF, 0x51, 3, 0x0F, 0x42, 0x40,  // 60 bpm
                                                  0x83, 0x74, 0x90, 60, 100, 0, 0xFF, 0x2F, 0}));
  MidiFile file = parseMidiFile(bytes);
  EXPECT_EQ(file.smpteFormat, 25);
  EXPECT_EQ(file.ticksPerFrame, 40);
  TempoMap map = TempoMap::fromMidiFile(file);
  EXPECT_DOUBLE_EQ(map.secondsAtTick(file.events[0].tick), 0.5);
  EXPECT_DOUBLE_EQ(map.quartersAtSeconds(2.0), 2.0);
}

}  // namespace
}  // namespace tamblin::host
