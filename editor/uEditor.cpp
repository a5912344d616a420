// TPluginEditorWindow: drawing the controls, label line and gate column, the pointer, the menus and the
// timers. The public entries take the window lock; everything they call runs under it.
#include "uEditor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "Drawing.h"
#include "Pictures.h"
#include "ValueTexts.h"

namespace tamblin {

namespace {

constexpr Color kBevelShadow{128, 128, 128};

float limit(double x) {
  if (!(x >= 0.0)) return 0.0f;  // below 0 or not a number
  if (x > 1.0) return 1.0f;
  return static_cast<float>(x);
}

Rect unite(const Rect& a, const Rect& b) {
  if (a.width() <= 0 || a.height() <= 0) return b;
  if (b.width() <= 0 || b.height() <= 0) return a;
  return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

Rect intersect(const Rect& a, const Rect& b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.width() <= 0 || r.height() <= 0) return Rect{};
  return r;
}

// Number of entries of the choice boxes that step on a click, 0 for other boxes.
int clickChoiceCount(int index) {
  const ParameterInfo& row = parameterInfo(index);
  return row.boxInput == BoxInput::StepOnClick ? row.choices.count : 0;
}

void DrawFilter(Image& canvas, const Rect& rect, bool selected, int item) {
  printmenu(canvas, rect, selected, texts::filterMenuText(item), menuFont());
}

void GateDraw(Image& canvas, const Rect& rect, bool selected, int item) {
  printmenu(canvas, rect, selected, texts::gateMenuText(item), menuFont());
}


}  // namespace

TPluginEditorWindow::TPluginEditorWindow(std::unique_ptr<WindowBackend> backend)
    : backend_(backend ? std::move(backend) : createPlatformBackend()),
      pictures_(Pictures::get()),
      frame_(kClientWidth, kClientHeight, kFormColor) {
  for (const ImagePlace& place : windowImages())
    images_.emplace_back(place.rect.width(), place.rect.height(), kPanelColor);
}

TPluginEditorWindow::~TPluginEditorWindow() {
  // The backend's event thread takes the window lock: stop it before anything goes.
  if (backend_) backend_->close();
}

bool TPluginEditorWindow::create(void* parentWindow) {
  std::lock_guard lock(windowLock_);
  if (created_) return true;
  if (!separatorGiven_) decimalSeparator_ = texts::userDecimalSeparator();
  FormCreate();
  recompose(Rect{0, 0, kClientWidth, kClientHeight});
  dirty_.clear();
  if (!backend_ || !backend_->open(parentWindow, kClientWidth, kClientHeight, *this)) return false;
  created_ = true;
  return true;
}

void TPluginEditorWindow::FormCreate() {
  const auto places = windowImages();
  for (size_t i = 0; i < places.size(); ++i) drawImage(static_cast<int>(i));
  drawnValues_.fill(-1.0f);
  PrintLabels(texts::kStartLabel, texts::kStartValue);
}

void TPluginEditorWindow::drawImage(int i) {
  const ImagePlace& place = windowImages()[i];
  Image& image = images_[i];
  switch (place.role) {
    case ImageRole::Section:
      drawSectionBackground(image);
      break;
    case ImageRole::Caption:
      drawCaption(image, place.caption, place.captionPoints);
      break;
    case ImageRole::Panel: {
      // One-pixel lowered bevel: shadow on the top and left edges, light on the bottom and right.
      image.fillRect(image.bounds(), kPanelColor);
      const int w = image.width(), h = image.height();
      image.line(0, 0, w, 0, kBevelShadow);
      image.line(0, 0, 0, h, kBevelShadow);
      image.line(0, h - 1, w, h - 1, kWhite);
      image.line(w - 1, 0, w - 1, h, kWhite);
      break;
    }
    case ImageRole::Logo:
      image.copyRect(pictures_.Logo, pictures_.Logo.bounds(), image.bounds());
      break;
    default:
      image.fillRect(image.bounds(), kPanelColor);
      break;
  }
  invalidateImage(i);
}

void TPluginEditorWindow::SetBounds(int left, int top, int width, int height) {
  std::lock_guard lock(windowLock_);
  left_ = left;
  top_ = top;
  // The window keeps its fixed client size; only the position follows.
  (void)width;
  (void)height;
  if (created_) backend_->setBounds(left_, top_, kClientWidth, kClientHeight);
}

void TPluginEditorWindow::setInstrumentLink(std::unique_ptr<InstrumentLink> link) {
  std::lock_guard lock(windowLock_);
  link_ = std::move(link);
}

void TPluginEditorWindow::setDecimalSeparator(std::string separator) {
  std::lock_guard lock(windowLock_);
  decimalSeparator_ = std::move(separator);
  separatorGiven_ = true;
}

void TPluginEditorWindow::Update() {
  std::lock_guard lock(windowLock_);
  flush();
}

void TPluginEditorWindow::Show() {
  std::lock_guard lock(windowLock_);
  if (!created_) return;
  visible_ = true;
  backend_->setVisible(true);
  invalidate(Rect{0, 0, kClientWidth, kClientHeight});
  flush();
}

void TPluginEditorWindow::Hide() {
  std::lock_guard lock(windowLock_);
  if (!created_) return;
  if (menu_.which != Menu::None) closeMenu();
  if (captured_ >= 0) backend_->releasePointer();
  captured_ = -1;
  clickPending_ = -1;
  drag_ = Drag::None;
  visible_ = false;
  backend_->setVisible(false);
}

void TPluginEditorWindow::SetAll() {
  std::lock_guard lock(windowLock_);
  for (int i = 0; i < kNumParams; ++i) {
    const float value = paramValue(i);
    if (value != drawnValues_[i]) SetControl(i);
    drawnValues_[i] = value;
  }
  flush();
}

void TPluginEditorWindow::idle() {
  if (backend_) backend_->idle();
}

// ---- drawing ----

void TPluginEditorWindow::SetControl(int index) {
  std::lock_guard lock(windowLock_);
  if (index == kGatePatternVolume || index == kGatePatternFilter) {
    drawgate();
    return;
  }
  const int i = controlFor(index);
  if (i < 0) return;
  const ImagePlace& place = windowImages()[i];
  Image& image = images_[i];
  const float value = paramValue(index);
  switch (place.role) {
    case ImageRole::VSlider:
      DrawVSlider2(image, pictures_, value, place.caption, place.topMark, place.middleMark, place.bottomMark);
      break;
    case ImageRole::HSlider:
      DrawHSlider2(image, pictures_, value, place.caption);
      break;
    case ImageRole::Dial:
      DrawDial2(image, pictures_, value, place.caption);
      break;
    case ImageRole::ChoiceBox:
      DrawBox(image, pictures_, texts::choiceBoxText(index, value));
      break;
    default:
      return;
  }
  invalidateImage(i);
}

void TPluginEditorWindow::drawgate() {
  std::lock_guard lock(windowLock_);
  static const int numbers = imageWith(ImageRole::GateNumbers);
  static const int row1 = imageWith(ImageRole::GateRow1);
  static const int row2 = imageWith(ImageRole::GateRow2);
  static const int positions = imageWith(ImageRole::GatePositions);
  drawGateRow(images_[row1], pictures_, patternWord(paramValue(kGatePatternVolume)));
  drawGateRow(images_[row2], pictures_, patternWord(paramValue(kGatePatternFilter)));
  // The numbers are drawn on a transparent background; the column is cleared first so that
  // redrawing them does not thicken their antialiased edges.
  images_[numbers].fillRect(images_[numbers].bounds(), kPanelColor);
  drawGateNumbers(images_[numbers]);
  // The lamp timer must know which row is lit, or it would later leave this one red beside its own.
  shownGateStep_ = floorInt(gatePosition());
  drawGatePositions(images_[positions], pictures_, shownGateStep_);
  for (int i : {numbers, row1, row2, positions}) invalidateImage(i);
}

void TPluginEditorWindow::SetLabel(int index) {
  const ParameterInfo* entry = texts::labelFor(index);
  if (entry == nullptr) return;
  PrintLabels(entry->label, texts::valueText(entry->format, paramValue(index), decimalSeparator_));
}

void TPluginEditorWindow::PrintLabels(std::string_view label, std::string_view value) {
  static const int printOut = imageWith(ImageRole::LabelLine);
  drawLabelLine(images_[printOut], pictures_, value, label);
  invalidateImage(printOut);
}

const Image& TPluginEditorWindow::image(std::string_view name) const {
  const int i = imageNamed(name);
  return i < 0 ? empty_ : images_[i];
}

void TPluginEditorWindow::invalidate(const Rect& area) {
  // Overlapping areas merge; distant ones (a dial and the label line) stay apart, so a drag shows
  // two small pictures rather than one that spans the window.
  constexpr size_t kMaxAreas = 8;
  Rect merged = area;
  for (size_t i = 0; i < dirty_.size();) {
    if (intersect(dirty_[i], Rect{merged.left - 1, merged.top - 1, merged.right + 1, merged.bottom + 1})
            .width() > 0) {
      merged = unite(merged, dirty_[i]);
      dirty_.erase(dirty_.begin() + static_cast<std::ptrdiff_t>(i));
      i = 0;
    } else {
      ++i;
    }
  }
  dirty_.push_back(merged);
  if (dirty_.size() > kMaxAreas) {
    Rect all{};
    for (const Rect& r : dirty_) all = unite(all, r);
    dirty_.assign(1, all);
  }
}

void TPluginEditorWindow::invalidateImage(int image) { invalidate(windowImages()[image].rect); }

void TPluginEditorWindow::recompose(const Rect& area) {
  frame_.fillRect(area, kFormColor);
  const auto places = windowImages();
  for (size_t i = 0; i < places.size(); ++i) {
    const Rect part = intersect(places[i].rect, area);
    if (part.width() <= 0) continue;
    const Rect source{part.left - places[i].rect.left, part.top - places[i].rect.top,
                      part.right - places[i].rect.left, part.bottom - places[i].rect.top};
    frame_.copyRect(images_[i], source, part);
  }
}

void TPluginEditorWindow::flush() {
  const std::vector<Rect> areas = std::exchange(dirty_, {});
  for (const Rect& dirty : areas) {
    const Rect area = intersect(dirty, Rect{0, 0, kClientWidth, kClientHeight});
    if (area.width() <= 0) continue;
    recompose(area);
    if (created_ && visible_) backend_->present(frame_, area);
  }
}

// ---- values ----

void TPluginEditorWindow::setfvar(int index, float value) {
  if (index < 0 || index >= kNumStoredValues) return;
  setParamValue(index, value);
  automate(index, paramValue(index));
}

void TPluginEditorWindow::changeByDrag(int index, float value) {
  setParamValue(index, value);
  automate(index, value);
  SetControl(index);
  SetLabel(index);
}

// The instrument hears of the change as soon as the window lock is let go (see WindowLock).
void TPluginEditorWindow::automate(int index, float value) {
  if (link_) windowLock_.queue(HostCall{link_, index, value});
}

float TPluginEditorWindow::gatePosition() const { return link_ ? link_->gatePosition() : 0.0f; }

// ---- timers ----

void TPluginEditorWindow::timerElapsed(int timer) {
  std::lock_guard lock(windowLock_);
  if (timer == kGateLampTimer) Timer1Timer();
  if (timer == kRefreshTimer) Timer2Timer();
}

void TPluginEditorWindow::Timer1Timer() {
  std::lock_guard lock(windowLock_);
  static const int positions = imageWith(ImageRole::GatePositions);
  const int step = floorInt(gatePosition());
  if (step == shownGateStep_) return;
  drawGateLamp(images_[positions], pictures_.Ind1, shownGateStep_);
  drawGateLamp(images_[positions], pictures_.Ind3, step);
  shownGateStep_ = step;
  invalidateImage(positions);
  flush();
}

void TPluginEditorWindow::Timer2Timer() { SetAll(); }

// ---- pointer ----

void TPluginEditorWindow::pointerPressed(MouseButton button, bool shift, int x, int y, uint32_t timeMs) {
  std::lock_guard lock(windowLock_);
  if (menu_.which != Menu::None) return;  // the open menu has the pointer
  bool doublePress = false;
  if (button == MouseButton::Left) {
    doublePress = !lastLeftPressWasDouble_ && timeMs - lastLeftPressMs_ <= kDoubleClickMs &&
                  std::abs(x - lastLeftPressX_) <= kDoubleClickDistance &&
                  std::abs(y - lastLeftPressY_) <= kDoubleClickDistance;
    lastLeftPressMs_ = timeMs;
    lastLeftPressX_ = x;
    lastLeftPressY_ = y;
    lastLeftPressWasDouble_ = doublePress;
  }
  // A left press while the last one still holds the pointer: its release was lost on the way.
  if (button == MouseButton::Left && captured_ >= 0) endCapture();
  const int target = captured_ >= 0 ? captured_ : imageAt(x, y);
  if (target < 0) return;
  const ImagePlace& place = windowImages()[target];
  const int localX = x - place.rect.left, localY = y - place.rect.top;
  if (button == MouseButton::Left && captured_ < 0) {
    captured_ = target;
    backend_->capturePointer();
  }
  switch (place.role) {
    case ImageRole::VSlider:
    case ImageRole::HSlider:
    case ImageRole::Dial:
      SetControlSelect(place, button, shift, localX, localY);
      break;
    case ImageRole::ChoiceBox:
      switch (parameterInfo(place.index).boxInput) {
        case BoxInput::StepOnPress:  // FPitchMouseDown: any button
          stepChoice(place.index, parameterInfo(place.index).choices.count);
          break;
        case BoxInput::FilterMenu:  // FtypeiMouseDown
          menuTarget_ = place.index;
          popupMenu(Menu::Filter, x, y);
          break;
        case BoxInput::GateMenu:  // GLenMouseDown
          popupMenu(Menu::Gate, x, y);
          break;
        default:
          if (button == MouseButton::Left && !doublePress) clickPending_ = target;
          break;
      }
      break;
    case ImageRole::GateNumbers:
    case ImageRole::GateRow1:
      switchGateStep(kGatePatternVolume, localY);
      break;  // GateBack1MouseDown
    case ImageRole::GateRow2:
      switchGateStep(kGatePatternFilter, localY);
      break;  // GateBack2MouseDown
    case ImageRole::Caption:
      if (place.opensGateMenu) popupMenu(Menu::Gate, x, y);
      break;
    default:
      break;
  }
  flush();
}

void TPluginEditorWindow::pointerMoved(bool, int x, int y) {
  std::lock_guard lock(windowLock_);
  if (menu_.which != Menu::None) return;
  const int target = captured_ >= 0 ? captured_ : imageAt(x, y);
  if (target < 0) return;
  const ImagePlace& place = windowImages()[target];
  if (isDragControl(place.role)) Mousemove(place, x - place.rect.left, y - place.rect.top);
  flush();
}

void TPluginEditorWindow::pointerReleased(MouseButton button, bool, int x, int y) {
  std::lock_guard lock(windowLock_);
  if (menu_.which != Menu::None) return;
  const int target = captured_ >= 0 ? captured_ : imageAt(x, y);
  if (target >= 0 && isDragControl(windowImages()[target].role)) MouseDown();
  if (button == MouseButton::Left) {
    if (clickPending_ >= 0 && clickPending_ == target && contains(windowImages()[target].rect, x, y)) {
      choiceBoxClicked(windowImages()[target]);
    }
    clickPending_ = -1;
    if (captured_ >= 0) {
      captured_ = -1;
      backend_->releasePointer();
    }
  }
  flush();
}

void TPluginEditorWindow::pointerCaptureLost() {
  std::lock_guard lock(windowLock_);
  endCapture();
  flush();
}

void TPluginEditorWindow::endCapture() {
  if (captured_ < 0) return;
  if (isDragControl(windowImages()[captured_].role)) MouseDown();
  clickPending_ = -1;
  captured_ = -1;
  backend_->releasePointer();
}

void TPluginEditorWindow::SetControlSelect(const ImagePlace& place, MouseButton button, bool shift, int x,
                                           int y) {
  switch (place.role) {
    case ImageRole::VSlider:
      SetVSlider(place.index, y, button, shift);
      break;
    case ImageRole::HSlider:
      SetHSlider(place.index, x, button, shift);
      break;
    case ImageRole::Dial:
      SetDial(place.index, x, y, button);
      break;
    default:
      break;
  }
}

void TPluginEditorWindow::Mousemove(const ImagePlace& place, int x, int y) {
  switch (place.role) {
    case ImageRole::VSlider:
      MoveVSlider(place.index, y);
      break;
    case ImageRole::HSlider:
      MoveHSlider(place.index, x);
      break;
    case ImageRole::Dial:
      MoveDial(place.index, x, y);
      break;
    default:
      break;
  }
}

// The release that ends a drag.
void TPluginEditorWindow::MouseDown() { drag_ = Drag::None; }

void TPluginEditorWindow::SetDial(int index, int x, int y, MouseButton button) {
  if (button == MouseButton::Right) {
    setfvar(index, parameterInfo(index).defaultValue);
  } else if (button == MouseButton::Left) {
    drag_ = Drag::Dial;
    dragStartValue_ = paramValue(index);
    dragStartX_ = static_cast<float>(x);
    dragStartY_ = static_cast<float>(y);
    SetControl(index);
    SetLabel(index);
  }
}

void TPluginEditorWindow::SetHSlider(int index, int x, MouseButton button, bool shift) {
  setSlider(index, x, button, shift);
}

void TPluginEditorWindow::SetVSlider(int index, int y, MouseButton button, bool shift) {
  setSlider(index, 120 - y, button, shift);
}

void TPluginEditorWindow::setSlider(int index, int position, MouseButton button, bool shift) {
  const int p = std::clamp(position, 0, 100);
  drag_ = Drag::None;
  if (button == MouseButton::Right) {
    setfvar(index, parameterInfo(index).defaultValue);
  } else if (button == MouseButton::Left && !shift) {
    drag_ = Drag::SliderFollow;
    const float value = limit(p / 100.0);
    dragStartValue_ = value;
    changeByDrag(index, value);
  } else if (button == MouseButton::Left) {
    drag_ = Drag::SliderFine;
    dragStartValue_ = paramValue(index);
  }
}

void TPluginEditorWindow::MoveDial(int index, int x, int y) {
  if (drag_ == Drag::None) {
    SetLabel(index);
    return;
  }
  const double value = dragStartValue_ - (y - dragStartY_) / 200.0 + (x - dragStartX_) / 10000.0;
  changeByDrag(index, limit(value));
}

void TPluginEditorWindow::MoveHSlider(int index, int x) {
  if (drag_ == Drag::None) {
    SetLabel(index);
  } else if (drag_ == Drag::SliderFollow) {
    changeByDrag(index, limit(std::clamp(x, 0, 100) / 100.0));
  } else if (drag_ == Drag::SliderFine) {
    changeByDrag(index, limit(dragStartValue_ + x / 1000.0));
  }
}

void TPluginEditorWindow::MoveVSlider(int index, int y) {
  if (drag_ == Drag::None) {
    SetLabel(index);
  } else if (drag_ == Drag::SliderFollow) {
    changeByDrag(index, limit(std::clamp(120 - y, 0, 100) / 100.0));
  } else if (drag_ == Drag::SliderFine) {
    changeByDrag(index, limit(dragStartValue_ + y / 1000.0));
  }
}

// ---- gate rows and choice boxes ----

void TPluginEditorWindow::switchGateStep(int index, int y) {
  const int stepHeight = 16;
  // A press routed here from outside the rows switches nothing.
  if (y < 0 || y >= kPatternSteps * stepHeight) return;
  const int step = y / stepHeight;
  int m = patternWord(paramValue(index));
  m ^= 1 << (kPatternSteps - 1 - step);
  setfvar(index, tamblin::patternValue(m));
  SetControl(index);
}

void TPluginEditorWindow::stepChoice(int index, int count) {
  int k = texts::choiceIndex(paramValue(index), count) + 1;
  if (k > count - 1) k = 0;
  setfvar(index, texts::choiceValue(k, count));
  SetControl(index);
}

void TPluginEditorWindow::choiceBoxClicked(const ImagePlace& place) {
  const int count = clickChoiceCount(place.index);
  if (count > 0) stepChoice(place.index, count);
}

// ---- menus ----

void TPluginEditorWindow::popupMenu(Menu which, int x, int y) {
  // The menu takes the pointer from here on, as a modal menu does.
  if (captured_ >= 0) backend_->releasePointer();
  captured_ = -1;
  clickPending_ = -1;
  menu_.which = which;
  menu_.hover = -1;
  menu_.armed = false;
  drawMenu();
  backend_->showMenu(x, y, menu_.image);
}

void TPluginEditorWindow::drawMenu() {
  const bool filter = menu_.which == Menu::Filter;
  const int count = filter ? texts::kFilterMenuItems : texts::gateMenuItems();
  int width = 1;
  for (int k = 0; k < count; ++k) {
    const std::string text = filter ? std::string(texts::filterMenuText(k)) : texts::gateMenuText(k);
    width = std::max(width, menuItemWidth(text));
  }
  const int itemHeight = menuItemHeight();
  if (menu_.image.width() != width || menu_.image.height() != count * itemHeight) {
    menu_.image = Image(width, count * itemHeight, kBlack);
  }
  for (int k = 0; k < count; ++k) {
    const Rect rect{0, k * itemHeight, width, (k + 1) * itemHeight};
    if (filter) {
      DrawFilter(menu_.image, rect, k == menu_.hover, k);
    } else {
      GateDraw(menu_.image, rect, k == menu_.hover, k);
    }
  }
}

void TPluginEditorWindow::closeMenu() {
  menu_.which = Menu::None;
  menu_.hover = -1;
  backend_->hideMenu();
}

void TPluginEditorWindow::menuPointerMoved(int x, int y) {
  std::lock_guard lock(windowLock_);
  if (menu_.which == Menu::None) return;
  const bool inside = contains(menu_.image.bounds(), x, y);
  const int hover = inside ? y / menuItemHeight() : -1;
  if (std::abs(x) > kDoubleClickDistance || std::abs(y) > kDoubleClickDistance) menu_.armed = true;
  if (hover != menu_.hover) {
    menu_.hover = hover;
    drawMenu();
    backend_->presentMenu(menu_.image);
  }
}

void TPluginEditorWindow::menuPointerPressed(int x, int y) {
  std::lock_guard lock(windowLock_);
  if (menu_.which == Menu::None) return;
  if (!contains(menu_.image.bounds(), x, y)) {
    closeMenu();  // a press outside closes the menu without a choice
    return;
  }
  menu_.armed = true;
  menuPointerMoved(x, y);
}

void TPluginEditorWindow::menuPointerReleased(int x, int y) {
  std::lock_guard lock(windowLock_);
  if (menu_.which == Menu::None || !menu_.armed || !contains(menu_.image.bounds(), x, y)) return;
  const Menu which = menu_.which;
  const int item = y / menuItemHeight();
  closeMenu();
  if (which == Menu::Filter) ClickFilter(item);
  if (which == Menu::Gate) ClickGate(item);
  flush();
}

void TPluginEditorWindow::menuCancelled() {
  std::lock_guard lock(windowLock_);
  if (menu_.which != Menu::None) closeMenu();
}

void TPluginEditorWindow::ClickFilter(int item) {
  if (item < 0 || item >= texts::kFilterMenuItems) return;
  setfvar(menuTarget_, choiceValue(item, kFilterTypeCount));
  SetControl(menuTarget_);
}

void TPluginEditorWindow::ClickGate(int item) {
  if (item < 0 || item >= texts::gateMenuItems()) return;
  setfvar(kGateLength, choiceValue(item, texts::gateMenuItems()));
  SetControl(kGateLength);
}

}  // namespace tamblin
