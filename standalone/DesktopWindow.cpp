// Xlib: a fixed-size top-level window with the window manager's close button wired to ending tamblin,
// and the process's X error handlers.
#include "DesktopWindow.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "Layout.h"
#include "PictureOnX.h"
#include "Player.h"

// Xlib's macros (None, Bool, Status) come after every other header.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace tamblin::standalone {
namespace {

// The window's connection; errors on the editor's own connection never come here (its handler keeps
// them) and the connection of a message window has nothing that could fail.
std::atomic<Display*> windowDisplay{nullptr};
std::atomic<bool> connectionLost{false};
std::atomic<bool> protocolError{false};
std::atomic<bool> windowGone{false};
std::mutex problemMutex;
std::string problemText;
XLossHandler lossHandler = nullptr;
std::thread::id loopThread;

void setProblem(const std::string& text) {
  std::lock_guard lock(problemMutex);
  if (problemText.empty()) problemText = text;
}

int onXError(Display* display, XErrorEvent* error) {
  // tamblin names no window but its own on this connection: a window or drawable that is no longer
  // there was destroyed by another client, which the DestroyNotify may not have told yet.
  if (error->error_code == BadWindow || error->error_code == BadDrawable) {
    windowGone = true;
    return 0;
  }
  char text[256] = {};
  XGetErrorText(display, error->error_code, text, sizeof text);
  setProblem("the X server refused a request of tamblin's window (" + std::string(text) + ", request " +
             std::to_string(error->request_code) + ")");
  protocolError = true;
  return 0;
}

#ifdef TAMBLIN_HAVE_X_IO_ERROR_EXIT_HANDLER
// Xlib calls this when the I/O error handler returns; returning from it leaves the connection closed
// for good and lets the loop end tamblin in its own way.
void onXExit(Display*, void*) { connectionLost = true; }
#endif

int onXIoError(Display* display) {
  connectionLost = true;
  setProblem("the connection to the X server was lost");
#ifdef TAMBLIN_HAVE_X_IO_ERROR_EXIT_HANDLER
  if (display == windowDisplay.load() && std::this_thread::get_id() == loopThread) return 0;
#else
  (void)display;
#endif
  // Elsewhere (the editor's connection, or no exit handler) Xlib would end the process on return.
  if (lossHandler != nullptr) lossHandler("the connection to the X server was lost");
  return 0;
}

}  // namespace

void installXHandlers(XLossHandler onLoss) {
  lossHandler = onLoss;
  loopThread = std::this_thread::get_id();
  XSetErrorHandler(onXError);
  XSetIOErrorHandler(onXIoError);
}

DesktopWindow::DesktopWindow(Player& player, StripActions& actions) : player_(player), strip_(actions) {
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr)
    throw std::runtime_error("cannot open the X display (is DISPLAY set? --no-gui runs without a window)");
  windowDisplay = display_;
#ifdef TAMBLIN_HAVE_X_IO_ERROR_EXIT_HANDLER
  XSetIOErrorExitHandler(display_, onXExit, nullptr);
#endif
  const int screen = DefaultScreen(display_);
  XVisualInfo info;
  if (!XMatchVisualInfo(display_, screen, 24, TrueColor, &info)) {
    XCloseDisplay(display_);
    windowDisplay = nullptr;
    throw std::runtime_error("the editor window could not be opened: the X display has no 24-bit TrueColor "
                             "visual, which the editor draws with (--no-gui runs without a window)");
  }
  int width = kWindowWidth, height = kWindowHeight;
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
  // Keys typed anywhere in the window reach it: neither the editor nor the strip takes them.
  XSelectInput(display_, window_, StructureNotifyMask | KeyPressMask | KeyReleaseMask | FocusChangeMask);
  // A held key repeats as presses alone, without releases between them.
  XkbSetDetectableAutoRepeat(display_, True, nullptr);
  XSync(display_, False);

  // The editor makes its child window inside ours, then tells its real size.
  if (protocolError || !player_.openEditor(reinterpret_cast<void*>(static_cast<uintptr_t>(window_)))) {
    const std::string name = DisplayString(display_);
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
    windowDisplay = nullptr;
    throw std::runtime_error("the editor window could not be opened on display " + name +
                             " (--no-gui runs without a window)");
  }
  editorOpen_ = true;
  width = player_.editorWindow()->ClientWidth();
  const int editorHeight = player_.editorWindow()->ClientHeight();
  height = editorHeight + Strip::kHeight;
  stripWindow_ = std::make_unique<PictureWindow>(
      display_, window_, 0, editorHeight, Strip::kWidth, Strip::kHeight,
      ExposureMask | ButtonPressMask | ButtonReleaseMask | Button1MotionMask);
  XMapWindow(display_, stripWindow_->window());
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
  if (display_ == nullptr) {
    if (stripWindow_) stripWindow_->abandon();
    return;
  }
  if (editorOpen_) player_.closeEditor();
  stripWindow_.reset();
  if (!destroyed_) XDestroyWindow(display_, window_);
  XCloseDisplay(display_);
  windowDisplay = nullptr;
}

void DesktopWindow::abandon() { display_ = nullptr; }

int DesktopWindow::connectionFd() const { return ConnectionNumber(display_); }

std::string DesktopWindow::problem() const {
  std::lock_guard lock(problemMutex);
  return problemText;
}

WindowState DesktopWindow::serve() {
  WindowState state = WindowState::Open;
  while (!connectionLost && XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == ClientMessage && static_cast<unsigned long>(event.xclient.data.l[0]) == deleteWindow_)
      state = WindowState::Closed;
    if (event.type == DestroyNotify && event.xdestroywindow.window == window_) {
      destroyed_ = true;
      state = WindowState::Destroyed;
    }
    if (destroyed_) continue;
    const bool onStrip = stripWindow_ && event.xany.window == stripWindow_->window();
    switch (event.type) {
      case Expose:
        if (onStrip)
          stripWindow_->put(stripPicture_, Rect{event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                                                event.xexpose.y + event.xexpose.height});
        break;
      case ButtonPress:
        if (onStrip && event.xbutton.button == Button1) strip_.pointerPressed(event.xbutton.x, event.xbutton.y);
        break;
      case ButtonRelease:
        if (onStrip && event.xbutton.button == Button1) strip_.pointerReleased(event.xbutton.x, event.xbutton.y);
        break;
      case MotionNotify:
        if (onStrip) strip_.pointerMoved(event.xmotion.x, event.xmotion.y);
        break;
      case KeyPress:
      case KeyRelease:
        handleKey(&event.xkey, event.type == KeyPress);
        break;
      case FocusOut:
        // Keys let go elsewhere would never be heard of: their notes end now.
        strip_.releaseEverything();
        break;
      default:
        break;
    }
  }
  if (!connectionLost && !protocolError && !windowGone && state == WindowState::Open && strip_.changed()) paintStrip();
  if (connectionLost) return WindowState::ConnectionLost;
  if (windowGone) {
    destroyed_ = true;
    return WindowState::Destroyed;
  }
  if (protocolError) return WindowState::ProtocolError;
  if (state != WindowState::Open) return state;
  if (EditorWindow* editor = player_.editorWindow()) editor->idle();
  return WindowState::Open;
}

void DesktopWindow::paintStrip() {
  strip_.paint(stripPicture_);
  if (stripWindow_) stripWindow_->put(stripPicture_, stripPicture_.bounds());
  XFlush(display_);
}

void DesktopWindow::handleKey(const void* keyEvent, bool pressed) {
  XKeyEvent event = *static_cast<const XKeyEvent*>(keyEvent);
  if (!pressed) {
    strip_.keyReleased(static_cast<int>(event.keycode));
    return;
  }
  KeyInput key;
  key.code = static_cast<int>(event.keycode);
  const KeySym plain = XLookupKeysym(&event, 0);
  if (plain >= XK_a && plain <= XK_z) key.symbol = static_cast<char>('a' + (plain - XK_a));
  char text[32] = {};
  KeySym typed = NoSymbol;
  const int length = XLookupString(&event, text, sizeof text - 1, &typed, nullptr);
  if (typed == XK_BackSpace) key.special = KeyInput::Backspace;
  else if (typed == XK_Return || typed == XK_KP_Enter) key.special = KeyInput::Return;
  else if (typed == XK_Escape) key.special = KeyInput::Escape;
  else if (length > 0) key.text.assign(text, static_cast<size_t>(length));
  strip_.keyPressed(key);
}

void DesktopWindow::setTitle(const std::string& title) {
  if (title == title_ || destroyed_ || connectionLost) return;
  title_ = title;
  XStoreName(display_, window_, title.c_str());
  const Atom netName = XInternAtom(display_, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
  XChangeProperty(display_, window_, netName, utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
  XFlush(display_);
}

}  // namespace tamblin::standalone
