// tamblin in process: its command line, its state file, the instrument's state and program changes on
// their frames, and the queue that brings ALSA messages to the audio thread.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <thread>

#include "Player.h"
#include "MidiQueue.h"
#include "Options.h"
#include "StateFile.h"

namespace tamblin::standalone {
namespace {

TEST(TamblinOptions, ParseWhatIsGivenAndNameWhatIsWrong) {
  const Options o = parseOptions({"--connect", "--no-gui", "--alsa-midi", "--reset", "--program", "15", "--param",
                                  "31=0.25", "--param=0=1", "--tempo=90.5", "--name", "synth", "--server", "s"});
  EXPECT_TRUE(o.connect && o.noGui && o.alsaMidi && o.reset);
  EXPECT_EQ(o.program, 15);
  EXPECT_EQ(o.parameters, (std::vector<std::pair<int, float>>{{31, 0.25f}, {0, 1.0f}}));
  EXPECT_EQ(o.tempo, 90.5);
  EXPECT_EQ(o.clientName, "synth");
  EXPECT_EQ(o.serverName, "s");
  EXPECT_EQ(parseOptions({}).tempo, 120.0);

  const struct {
    std::vector<std::string> arguments;
    const char* message;
  } bad[] = {
      {{"--program", "16"}, "--program: 16 is out of range (0 to 15)"},
      {{"--program"}, "--program needs a value"},
      {{"--param", "100=0.5"}, "--param: 100 is out of range (0 to 99)"},
      {{"--param", "3=1.5"}, "--param: 1.5 is out of range"},
      {{"--param", "3"}, "--param: '3' is not INDEX=VALUE"},
      {{"--param", "3=nan"}, "--param: 'nan' is not a number"},
      {{"--tempo", "0"}, "--tempo: 0 is out of range"},
      {{"--name", "a:b"}, "--name: a client name has 1 to 63 characters and no ':'"},
      {{"--server", std::string(64, 's')}, "--server: a JACK server name has at most 63 characters (this one has 64)"},
      {{"--server="}, "--server: the name is empty"},
      {{"--no-gui=yes"}, "--no-gui takes no value"},
      {{"--loud"}, "unknown option '--loud'"},
  };
  for (const auto& c : bad) {
    try {
      parseOptions(c.arguments);
      ADD_FAILURE() << c.message;
    } catch (const UsageError& error) {
      EXPECT_EQ(std::string(error.what()), c.message);
    }
  }
  EXPECT_NO_THROW(parseOptions({"--server", std::string(63, 's')}));

  // What the environment hands to the libraries is checked as the command line is.
  const std::string longServer(265, 's'), longDisplay(300, 'd');
  const struct {
    const char* server;
    const char* display;
    const char* message;  // null: accepted
  } environments[] = {
      {nullptr, nullptr, nullptr},
      {"", ":0", nullptr},
      {"default", ":0.0", nullptr},
      {longServer.c_str(), ":0", "JACK_DEFAULT_SERVER: a JACK server name has at most 63 characters (this one has 265)"},
      {nullptr, longDisplay.c_str(), "DISPLAY: an X display name has at most 255 characters"},
  };
  for (const auto& c : environments) {
    try {
      checkEnvironment(c.server, c.display);
      EXPECT_EQ(c.message, nullptr);
    } catch (const UsageError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
  }
}

InstrumentState sampleState() {
  InstrumentState state;
  state.currentProgram = 7;
  for (int p = 0; p < kStateProgramCount; ++p) {
    state.programs[p].name = "Program " + std::to_string(p);
    for (int i = 0; i < kStateValueCount; ++i) state.programs[p].values[i] = std::nextafter(static_cast<float>((p * 7 + i) % 13) / 13.0f, 1.0f);
  }
  state.programs[1].name = "";
  state.programs[2].name = "back\\slash \x01 Gr\xc3\xbc\xc3\x9f";
  state.programs[3].values[kVolume] = 1.0f;
  state.programs[3].values[kPortamento] = 0.0f;
  return state;
}

TEST(TamblinStateFile, ReadsBackWhatItWroteAndTrustsNothingElse) {
  const InstrumentState state = sampleState();
  const std::string text = formatState(state);
  std::string problem;
  const std::optional<InstrumentState> back = parseState(text, problem);
  ASSERT_TRUE(back.has_value()) << problem;
  EXPECT_EQ(*back, state);

  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string changed = text;
    changed.replace(changed.find(from), from.size(), to);
    return changed;
  };
  const struct {
    std::string text;
    const char* problem;
  } damaged[] = {
      {"", "line 0: empty"},
      {"<?xml version=\"1.0\"?>\n", "line 1: not a tamblin state"},
      {replaced("current 7", "current 16"), "line 2: bad current program"},
      {replaced("current 7\n", ""), "line 33: no current program"},
      {replaced("values 4 ", "values 44 "), "line 12: bad program number"},
      {replaced("name 5 Program\\x205", "name 5 Program 5"), "line 13: bad name of program 5"},
      {replaced("name 5 Program\\x205", "name 5 Pro\\x2"), "line 13: bad name of program 5"},
      {replaced("name 5 Program\\x205", "name 5 " + std::string(64, 'n')), "line 13: bad name of program 5"},
      {replaced("values 6 0.23076925", "values 6 nan"), "line 16: value 0 of program 6 is not in 0..1"},
      {replaced("values 6 0.23076925", "values 6 1.01"), "line 16: value 0 of program 6 is not in 0..1"},
      {replaced("values 6 0.23076925", "values 6"), "line 16: program 6 needs 101 values once"},
      {replaced("values 6 ", "values 5 "), "line 16: program 5 needs 101 values once"},
      {text.substr(0, text.find("values 7 ") + 12), "line 18: program 7 needs 101 values once"},
      {text + "volume 11\n", "line 35: unknown entry 'volume'"},
  };
  for (const auto& c : damaged) {
    problem.clear();
    EXPECT_FALSE(parseState(c.text, problem).has_value()) << c.problem;
    EXPECT_EQ(problem, c.problem);
  }
}

TEST(TamblinStateFile, IsReplacedWholeInAFolderMadeForIt) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tamblin-state-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  const std::string path = (folder / "deeper" / "tamblin" / "state").string();
  InstrumentState loaded;
  std::string problem;
  EXPECT_EQ(loadStateFile(path, loaded, problem), LoadOutcome::Missing);
  ASSERT_TRUE(saveStateFile(path, sampleState(), problem)) << problem;
  InstrumentState other = sampleState();
  other.currentProgram = 2;
  ASSERT_TRUE(saveStateFile(path, other, problem)) << problem;
  EXPECT_EQ(loadStateFile(path, loaded, problem), LoadOutcome::Loaded);
  EXPECT_EQ(loaded, other);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "deeper" / "tamblin"), {}), 1);

  std::ofstream(path, std::ios::app) << "garbage\n";
  EXPECT_EQ(loadStateFile(path, loaded, problem), LoadOutcome::Unusable);
  EXPECT_EQ(problem, "line 35: unknown entry 'garbage'");
  std::filesystem::resize_file(path, 1 << 20);
  EXPECT_EQ(loadStateFile(path, loaded, problem), LoadOutcome::Unusable);
  EXPECT_EQ(problem, "the file is too large to be a state file");
  // A folder that cannot be made: nothing is written and the reason is given.
  std::ofstream(folder / "file") << "x";
  EXPECT_FALSE(saveStateFile((folder / "file" / "state").string(), other, problem));
  EXPECT_NE(problem.find("Not a directory"), std::string::npos) << problem;
  std::filesystem::remove_all(folder);

  setenv("XDG_CONFIG_HOME", "/config", 1);
  EXPECT_EQ(defaultStatePath(), "/config/tamblin/state");
  setenv("XDG_CONFIG_HOME", "relative", 1);
  setenv("HOME", "/home/player", 1);
  EXPECT_EQ(defaultStatePath(), "/home/player/.config/tamblin/state");
}

std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(TamblinStateFile, KeepsEveryDamagedFileWritesThroughLinksAndRefusesWhatIsNoFile) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tamblin-faults-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder / "dotfiles");
  const std::string path = (folder / "state").string();
  std::string problem;

  // Each damaged file under a name of its own, never over an earlier one.
  for (const char* name : {"state.damaged", "state.damaged.1", "state.damaged.2"}) {
    std::ofstream(path) << "damage " << name;
    EXPECT_EQ(keepAside(path, ".damaged", problem), (folder / name).string()) << problem;
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  EXPECT_EQ(fileText(folder / "state.damaged"), "damage state.damaged");
  EXPECT_EQ(fileText(folder / "state.damaged.2"), "damage state.damaged.2");

  // A link, as dotfile managers make it, stays a link: the file it names is replaced.
  std::filesystem::create_symlink("dotfiles/state", path);
  ASSERT_TRUE(saveStateFile(path, sampleState(), problem)) << problem;
  EXPECT_TRUE(std::filesystem::is_symlink(path));
  InstrumentState loaded;
  EXPECT_EQ(loadStateFile((folder / "dotfiles" / "state").string(), loaded, problem), LoadOutcome::Loaded);
  EXPECT_EQ(loaded, sampleState());
  std::ofstream(folder / "dotfiles" / "state") << "damage through a link";
  EXPECT_EQ(keepAside(path, ".damaged", problem), (folder / "dotfiles" / "state.damaged").string());
  EXPECT_TRUE(std::filesystem::is_symlink(path));
  std::filesystem::remove(path);

  // What is no regular file is refused without reading it (a FIFO would wait for a writer).
  ASSERT_EQ(mkfifo((folder / "fifo").c_str(), 0644), 0);
  std::filesystem::create_directory(folder / "folder");
  const struct {
    const char* name;
    const char* problem;
  } notFiles[] = {{"fifo", "it is a FIFO, not a state file"}, {"folder", "it is a folder, not a state file"}};
  for (const auto& c : notFiles) {
    problem.clear();
    EXPECT_EQ(loadStateFile((folder / c.name).string(), loaded, problem), LoadOutcome::NotAFile);
    EXPECT_EQ(problem, c.problem);
    EXPECT_FALSE(saveStateFile((folder / c.name).string(), sampleState(), problem));
  }

  // Temporary files of processes that are gone go; those of a living one (this) stay.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  for (const std::string& name : {"state.tmp." + std::to_string(gone), "state.tmp." + std::to_string(getpid()), std::string("state.tmp.x")})
    std::ofstream(folder / name) << "half";
  EXPECT_EQ(removeStaleTemporaries(path), 1);
  EXPECT_FALSE(std::filesystem::exists(folder / ("state.tmp." + std::to_string(gone))));
  EXPECT_TRUE(std::filesystem::exists(folder / ("state.tmp." + std::to_string(getpid()))));
  EXPECT_TRUE(std::filesystem::exists(folder / "state.tmp.x"));
  std::filesystem::remove_all(folder);

  // One state per client name, whatever the name holds.
  setenv("XDG_CONFIG_HOME", "/config", 1);
  EXPECT_EQ(defaultStatePath("tamblin"), "/config/tamblin/state");
  EXPECT_EQ(defaultStatePath("synth 2/../x"), "/config/tamblin/state-synth%202%2F..%2Fx");
}

TEST(TamblinStateFile, TwoInstancesNeverDiscardEachOthersEdits) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tamblin-lock-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  const std::string path = (folder / "state").string();
  const InstrumentState start = sampleState();
  std::string problem;
  ASSERT_TRUE(saveStateFile(path, start, problem)) << problem;

  // Both start from the same file; each edits its own things, and the one to save last keeps both.
  InstrumentState first = start, second = start;
  first.programs[1].name = "Mine";
  first.programs[4].values[10] = 0.125f;
  first.currentProgram = 4;
  second.programs[2].name = "Yours";
  second.programs[4].values[11] = 0.875f;
  second.currentProgram = 2;
  EXPECT_FALSE(saveMergedState(path, start, first).merged);
  const SaveReport report = saveMergedState(path, start, second);
  EXPECT_TRUE(report.saved && report.merged);
  InstrumentState loaded;
  ASSERT_EQ(loadStateFile(path, loaded, problem), LoadOutcome::Loaded);
  EXPECT_EQ(loaded, report.written);
  EXPECT_EQ(loaded.programs[1].name, "Mine");
  EXPECT_EQ(loaded.programs[2].name, "Yours");
  EXPECT_EQ(loaded.programs[4].values[10], 0.125f);
  EXPECT_EQ(loaded.programs[4].values[11], 0.875f);
  EXPECT_EQ(loaded.currentProgram, 2);

  // Saves that overlap: the lock makes each read-merge-write whole, so no edit of either is lost.
  constexpr int kRounds = 20;
  auto instance = [&](int program) {
    InstrumentState base = loaded, ours = loaded;
    for (int round = 1; round <= kRounds; ++round) {
      ours.programs[program].values[round % kStateValueCount] = static_cast<float>(round) / kRounds;
      const SaveReport saved = saveMergedState(path, base, ours);
      ASSERT_TRUE(saved.saved) << saved.problem;
      base = ours = saved.written;
    }
  };
  std::thread a(instance, 6), b(instance, 7);
  a.join();
  b.join();
  ASSERT_EQ(loadStateFile(path, loaded, problem), LoadOutcome::Loaded);
  for (int program : {6, 7})
    for (int round = 1; round <= kRounds; ++round)
      EXPECT_EQ(loaded.programs[program].values[round % kStateValueCount], static_cast<float>(round) / kRounds);
  std::filesystem::remove_all(folder);
}

TEST(TamblinInstrument, KeepsEveryProgramAndChangesProgramOnItsFrame) {
  Player instrument(48000.0f, 120.0);
  EXPECT_EQ(instrument.programName(), "DefaultString");
  InstrumentState state = sampleState();
  instrument.restore(state);
  EXPECT_EQ(instrument.state(), state);
  EXPECT_EQ(instrument.programName(), "Program 7");

  // A note, then program 3 on frame 100 of a block: the same as rendering up to the frame, selecting
  // the program and rendering on. Program numbers beyond the sixteen are ignored.
  Player reference(48000.0f, 120.0);
  reference.restore(state);
  MidiEvent note{10, 3, {0x90, 60, 100}}, change{100, 2, {0xC3, 3}}, noProgram{150, 2, {0xC0, 40}};
  const MidiEvent events[] = {note, change, noProgram};
  std::vector<float> left(256), right(256), refLeft(256), refRight(256);
  instrument.render(events, 3, left.data(), right.data(), 256);
  note.frame = 10;
  reference.render(&note, 1, refLeft.data(), refRight.data(), 100);
  reference.selectProgram(3);
  reference.render(nullptr, 0, refLeft.data() + 100, refRight.data() + 100, 156);
  EXPECT_EQ(left, refLeft);
  EXPECT_EQ(right, refRight);
  EXPECT_EQ(instrument.currentProgram(), 3);
}

TEST(TamblinMidiQueue, MessagesKeepTheirSpacingOneBlockLate) {
  MidiQueue queue;
  const MidiEvent a{0, 3, {0x90, 60, 1}};
  // Block of 256 frames starting at 1000: messages stamped before 744 go on frame 0, those of the
  // previous block keep their offset, those of the running block wait.
  for (uint32_t time : {700u, 744u, 900u, 999u, 1000u, 1100u}) ASSERT_TRUE(queue.push(time, a));
  MidiEvent out[8];
  ASSERT_EQ(queue.take(out, 8, 1000, 256), 4);
  EXPECT_EQ(out[0].frame, 0u);
  EXPECT_EQ(out[1].frame, 0u);
  EXPECT_EQ(out[2].frame, 156u);
  EXPECT_EQ(out[3].frame, 255u);
  ASSERT_EQ(queue.take(out, 1, 1256, 256), 1);  // no more than asked for
  EXPECT_EQ(out[0].frame, 0u);
  ASSERT_EQ(queue.take(out, 8, 1256, 256), 1);
  EXPECT_EQ(out[0].frame, 100u);
  // Across the wrap of the 32-bit clock.
  ASSERT_TRUE(queue.push(0xFFFFFFF0u, a));
  ASSERT_EQ(queue.take(out, 8, 0x10u, 256), 1);
  EXPECT_EQ(out[0].frame, 256u - 0x20u);
  // A full queue drops the newest message.
  for (uint32_t i = 0; i < MidiQueue::kCapacity; ++i) ASSERT_TRUE(queue.push(5000, a));
  EXPECT_FALSE(queue.push(5000, a));
}

}  // namespace
}  // namespace tamblin::standalone
