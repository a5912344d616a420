// The message window: drawn with the editor's canvas in its colours, shown through Xlib.
#include "MessageWindow.h"

#include <poll.h>

#include <chrono>

#include "Drawing.h"
#include "PictureOnX.h"

// Xlib's macros come after every other header.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tamblin::standalone {
namespace {

constexpr int kWidth = 420;
constexpr int kMargin = 14;
constexpr Font kHeadingFont{11.0f, true};
constexpr Font kTextFont{10.0f, false};
constexpr int kButtonWidth = 80, kButtonHeight = 24;
constexpr std::chrono::minutes kShowLimit{2};

Rect buttonRect(const Image& picture) {
  const int left = (picture.width() - kButtonWidth) / 2, top = picture.height() - kMargin - kButtonHeight;
  return {left, top, left + kButtonWidth, top + kButtonHeight};
}

}  // namespace

std::vector<std::string> wrapText(const std::string& text, int width) {
  std::vector<std::string> lines;
  std::string line;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    const std::string candidate = line.empty() ? word : line + " " + word;
    if (!line.empty() && textWidth(candidate, kTextFont) > width) {
      lines.push_back(line);
      line = word;
    } else {
      line = candidate;
    }
    at = end + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

Image drawMessage(const std::string& heading, const std::string& text) {
  const std::vector<std::string> lines = wrapText(text, kWidth - 2 * kMargin);
  const int lineHeight = kTextFont.lineHeight() + 2;
  const int height = kMargin + kHeadingFont.lineHeight() + 10 + static_cast<int>(lines.size()) * lineHeight + 14 +
                     kButtonHeight + kMargin;
  Image picture(kWidth, height, kFormColor);
  picture.frameRect(picture.bounds(), kFrameColor);
  picture.textOut(kMargin, kMargin, heading, kHeadingFont, kBlack);
  int y = kMargin + kHeadingFont.lineHeight() + 10;
  for (const std::string& line : lines) {
    picture.textOut(kMargin, y, line, kTextFont, kBlack);
    y += lineHeight;
  }
  const Rect button = buttonRect(picture);
  picture.fillRect(button, kPanelColor);
  picture.frameRect(button, kFrameColor);
  picture.textOut(button.left + (kButtonWidth - textWidth("OK", kTextFont)) / 2,
                  button.top + (kButtonHeight - kTextFont.lineHeight()) / 2, "OK", kTextFont, kWhite);
  return picture;
}

void showMessageWindow(const std::string& heading, const std::string& text) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return;
  const Image picture = drawMessage(heading, text);
  {
    PictureWindow window(display, 0, 100, 100, picture.width(), picture.height(),
                         ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | StructureNotifyMask);
    if (window.ok()) {
      XStoreName(display, window.window(), "Tamblin");
      Atom close = XInternAtom(display, "WM_DELETE_WINDOW", False);
      XSetWMProtocols(display, window.window(), &close, 1);
      XSizeHints* hints = XAllocSizeHints();
      if (hints != nullptr) {
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = picture.width();
        hints->min_height = hints->max_height = picture.height();
        XSetWMNormalHints(display, window.window(), hints);
        XFree(hints);
      }
      XMapRaised(display, window.window());
      XFlush(display);
      const auto end = std::chrono::steady_clock::now() + kShowLimit;
      bool open = true;
      while (open && std::chrono::steady_clock::now() < end) {
        while (open && XPending(display) > 0) {
          XEvent event;
          XNextEvent(display, &event);
          if (event.type == Expose) {
            const XExposeEvent& e = event.xexpose;
            window.put(picture, Rect{e.x, e.y, e.x + e.width, e.y + e.height});
          }
          const Rect button = buttonRect(picture);
          if (event.type == ButtonRelease && event.xbutton.x >= button.left && event.xbutton.x < button.right &&
              event.xbutton.y >= button.top && event.xbutton.y < button.bottom)
            open = false;
          if (event.type == KeyPress || event.type == DestroyNotify) open = false;
          if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == close) open = false;
        }
        XFlush(display);
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        if (open) poll(&fd, 1, 200);
      }
    }
  }
  XCloseDisplay(display);
}

}  // namespace tamblin::standalone
