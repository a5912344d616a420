// The editor window for CLAP hosts: embedded in the host's X11 window (Linux) or as a Win32 child
// window, fixed at 544 x 536, its events driven from the host's main thread by a host timer.
#pragma once

#include <cstdint>

#include "ClapExtensions.h"
#include "EditorSlot.h"

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
  // The host's timer.
  void onTimer(clap_id timer);

  // [any thread] A stored value changed: the open window shows it.
  void valueChanged(int index, float value) { slot_.setValue(index, value); }

 private:
  Plugin& plugin_;
  EditorSlot slot_;
  const clap_host_timer_support_t* timers_ = nullptr;
  bool created_ = false;
  clap_id timer_ = CLAP_INVALID_ID;
};

}  // namespace tamblin::clap
