// The editor's C interface for the page: the drawn window on a backend that keeps what it would show for
// the page to copy into its canvas, pointer and timer events from the page, and the edits it makes.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "InstrumentLink.h"
#include "Layout.h"
#include "ParameterTable.h"
#include "platform/WindowBackend.h"
#include "uEditor.h"

namespace tamblin {
namespace {

constexpr int kFrameWidth = TPluginEditorWindow::kClientWidth;
constexpr int kFrameHeight = TPluginEditorWindow::kClientHeight;
// Menus are a column of items no wider or taller than the window.
constexpr int kMaxMenuPixels = kFrameWidth * kFrameHeight;
// Edits between two takes: a drag gives one per pointer move, a menu choice one.
constexpr int kMaxEdits = 256;

// RGBA rows for an HTML canvas, from the canvas code's RGB image.
void copyRgba(const Image& image, const Rect& area, uint8_t* out, int outWidth) {
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      const Color c = image.pixel(x, y);
      uint8_t* p =
          out + (static_cast<size_t>(y) * static_cast<size_t>(outWidth) + static_cast<size_t>(x)) * 4;
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
      p[3] = 255;
    }
  }
}

// The page as the window's platform: what changed on screen and the menu, kept for the page to take.
class PageBackend final : public WindowBackend {
 public:
  bool open(void*, int, int, WindowEvents&) override { return true; }
  void close() override { menuShown = false; }
  void setBounds(int, int, int, int) override {}
  void setVisible(bool) override {}
  void present(const Image& frame, const Rect& area) override {
    copyRgba(frame, area, framePixels, kFrameWidth);
    if (dirty.width() <= 0 || dirty.height() <= 0) {
      dirty = area;
    } else {
      dirty = Rect{std::min(dirty.left, area.left), std::min(dirty.top, area.top),
                   std::max(dirty.right, area.right), std::max(dirty.bottom, area.bottom)};
    }
  }
  // The page captures the pointer itself from the press on (setPointerCapture).
  void capturePointer() override {}
  void releasePointer() override {}
  void showMenu(int windowX, int windowY, const Image& menu) override {
    menuShown = true;
    menuX = windowX;
    menuY = windowY;
    presentMenu(menu);
  }
  void presentMenu(const Image& menu) override {
    if (menu.width() * menu.height() > kMaxMenuPixels) {
      menuWidth = menuHeight = 0;
    } else {
      menuWidth = menu.width();
      menuHeight = menu.height();
      copyRgba(menu, menu.bounds(), menuPixels, menuWidth);
    }
    ++menuVersion;
  }
  void hideMenu() override {
    menuShown = false;
    ++menuVersion;
  }

  uint8_t framePixels[kFrameWidth * kFrameHeight * 4] = {};
  Rect dirty{0, 0, kFrameWidth, kFrameHeight};
  bool menuShown = false;
  int menuX = 0, menuY = 0, menuWidth = 0, menuHeight = 0;
  int menuVersion = 0;
  uint8_t menuPixels[kMaxMenuPixels * 4] = {};
};

// The edits the window makes, waiting for the page to send them to the worklet, and the gate position
// the worklet last reported.
class PageLink final : public InstrumentLink {
 public:
  void setParameterAutomated(int index, float value) override {
    // An index already listed takes the new value in place: the page sends the latest of each.
    for (int k = count - 1; k >= 0; --k) {
      if (indices[k] == index) {
        values[k] = value;
        return;
      }
    }
    if (count == kMaxEdits) return;
    indices[count] = index;
    values[count] = value;
    ++count;
  }
  float gatePosition() const override { return gate; }

  int indices[kMaxEdits] = {};
  float values[kMaxEdits] = {};
  int count = 0;
  float gate = 0.0f;
};

struct PageEditor {
  PageBackend* backend = nullptr;  // owned by the window
  PageLink* link = nullptr;        // owned by the window
  std::unique_ptr<TPluginEditorWindow> window;
  int dirtyRect[4] = {};
  int menuRect[4] = {};
  int controlRect[4] = {};
  int editIndices[kMaxEdits] = {};
  float editValues[kMaxEdits] = {};
};

PageEditor* gEditor = nullptr;

MouseButton buttonOf(int button) {
  if (button == 1) return MouseButton::Middle;
  if (button == 2) return MouseButton::Right;
  return MouseButton::Left;
}

}  // namespace

// The editor builds its window on the page's backend; nothing asks for another.
std::unique_ptr<WindowBackend> createPlatformBackend() { return std::make_unique<PageBackend>(); }

}  // namespace tamblin

using tamblin::gEditor;

extern "C" {

// Builds the editor window with every value 0 (the page sends the instrument's values next); 1 when it
// is there.
EMSCRIPTEN_KEEPALIVE int tamblin_editor_create() {
  using namespace tamblin;
  if (gEditor != nullptr) return 1;
  auto* editor = new (std::nothrow) PageEditor();
  if (editor == nullptr) return 0;
  auto backend = std::make_unique<PageBackend>();
  editor->backend = backend.get();
  editor->window = std::make_unique<TPluginEditorWindow>(std::move(backend));
  auto link = std::make_unique<PageLink>();
  editor->link = link.get();
  TPluginEditorWindow& window = *editor->window;
  window.setDecimalSeparator(".");
  if (!window.create(nullptr)) {
    delete editor;
    return 0;
  }
  window.setInstrumentLink(std::move(link));
  window.Show();
  window.SetAll();
  gEditor = editor;
  return 1;
}

EMSCRIPTEN_KEEPALIVE int tamblin_editor_width() { return tamblin::kFrameWidth; }
EMSCRIPTEN_KEEPALIVE int tamblin_editor_height() { return tamblin::kFrameHeight; }

// A value the instrument holds; drawn at the next tamblin_editor_refresh() or refresh timer.
EMSCRIPTEN_KEEPALIVE void tamblin_editor_set_value(int index, float value) {
  if (gEditor && index >= 0 && index < tamblin::kNumStoredValues)
    gEditor->window->setParamValue(index, value);
}
EMSCRIPTEN_KEEPALIVE float tamblin_editor_value(int index) {
  if (!gEditor || index < 0 || index >= tamblin::kNumStoredValues) return 0.0f;
  return gEditor->window->paramValue(index);
}
EMSCRIPTEN_KEEPALIVE void tamblin_editor_refresh() {
  if (gEditor) gEditor->window->SetAll();
}
EMSCRIPTEN_KEEPALIVE void tamblin_editor_set_gate_position(float steps) {
  if (gEditor) gEditor->link->gate = steps;
}

// Pointer events in window pixels: kind 0 press, 1 move, 2 release, 3 capture lost; button 0 left,
// 1 middle, 2 right.
EMSCRIPTEN_KEEPALIVE void tamblin_editor_pointer(int kind, int button, int shift, int x, int y,
                                                 uint32_t timeMs) {
  if (!gEditor) return;
  tamblin::TPluginEditorWindow& window = *gEditor->window;
  if (kind == 0) window.pointerPressed(tamblin::buttonOf(button), shift != 0, x, y, timeMs);
  if (kind == 1) window.pointerMoved(shift != 0, x, y);
  if (kind == 2) window.pointerReleased(tamblin::buttonOf(button), shift != 0, x, y);
  if (kind == 3) window.pointerCaptureLost();
}

// Pointer events in menu pixels while a menu is shown: kind 0 press, 1 move, 2 release, 3 cancel.
EMSCRIPTEN_KEEPALIVE void tamblin_editor_menu_pointer(int kind, int x, int y) {
  if (!gEditor) return;
  tamblin::TPluginEditorWindow& window = *gEditor->window;
  if (kind == 0) window.menuPointerPressed(x, y);
  if (kind == 1) window.menuPointerMoved(x, y);
  if (kind == 2) window.menuPointerReleased(x, y);
  if (kind == 3) window.menuCancelled();
}

// The gate lamp timer (1, every 25 ms) and the refresh timer (2, every 200 ms).
EMSCRIPTEN_KEEPALIVE void tamblin_editor_timer(int timer) {
  if (gEditor) gEditor->window->timerElapsed(timer);
}

// The window's pixels (RGBA, width x height) and the area changed since the last call, as left, top,
// right, bottom in tamblin_editor_dirty_rect(); 0 when nothing changed.
EMSCRIPTEN_KEEPALIVE uint8_t* tamblin_editor_pixels() {
  return gEditor ? gEditor->backend->framePixels : nullptr;
}
EMSCRIPTEN_KEEPALIVE int* tamblin_editor_dirty_rect() { return gEditor ? gEditor->dirtyRect : nullptr; }
EMSCRIPTEN_KEEPALIVE int tamblin_editor_take_dirty() {
  if (!gEditor) return 0;
  tamblin::Rect& dirty = gEditor->backend->dirty;
  if (dirty.width() <= 0 || dirty.height() <= 0) return 0;
  gEditor->dirtyRect[0] = dirty.left;
  gEditor->dirtyRect[1] = dirty.top;
  gEditor->dirtyRect[2] = dirty.right;
  gEditor->dirtyRect[3] = dirty.bottom;
  dirty = tamblin::Rect{};
  return 1;
}

// The menu: how often it changed (shown, redrawn or hidden), whether it is shown, and where, in
// tamblin_editor_menu_rect() (x, y in window pixels, width, height), with its RGBA pixels.
EMSCRIPTEN_KEEPALIVE int tamblin_editor_menu_version() { return gEditor ? gEditor->backend->menuVersion : 0; }
EMSCRIPTEN_KEEPALIVE int tamblin_editor_menu_shown() {
  return gEditor && gEditor->backend->menuShown ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE int* tamblin_editor_menu_rect() {
  if (!gEditor) return nullptr;
  const tamblin::PageBackend& b = *gEditor->backend;
  gEditor->menuRect[0] = b.menuX;
  gEditor->menuRect[1] = b.menuY;
  gEditor->menuRect[2] = b.menuWidth;
  gEditor->menuRect[3] = b.menuHeight;
  return gEditor->menuRect;
}
EMSCRIPTEN_KEEPALIVE uint8_t* tamblin_editor_menu_pixels() {
  return gEditor ? gEditor->backend->menuPixels : nullptr;
}

// Where the control of a parameter (or a gate pattern's row of steps) is, in
// tamblin_editor_control_rect_values() (left, top, right, bottom in window pixels); 0 for a parameter without
// one. For the page's own checks.
EMSCRIPTEN_KEEPALIVE int tamblin_editor_control_rect(int index) {
  int image = tamblin::controlFor(index);
  // The gate patterns have their rows of steps.
  const auto places = tamblin::windowImages();
  for (size_t i = 0; image < 0 && i < places.size(); ++i) {
    const tamblin::ImageRole role = places[i].role;
    if ((role == tamblin::ImageRole::GateRow1 || role == tamblin::ImageRole::GateRow2) &&
        places[i].index == index)
      image = static_cast<int>(i);
  }
  if (!gEditor || image < 0) return 0;
  const tamblin::Rect r = tamblin::windowImages()[image].rect;
  gEditor->controlRect[0] = r.left;
  gEditor->controlRect[1] = r.top;
  gEditor->controlRect[2] = r.right;
  gEditor->controlRect[3] = r.bottom;
  return 1;
}
EMSCRIPTEN_KEEPALIVE int* tamblin_editor_control_rect_values() {
  return gEditor ? gEditor->controlRect : nullptr;
}

// The edits made since the last call: their count, then indices and values in the two lists.
EMSCRIPTEN_KEEPALIVE int tamblin_editor_take_edits() {
  if (!gEditor) return 0;
  tamblin::PageLink& link = *gEditor->link;
  const int count = link.count;
  std::copy(link.indices, link.indices + count, gEditor->editIndices);
  std::copy(link.values, link.values + count, gEditor->editValues);
  link.count = 0;
  return count;
}
EMSCRIPTEN_KEEPALIVE int tamblin_editor_max_edits() { return tamblin::kMaxEdits; }
EMSCRIPTEN_KEEPALIVE int* tamblin_editor_edit_indices() { return gEditor ? gEditor->editIndices : nullptr; }
EMSCRIPTEN_KEEPALIVE float* tamblin_editor_edit_values() { return gEditor ? gEditor->editValues : nullptr; }

}  // extern "C"
