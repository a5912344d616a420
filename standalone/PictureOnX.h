// Canvas pictures on X windows of a 24-bit TrueColor visual, as the editor's backend puts its own.
#pragma once

#include "Canvas.h"

typedef struct _XDisplay Display;
typedef struct _XGC* GC;
struct _XImage;

namespace tamblin::standalone {

// A window of the display's 24-bit TrueColor visual and an image the size of `width` x `height` to
// copy pictures through; empty (ok() false) when the display has no such visual.
class PictureWindow {
 public:
  // A top-level window (parent 0) or a child at (x, y) of `parent`.
  PictureWindow(Display* display, unsigned long parent, int x, int y, int width, int height, long eventMask);
  ~PictureWindow();
  PictureWindow(const PictureWindow&) = delete;
  PictureWindow& operator=(const PictureWindow&) = delete;

  bool ok() const { return window_ != 0 && image_ != nullptr; }
  unsigned long window() const { return window_; }
  // Copies the area of the picture (the window's size) onto the window.
  void put(const Image& picture, const Rect& area);
  // Lets the window go without a call to X (the connection cannot be trusted).
  void abandon() { display_ = nullptr; }

 private:
  Display* display_;
  unsigned long window_ = 0;
  unsigned long colormap_ = 0;
  GC gc_ = nullptr;
  _XImage* image_ = nullptr;
};

}  // namespace tamblin::standalone
