// The host driving the recorder plug-in: exact event frames, tempo and position reports, program
// changes, tails, automation notices, and dlopen against in-process renders.
#include <gtest/gtest.h>

#include "HostTestSupport.h"

AEffect* recorderEntry(audioMasterCallback host);

namespace tamblin::host {
namespace {

using namespace testing;

const std::string kRecorder = RECORDER_LIBRARY;

MidiFile parse(const MidiWriter& song) { return parseMidiFile(song.bytes()); }

// Frames at which channel 0 holds an event code.
std::vector<std::pair<int64_t, float>> eventFrames(const MemorySink& sink) {
  std::vector<std::pair<int64_t, float>> found;
  for (int64_t f = 0; f < sink.frames(); ++f)
    if (sink.at(f, kEventCode) != 0.0f) found.emplace_back(f, sink.at(f, kEventCode));
  return found;
}

TEST(RenderTiming, ANoteLandsOnItsFrameInTheRightBlock) {
  // Tick 480 at 120 bpm is 0.5 s: frame 22050, which is frame 34 of block 43 of 512 frames.
  MidiWriter song(480, 0);
  int track = song.addTrack();
  song.noteOn(track, 480, 0, 60, 100);
  song.noteOff(track, 481, 0, 60);  // 1/960 s later: frame 22096 (22095.9 rounded)
  RenderSetup setup;
  setup.options.tailSeconds = 0.1;
  MemorySink sink = renderWith(loader(kRecorder), parse(song), setup);
  auto found = eventFrames(sink);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], std::make_pair(int64_t{22050}, eventCode(0x90, 60, 100)));
  EXPECT_EQ(found[1], std::make_pair(int64_t{22096}, eventCode(0x80, 60, 64)));
  EXPECT_EQ(sink.at(22050, kBlockIndex), 43.0f);
  EXPECT_EQ(sink.at(22096, kBlockIndex), 43.0f);
  for (int64_t f : {int64_t{0}, int64_t{22049}, int64_t{22050}, sink.frames() - 1})
    EXPECT_EQ(sink.at(f, kPosition), static_cast<float>(f)) << "position reported at frame " << f;
  EXPECT_EQ(sink.frames(), 22097 + 4410);
}

TEST(RenderTiming, OddBlocksAndSplitBlocksKeepFramesExact) {
  MidiWriter song(480, 0);
  int track = song.addTrack();
  for (int i = 0; i < 12; ++i) song.note(track, 37 * i * i + 11, 50 + i, 0, 40 + i, 1 + i);
  MidiFile file = parse(song);
  auto frames = scheduleEvents(file, TempoMap::fromMidiFile(file), 44100.0);

  for (int blockSize : {1, 97, 512, 4096}) {
    for (bool split : {false, true}) {
      RenderSetup setup;
      setup.settings.blockSize = blockSize;
      setup.options.splitBlocks = split;
      setup.options.tailSeconds = 0.0;
      MemorySink sink = renderWith(loader(kRecorder), file, setup);
      auto found = eventFrames(sink);
      ASSERT_EQ(found.size(), frames.size()) << "block size " << blockSize << (split ? " split" : "");
      for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].first, frames[i].frame);
        EXPECT_EQ(found[i].second, eventCode(frames[i].bytes[0], frames[i].bytes[1], frames[i].bytes[2]));
        if (split && found[i].first > 0) {
          // Every event opens a block of its own: the block index changes right there.
          EXPECT_NE(sink.at(found[i].first, kBlockIndex), sink.at(found[i].first - 1, kBlockIndex));
        }
      }
    }
  }
}

TEST(RenderTiming, TempoMapMovesTheReportedTempoAndBeatPosition) {
  // 120 bpm, 90 bpm from tick 1920 (2.0 s = frame 88200), 60 bpm from tick 2400 (2 + 2/3 s).
  MidiWriter song(480, 1);
  int conductor = song.addTrack(), notes = song.addTrack();
  song.tempo(conductor, 0, 120.0);
  song.tempo(conductor, 1920, 90.0);
  song.tempo(conductor, 2400, 60.0);
  song.note(notes, 2880, 10, 0, 60, 100);
  MidiFile file = parse(song);
  RenderSetup setup;
  setup.options.tailSeconds = 0.5;

  MemorySink sink = renderWith(loader(kRecorder), file, setup);
  // Blocks of 512 frames: the block starting at 88064 still reports 120, the one at 88576 reports 90.
  EXPECT_EQ(sink.at(88063, kTempo), 120.0f);
  EXPECT_EQ(sink.at(88575, kTempo), 120.0f);
  EXPECT_EQ(sink.at(88576, kTempo), 90.0f);
  EXPECT_EQ(sink.at(sink.frames() - 1, kTempo), 60.0f);
  EXPECT_NEAR(sink.at(88576, kQuarters), 4.0 + (88576 - 88200) / 44100.0 * 1.5, 1e-4);
  // Tick 2880: 2 s + 480 ticks at 90 bpm (2/3 s) + 480 ticks at 60 bpm (1 s).
  EXPECT_EQ(eventFrames(sink).front().first, 88200 + 29400 + 44100);

  setup.options.splitBlocks = true;
  MemorySink split = renderWith(loader(kRecorder), file, setup);
  EXPECT_EQ(split.at(88199, kTempo), 120.0f);
  EXPECT_EQ(split.at(88200, kTempo), 90.0f);
  EXPECT_EQ(split.at(117599, kTempo), 90.0f);
  EXPECT_EQ(split.at(117600, kTempo), 60.0f);
  EXPECT_FLOAT_EQ(split.at(88200, kQuarters), 4.0f);

  MemorySink fixed = renderWith(loader(kRecorder), file, setup, 240.0);
  EXPECT_EQ(fixed.at(fixed.frames() - 1, kTempo), 240.0f);
  EXPECT_EQ(eventFrames(fixed).front().first, 66150);  // 6 quarters at 240 bpm = 1.5 s
}

TEST(RenderTiming, ProgramChangesTakeEffectBetweenBlocksAtTheirFrame) {
  MidiWriter song(480, 0);
  int track = song.addTrack();
  song.programChange(track, 100, 0, 2);  // frame 4594 (4593.75)
  song.programChange(track, 200, 0, 9);  // beyond the plug-in's programs: ignored by it
  song.programChange(track, 300, 0, 1);  // frame 13781 (13781.25)
  RenderSetup setup;
  setup.program = 3;
  setup.options.tailSeconds = 0.01;
  MemorySink sink = renderWith(loader(kRecorder), parse(song), setup);
  EXPECT_EQ(sink.at(4593, kProgram), 3.0f);
  EXPECT_EQ(sink.at(4594, kProgram), 2.0f);
  EXPECT_EQ(sink.at(13780, kProgram), 2.0f);
  EXPECT_EQ(sink.at(13781, kProgram), 1.0f);
  EXPECT_TRUE(eventFrames(sink).empty()) << "program changes are requests, not MIDI events";
}

TEST(RenderTail, FixedTailAndUntilSilentTail) {
  MidiWriter song(480, 0);
  int track = song.addTrack();
  song.note(track, 0, 960, 0, 60, 100);  // note off at frame 44100
  MidiFile file = parse(song);
  RenderSetup setup;
  setup.options.tailSeconds = 0.25;
  EXPECT_EQ(renderWith(loader(kRecorder), file, setup).frames(), 44101 + 11025);

  // In quiet mode only the events sound: the output ends with the note-off.
  setup.parameters = {{1, 1.0f}};
  setup.options.tail = TailMode::UntilSilent;
  MemorySink quiet = renderWith(loader(kRecorder), file, setup);
  EXPECT_EQ(quiet.frames(), 44101);
  EXPECT_EQ(quiet.at(44100, kEventCode), eventCode(0x80, 60, 64));

  // A plug-in that never falls silent is cut at the longest tail.
  setup.parameters.clear();
  setup.options.maxTailSeconds = 0.5;
  EXPECT_EQ(renderWith(loader(kRecorder), file, setup).frames(), 44101 + 22050);
}

TEST(HostAnswers, RequestsARealHostAnswers) {
  Host host(HostSettings{48000.0, 256});
  auto ask = [](VstInt32 opcode, void* ptr = nullptr, VstIntPtr value = 0) {
    return Host::callback(nullptr, opcode, 0, value, ptr, 0.0f);
  };
  EXPECT_EQ(ask(audioMasterVersion), 2400);  // also without any host behind the record
  auto plugin = Plugin::load(kRecorder, host);
  AEffect* effect = plugin->effect();
  auto askPlugin = [&](VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
    return Host::callback(effect, opcode, index, value, ptr, 0.0f);
  };
  EXPECT_EQ(askPlugin(audioMasterGetSampleRate), 48000);
  EXPECT_EQ(askPlugin(audioMasterGetBlockSize), 256);
  char yes[] = "sendVstMidiEvent", timeInfo[] = "sendVstTimeInfo", no[] = "offline";
  EXPECT_EQ(askPlugin(audioMasterCanDo, 0, 0, yes), 1);
  EXPECT_EQ(askPlugin(audioMasterCanDo, 0, 0, timeInfo), 1);
  EXPECT_EQ(askPlugin(audioMasterCanDo, 0, 0, no), 0);
  EXPECT_EQ(askPlugin(audioMasterPinConnected, 6, 1), 0) << "output 6 is connected";
  EXPECT_EQ(askPlugin(audioMasterPinConnected, 7, 1), 1);
  EXPECT_EQ(askPlugin(audioMasterTempoAt), 1200000);
  EXPECT_EQ(askPlugin(9999), 0);
  char vendor[64] = {};
  askPlugin(audioMasterGetVendorString, 0, 0, vendor);
  EXPECT_STREQ(vendor, "Tamblin");
  auto* time = reinterpret_cast<VstTimeInfo*>(askPlugin(audioMasterGetTime));
  ASSERT_NE(time, nullptr);
  EXPECT_EQ(time->sampleRate, 48000.0);
  EXPECT_EQ(time->tempo, 120.0);
  EXPECT_TRUE(time->flags & kVstTempoValid);
}

TEST(HostAnswers, AutomationNoticesAreCollectedWithTheirPosition) {
  MidiWriter song(480, 0);
  int track = song.addTrack();
  song.controlChange(track, 960, 0, 74, 127);
  Host* host = nullptr;
  RenderSetup setup;
  setup.options.tailSeconds = 0.0;
  renderWith(loader(kRecorder), parse(song), setup, std::nullopt, &host);
  std::unique_ptr<Host> owner(host);
  ASSERT_EQ(host->automationNotices().size(), 1u);
  EXPECT_EQ(host->automationNotices()[0].index, 74);
  EXPECT_EQ(host->automationNotices()[0].value, 1.0f);
  EXPECT_EQ(host->automationNotices()[0].frame, 44032);  // the block holding frame 44100
  EXPECT_TRUE(host->midiWanted());
}

TEST(HostPluginLoading, MainIsTheFallbackEntryAndBadLibrariesSayWhy) {
  Host host;
  EXPECT_EQ(Plugin::load(RECORDER_MAIN_LIBRARY, host)->effectName(), "Recorder");
  auto expectLoadError = [&](const std::string& path, const std::string& fragment) {
    try {
      Plugin::load(path, host);
      ADD_FAILURE() << path << " loaded";
    } catch (const LoadError& error) {
      std::string message = error.what();
      EXPECT_EQ(message.rfind(path + ": ", 0), 0u) << message;
      EXPECT_NE(message.find(fragment), std::string::npos) << message;
    }
  };
  TempFolder folder;
  writeBytes(folder.file("text.so"), {'h', 'e', 'l', 'l', 'o'});
  expectLoadError(folder.file("absent.so"), "no such plug-in file");
  expectLoadError(folder.file("text.so"), "not a loadable shared library");
  expectLoadError(folder.path().string(), "is a directory");
  expectLoadError(NO_ENTRY_LIBRARY, "neither VSTPluginMain nor main");
  expectLoadError(NULL_ENTRY_LIBRARY, "returned no effect");
  expectLoadError(BAD_MAGIC_LIBRARY, "effect magic 0x4E6F7065");
}

TEST(HostInProcess, LoadedLibraryRendersLikeTheLinkedEntry) {
  MidiWriter song = shortPhrase();
  song.pitchBend(0, 700, 0, 12000);
  song.programChange(0, 900, 0, 1);
  MidiFile file = parse(song);
  RenderSetup setup;
  setup.settings.blockSize = 300;
  setup.parameters = {{0, 0.25f}};
  MemorySink loaded = renderWith(loader(kRecorder), file, setup);
  MemorySink linked = renderWith(
      [](Host& host) { return Plugin::create(recorderEntry, host, "recorder (linked)"); }, file, setup);
  ASSERT_EQ(loaded.frames(), linked.frames());
  EXPECT_TRUE(loaded.samples() == linked.samples());
  EXPECT_EQ(loaded.at(0, kParam0), 0.25f);
}

}  // namespace
}  // namespace tamblin::host
