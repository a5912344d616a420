// The editor window for CLAP hosts: embedded in the host's X11 window (Linux) or as a Win32 child
// window, fixed at 544 x 536. On Linux a host that offers timers (and file-descriptor watches) drives
// every X11 event from its main thread, and the window runs no thread of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "ClapExtensions.h"
#include "EditorWindow.h"

namespace tamblin::clap {

class Plugin;

class ClapEditor {
 public:
  explicit ClapEditor(Plugin& plugin) : plugin_(plugin) {}
  ~ClapEditor() { destroy(); }
  ClapEditor(const ClapEditor&) = delete;
  ClapEditor& operator=(const ClapEditor&) = delete;

  static const char* platformApi();

  // [main thread] After the host is known (plug-in init).
  void init();
  // clap_plugin_gui_t, [main thread].
  bool isApiSupported(const char* api, bool floating) const;
  bool create(const char* api, bool floating);
  void destroy();
  bool setParent(const clap_window_t* window);
  bool show();
  bool hide();
  // The host's timer and file-descriptor watch, [main thread].
  void onTimer(clap_id timer);
  void onFd(int fd);

  // [any thread] A stored value changed: the open window shows it.
  void valueChanged(int index, float value);
  // Whether the host drives the window's events (no event thread of the window's own).
  bool hostDriven() const { return hostDriven_; }

 private:
  std::unique_ptr<EditorWindow> makeWindow(void* parent);
  void closeWindow();

  Plugin& plugin_;
  std::unique_ptr<EditorWindow> window_;
  // valueChanged() announces its copy and then looks for the window; closeWindow() withdraws the
  // window and then waits for copies. Sequentially consistent, so at least one side sees the other.
  std::atomic<EditorWindow*> live_{nullptr};
  std::atomic<int> copiesInFlight_{0};

  const clap_host_timer_support_t* timers_ = nullptr;
  const clap_host_posix_fd_support_t* fds_ = nullptr;
  bool created_ = false;
  bool hostDriven_ = false;
  clap_id timer_ = CLAP_INVALID_ID;
  int fd_ = -1;
};

}  // namespace tamblin::clap
