// The X11 backend: a child window in the host's window, pointer grabs, menu windows, timers, events.
#include "platform/x11/X11Backend.h"

#include "platform/x11/X11Errors.h"

#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace tamblin {

std::unique_ptr<WindowBackend> createPlatformBackend() { return std::make_unique<X11Backend>(); }

namespace {

int64_t millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
      .count();
}

int shiftOf(unsigned long mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

constexpr long kPointerEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;

}  // namespace

X11Backend::~X11Backend() { close(); }

bool X11Backend::open(void* parentWindow, int width, int height, WindowEvents& events) {
  const auto parent = static_cast<::Window>(reinterpret_cast<uintptr_t>(parentWindow));
  if (parent == 0 || display_ != nullptr) return false;
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) return false;
  if (!registerDisplay(display_)) {
    XCloseDisplay(display_);
    display_ = nullptr;
    return false;
  }
  lost_ = false;
  XSetIOErrorExitHandler(display_, onConnectionLost, &lost_);
  events_ = &events;
  width_ = width;
  height_ = height;
  const int screen = DefaultScreen(display_);

  XWindowAttributes parentAttributes;
  XVisualInfo info;
  const bool parentValid =
      XGetWindowAttributes(display_, parent, &parentAttributes) != 0 && errorsOn(display_) == 0;
  if (!parentValid || !XMatchVisualInfo(display_, screen, 24, TrueColor, &info)) {
    releaseResources();
    return false;
  }
  visual_ = info.visual;
  colormap_ = XCreateColormap(display_, RootWindow(display_, screen), visual_, AllocNone);
  XSetWindowAttributes attributes{};
  attributes.colormap = colormap_;
  attributes.border_pixel = 0;
  attributes.background_pixmap = None;
  attributes.event_mask = ExposureMask | kPointerEvents | StructureNotifyMask;
  window_ = XCreateWindow(display_, parent, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                          0, 24, InputOutput, visual_,
                          CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &attributes);
  XSync(display_, False);
  if (window_ == 0 || errorsOn(display_) != 0) {
    releaseResources();
    return false;
  }
  gc_ = XCreateGC(display_, window_, 0, nullptr);
  image_ = makeImage(width, height);
  if (image_ == nullptr) {
    releaseResources();
    return false;
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    releaseResources();
    return false;
  }
  wakeRead_ = fds[0];
  wakeWrite_ = fds[1];
  nextLamp_ = Clock::now() + std::chrono::milliseconds(kGateLampIntervalMs);
  nextRefresh_ = Clock::now() + std::chrono::milliseconds(kRefreshIntervalMs);
  if (!drivenByOwner_) {
    threadState_ = std::make_shared<ThreadState>();
    thread_ = std::thread([this, state = threadState_] { run(state); });
  }
  return true;
}

XImage* X11Backend::makeImage(int width, int height) {
  auto* data = static_cast<char*>(std::calloc(static_cast<size_t>(width) * static_cast<size_t>(height), 4));
  if (data == nullptr) return nullptr;
  XImage* image = XCreateImage(display_, visual_, 24, ZPixmap, 0, data, static_cast<unsigned>(width),
                               static_cast<unsigned>(height), 32, 0);
  if (image == nullptr) std::free(data);
  return image;  // XDestroyImage frees the data with the image
}

void X11Backend::close() {
  if (thread_.joinable()) {
    bool letGo = false;
    {
      std::unique_lock lock(threadState_->mutex);
      threadState_->stopping = true;
      if (wakeWrite_ >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto written = write(wakeWrite_, &byte, 1);
      }
      if (thread_.get_id() == std::this_thread::get_id()) {
        letGo = true;  // closed from inside a call the thread makes
      } else {
        threadState_->changed.wait(lock, [this] { return threadState_->finished || threadState_->calling; });
        // A call into the instrument and the host usually returns at once. A host that holds its own
        // lock while it closes the editor, and takes that lock in its automation callback, would
        // never let it return while we wait: after a grace time the thread is let go. It touches
        // nothing of ours after that call and starts no other.
        letGo = !threadState_->changed.wait_for(lock, std::chrono::milliseconds(kHostCallGraceMs),
                                                [this] { return threadState_->finished; });
      }
      threadState_->letGo = letGo;
    }
    if (letGo) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
  releaseResources();
}

void X11Backend::releaseResources() {
  if (display_ != nullptr && lost_) {
    // Nothing is left on the server's side; the images, the GC and the connection's memory are ours
    // to free (Xlib drops the requests of a broken connection). The connection stays ours until it is
    // closed, should closing meet the broken socket again.
    if (menuImage_ != nullptr) XDestroyImage(menuImage_);
    if (image_ != nullptr) XDestroyImage(image_);
    if (gc_ != nullptr) XFreeGC(display_, gc_);
    Display* display = display_;
    XCloseDisplay(display);
    unregisterDisplay(display);
  } else if (display_ != nullptr) {
    // A grab dies with the connection; the ungrab makes sure none outlives the editor's windows.
    XUngrabPointer(display_, CurrentTime);
    XUngrabKeyboard(display_, CurrentTime);
    if (menuImage_ != nullptr) XDestroyImage(menuImage_);
    if (image_ != nullptr) XDestroyImage(image_);
    if (gc_ != nullptr) XFreeGC(display_, gc_);
    if (menuWindow_ != 0) XDestroyWindow(display_, menuWindow_);
    if (window_ != 0 && !windowGone_) XDestroyWindow(display_, window_);
    if (colormap_ != 0) XFreeColormap(display_, colormap_);
    XSync(display_, False);
    unregisterDisplay(display_);
    XCloseDisplay(display_);
  }
  for (int* fd : {&wakeRead_, &wakeWrite_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  display_ = nullptr;
  window_ = menuWindow_ = 0;
  colormap_ = 0;
  gc_ = nullptr;
  image_ = menuImage_ = nullptr;
  menuOpen_ = false;
  dragGrab_ = false;
  windowGone_ = false;
  events_ = nullptr;
}

void X11Backend::setBounds(int left, int top, int, int) {
  if (!live() || windowGone_) return;
  XMoveWindow(display_, window_, left, top);
  XFlush(display_);
}

void X11Backend::setVisible(bool visible) {
  if (!live() || windowGone_) return;
  if (visible) {
    XMapRaised(display_, window_);
  } else {
    if (menuOpen_) hideMenu();
    XUngrabPointer(display_, CurrentTime);
    dragGrab_ = false;
    XUnmapWindow(display_, window_);
  }
  XFlush(display_);
}

void X11Backend::putImage(::Window target, XImage* image, const Image& source, const Rect& area) {
  const int left = std::max(area.left, 0), top = std::max(area.top, 0);
  const int right = std::min({area.right, source.width(), image->width});
  const int bottom = std::min({area.bottom, source.height(), image->height});
  if (right <= left || bottom <= top) return;
  const int redShift = shiftOf(image->red_mask), greenShift = shiftOf(image->green_mask);
  const int blueShift = shiftOf(image->blue_mask);
  const auto& pixels = source.pixels();
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const Color c =
          pixels[static_cast<size_t>(y) * static_cast<size_t>(source.width()) + static_cast<size_t>(x)];
      const unsigned long value = (static_cast<unsigned long>(c.r) << redShift) |
                                  (static_cast<unsigned long>(c.g) << greenShift) |
                                  (static_cast<unsigned long>(c.b) << blueShift);
      XPutPixel(image, x, y, value);
    }
  }
  XPutImage(display_, target, gc_, image, left, top, left, top, static_cast<unsigned>(right - left),
            static_cast<unsigned>(bottom - top));
}

void X11Backend::present(const Image& frame, const Rect& area) {
  if (!live() || windowGone_) return;
  putImage(window_, image_, frame, area);
  XFlush(display_);
}

void X11Backend::capturePointer() {
  if (!live() || windowGone_) return;
  dragGrab_ = true;
  XGrabPointer(display_, window_, False, kPointerEvents, GrabModeAsync, GrabModeAsync, None, None,
               CurrentTime);
  XFlush(display_);
}

void X11Backend::releasePointer() {
  dragGrab_ = false;
  if (!live()) return;
  XUngrabPointer(display_, CurrentTime);
  XFlush(display_);
}

void X11Backend::showMenu(int windowX, int windowY, const Image& menu) {
  if (!live() || windowGone_ || menu.width() <= 0 || menu.height() <= 0) return;
  const int screen = DefaultScreen(display_);
  const ::Window root = RootWindow(display_, screen);
  int rootX = 0, rootY = 0;
  ::Window child = 0;
  XTranslateCoordinates(display_, window_, root, windowX, windowY, &rootX, &rootY, &child);
  // Top-left at the pointer, moved back as far as needed to keep the whole menu on the screen.
  menuX_ = std::max(0, std::min(rootX, DisplayWidth(display_, screen) - menu.width()));
  menuY_ = std::max(0, std::min(rootY, DisplayHeight(display_, screen) - menu.height()));
  const auto width = static_cast<unsigned>(menu.width()), height = static_cast<unsigned>(menu.height());
  if (menuWindow_ == 0) {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.save_under = True;
    attributes.colormap = colormap_;
    attributes.border_pixel = 0;
    attributes.background_pixmap = None;
    attributes.event_mask = ExposureMask;  // its pointer and key events come through the grab
    menuWindow_ = XCreateWindow(
        display_, root, menuX_, menuY_, width, height, 0, 24, InputOutput, visual_,
        CWOverrideRedirect | CWSaveUnder | CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask,
        &attributes);
  } else {
    XMoveResizeWindow(display_, menuWindow_, menuX_, menuY_, width, height);
  }
  if (menuImage_ == nullptr || menuImage_->width != menu.width() || menuImage_->height != menu.height()) {
    if (menuImage_ != nullptr) XDestroyImage(menuImage_);
    menuImage_ = makeImage(menu.width(), menu.height());
  }
  // The pointer is taken before the menu shows, so that no press can come between the two and miss
  // it. The grab is on the editor's window, which is on screen (the press that opens the menu came
  // from it); handle() gives the events to the menu by their position on the screen.
  const int grab = XGrabPointer(display_, window_, False, kPointerEvents, GrabModeAsync, GrabModeAsync, None,
                                None, CurrentTime);
  if (grab != GrabSuccess) {
    // Without the pointer the menu could never be dismissed: it does not open.
    XFlush(display_);
    if (events_ != nullptr) events_->menuCancelled();
    return;
  }
  // The keyboard too, for Escape; a menu that cannot have it still works with the pointer.
  XGrabKeyboard(display_, window_, False, GrabModeAsync, GrabModeAsync, CurrentTime);
  XMapRaised(display_, menuWindow_);
  menuOpen_ = true;
  menuPicture_ = menu;
  if (menuImage_ != nullptr) putImage(menuWindow_, menuImage_, menu, menu.bounds());
  XFlush(display_);
}

void X11Backend::presentMenu(const Image& menu) {
  if (!live() || !menuOpen_ || menuImage_ == nullptr) return;
  menuPicture_ = menu;
  putImage(menuWindow_, menuImage_, menu, menu.bounds());
  XFlush(display_);
}

void X11Backend::hideMenu() {
  if (!live() || !menuOpen_) return;
  menuOpen_ = false;
  XUngrabPointer(display_, CurrentTime);
  XUngrabKeyboard(display_, CurrentTime);
  XUnmapWindow(display_, menuWindow_);
  XFlush(display_);
}

void X11Backend::idle() {
  if (events_ == nullptr) return;
  // The lock's last unlock makes the calls the events queued, on this thread.
  std::lock_guard lock(events_->windowLock());
  lastIdleMs_ = millisecondsSince(start_);
  if (live()) pump();
}

void X11Backend::run(const std::shared_ptr<ThreadState>& state) {
  std::vector<HostCall> calls;
  while (!state->stopping) {
    const bool hostIdles = millisecondsSince(start_) - lastIdleMs_.load() < kIdleGraceMs;
    int timeout = kIdleGraceMs / 2;
    if (!hostIdles) {
      std::lock_guard lock(events_->windowLock());
      const auto untilTimer = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::min(nextLamp_, nextRefresh_) - Clock::now());
      timeout = static_cast<int>(std::clamp<int64_t>(untilTimer.count(), 0, kGateLampIntervalMs));
    }
    // A lost connection's socket reads as ready for ever: only the wake pipe is waited on then.
    const bool lost = lost_.load();
    pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {ConnectionNumber(display_), POLLIN, 0}};
    poll(fds, hostIdles || lost ? 1 : 2, lost ? -1 : timeout);
    char drain[16];
    while (read(wakeRead_, drain, sizeof drain) > 0) {
    }
    if (state->stopping) break;
    if (millisecondsSince(start_) - lastIdleMs_.load() < kIdleGraceMs) continue;
    WindowLock& lock = events_->windowLock();
    lock.lock();
    if (!state->stopping) pump();
    lock.unlockTakingCalls(calls);
    if (!makeCalls(calls, *state)) return;  // let go by close(): this object may be gone
  }
  std::lock_guard lock(state->mutex);
  state->finished = true;
  state->changed.notify_all();
}

bool X11Backend::makeCalls(std::vector<HostCall>& calls, ThreadState& state) {
  for (HostCall& call : calls) {
    {
      std::lock_guard lock(state.mutex);
      if (state.stopping) break;  // the editor is closing: the instrument may go once it has
      state.calling = true;
      state.changed.notify_all();
    }
    call.link->setParameterAutomated(call.index, call.value);
    std::lock_guard lock(state.mutex);
    state.calling = false;
    if (state.letGo) return false;
  }
  calls.clear();
  return true;
}

void X11Backend::pump() {
  while (live() && XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    handle(event);
  }
  runTimers();
}

void X11Backend::runTimers() {
  const auto now = Clock::now();
  if (now >= nextLamp_) {
    nextLamp_ = std::max(nextLamp_ + std::chrono::milliseconds(kGateLampIntervalMs), now);
    events_->timerElapsed(kGateLampTimer);
  }
  if (now >= nextRefresh_) {
    nextRefresh_ = std::max(nextRefresh_ + std::chrono::milliseconds(kRefreshIntervalMs), now);
    events_->timerElapsed(kRefreshTimer);
  }
}

// The server ends a grab when its window becomes unviewable (a host that unmaps its window during a
// drag); the release then goes elsewhere. The next event of ours without the left button held tells.
void X11Backend::endLostDrag(unsigned int state) {
  if (dragGrab_ && (state & Button1Mask) == 0) events_->pointerCaptureLost();
}

void X11Backend::handle(XEvent& event) {
  switch (event.type) {
    case Expose: {
      const XExposeEvent& e = event.xexpose;
      const Rect area{e.x, e.y, e.x + e.width, e.y + e.height};
      if (e.window == window_ && !windowGone_) putImage(window_, image_, events_->composedFrame(), area);
      if (e.window == menuWindow_ && menuOpen_ && menuImage_ != nullptr)
        putImage(menuWindow_, menuImage_, menuPicture_, area);
      break;
    }
    case DestroyNotify:
      if (event.xdestroywindow.window == window_) windowGone_ = true;
      break;
    case ButtonPress:
    case ButtonRelease: {
      const XButtonEvent& e = event.xbutton;
      if (e.button < Button1 || e.button > Button3) break;  // wheel and extra buttons are not used
      const MouseButton button = e.button == Button1
                                     ? MouseButton::Left
                                     : (e.button == Button3 ? MouseButton::Right : MouseButton::Middle);
      const bool shift = (e.state & ShiftMask) != 0;
      if (menuOpen_) {
        const int x = e.x_root - menuX_, y = e.y_root - menuY_;
        if (event.type == ButtonPress) {
          events_->menuPointerPressed(x, y);
        } else {
          events_->menuPointerReleased(x, y);
        }
      } else if (e.window == window_) {
        endLostDrag(e.state);
        if (event.type == ButtonPress) {
          events_->pointerPressed(button, shift, e.x, e.y, static_cast<uint32_t>(e.time));
        } else {
          events_->pointerReleased(button, shift, e.x, e.y);
        }
      }
      break;
    }
    case KeyPress:
      if (menuOpen_ && XLookupKeysym(&event.xkey, 0) == XK_Escape) events_->menuCancelled();
      break;
    case MotionNotify: {
      const XMotionEvent& e = event.xmotion;
      if (menuOpen_) {
        events_->menuPointerMoved(e.x_root - menuX_, e.y_root - menuY_);
      } else if (e.window == window_) {
        endLostDrag(e.state);
        events_->pointerMoved((e.state & ShiftMask) != 0, e.x, e.y);
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace tamblin
