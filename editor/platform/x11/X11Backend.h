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
// into the instrument that the events bring are made after the lock is let go (WindowLock).
class X11Backend final : public WindowBackend {
 public:
  static constexpr int kIdleGraceMs = 250;
  // How long close() waits for a call into the host that the event thread has under way.
  static constexpr int kHostCallGraceMs = 500;

  X11Backend() = default;
  // A host that runs its own loop (watching connectionFd() and calling idle() from its timer) wants no
  // thread of ours: with hostDriven set, open() starts none.
  explicit X11Backend(bool hostDriven) : hostDriven_(hostDriven) {}
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

  // The child window's id (0 before open), for tests.
  ::Window window() const { return window_; }
  // The X connection's file descriptor, -1 before open.
  int connectionFd() const { return display_ != nullptr ? ConnectionNumber(display_) : -1; }

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

  bool hostDriven_ = false;
  std::thread thread_;
  std::shared_ptr<ThreadState> threadState_;
  std::atomic<int64_t> lastIdleMs_{-1000000};
  int wakeRead_ = -1, wakeWrite_ = -1;
  Clock::time_point start_ = Clock::now();
  Clock::time_point nextLamp_{}, nextRefresh_{};
};

}  // namespace tamblin
