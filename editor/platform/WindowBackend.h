// The short list of services a platform gives the editor window, and the events it hands back.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "Canvas.h"
#include "InstrumentLink.h"

namespace tamblin {

enum class MouseButton { Left, Right, Middle };

// An automated parameter change for the instrument, made once the window lock is let go.
struct HostCall {
  std::shared_ptr<InstrumentLink> link;
  int index = 0;
  float value = 0.0f;
};

// The window's lock: recursive, and all window code runs under it. The window's calls into the
// instrument, which end in the host's callback, wait in a queue while it is held; the thread that
// lets go of it last makes them, in order, after letting go. A host may hold a lock of its own
// around its requests to the editor and take the same lock in that callback.
class WindowLock {
 public:
  void lock() {
    mutex_.lock();
    ++depth_;
  }
  bool try_lock() {
    if (!mutex_.try_lock()) return false;
    ++depth_;
    return true;
  }
  void unlock() {
    std::vector<HostCall> calls;
    unlockTakingCalls(calls);
    make(calls);
  }
  // Lets go as unlock does, but hands the queued calls to the caller instead of making them.
  void unlockTakingCalls(std::vector<HostCall>& calls) {
    if (depth_ == 1) {
      calls.insert(calls.end(), std::make_move_iterator(queued_.begin()),
                   std::make_move_iterator(queued_.end()));
      queued_.clear();
    }
    --depth_;
    mutex_.unlock();
  }
  // With the lock held.
  void queue(HostCall call) { queued_.push_back(std::move(call)); }
  static void make(std::vector<HostCall>& calls) {
    for (HostCall& call : calls) call.link->setParameterAutomated(call.index, call.value);
    calls.clear();
  }

 private:
  std::recursive_mutex mutex_;
  int depth_ = 0;
  std::vector<HostCall> queued_;
};

// Implemented by the editor window. A backend calls these on the thread that runs the window,
// always holding windowLock(); coordinates are window client pixels (menu pixels for menu events).
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual WindowLock& windowLock() = 0;
  virtual void pointerPressed(MouseButton button, bool shift, int x, int y, uint32_t timeMs) = 0;
  virtual void pointerMoved(bool shift, int x, int y) = 0;
  virtual void pointerReleased(MouseButton button, bool shift, int x, int y) = 0;
  // The left button is up although its release never came (the grab ended with the window unmapped
  // under it): the drag ends as at a release, but nothing counts as a click.
  virtual void pointerCaptureLost() = 0;
  virtual void menuPointerMoved(int x, int y) = 0;
  virtual void menuPointerPressed(int x, int y) = 0;
  virtual void menuPointerReleased(int x, int y) = 0;
  virtual void menuCancelled() = 0;
  virtual void timerElapsed(int timer) = 0;  // kGateLampTimer or kRefreshTimer
  virtual const Image& composedFrame() const = 0;
};

constexpr int kGateLampTimer = 1;  // Timer1, every 25 ms
constexpr int kRefreshTimer = 2;   // Timer2, every 200 ms
constexpr int kGateLampIntervalMs = 25;
constexpr int kRefreshIntervalMs = 200;

// A platform's window: a child of the host's window showing the composed frame, pointer capture,
// pop-up menu windows and the two timers. Every call but close() comes with the window lock held.
class WindowBackend {
 public:
  virtual ~WindowBackend() = default;
  // Makes the child window inside the host's window; false when none can be made.
  virtual bool open(void* parentWindow, int width, int height, WindowEvents& events) = 0;
  // Stops event delivery and destroys every window; called without the window lock. Safe to repeat.
  virtual void close() = 0;
  virtual void setBounds(int left, int top, int width, int height) = 0;
  virtual void setVisible(bool visible) = 0;
  // Shows the area of the frame on screen.
  virtual void present(const Image& frame, const Rect& area) = 0;
  // Pointer capture during a drag: every move and the release come to the window until released.
  virtual void capturePointer() = 0;
  virtual void releasePointer() = 0;
  // A pop-up menu with its top-left at the window point, kept wholly on screen, modal until hidden.
  virtual void showMenu(int windowX, int windowY, const Image& menu) = 0;
  virtual void presentMenu(const Image& menu) = 0;
  virtual void hideMenu() = 0;
  // The host's editor idle.
  virtual void idle() {}
  // Before open(): true when the owner calls idle() on its user-interface thread often (every 25 ms or
  // so) and wants every event, timer and call into the instrument made there, never on a thread of
  // the backend's (an LV2 UI, whose host allows its functions only on the host's UI thread).
  virtual void setDrivenByOwner(bool driven) { (void)driven; }
  // The connection to the window system is gone (an X server that died): the window shows nothing more
  // and its owner should close it.
  virtual bool connectionLost() const { return false; }
};

// The backend of this platform (X11 on Linux, Win32 on Windows).
std::unique_ptr<WindowBackend> createPlatformBackend();

}  // namespace tamblin
