// TPluginEditorWindow's pointer: dials and sliders dragged and reset, gate steps, choice boxes and the
// drawn pop-up menus. Everything here runs under the window lock that the public entries take.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Drawing.h"
#include "Pictures.h"
#include "ValueTexts.h"
#include "uEditor.h"

namespace tamblin {

namespace {

float limit(double x) {
  if (!(x >= 0.0)) return 0.0f;  // below 0 or not a number
  if (x > 1.0) return 1.0f;
  return static_cast<float>(x);
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
