// The narrow interface between the editor bridge and the editor window it owns.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "ParameterTable.h"

class APlugin;

namespace tamblin {

// The window the bridge creates inside the host's window. Every call comes from the host's
// user-interface thread, except that paramValues may be written from any thread.
class EditorWindow {
 public:
  virtual ~EditorWindow() = default;

  // Runs the window's creation steps as a child of the host's native window (an X11 Window id on
  // Linux, an HWND on Windows). False when no window could be made; the bridge then answers 0.
  virtual bool create(void* parentWindow) = 0;
  virtual void SetBounds(int left, int top, int width, int height) = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  virtual void setInstrument(APlugin* instrument) = 0;
  virtual void Update() = 0;  // paint what is pending
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual void SetAll() = 0;  // draw every control whose value differs from what it last drew
  // The host's editor idle: platforms without their own event thread pump events here.
  virtual void idle() {}

  // The window's copy of the instrument's values: whole floats, no lock.
  void setParamValue(int index, float value) { paramValues[index].store(value, std::memory_order_relaxed); }
  float paramValue(int index) const { return paramValues[index].load(std::memory_order_relaxed); }

  std::atomic<float> paramValues[kNumStoredValues] = {};
};

// Makes the window this build provides (the drawn editor, or a window that only keeps values).
std::unique_ptr<EditorWindow> createEditorWindow();

}  // namespace tamblin
