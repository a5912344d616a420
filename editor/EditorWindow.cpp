// Making and opening the drawn editor window: the same steps for every format that shows it.
#include "EditorWindow.h"

#include <utility>

#include "uEditor.h"

namespace tamblin {

std::unique_ptr<EditorWindow> createEditorWindow() { return std::make_unique<TPluginEditorWindow>(); }

bool openEditorWindow(EditorWindow& window, void* parentWindow, std::span<const float> values,
                      std::unique_ptr<InstrumentLink> link) {
  if (!window.create(parentWindow)) return false;
  window.SetBounds(0, 0, window.Width(), window.Height());
  window.setParamValues(values);
  window.setInstrumentLink(std::move(link));
  return true;
}

std::unique_ptr<EditorWindow> makeEditorWindow(void* parentWindow, std::span<const float> values,
                                               std::unique_ptr<InstrumentLink> link) {
  std::unique_ptr<EditorWindow> window = createEditorWindow();
  if (!openEditorWindow(*window, parentWindow, values, std::move(link))) return nullptr;
  window->Update();
  window->Show();
  window->SetAll();
  return window;
}

}  // namespace tamblin
