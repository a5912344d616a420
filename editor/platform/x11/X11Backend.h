// The X11 backend: a child window in the host's window, pointer grabs, menu windows, timers, events.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/WindowBackend.h"

namespace tamblin {

// Events reach the window in one of two ways. While the host calls effEditIdle (at least every
// kIdleGraceMs), idle() reads the X events and runs the timers on the host's thread. When it does
// not, the backend's own thread waits on the X connection with poll() and does the same. Either way
// every piece of window code runs under the window's lock, so the two never overlap, and the calls
// into the instrument that the events bring are made after the lock is let go (WindowLock). Driven by
// its owner (setDrivenByOwner), the backend starts no thread: idle() alone does all of it.
//
// A connection that breaks (the X server dies) ends only the editor: Xlib's fatal-error path runs our
// handlers for the editor's connections, which mark it lost and return; from then on the backend makes
// no X call but closing the connection, and connectionLost() tells the owner.
class X11Backend final : public WindowBackend {
 public:
  static constexpr int kIdleGraceMs = 250;
  // How long close() waits for a call into the host that the event thread has under way.
  static constexpr int kHostCallGraceMs = 500;

  X11Backend() = default;
  ~X11Backend() override;

  bool open(void* parentWindow, int width, int height, WindowEvents& events) override;
  void close() override;
  void setBounds(int left, int top, int width, int height) override;
  void setVisible(bool visible) override;
  void present(const Image& frame, const Rect& area) override;
  void capturePointer() override;
  void releasePointer() override;
  void showMenu(int windowX, int windowY, const Image& menu) override;
  void presentMenu(const Image& menu) override;
  void hideMenu() override;
  void idle() override;
  void setDrivenByOwner(bool driven) override { drivenByOwner_ = driven; }
  bool connectionLost() const override { return lost_.load(); }

  // The X connection's file descriptor while open, else -1: an owner that drives the backend watches it.
  int connectionFd() const { return display_ != nullptr ? ConnectionNumber(display_) : -1; }
  // The child window's id (0 before open), for tests.
  ::Window window() const { return window_; }

 private:
  using Clock = std::chrono::steady_clock;

  // What the event thread and close() share; it outlives the backend when close() lets the thread go.
  struct ThreadState {
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<bool> stopping{false};  // written under the mutex, read also without it
    bool calling = false;               // in a call into the instrument (and so the host)
    bool finished = false;              // out of its loop
    bool letGo = false;  // close() did not wait: the thread touches nothing of the backend again
  };

  void run(const std::shared_ptr<ThreadState>& state);
  // Makes the calls the events queued; false when close() let the thread go meanwhile.
  static bool makeCalls(std::vector<HostCall>& calls, ThreadState& state);
  void pump();
  void handle(XEvent& event);
  void runTimers();
  void endLostDrag(unsigned int state);
  void putImage(::Window target, XImage* image, const Image& source, const Rect& area);
  XImage* makeImage(int width, int height);
  void releaseResources();
  // Open and its connection not lost: X calls may be made.
  bool live() const { return display_ != nullptr && !lost_.load(); }

  Display* display_ = nullptr;
  ::Window window_ = 0;
  ::Window menuWindow_ = 0;
  Visual* visual_ = nullptr;
  Colormap colormap_ = 0;
  GC gc_ = nullptr;
  XImage* image_ = nullptr;
  XImage* menuImage_ = nullptr;
  WindowEvents* events_ = nullptr;
  int width_ = 0, height_ = 0;
  int menuX_ = 0, menuY_ = 0;
  Image menuPicture_;  // what the menu window shows, for its exposures
  bool menuOpen_ = false;
  bool dragGrab_ = false;    // the window holds the pointer for a drag
  bool windowGone_ = false;  // destroyed with the host's window before the editor closed
  bool drivenByOwner_ = false;
  std::atomic<bool> lost_{false};  // set by Xlib's fatal-error path, on whichever thread met it

  std::thread thread_;
  std::shared_ptr<ThreadState> threadState_;
  std::atomic<int64_t> lastIdleMs_{-1000000};
  int wakeRead_ = -1, wakeWrite_ = -1;
  Clock::time_point start_ = Clock::now();
  Clock::time_point nextLamp_{}, nextRefresh_{};
};

}  // namespace tamblin
