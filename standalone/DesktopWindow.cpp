// Xlib: a fixed-size top-level window with the window manager's close button wired to ending tamblin.
#include "DesktopWindow.h"

#include <cstdint>
#include <stdexcept>

#include "Layout.h"
#include "Player.h"

// Xlib's macros (None, Bool, Status) come after every other header.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tamblin::standalone {

DesktopWindow::DesktopWindow(Player& player) : player_(player) {
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) throw std::runtime_error("cannot open the X display (is DISPLAY set? --no-gui runs without a window)");
  int width = kWindowWidth, height = kWindowHeight;
  const int screen = DefaultScreen(display_);
  window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), 0, BlackPixel(display_, screen),
                                BlackPixel(display_, screen));
  XClassHint* classHint = XAllocClassHint();
  if (classHint != nullptr) {
    char name[] = "tamblin", className[] = "Tamblin";
    classHint->res_name = name;
    classHint->res_class = className;
    XSetClassHint(display_, window_, classHint);
    XFree(classHint);
  }
  deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
  Atom protocols[] = {deleteWindow_};
  XSetWMProtocols(display_, window_, protocols, 1);
  XSelectInput(display_, window_, StructureNotifyMask);

  // The editor makes its child window inside ours, then tells its real size.
  if (!player_.openEditor(reinterpret_cast<void*>(static_cast<uintptr_t>(window_)))) {
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
    throw std::runtime_error("the editor window could not be opened");
  }
  editorOpen_ = true;
  width = player_.editorWindow()->ClientWidth();
  height = player_.editorWindow()->ClientHeight();
  XResizeWindow(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XSizeHints* hints = XAllocSizeHints();
  if (hints != nullptr) {
    hints->flags = PMinSize | PMaxSize;
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    XSetWMNormalHints(display_, window_, hints);
    XFree(hints);
  }
  XMapWindow(display_, window_);
  XFlush(display_);
}

DesktopWindow::~DesktopWindow() {
  if (editorOpen_) player_.closeEditor();
  XDestroyWindow(display_, window_);
  XCloseDisplay(display_);
}

int DesktopWindow::connectionFd() const { return ConnectionNumber(display_); }

bool DesktopWindow::serve() {
  bool open = true;
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == ClientMessage && static_cast<unsigned long>(event.xclient.data.l[0]) == deleteWindow_) open = false;
    if (event.type == DestroyNotify && event.xdestroywindow.window == window_) open = false;
  }
  if (EditorWindow* editor = player_.editorWindow()) editor->idle();
  return open;
}

void DesktopWindow::setTitle(const std::string& title) {
  if (title == title_) return;
  title_ = title;
  XStoreName(display_, window_, title.c_str());
  const Atom netName = XInternAtom(display_, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
  XChangeProperty(display_, window_, netName, utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
  XFlush(display_);
}

}  // namespace tamblin::standalone
