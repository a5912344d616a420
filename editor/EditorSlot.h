// An editor window that other threads may report parameter changes to while the user-interface thread
// opens and closes it: what a format or program that owns both the instrument and its editor keeps.
#pragma once

#include <atomic>
#include <memory>
#include <span>

#include "EditorWindow.h"

namespace tamblin {

class EditorSlot {
 public:
  EditorSlot() = default;
  ~EditorSlot() { close(); }
  EditorSlot(const EditorSlot&) = delete;
  EditorSlot& operator=(const EditorSlot&) = delete;

  // [ui thread] Makes the drawn editor inside parentWindow with the instrument's values and its link,
  // shown (makeEditorWindow); false when no window could be made. An open window is closed first.
  // `window`, when given, is the window to open instead of the platform's default one.
  bool open(void* parentWindow, std::span<const float> values, std::unique_ptr<InstrumentLink> link,
            std::unique_ptr<EditorWindow> window = nullptr);
  // [ui thread] Closes the window, waiting for copies in flight on other threads.
  void close();
  // [ui thread] The open window, or null.
  EditorWindow* window() const { return window_.get(); }

  // [any thread] Copies a value into the open window; nothing when none is open.
  void setValue(int index, float value);

 private:
  std::unique_ptr<EditorWindow> window_;
  // setValue() announces its copy and then looks for the window; close() withdraws the window and then
  // looks for copies. Sequentially consistent, so at least one side sees the other.
  std::atomic<EditorWindow*> live_{nullptr};
  std::atomic<int> copiesInFlight_{0};
};

}  // namespace tamblin
