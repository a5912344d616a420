// What tamblin's window holds below the editor: the program strip (number and name, previous and next,
// the menu of all sixteen, rename, keep, factory, import and export of banks), the on-screen keyboard
// with its octave buttons, and a line that says what happened. Drawn with the editor's canvas in its
// colours; it takes pointer and key input as plain calls, so it runs and is tested without a display.
#pragma once

#include <cstdint>
#include <string>

#include "Canvas.h"
#include "ComputerKeyboard.h"
#include "NoteSink.h"
#include "PianoKeys.h"

namespace tamblin::standalone {

// What the strip asks of tamblin. [ui thread]
class StripActions : public NoteSink {
 public:
  virtual int currentProgram() const = 0;
  virtual std::string programName(int program) const = 0;
  virtual void selectProgram(int program) = 0;
  virtual void renameProgram(int program, const std::string& name) = 0;
  // Every edit is in the current program as it is made; keeping saves the programs now. Answers what
  // happened, in a line.
  virtual std::string keep() = 0;
  // Puts the factory program back into `program` and selects it.
  virtual void revertToFactory(int program) = 0;
  // Answers what happened, in a line; nothing is applied from a file that fails.
  virtual std::string importBank(const std::string& path) = 0;
  virtual std::string exportBank(const std::string& path) = 0;
  // Whether a note sounds (the keys light up).
  virtual bool noteSounds(int note) const = 0;
};

// A key as the window gives it.
struct KeyInput {
  enum Special : uint8_t { Plain, Backspace, Return, Escape };
  int code = 0;          // tells the key again at its release
  char symbol = '\0';    // the key's unshifted character, lowercase
  std::string text;      // what it types (with shift), for the text entry
  Special special = Plain;
};

class Strip {
 public:
  static constexpr int kWidth = 544;
  static constexpr int kHeight = 118;

  // The buttons, for the window's tests and their own.
  enum class Button { Previous, Name, Next, Rename, Keep, Factory, Import, Export, OctaveDown, OctaveUp, None };
  static Rect buttonRect(Button button);
  // The menu's item of program p (when the menu is open).
  static Rect menuItemRect(int program);
  static Rect keysArea();

  explicit Strip(StripActions& actions) : actions_(actions), keys_(keysArea()) {}

  void pointerPressed(int x, int y);
  void pointerMoved(int x, int y);
  void pointerReleased(int x, int y);
  void keyPressed(const KeyInput& key);
  void keyReleased(int code);
  // The window lost the keyboard or the pointer: every note the strip holds ends.
  void releaseEverything();

  // True when the picture differs from the one last painted (state, names, sounding notes).
  bool changed() const;
  // The strip's picture, kWidth x kHeight.
  void paint(Image& image);

  bool menuOpen() const { return menuOpen_; }
  bool editing() const { return entry_ != Entry::None; }
  const std::string& status() const { return status_; }
  const std::string& entryText() const { return entryText_; }
  const PianoKeys& keys() const { return keys_; }
  const ComputerKeyboard& computerKeys() const { return computer_; }

 private:
  enum class Entry { None, Rename, Import, Export };
  void startEntry(Entry entry, std::string text);
  void finishEntry();
  void press(Button button);
  std::string signature() const;

  StripActions& actions_;
  PianoKeys keys_;
  ComputerKeyboard computer_;
  bool menuOpen_ = false;
  Entry entry_ = Entry::None;
  std::string entryText_;
  std::string status_;
  std::string painted_;  // signature() of the last picture
};

// "~/x" with the home folder, any other path as it is.
std::string expandHome(const std::string& path);

}  // namespace tamblin::standalone
