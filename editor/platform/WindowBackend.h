// The short list of services a platform gives the editor window, and the events it hands back.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "Canvas.h"

namespace tamblin {

enum class MouseButton { Left, Right, Middle };

// Implemented by the editor window. A backend calls these on the thread that runs the window,
// always holding windowLock(); coordinates are window client pixels (menu pixels for menu events).
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual std::recursive_mutex& windowLock() = 0;
  virtual void pointerPressed(MouseButton button, bool shift, int x, int y, uint32_t timeMs) = 0;
  virtual void pointerMoved(bool shift, int x, int y) = 0;
  virtual void pointerReleased(MouseButton button, bool shift, int x, int y) = 0;
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
};

// The backend of this platform (X11 on Linux).
std::unique_ptr<WindowBackend> createPlatformBackend();

}  // namespace tamblin
