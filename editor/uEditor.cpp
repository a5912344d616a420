// TPluginEditorWindow: creation, drawing the controls, label line and gate column, values and timers.
// The public entries take the window lock; everything they call runs under it. The pointer and the menus
// are in EditorPointer.cpp.
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

}  // namespace tamblin
