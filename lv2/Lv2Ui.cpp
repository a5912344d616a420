// The LV2 UI: the instrument's editor window inside the host's window, talking to the plug-in only
// through port writes and port events.
#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "ParameterPorts.h"
#include "Ports.h"
#include "uEditor.h"

// Xlib's macros (None, Bool, ...) come after every other header.
#include "platform/x11/X11Backend.h"

namespace tamblin::lv2 {

namespace {

// The window's link to the plug-in: edits become port writes, the gate lamp reads the output port's
// last value.
class PortLink final : public InstrumentLink {
 public:
  PortLink(LV2UI_Write_Function write, LV2UI_Controller controller)
      : write_(write), controller_(controller) {}
  void setParameterAutomated(int index, float value) override {
    if (index < 0 || index >= kNumParams) return;
    write_(controller_, static_cast<uint32_t>(kFirstParameterPort + index), sizeof value, 0, &value);
  }
  float gatePosition() const override { return gateStep_.load(std::memory_order_relaxed); }
  void setGatePosition(float step) { gateStep_.store(step, std::memory_order_relaxed); }

 private:
  LV2UI_Write_Function write_;
  LV2UI_Controller controller_;
  std::atomic<float> gateStep_{0.0f};
};

class EditorUi {
 public:
  // Calls come from the host's UI thread; the window's own X11 thread takes over the events while
  // the host does not call idle.
  bool open(void* parent, LV2UI_Write_Function write, LV2UI_Controller controller) {
    auto backend = std::make_unique<X11Backend>();
    X11Backend* x11 = backend.get();
    window_ = std::make_unique<TPluginEditorWindow>(std::move(backend));
    if (!window_->create(parent)) return false;
    window_->SetBounds(0, 0, window_->Width(), window_->Height());
    for (int i = 0; i < kNumParams; ++i) window_->setParamValue(i, parameterPort(i).defaultValue);
    auto link = std::make_unique<PortLink>(write, controller);
    link_ = link.get();
    window_->setInstrumentLink(std::move(link));
    window_->Show();
    window_->SetAll();
    widget_ = x11->window();
    return widget_ != 0;
  }

  // A port's value from the host: parameters reach the window's copy, which its refresh timer
  // redraws; the gate lamp's timer reads the step.
  void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    if (format != 0 || size != sizeof(float) || buffer == nullptr) return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    if (port < static_cast<uint32_t>(kNumParams)) {
      window_->setParamValue(static_cast<int>(port), value);
    } else if (port == kGateLampPort && link_ != nullptr) {
      link_->setGatePosition(value >= 0.0f && value < kGateLampMaximum ? value : 0.0f);
    }
  }

  int idle() {
    window_->idle();
    return 0;
  }

  ::Window widget() const { return widget_; }

 private:
  std::unique_ptr<TPluginEditorWindow> window_;
  PortLink* link_ = nullptr;  // owned by the window
  ::Window widget_ = 0;
};

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
  if (pluginUri == nullptr || std::strcmp(pluginUri, kPluginUri) != 0 || write == nullptr ||
      widget == nullptr) {
    return nullptr;
  }
  void* parent = nullptr;
  const LV2UI_Resize* resize = nullptr;
  for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
    if (std::strcmp(features[i]->URI, LV2_UI__parent) == 0) parent = features[i]->data;
    if (std::strcmp(features[i]->URI, LV2_UI__resize) == 0)
      resize = static_cast<const LV2UI_Resize*>(features[i]->data);
  }
  if (parent == nullptr) return nullptr;
  auto ui = std::unique_ptr<EditorUi>(new (std::nothrow) EditorUi);
  if (!ui || !ui->open(parent, write, controller)) return nullptr;
  if (resize != nullptr && resize->ui_resize != nullptr) {
    resize->ui_resize(resize->handle, TPluginEditorWindow::kClientWidth, TPluginEditorWindow::kClientHeight);
  }
  *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(ui->widget()));
  return ui.release();
}

void cleanup(LV2UI_Handle handle) { delete static_cast<EditorUi*>(handle); }

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  static_cast<EditorUi*>(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) { return static_cast<EditorUi*>(handle)->idle(); }

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri) {
  return uri != nullptr && std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &kIdleInterface : nullptr;
}

const LV2UI_Descriptor kDescriptor = {kUiUri, instantiate, cleanup, portEvent, extensionData};

}  // namespace

}  // namespace tamblin::lv2

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? &tamblin::lv2::kDescriptor : nullptr;
}
