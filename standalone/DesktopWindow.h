// The editor in a top-level window of its own: the window a host would give the editor, made by
// tamblin, titled with the program's name; closing it asks tamblin to end. X errors and a broken
// connection end tamblin as its other failures do, never through Xlib's default handlers.
#pragma once

#include <memory>
#include <string>

#include "Canvas.h"
#include "Strip.h"

typedef struct _XDisplay Display;

namespace tamblin::standalone {

class Player;
class PictureWindow;

// What tamblin does when the X connection breaks where it cannot go back to its loop (on another
// thread, or without Xlib's exit handler): save, say why in one line, end with status 1. Never returns.
using XLossHandler = void (*)(const std::string& reason);

// Installs tamblin's X error and I/O error handlers for the whole process (before any connection opens).
void installXHandlers(XLossHandler onLoss);

// Why the window's loop ends.
enum class WindowState {
  Open,
  Closed,           // the window manager's close button
  Destroyed,        // another X client destroyed the window
  ConnectionLost,   // the X server went away or the connection broke
  ProtocolError,    // the X server refused a request of ours
};

class DesktopWindow {
 public:
  // Opens the display, makes the window with the editor at its top and the strip below it; throws
  // std::runtime_error that says why and how to go on without a window.
  DesktopWindow(Player& player, StripActions& actions);
  // Closes the window unless the connection is gone (then nothing of X is touched).
  ~DesktopWindow();
  DesktopWindow(const DesktopWindow&) = delete;
  DesktopWindow& operator=(const DesktopWindow&) = delete;

  // The display connection's descriptor, readable when events wait.
  int connectionFd() const;
  // Handles waiting events and gives the editor its idle time; anything but Open ends tamblin.
  WindowState serve();
  // What went wrong, for ConnectionLost and ProtocolError.
  std::string problem() const;
  void setTitle(const std::string& title);
  // Lets the window go without a call to X: for an exit while the connection cannot be trusted.
  void abandon();

 private:
  void handleKey(const void* keyEvent, bool pressed);
  void paintStrip();

  Player& player_;
  Display* display_ = nullptr;
  unsigned long window_ = 0;
  unsigned long deleteWindow_ = 0;
  std::string title_;
  bool editorOpen_ = false;
  bool destroyed_ = false;
  Strip strip_;
  Image stripPicture_{Strip::kWidth, Strip::kHeight};
  std::unique_ptr<PictureWindow> stripWindow_;
};

}  // namespace tamblin::standalone
