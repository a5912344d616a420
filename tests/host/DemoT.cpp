// The demo phrase: the committed file is what its generator writes, and it holds every part.
#include <gtest/gtest.h>

#include <map>

#include "HostTestSupport.h"

namespace tamblin::host {
namespace {

using namespace testing;

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

TEST(DemoPhrase, CommittedFileMatchesItsGenerator) {
  TempFolder folder;
  CommandResult made = runCommand({DEMO_MIDI_TOOL, folder.file("demo.mid")}, folder);
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_TRUE(readBytes(folder.file("demo.mid")) == readBytes(DEMO_MIDI_FILE))
      << "demo/tamblin-demo.mid is stale: regenerate it with tamblin-demo-midi";
}

TEST(DemoPhrase, HasChordsMelodyGateNoteAndArpeggioWithEveryNoteEnded) {
  MidiFile file = readMidiFile(DEMO_MIDI_FILE);
  EXPECT_EQ(file.format, 1);
  EXPECT_EQ(file.trackCount, 5);
  TempoMap map = TempoMap::fromMidiFile(file);
  EXPECT_DOUBLE_EQ(map.secondsAtTick(file.events.back().tick), 26.0);
  std::map<int, int> sounding;  // key -> notes on
  std::map<int, int> notesPerTrack;
  int bends = 0, longest = 0;
  std::map<int, int64_t> started;
  for (const MidiEvent& event : file.events) {
    bool on = event.type() == 0x90 && event.data2 > 0;
    bool off = event.type() == 0x80 || (event.type() == 0x90 && event.data2 == 0);
    if (on) {
      ++sounding[event.data1];
      ++notesPerTrack[event.track];
      started[event.data1 * 16 + event.track] = event.tick;
    } else if (off) {
      --sounding[event.data1];
      longest = std::max(longest, static_cast<int>(event.tick - started[event.data1 * 16 + event.track]));
    }
    bends += event.type() == 0xE0;
  }
  for (auto [key, count] : sounding) EXPECT_EQ(count, 0) << "key " << key << " is left sounding";
  for (int track = 1; track <= 4; ++track) EXPECT_GT(notesPerTrack[track], 0) << "track " << track;
  EXPECT_GT(bends, 0);
  EXPECT_GE(longest, 2 * 1920 - 240) << "a held note of two bars for the gate";
}

}  // namespace
}  // namespace tamblin::host
