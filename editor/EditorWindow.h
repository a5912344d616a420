// The editor window as its owner sees it: a window inside the host's, the copy of the parameter values
// it shows, and the link through which it reaches the instrument.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

#include "InstrumentLink.h"
#include "ParameterTable.h"

namespace tamblin {

// The window a plug-in format's editor creates inside the host's window. Every call comes from the
// host's user-interface thread, except that paramValues may be written from any thread.
class EditorWindow {
 public:
  virtual ~EditorWindow() = default;

  // Runs the window's creation steps as a child of the host's native window (an X11 Window id on
  // Linux, an HWND on Windows). False when no window could be made.
  virtual bool create(void* parentWindow) = 0;
  virtual void SetBounds(int left, int top, int width, int height) = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  // Where edits go and the gate position comes from; null: edits reach nobody.
  virtual void setInstrumentLink(std::unique_ptr<InstrumentLink> link) = 0;
  virtual void Update() = 0;  // paint what is pending
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual void SetAll() = 0;  // draw every control whose value differs from what it last drew
  // The host's editor idle: platforms without their own event thread pump events here.
  virtual void idle() {}
  // Before create(): the host calls idle() often on its UI thread, and every event, timer and call into
  // the link happens inside idle(), on that thread; the window starts no thread of its own.
  virtual void setDrivenByHost(bool driven) { (void)driven; }
  // The window system's connection is gone (the X server died): the window draws nothing more, and its
  // owner should close it; the process goes on.
  virtual bool connectionLost() const { return false; }

  // The window's copy of the instrument's values: whole floats, no lock.
  void setParamValue(int index, float value) { paramValues[index].store(value, std::memory_order_relaxed); }
  float paramValue(int index) const { return paramValues[index].load(std::memory_order_relaxed); }
  // Copies up to kNumStoredValues values, from index 0.
  void setParamValues(std::span<const float> values) {
    for (size_t i = 0; i < values.size() && i < kNumStoredValues; ++i) setParamValue(static_cast<int>(i), values[i]);
  }

  std::atomic<float> paramValues[kNumStoredValues] = {};
};

// The drawn editor window on the platform's backend, not yet created.
std::unique_ptr<EditorWindow> createEditorWindow();

// Creates `window` inside parentWindow at the origin, with the instrument's values and its link. False
// when no window could be made; the window then has neither.
bool openEditorWindow(EditorWindow& window, void* parentWindow, std::span<const float> values,
                      std::unique_ptr<InstrumentLink> link);

// The drawn editor, created inside parentWindow with the values and the link, and shown: what a plug-in
// format's editor or a standalone program calls. Null when no window could be made.
std::unique_ptr<EditorWindow> makeEditorWindow(void* parentWindow, std::span<const float> values,
                                               std::unique_ptr<InstrumentLink> link);

}  // namespace tamblin
