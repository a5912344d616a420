// The LV2 UI: the instrument's editor window inside the host's window, talking to the plug-in only
// through port writes and port events. Everything runs on the host's UI thread: the window makes no
// thread of its own, its events and timers run in idle(), which the host must call.
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/patch/patch.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "Atoms.h"
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

// The URIDs of the plug-in's notifications, when the host maps URIs for the UI.
struct NotifyUrids {
  LV2_URID eventTransfer = 0, object = 0, patchSet = 0, property = 0, value = 0, urid = 0, floatType = 0;
  LV2_URID parameters[kNumParams] = {};

  explicit NotifyUrids(const LV2_URID_Map* map) {
    if (map == nullptr || map->map == nullptr) return;
    auto id = [map](const char* uri) { return map->map(map->handle, uri); };
    eventTransfer = id(LV2_ATOM__eventTransfer);
    object = id(LV2_ATOM__Object);
    patchSet = id(LV2_PATCH__Set);
    property = id(LV2_PATCH__property);
    value = id(LV2_PATCH__value);
    urid = id(LV2_ATOM__URID);
    floatType = id(LV2_ATOM__Float);
    for (int i = 0; i < kNumParams; ++i) parameters[i] = id((kParameterUriPrefix + parameterPort(i).symbol).c_str());
  }
  bool usable() const { return eventTransfer != 0; }
  int parameterOf(LV2_URID property) const {
    for (int i = 0; i < kNumParams; ++i)
      if (parameters[i] == property) return i;
    return -1;
  }
};

class EditorUi {
 public:
  EditorUi(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_URID_Map* map)
      : write_(write), controller_(controller), urids_(map) {}

  // [host's UI thread, as every call here]
  bool open(void* parent) {
    auto backend = std::make_unique<X11Backend>();
    X11Backend* x11 = backend.get();
    window_ = std::make_unique<TPluginEditorWindow>(std::move(backend));
    window_->setDrivenByHost(true);
    if (!window_->create(parent)) return false;
    window_->SetBounds(0, 0, window_->Width(), window_->Height());
    for (int i = 0; i < kNumParams; ++i) window_->setParamValue(i, parameterPort(i).defaultValue);
    auto link = std::make_unique<PortLink>(write_, controller_);
    link_ = link.get();
    window_->setInstrumentLink(std::move(link));
    window_->Show();
    window_->SetAll();
    widget_ = x11->window();
    return widget_ != 0;
  }

  // A port's value from the host: parameters reach the window's copy, which its refresh timer
  // redraws; the gate lamp's timer reads the step. A parameter a controller changed comes as a
  // patch:Set on the notification port: the window shows it, and the port write tells the host.
  void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    if (buffer == nullptr) return;
    if (port == kNotifyPort && urids_.usable() && format == urids_.eventTransfer) {
      notification(size, *static_cast<const LV2_Atom*>(buffer));
      return;
    }
    if (format != 0 || size != sizeof(float)) return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    if (port < static_cast<uint32_t>(kNumParams)) {
      window_->setParamValue(static_cast<int>(port), value);
    } else if (port == kGateLampPort && link_ != nullptr) {
      link_->setGatePosition(value >= 0.0f && value < kGateLampMaximum ? value : 0.0f);
    }
  }

  // Pumps the window's events and timers; nonzero (close the UI) once the X connection is gone.
  int idle() {
    if (window_->connectionLost()) return 1;
    window_->idle();
    return window_->connectionLost() ? 1 : 0;
  }

  ::Window widget() const { return widget_; }

 private:
  // `size` bytes hold the atom: header and body are checked against it before they are read.
  void notification(uint32_t size, const LV2_Atom& atom) {
    if (size < sizeof(LV2_Atom) || atom.size > size - sizeof(LV2_Atom) || atom.type != urids_.object) return;
    const auto& object = reinterpret_cast<const LV2_Atom_Object&>(atom);
    int index = -1;
    float value = -1.0f;
    const bool whole = forEachProperty(object, [&](const LV2_Atom_Property_Body& property) {
      uint32_t urid = 0;
      if (property.key == urids_.property && valueOf(property, urids_.urid, urid)) index = urids_.parameterOf(urid);
      if (property.key == urids_.value) valueOf(property, urids_.floatType, value);
    });
    if (!whole || object.body.otype != urids_.patchSet || index < 0 || !(value >= 0.0f && value <= 1.0f)) return;
    window_->setParamValue(index, value);
    write_(controller_, static_cast<uint32_t>(kFirstParameterPort + index), sizeof value, 0, &value);
  }

  LV2UI_Write_Function write_;
  LV2UI_Controller controller_;
  NotifyUrids urids_;
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
  const LV2_URID_Map* map = nullptr;
  bool hostCallsIdle = false;
  for (int i = 0; features != nullptr && features[i] != nullptr; ++i) {
    if (std::strcmp(features[i]->URI, LV2_UI__parent) == 0) parent = features[i]->data;
    if (std::strcmp(features[i]->URI, LV2_UI__resize) == 0)
      resize = static_cast<const LV2UI_Resize*>(features[i]->data);
    if (std::strcmp(features[i]->URI, LV2_URID__map) == 0) map = static_cast<const LV2_URID_Map*>(features[i]->data);
    if (std::strcmp(features[i]->URI, LV2_UI__idleInterface) == 0) hostCallsIdle = true;
  }
  // Without idle calls the window would never see an event: a host that does not offer them gets none.
  if (parent == nullptr || !hostCallsIdle) return nullptr;
  auto ui = std::unique_ptr<EditorUi>(new (std::nothrow) EditorUi(write, controller, map));
  if (!ui || !ui->open(parent)) return nullptr;
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
