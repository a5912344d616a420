// The editor window inside the host's window, its edits sent to the plug-in, its events pumped on the
// host's main thread by the host's timer and its watch on the X connection.
#include "ClapEditor.h"

#include <array>
#include <cstring>
#include <thread>

#include "ClapPlugin.h"
#include "uEditor.h"

#if !defined(_WIN32)
// Xlib's macros (None, Bool, ...) come after every other header.
#include "platform/x11/X11Backend.h"
#endif

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
  fds_ = static_cast<const clap_host_posix_fd_support_t*>(plugin_.hostExtension(CLAP_EXT_POSIX_FD_SUPPORT));
  if (fds_ != nullptr && (fds_->register_fd == nullptr || fds_->unregister_fd == nullptr)) fds_ = nullptr;
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
  if (fd_ >= 0 && fds_ != nullptr) fds_->unregister_fd(plugin_.host(), fd_);
  timer_ = CLAP_INVALID_ID;
  fd_ = -1;
  closeWindow();
  created_ = false;
}

std::unique_ptr<EditorWindow> ClapEditor::makeWindow(void* parent) {
  std::array<float, kNumStoredValues> values;
  for (int i = 0; i < kNumStoredValues; ++i) values[static_cast<size_t>(i)] = plugin_.instrument().parameter(i);
  auto link = std::make_unique<EditorLink>(plugin_);
#if !defined(_WIN32)
  if (timers_ != nullptr) {
    // The host's timer (and watch) pump the events: the window needs no thread.
    auto backend = std::make_unique<X11Backend>();
    backend->setDrivenByOwner(true);
    X11Backend* x11 = backend.get();
    auto window = std::make_unique<TPluginEditorWindow>(std::move(backend));
    if (!openEditorWindow(*window, parent, values, std::move(link))) return nullptr;
    window->Update();
    window->Show();
    window->SetAll();
    hostDriven_ = true;
    fd_ = x11->connectionFd();
    return window;
  }
#endif
  hostDriven_ = false;
  return makeEditorWindow(parent, values, std::move(link));
}

bool ClapEditor::setParent(const clap_window_t* window) {
  if (!created_ || window_ != nullptr || window == nullptr || window->api == nullptr ||
      std::strcmp(window->api, platformApi()) != 0 || !plugin_.onHostMainThread()) {
    return false;
  }
#if defined(_WIN32)
  void* parent = window->win32;
#else
  void* parent = reinterpret_cast<void*>(static_cast<uintptr_t>(window->x11));
#endif
  if (parent == nullptr) return false;
  window_ = makeWindow(parent);
  if (window_ == nullptr) {
    fd_ = -1;
    return false;
  }
  live_.store(window_.get(), std::memory_order_seq_cst);
  if (timers_ != nullptr && !timers_->register_timer(plugin_.host(), kIdlePeriodMs, &timer_)) {
    timer_ = CLAP_INVALID_ID;
  }
  if (fd_ >= 0 && (fds_ == nullptr || !fds_->register_fd(plugin_.host(), fd_, CLAP_POSIX_FD_READ))) fd_ = -1;
  return true;
}

void ClapEditor::closeWindow() {
  live_.store(nullptr, std::memory_order_seq_cst);
  while (copiesInFlight_.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
  window_.reset();
  hostDriven_ = false;
}

void ClapEditor::valueChanged(int index, float value) {
  copiesInFlight_.fetch_add(1, std::memory_order_seq_cst);
  if (EditorWindow* w = live_.load(std::memory_order_seq_cst)) {
    if (index >= 0 && index < kNumStoredValues) w->setParamValue(index, value);
  }
  copiesInFlight_.fetch_sub(1, std::memory_order_release);
}

bool ClapEditor::show() {
  if (window_ == nullptr) return false;
  window_->Show();
  return true;
}

bool ClapEditor::hide() {
  if (window_ == nullptr) return false;
  window_->Hide();
  return true;
}

void ClapEditor::onTimer(clap_id timer) {
  if (timer == timer_ && timer_ != CLAP_INVALID_ID && window_ != nullptr) window_->idle();
}

void ClapEditor::onFd(int fd) {
  if (fd == fd_ && fd_ >= 0 && window_ != nullptr) window_->idle();
}

}  // namespace tamblin::clap
