// The editor bridge: size, open and close counting, and the copy of the values into the window.
#include "APluginEditor.h"

#include <array>
#include <thread>

#include "uPlugin.h"

APluginEditor::APluginEditor(APlugin* plugin) : AEffEditor(plugin), plugin(plugin) {}

APluginEditor::~APluginEditor() {
  if (window_) {
    plugin->setEditorClosed(true);
    destroyWindow();
  }
}

VstInt32 APluginEditor::getRect(ERect** hostRect) {
  if (!hostRect) return 0;
  rect.top = 0;
  rect.left = 0;
  if (window_) {
    rect.bottom = static_cast<int16_t>(window_->ClientHeight());
    rect.right = static_cast<int16_t>(window_->ClientWidth());
  } else {
    rect.bottom = kClosedHeight;
    rect.right = kClosedWidth;
  }
  *hostRect = &rect;
  return 1;
}

VstInt32 APluginEditor::open(void* hostWindow) {
  // Without a parent there is nowhere to put the window.
  if (!hostWindow) return 0;
  parentWindow = hostWindow;
  ++openCount_;
  if (openCount_ == 1 || !window_) {
    std::array<float, tamblin::kNumStoredValues> values;
    for (int i = 0; i < tamblin::kNumStoredValues; ++i) values[i] = plugin->soundEngine().param(i);
    std::unique_ptr<tamblin::EditorWindow> created = windowFactory();
    if (!created || !tamblin::openEditorWindow(*created, parentWindow, values, linkToInstrument(*plugin))) {
      --openCount_;
      if (openCount_ == 0) parentWindow = nullptr;
      return 0;
    }
    window_ = std::move(created);
    liveWindow.store(window_.get());
  }
  plugin->setEditorClosed(false);
  // A change made on another thread while the window was being made found the editor closed and
  // copied nothing: copy once more now that update() sees the window.
  update();
  window_->Update();
  window_->Show();
  window_->SetAll();
  return 1;
}

void APluginEditor::close() {
  if (window_) window_->Hide();
  if (openCount_ > 0) --openCount_;
  if (openCount_ == 0) {
    plugin->setEditorClosed(true);
    destroyWindow();
    parentWindow = nullptr;
  }
}

void APluginEditor::idle() {
  if (window_) window_->idle();
}

// update() announces its copy and then looks for the window; destroyWindow() withdraws the window and
// then looks for copies. The four steps are sequentially consistent, so at least one side sees the
// other: the copy finds no window, or destruction waits for the copy. (With release stores and acquire
// loads both sides could miss each other, and a copy could write into a window already freed.)
void APluginEditor::update() {
  if (plugin->isEditorClosed()) return;
  copiesInFlight.fetch_add(1, std::memory_order_seq_cst);
  if (tamblin::EditorWindow* w = liveWindow.load(std::memory_order_seq_cst)) {
    tamblin::Engine& engine = plugin->soundEngine();
    for (int i = 0; i < tamblin::kNumStoredValues; ++i) w->setParamValue(i, engine.param(i));
  }
  copiesInFlight.fetch_sub(1, std::memory_order_release);
}

void APluginEditor::destroyWindow() {
  liveWindow.store(nullptr, std::memory_order_seq_cst);
  while (copiesInFlight.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
  window_.reset();
}
