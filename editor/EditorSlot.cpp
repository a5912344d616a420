// The editor slot: opening, closing and copies from other threads that never meet a freed window.
#include "EditorSlot.h"

#include <thread>

namespace tamblin {

bool EditorSlot::open(void* parentWindow, std::span<const float> values, std::unique_ptr<InstrumentLink> link,
                      std::unique_ptr<EditorWindow> window) {
  close();
  if (parentWindow == nullptr) return false;
  if (window == nullptr) {
    window_ = makeEditorWindow(parentWindow, values, std::move(link));
  } else if (openEditorWindow(*window, parentWindow, values, std::move(link))) {
    window->Update();
    window->Show();
    window->SetAll();
    window_ = std::move(window);
  }
  live_.store(window_.get(), std::memory_order_seq_cst);
  return window_ != nullptr;
}

void EditorSlot::close() {
  live_.store(nullptr, std::memory_order_seq_cst);
  while (copiesInFlight_.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
  window_.reset();
}

void EditorSlot::setValue(int index, float value) {
  copiesInFlight_.fetch_add(1, std::memory_order_seq_cst);
  if (EditorWindow* w = live_.load(std::memory_order_seq_cst)) {
    if (index >= 0 && index < kNumStoredValues) w->setParamValue(index, value);
  }
  copiesInFlight_.fetch_sub(1, std::memory_order_release);
}

}  // namespace tamblin
