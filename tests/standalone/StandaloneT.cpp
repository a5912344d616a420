// tamblin in process: its command line, its state file, the instrument's state and program changes on
// their frames, and the queue that brings ALSA messages to the audio thread.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <thread>

#include "Player.h"
#include "MidiQueue.h"
#include "Options.h"
#include "StateFile.h"
#include "StartState.h"
#include "Strip.h"
#include "WindowActions.h"

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
  state.programs[3].values[0] = 1.0f;
  state.programs[3].values[1] = 0.0f;
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

// What the strip and the keyboards send and do, recorded.
class RecordingActions final : public StripActions {
 public:
  int currentProgram() const override { return current; }
  std::string programName(int program) const override { return names[static_cast<size_t>(program)]; }
  void selectProgram(int program) override {
    current = program;
    calls.push_back("select " + std::to_string(program));
  }
  void renameProgram(int program, const std::string& name) override {
    names[static_cast<size_t>(program)] = name;
    calls.push_back("rename " + std::to_string(program) + " " + name);
  }
  std::string keep() override {
    calls.push_back("keep");
    return "kept";
  }
  void revertToFactory(int program) override { calls.push_back("factory " + std::to_string(program)); }
  std::string importBank(const std::string& path) override {
    calls.push_back("import " + path);
    return "imported";
  }
  std::string exportBank(const std::string& path) override {
    calls.push_back("export " + path);
    return "exported";
  }
  bool noteSounds(int note) const override { return note == 50; }
  void send(uint8_t status, uint8_t data1, uint8_t data2) override { messages.push_back({status, data1, data2}); }

  int current = 3;
  std::array<std::string, 16> names{};
  std::vector<std::string> calls;
  std::vector<std::array<uint8_t, 3>> messages;
};

using Bytes = std::vector<std::array<uint8_t, 3>>;

TEST(TamblinKeyboards, SendWhatAMidiKeyboardWould) {
  RecordingActions sink;
  ComputerKeyboard keys;
  // Key codes stand for the keys; the symbol is what the key is labelled.
  const struct {
    bool press;
    int code;
    char symbol;
    Bytes sent;  // what this step adds
  } steps[] = {
      {true, 1, 'a', {{0x90, 60, 100}}},   // A plays C4
      {true, 2, 'w', {{0x90, 61, 100}}},   // W the C# above it
      {true, 1, 'a', {}},                  // a held key repeating sends nothing more
      {false, 1, 'a', {{0x80, 60, 0}}},
      {true, 3, 'x', {}},                  // octave up...
      {true, 4, 'v', {}},                  // ...and louder
      {true, 5, 'k', {{0x90, 84, 116}}},   // K is the C an octave above A's
      {false, 2, 'w', {{0x80, 61, 0}}},    // a note ends where it began, whatever the octave now
      {true, 6, 'q', {}},                  // not a key of the keyboard
      {true, 7, 'z', {}},
      {false, 7, 'z', {}},
      {true, 7, 'z', {}},                  // two octaves down
      {true, 8, 'c', {}},
      {true, 9, 'j', {{0x90, 59, 100}}},   // J is B
  };
  Bytes expected;
  for (const auto& step : steps) {
    if (step.press) {
      keys.press(step.code, step.symbol, sink);
    } else {
      keys.release(step.code, sink);
    }
    expected.insert(expected.end(), step.sent.begin(), step.sent.end());
    EXPECT_EQ(sink.messages, expected) << "key " << step.symbol;
  }
  keys.releaseAll(sink);  // the window lost the keyboard
  expected.insert(expected.end(), {{0x80, 84, 0}, {0x80, 59, 0}});
  EXPECT_EQ(sink.messages, expected);

  // The on-screen keyboard: C3 at its left edge, black keys over the white ones.
  sink.messages.clear();
  PianoKeys piano(Rect{0, 0, PianoKeys::kWhiteKeys * PianoKeys::kWhiteWidth, 60});
  EXPECT_EQ(piano.noteAt(5, 50), 48);
  EXPECT_EQ(piano.noteAt(PianoKeys::kWhiteWidth, 10), 49);   // C#: between C and D, above
  EXPECT_EQ(piano.noteAt(PianoKeys::kWhiteWidth, 50), 50);   // below it, D's white key
  EXPECT_EQ(piano.noteAt(7 * PianoKeys::kWhiteWidth + 5, 50), 60);
  piano.press(5, 50, 90, sink);
  piano.drag(6, 50, 90, sink);                             // the same key: nothing
  piano.drag(PianoKeys::kWhiteWidth + 5, 50, 90, sink);    // glides to D
  piano.release(sink);
  piano.shiftOctave(1);
  piano.press(5, 50, 90, sink);
  piano.release(sink);
  EXPECT_EQ(sink.messages, (Bytes{{0x90, 48, 90}, {0x80, 48, 0}, {0x90, 50, 90}, {0x80, 50, 0}, {0x90, 60, 90}, {0x80, 60, 0}}));
  for (int i = 0; i < 10; ++i) piano.shiftOctave(1);
  EXPECT_EQ(piano.lowestNote(), PianoKeys::kHighestLowest);
  EXPECT_LE(piano.lowestNote() + 12 * PianoKeys::kOctaves - 1, 127);
}

TEST(TamblinStrip, ItsButtonsDoWhatTheySay) {
  RecordingActions actions;
  for (int p = 0; p < 16; ++p) actions.names[static_cast<size_t>(p)] = std::string("P").append(std::to_string(p));
  Strip strip(actions);
  auto click = [&](Strip::Button button) {
    const Rect r = Strip::buttonRect(button);
    strip.pointerPressed(r.left + 2, r.top + 2);
    strip.pointerReleased(r.left + 2, r.top + 2);
  };
  auto type = [&](const std::string& text, KeyInput::Special last) {
    for (char c : text) strip.keyPressed(KeyInput{0, c, std::string(1, c), KeyInput::Plain});
    strip.keyPressed(KeyInput{0, '\0', "", last});
  };
  setenv("HOME", "/home/player", 1);
  const struct {
    std::function<void()> act;
    std::vector<std::string> calls;
    std::string status;
  } steps[] = {
      {[&] { click(Strip::Button::Next); }, {"select 4"}, ""},
      {[&] { click(Strip::Button::Previous); }, {"select 3"}, ""},
      {[&] { actions.current = 0; click(Strip::Button::Previous); }, {"select 15"}, ""},
      {[&] { click(Strip::Button::Name); }, {}, ""},  // opens the menu...
      {[&] { const Rect r = Strip::menuItemRect(9); strip.pointerPressed(r.left + 3, r.top + 3); }, {"select 9"}, ""},
      {[&] { click(Strip::Button::Rename); type("\x7f!", KeyInput::Backspace); type("Pad", KeyInput::Return); },
       {"rename 9 P9Pad"}, "program 9 is now 'P9Pad'"},
      {[&] { click(Strip::Button::Rename); type("Lost", KeyInput::Escape); }, {}, "nothing was changed"},
      {[&] { click(Strip::Button::Keep); }, {"keep"}, "kept"},
      {[&] { click(Strip::Button::Factory); }, {"factory 9"}, "program 9 is the factory program again (Keep saves it)"},
      {[&] { click(Strip::Button::Export); type("", KeyInput::Return); }, {"export /home/player/tamblin.fxb"}, "exported"},
      {[&] { click(Strip::Button::Import); type("2", KeyInput::Backspace); type("", KeyInput::Backspace);
             type("", KeyInput::Backspace); type("", KeyInput::Backspace); type("", KeyInput::Backspace);
             type("x.fxb", KeyInput::Return); },
       {"import /home/player/tamblinx.fxb"}, "imported"},
  };
  size_t seen = 0;
  for (const auto& step : steps) {
    step.act();
    const std::vector<std::string> calls(actions.calls.begin() + static_cast<long>(seen), actions.calls.end());
    EXPECT_EQ(calls, step.calls);
    EXPECT_EQ(strip.status(), step.status);
    seen = actions.calls.size();
  }
  EXPECT_FALSE(strip.menuOpen());
  EXPECT_FALSE(strip.editing());

  // While a name is typed, letters are text, not notes; after it, they play.
  click(Strip::Button::Rename);
  strip.keyPressed(KeyInput{38, 'a', "a", KeyInput::Plain});
  EXPECT_TRUE(actions.messages.empty());
  strip.keyPressed(KeyInput{0, '\0', "", KeyInput::Escape});
  strip.keyPressed(KeyInput{38, 'a', "a", KeyInput::Plain});
  strip.keyReleased(38);
  EXPECT_EQ(actions.messages, (Bytes{{0x90, 60, 100}, {0x80, 60, 0}}));

  // The picture: drawn again only when something it shows changed, keys lit for the notes that sound.
  Image picture(Strip::kWidth, Strip::kHeight);
  EXPECT_TRUE(strip.changed());
  strip.paint(picture);
  EXPECT_FALSE(strip.changed());
  const Rect keys = Strip::keysArea();
  const Color d = picture.pixel(keys.left + PianoKeys::kWhiteWidth + 5, keys.bottom - 4);  // D3, note 50, sounds
  const Color e = picture.pixel(keys.left + 2 * PianoKeys::kWhiteWidth + 5, keys.bottom - 4);  // E3 does not
  EXPECT_NE(d, e);
  EXPECT_EQ(e, (Color{255, 255, 255}));
  actions.names[9] = "Other";
  EXPECT_TRUE(strip.changed());
}

TEST(TamblinStrip, ItsActionsChangeThePrograms) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tamblin-actions-" + std::to_string(getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  Player player(48000.0f, 120.0);
  StartState state("actions");
  ASSERT_TRUE(state.load(false, [](const std::string&) {}));
  state.setFactory(player.state());
  Bytes sent;
  WindowActions actions(player, state, [&](uint8_t s, uint8_t a, uint8_t b) { sent.push_back({s, a, b}); });
  const InstrumentState factory = player.state();

  actions.selectProgram(2);
  actions.renameProgram(2, "Mine");
  player.setParameter(31, 0.25f);
  const std::string bank = (folder / "mine.fxb").string();
  EXPECT_EQ(actions.exportBank(bank), "exported the sixteen programs to " + bank);
  EXPECT_EQ(actions.keep(), "kept: the programs were saved to " + (folder / "tamblin" / "state-actions").string());
  InstrumentState kept;
  std::string problem;
  ASSERT_EQ(loadStateFile((folder / "tamblin" / "state-actions").string(), kept, problem), LoadOutcome::Loaded);
  EXPECT_EQ(kept, player.state());

  // Factory: the program as it came, selected.
  actions.revertToFactory(2);
  EXPECT_EQ(player.state().programs[2], factory.programs[2]);
  EXPECT_EQ(player.instrument().parameter(31), factory.programs[2].values[31]);

  // A file that fails changes nothing; the bank brings back what was exported.
  std::ofstream(folder / "short.fxb") << "CcnK";
  const InstrumentState before = player.state();
  EXPECT_NE(actions.importBank((folder / "short.fxb").string()).find("; nothing was applied"), std::string::npos);
  EXPECT_NE(actions.importBank((folder / "none.fxb").string()).find("; nothing was applied"), std::string::npos);
  EXPECT_EQ(player.state(), before);
  EXPECT_EQ(actions.importBank(bank), "imported the sixteen programs of " + bank + " (Keep saves them)");
  EXPECT_EQ(player.programName(2), "Mine");
  EXPECT_EQ(player.state().programs[2].values[31], 0.25f);

  actions.send(0x90, 60, 100);
  EXPECT_EQ(sent, (Bytes{{0x90, 60, 100}}));
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
