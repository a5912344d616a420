// The stop signals held back while tamblin joins the JACK server, with a watcher for a server that
// never answers.
#pragma once

#include <signal.h>

#include <atomic>
#include <span>
#include <string>
#include <thread>

namespace tamblin::standalone {

// A call into the server that a signal interrupts fails, and tamblin would end with a false message
// and its programs unsaved: the stop signals are blocked while it joins. Threads started meanwhile
// (JACK's and the ALSA reader) keep them blocked for good, so they reach the main thread later. A stop
// asked for meanwhile is taken by a watcher thread and passed on (a byte on `wakeFd`) when the guard
// goes; should the server still not answer kLimitMs after it, the watcher ends tamblin with one line
// and status 1 (nothing has changed yet that could be lost).
class JoinGuard {
 public:
  static constexpr int kLimitMs = 2000;

  JoinGuard(std::span<const int> signals, int wakeFd, void (*say)(const std::string&));
  ~JoinGuard() { release(); }
  JoinGuard(const JoinGuard&) = delete;
  JoinGuard& operator=(const JoinGuard&) = delete;

  // Ends the hold: a stop asked for meanwhile is passed on.
  void release();

 private:
  void watch();

  sigset_t signals_;
  sigset_t previous_;
  int wakeFd_;
  void (*say_)(const std::string&);
  bool held_ = true;
  std::atomic<bool> released_{false};
  std::atomic<bool> asked_{false};
  std::thread watcher_;
};

}  // namespace tamblin::standalone
