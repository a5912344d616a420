// Canvas pictures on X windows of a 24-bit TrueColor visual, as the editor's backend puts its own.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "Canvas.h"

namespace tamblin::standalone {

// A window of the display's 24-bit TrueColor visual and an image the size of `width` x `height` to
// copy pictures through; empty (ok() false) when the display has no such visual.
class PictureWindow {
 public:
  // A top-level window (parent 0) or a child at (x, y) of `parent`.
  PictureWindow(Display* display, ::Window parent, int x, int y, int width, int height, long eventMask);
  ~PictureWindow();
  PictureWindow(const PictureWindow&) = delete;
  PictureWindow& operator=(const PictureWindow&) = delete;

  bool ok() const { return window_ != 0 && image_ != nullptr; }
  ::Window window() const { return window_; }
  // Copies the area of the picture (the window's size) onto the window.
  void put(const Image& picture, const Rect& area);
  // Lets the window go without a call to X (the connection cannot be trusted).
  void abandon() { display_ = nullptr; }

 private:
  Display* display_;
  ::Window window_ = 0;
  Colormap colormap_ = 0;
  GC gc_ = nullptr;
  XImage* image_ = nullptr;
};

}  // namespace tamblin::standalone
