// tamblin's strip and keyboards without a display: the messages the keys send, what the buttons do,
// the picture redrawn when what it shows changes, and the actions on the instrument and its files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>

#include "Player.h"
#include "StartState.h"
#include "Strip.h"
#include "WindowActions.h"

namespace tamblin::standalone {
namespace {

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

}  // namespace
}  // namespace tamblin::standalone
