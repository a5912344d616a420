// Canvas pixels into an XImage of the window's visual, then onto the window.
#include "PictureOnX.h"

#include <algorithm>
#include <cstdlib>

// Xlib's macros come after every other header.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tamblin::standalone {
namespace {

int shiftOf(unsigned long mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

}  // namespace

PictureWindow::PictureWindow(Display* display, unsigned long parent, int x, int y, int width, int height, long eventMask)
    : display_(display) {
  const int screen = DefaultScreen(display);
  XVisualInfo info;
  if (!XMatchVisualInfo(display, screen, 24, TrueColor, &info)) return;
  const ::Window root = RootWindow(display, screen);
  colormap_ = XCreateColormap(display, root, info.visual, AllocNone);
  XSetWindowAttributes attributes{};
  attributes.colormap = colormap_;
  attributes.border_pixel = 0;
  attributes.background_pixel = 0;
  attributes.event_mask = eventMask;
  window_ = XCreateWindow(display, parent != 0 ? parent : root, x, y, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), 0, 24, InputOutput, info.visual,
                          CWColormap | CWBorderPixel | CWBackPixel | CWEventMask, &attributes);
  gc_ = XCreateGC(display, window_, 0, nullptr);
  auto* data = static_cast<char*>(std::calloc(static_cast<size_t>(width) * static_cast<size_t>(height), 4));
  if (data == nullptr) return;
  image_ = XCreateImage(display, info.visual, 24, ZPixmap, 0, data, static_cast<unsigned>(width),
                        static_cast<unsigned>(height), 32, 0);
  if (image_ == nullptr) std::free(data);
}

PictureWindow::~PictureWindow() {
  if (display_ == nullptr) return;
  if (image_ != nullptr) XDestroyImage(image_);  // frees the pixels with it
  if (gc_ != nullptr) XFreeGC(display_, gc_);
  if (window_ != 0) XDestroyWindow(display_, window_);
  if (colormap_ != 0) XFreeColormap(display_, colormap_);
}

void PictureWindow::put(const Image& picture, const Rect& area) {
  if (!ok() || display_ == nullptr) return;
  const int left = std::max(area.left, 0), top = std::max(area.top, 0);
  const int right = std::min({area.right, picture.width(), image_->width});
  const int bottom = std::min({area.bottom, picture.height(), image_->height});
  if (right <= left || bottom <= top) return;
  const int red = shiftOf(image_->red_mask), green = shiftOf(image_->green_mask), blue = shiftOf(image_->blue_mask);
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) {
      const Color c = picture.pixel(x, y);
      XPutPixel(image_, x, y,
                (static_cast<unsigned long>(c.r) << red) | (static_cast<unsigned long>(c.g) << green) |
                    (static_cast<unsigned long>(c.b) << blue));
    }
  XPutImage(display_, window_, gc_, image_, left, top, left, top, static_cast<unsigned>(right - left),
            static_cast<unsigned>(bottom - top));
}

}  // namespace tamblin::standalone
