// Chooses the editor window this build provides: the drawn window on the platform's backend.
#include "EditorWindow.h"
#include "uEditor.h"

namespace tamblin {

std::unique_ptr<EditorWindow> createEditorWindow() { return std::make_unique<TPluginEditorWindow>(); }

}  // namespace tamblin
