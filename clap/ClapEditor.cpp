// The editor window inside the host's window, its edits sent to the plug-in, its events pumped by the
// host's timer on the main thread.
#include "ClapEditor.h"

#include <array>
#include <cstring>

#include "ClapPlugin.h"

namespace tamblin::clap {

namespace {

// Edits become the plug-in's reported edits; the gate lamp follows the engine.
class EditorLink final : public InstrumentLink {
 public:
  explicit EditorLink(Plugin& plugin) : plugin_(plugin) {}
  void setParameterAutomated(int index, float value) override { plugin_.editorEdit(index, value); }
  float gatePosition() const override { return plugin_.instrument().gatePosition(); }

 private:
  Plugin& plugin_;
};

// The window's events every 16 ms: pointer drags follow smoothly and the 25 ms gate lamp keeps time.
constexpr uint32_t kIdlePeriodMs = 16;

}  // namespace

const char* ClapEditor::platformApi() {
#if defined(_WIN32)
  return CLAP_WINDOW_API_WIN32;
#else
  return CLAP_WINDOW_API_X11;
#endif
}

void ClapEditor::init() {
  timers_ = static_cast<const clap_host_timer_support_t*>(plugin_.hostExtension(CLAP_EXT_TIMER_SUPPORT));
  if (timers_ != nullptr && (timers_->register_timer == nullptr || timers_->unregister_timer == nullptr)) {
    timers_ = nullptr;
  }
}

bool ClapEditor::isApiSupported(const char* api, bool floating) const {
  return api != nullptr && !floating && std::strcmp(api, platformApi()) == 0;
}

bool ClapEditor::create(const char* api, bool floating) {
  if (created_ || !isApiSupported(api, floating) || !plugin_.onHostMainThread()) return false;
  created_ = true;
  return true;
}

void ClapEditor::destroy() {
  if (!created_) return;
  if (timer_ != CLAP_INVALID_ID && timers_ != nullptr) timers_->unregister_timer(plugin_.host(), timer_);
  timer_ = CLAP_INVALID_ID;
  slot_.close();
  created_ = false;
}

bool ClapEditor::setParent(const clap_window_t* window) {
  if (!created_ || slot_.window() != nullptr || window == nullptr || window->api == nullptr ||
      std::strcmp(window->api, platformApi()) != 0 || !plugin_.onHostMainThread()) {
    return false;
  }
#if defined(_WIN32)
  void* parent = window->win32;
#else
  void* parent = reinterpret_cast<void*>(static_cast<uintptr_t>(window->x11));
#endif
  if (parent == nullptr) return false;
  std::array<float, kNumStoredValues> values;
  for (int i = 0; i < kNumStoredValues; ++i) values[static_cast<size_t>(i)] = plugin_.instrument().parameter(i);
  if (!slot_.open(parent, values, std::make_unique<EditorLink>(plugin_))) return false;
  if (timers_ != nullptr && !timers_->register_timer(plugin_.host(), kIdlePeriodMs, &timer_)) {
    timer_ = CLAP_INVALID_ID;
  }
  return true;
}

bool ClapEditor::show() {
  if (slot_.window() == nullptr) return false;
  slot_.window()->Show();
  return true;
}

bool ClapEditor::hide() {
  if (slot_.window() == nullptr) return false;
  slot_.window()->Hide();
  return true;
}

void ClapEditor::onTimer(clap_id timer) {
  if (timer != timer_ || timer_ == CLAP_INVALID_ID || slot_.window() == nullptr) return;
  slot_.window()->idle();
}

}  // namespace tamblin::clap
