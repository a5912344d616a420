// The strip's layout, its buttons and text entry, and its picture.
#include "Strip.h"

#include <cstdio>
#include <cstdlib>

#include "Drawing.h"

namespace tamblin::standalone {
namespace {

constexpr int kPrograms = 16;
constexpr int kStripBottom = 30;
constexpr int kStatusTop = 100;
constexpr Font kButtonFont{9.0f, false};
constexpr Font kNameFont{10.0f, true};
constexpr Font kStatusFont{9.0f, false};
constexpr Color kFieldColor{236, 232, 220};

bool inside(const Rect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

std::string twoDigits(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

void drawButton(Image& image, const Rect& r, std::string_view text, bool lit = false) {
  image.fillRect(r, lit ? kFrameColor : kPanelColor);
  image.frameRect(r, kFrameColor);
  image.textOut(r.left + (r.width() - textWidth(text, kButtonFont)) / 2,
                r.top + (r.height() - kButtonFont.lineHeight()) / 2, text, kButtonFont, lit ? kBlack : kWhite);
}

// The text's tail that fits `width` pixels, for an entry longer than its field.
std::string tailThatFits(const std::string& text, int width, const Font& font) {
  size_t start = 0;
  while (start < text.size() && textWidth(std::string_view(text).substr(start), font) > width) ++start;
  return text.substr(start);
}

}  // namespace

std::string expandHome(const std::string& path) {
  const char* home = std::getenv("HOME");
  if (path.rfind("~/", 0) == 0 && home != nullptr) return std::string(home) + path.substr(1);
  return path;
}

Rect Strip::buttonRect(Button button) {
  switch (button) {
    case Button::Previous: return {4, 4, 28, 26};
    case Button::Name: return {32, 4, 230, 26};
    case Button::Next: return {232, 4, 256, 26};
    case Button::Rename: return {262, 4, 318, 26};
    case Button::Keep: return {322, 4, 366, 26};
    case Button::Factory: return {370, 4, 428, 26};
    case Button::Import: return {432, 4, 486, 26};
    case Button::Export: return {490, 4, 540, 26};
    case Button::OctaveDown: return {4, 34, 34, 54};
    case Button::OctaveUp: return {36, 34, 66, 54};
    case Button::None: break;
  }
  return {};
}

Rect Strip::menuItemRect(int program) {
  const int column = program / 4, row = program % 4;
  return {4 + column * 134, kStripBottom + 2 + row * 17, 4 + column * 134 + 132, kStripBottom + 2 + row * 17 + 16};
}

Rect Strip::keysArea() { return {72, kStripBottom + 2, 72 + PianoKeys::kWhiteKeys * PianoKeys::kWhiteWidth, kStatusTop - 2}; }

void Strip::pointerPressed(int x, int y) {
  if (menuOpen_) {
    // A press on an item selects it; any press closes the menu.
    menuOpen_ = false;
    for (int p = 0; p < kPrograms; ++p)
      if (inside(menuItemRect(p), x, y)) actions_.selectProgram(p);
    return;
  }
  if (inside(keysArea(), x, y)) {
    keys_.press(x, y, computer_.velocity(), actions_);
    return;
  }
  for (int b = 0; b < static_cast<int>(Button::None); ++b)
    if (inside(buttonRect(static_cast<Button>(b)), x, y)) press(static_cast<Button>(b));
}

void Strip::pointerMoved(int x, int y) { keys_.drag(x, y, computer_.velocity(), actions_); }

void Strip::pointerReleased(int, int) { keys_.release(actions_); }

void Strip::press(Button button) {
  const int current = actions_.currentProgram();
  // A button press ends a text entry that was under way, unanswered.
  if (entry_ != Entry::None) entry_ = Entry::None;
  switch (button) {
    case Button::Previous:
      actions_.selectProgram((current + kPrograms - 1) % kPrograms);
      break;
    case Button::Next:
      actions_.selectProgram((current + 1) % kPrograms);
      break;
    case Button::Name:
      menuOpen_ = true;
      break;
    case Button::Rename:
      startEntry(Entry::Rename, actions_.programName(current));
      break;
    case Button::Keep:
      status_ = actions_.keep();
      break;
    case Button::Factory:
      actions_.revertToFactory(current);
      status_ = "program " + std::to_string(current) + " is the factory program again (Keep saves it)";
      break;
    case Button::Import:
      startEntry(Entry::Import, "~/tamblin.fxb");
      break;
    case Button::Export:
      startEntry(Entry::Export, "~/tamblin.fxb");
      break;
    case Button::OctaveDown:
      keys_.shiftOctave(-1);
      break;
    case Button::OctaveUp:
      keys_.shiftOctave(1);
      break;
    case Button::None:
      break;
  }
}

void Strip::startEntry(Entry entry, std::string text) {
  entry_ = entry;
  entryText_ = std::move(text);
  status_.clear();
}

void Strip::finishEntry() {
  const Entry entry = entry_;
  entry_ = Entry::None;
  const int current = actions_.currentProgram();
  switch (entry) {
    case Entry::Rename:
      actions_.renameProgram(current, entryText_);
      status_ = "program " + std::to_string(current) + " is now '" + actions_.programName(current) + "'";
      break;
    case Entry::Import:
      status_ = actions_.importBank(expandHome(entryText_));
      break;
    case Entry::Export:
      status_ = actions_.exportBank(expandHome(entryText_));
      break;
    case Entry::None:
      break;
  }
}

void Strip::keyPressed(const KeyInput& key) {
  if (entry_ != Entry::None) {
    switch (key.special) {
      case KeyInput::Return:
        finishEntry();
        break;
      case KeyInput::Escape:
        entry_ = Entry::None;
        status_ = "nothing was changed";
        break;
      case KeyInput::Backspace:
        if (!entryText_.empty()) {
          // Back over a whole UTF-8 character.
          size_t end = entryText_.size() - 1;
          while (end > 0 && (static_cast<unsigned char>(entryText_[end]) & 0xC0) == 0x80) --end;
          entryText_.resize(end);
        }
        break;
      case KeyInput::Plain:
        for (char c : key.text)
          if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) entryText_.push_back(c);
        break;
    }
    return;
  }
  if (key.special == KeyInput::Escape) menuOpen_ = false;
  computer_.press(key.code, key.symbol, actions_);
}

void Strip::keyReleased(int code) { computer_.release(code, actions_); }

void Strip::releaseEverything() {
  computer_.releaseAll(actions_);
  keys_.release(actions_);
}

std::string Strip::signature() const {
  const int current = actions_.currentProgram();
  std::string s = std::to_string(current) + '\n' + actions_.programName(current) + '\n' + status_ + '\n' +
                  std::to_string(static_cast<int>(entry_)) + entryText_ + '\n' + std::to_string(keys_.lowestNote()) +
                  ',' + std::to_string(computer_.octave()) + ',' + std::to_string(computer_.velocity()) +
                  (menuOpen_ ? "m" : "-");
  if (menuOpen_)
    for (int p = 0; p < kPrograms; ++p) s += actions_.programName(p) + '\n';
  for (int note = keys_.lowestNote(); note < keys_.lowestNote() + 12 * PianoKeys::kOctaves; ++note)
    s.push_back(actions_.noteSounds(note) ? '1' : '0');
  return s;
}

bool Strip::changed() const { return signature() != painted_; }

void Strip::paint(Image& image) {
  painted_ = signature();
  image.fillRect(image.bounds(), kFormColor);
  image.line(0, 0, kWidth, 0, kFrameColor);
  const int current = actions_.currentProgram();

  // The program strip.
  drawButton(image, buttonRect(Button::Previous), "<");
  const Rect name = buttonRect(Button::Name);
  image.fillRect(name, kFieldColor);
  image.frameRect(name, kPanelColor);
  image.textOut(name.left + 6, name.top + (name.height() - kNameFont.lineHeight()) / 2,
                twoDigits(current) + "  " + actions_.programName(current), kNameFont, kBlack);
  image.textOut(name.right - 14, name.top + (name.height() - kButtonFont.lineHeight()) / 2, "v", kButtonFont, kPanelColor);
  drawButton(image, buttonRect(Button::Next), ">");
  drawButton(image, buttonRect(Button::Rename), "Rename", entry_ == Entry::Rename);
  drawButton(image, buttonRect(Button::Keep), "Keep");
  drawButton(image, buttonRect(Button::Factory), "Factory");
  drawButton(image, buttonRect(Button::Import), "Import", entry_ == Entry::Import);
  drawButton(image, buttonRect(Button::Export), "Export", entry_ == Entry::Export);

  // The keyboard, or the menu of programs in its place.
  if (menuOpen_) {
    image.fillRect({0, kStripBottom, kWidth, kStatusTop}, kPanelColor);
    for (int p = 0; p < kPrograms; ++p)
      printmenu(image, menuItemRect(p), p == current, twoDigits(p) + "  " + actions_.programName(p), menuFont());
  } else {
    drawButton(image, buttonRect(Button::OctaveDown), "Oct -");
    drawButton(image, buttonRect(Button::OctaveUp), "Oct +");
    const Font small{8.0f, false};
    image.textOut(6, 58, "keys: C" + std::to_string(computer_.octave()), small, kBlack);
    image.textOut(6, 74, "vel " + std::to_string(computer_.velocity()), small, kBlack);
    keys_.paint(image, [this](int note) { return actions_.noteSounds(note); });
  }

  // The line that says what happened, or the text being entered.
  const Rect line{4, kStatusTop + 1, kWidth - 4, kHeight - 2};
  if (entry_ != Entry::None) {
    const char* prompt = entry_ == Entry::Rename ? "New name:" : entry_ == Entry::Import ? "Import bank from:" : "Export bank to:";
    const int promptWidth = textWidth(prompt, kStatusFont) + 8;
    image.textOut(line.left, line.top + 1, prompt, kStatusFont, kBlack);
    const Rect field{line.left + promptWidth, line.top, line.right, line.bottom};
    image.fillRect(field, kWhite);
    image.frameRect(field, kPanelColor);
    const std::string shown = tailThatFits(entryText_, field.width() - 12, kStatusFont) + "|";
    image.textOut(field.left + 3, field.top + 1, shown, kStatusFont, kBlack);
  } else {
    const std::string text = status_.empty() ? "Keys A W S E D ... K play, Z X octave, C V velocity; the name opens "
                                               "the programs"
                                             : status_;
    image.textOut(line.left, line.top + 1, tailThatFits(text, line.width(), kStatusFont), kStatusFont,
                  status_.empty() ? kPanelColor : kBlack);
  }
}

}  // namespace tamblin::standalone
