// The Win32 backend: a child window in the host's window, pointer capture, menu windows and timers.
#include "platform/win32/Win32Backend.h"

#include <windowsx.h>

#include <algorithm>
#include <mutex>

namespace tamblin {

std::unique_ptr<WindowBackend> createPlatformBackend() { return std::make_unique<Win32Backend>(); }

namespace {

constexpr const wchar_t* kEditorClass = L"TamblinEditorWindow";
constexpr const wchar_t* kMenuClass = L"TamblinMenuWindow";

// The module this code is in: the plug-in DLL, or the program it is linked into.
HINSTANCE ourModule() {
  static const int anchor = 0;
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&anchor), &module);
  return module;
}

// The two window classes belong to our module. They are registered with the first editor window of
// the process and unregistered with the last, so that no class outlives the DLL: a host may unload
// it and load it again (or load two copies), and a class left behind would point at code that is gone.
std::mutex classMutex;
int classUsers = 0;

bool registerClass(const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = ourModule();
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.lpszClassName = name;
  return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool holdClasses(WNDPROC editor, WNDPROC menu) {
  std::lock_guard lock(classMutex);
  if (classUsers == 0) {
    if (!registerClass(kEditorClass, editor)) return false;
    if (!registerClass(kMenuClass, menu)) {
      UnregisterClassW(kEditorClass, ourModule());
      return false;
    }
  }
  ++classUsers;
  return true;
}

void releaseClasses() {
  std::lock_guard lock(classMutex);
  if (classUsers > 0 && --classUsers == 0) {
    UnregisterClassW(kMenuClass, ourModule());
    UnregisterClassW(kEditorClass, ourModule());
  }
}

bool isPointerMessage(UINT message) {
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return true;
    default:
      return false;
  }
}

bool isPress(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
}

MouseButton buttonOf(UINT message) {
  if (message == WM_RBUTTONDOWN || message == WM_RBUTTONUP) return MouseButton::Right;
  if (message == WM_MBUTTONDOWN || message == WM_MBUTTONUP) return MouseButton::Middle;
  return MouseButton::Left;
}

Win32Backend* backendOf(HWND hwnd) {
  return reinterpret_cast<Win32Backend*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// Keeps the backend's address with the window from its first message on.
void adoptOnCreate(HWND hwnd, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
}

}  // namespace

Win32Backend::~Win32Backend() { close(); }

bool Win32Backend::open(void* parentWindow, int width, int height, WindowEvents& events) {
  const auto parent = static_cast<HWND>(parentWindow);
  if (parent == nullptr || !IsWindow(parent) || window_ != nullptr || width <= 0 || height <= 0) return false;
  if (!holdClasses(editorProc, menuProc)) return false;
  classesHeld_ = true;
  if (!makeSurface(surface_, width, height)) {
    close();
    return false;
  }
  events_ = &events;
  // Borderless: the client area is the whole window. Made hidden; the editor shows it.
  window_ = CreateWindowExW(0, kEditorClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, width,
                            height, parent, nullptr, ourModule(), this);
  if (window_ == nullptr) {
    close();
    return false;
  }
  SetTimer(window_, kGateLampTimer, kGateLampIntervalMs, nullptr);
  SetTimer(window_, kRefreshTimer, kRefreshIntervalMs, nullptr);
  return true;
}

namespace {

// Only the thread that owns a window may destroy it. A host that closes the editor from another
// thread gets the window closed by its own thread's message loop (the default handling of WM_CLOSE,
// the procedure no longer finding the backend).
void destroyWindow(HWND window) {
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
    DestroyWindow(window);
  } else {
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
}

}  // namespace

void Win32Backend::close() {
  // From here on no message reaches the editor: the windows' procedures find no backend.
  events_ = nullptr;
  if (menuWindow_ != nullptr) {
    destroyWindow(menuWindow_);
    menuWindow_ = nullptr;
  }
  if (window_ != nullptr) {
    if (!windowGone_) {
      KillTimer(window_, kGateLampTimer);
      KillTimer(window_, kRefreshTimer);
      if (GetCapture() == window_) ReleaseCapture();
      destroyWindow(window_);
    }
    window_ = nullptr;
  }
  freeSurface(surface_);
  freeSurface(menuSurface_);
  menuOpen_ = dragCapture_ = movingCapture_ = windowGone_ = false;
  focusBefore_ = nullptr;
  if (classesHeld_) {
    classesHeld_ = false;
    releaseClasses();
  }
}

bool Win32Backend::makeSurface(Surface& surface, int width, int height) {
  freeSurface(surface);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  surface.bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  surface.dc = CreateCompatibleDC(nullptr);
  if (surface.bitmap == nullptr || surface.dc == nullptr || bits == nullptr) {
    freeSurface(surface);
    return false;
  }
  surface.previous = SelectObject(surface.dc, surface.bitmap);
  surface.bits = static_cast<uint32_t*>(bits);
  surface.width = width;
  surface.height = height;
  return true;
}

void Win32Backend::freeSurface(Surface& surface) {
  if (surface.dc != nullptr) {
    if (surface.previous != nullptr) SelectObject(surface.dc, surface.previous);
    DeleteDC(surface.dc);
  }
  if (surface.bitmap != nullptr) DeleteObject(surface.bitmap);
  surface = Surface{};
}

void Win32Backend::convert(Surface& surface, const Image& source, const Rect& area) {
  const int left = std::max(area.left, 0), top = std::max(area.top, 0);
  const int right = std::min({area.right, source.width(), surface.width});
  const int bottom = std::min({area.bottom, source.height(), surface.height});
  const auto& pixels = source.pixels();
  for (int y = top; y < bottom; ++y) {
    const Color* from = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(source.width());
    uint32_t* to = surface.bits + static_cast<size_t>(y) * static_cast<size_t>(surface.width);
    for (int x = left; x < right; ++x) {
      to[x] = (static_cast<uint32_t>(from[x].r) << 16) | (static_cast<uint32_t>(from[x].g) << 8) | from[x].b;
    }
  }
  GdiFlush();  // GDI may batch; the DIB's memory is written directly
}

void Win32Backend::blit(HDC target, const Surface& surface, const Rect& area) {
  const int left = std::max(area.left, 0), top = std::max(area.top, 0);
  const int right = std::min(area.right, surface.width), bottom = std::min(area.bottom, surface.height);
  if (surface.dc == nullptr || right <= left || bottom <= top) return;
  BitBlt(target, left, top, right - left, bottom - top, surface.dc, left, top, SRCCOPY);
}

void Win32Backend::setBounds(int left, int top, int, int) {
  if (!isLive()) return;
  SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Backend::setVisible(bool visible) {
  if (!isLive()) return;
  if (visible) {
    ShowWindow(window_, SW_SHOWNA);
    return;
  }
  if (menuOpen_) hideMenu();
  releasePointer();
  ShowWindow(window_, SW_HIDE);
}

void Win32Backend::present(const Image& frame, const Rect& area) {
  if (!isLive()) return;
  convert(surface_, frame, area);
  if (!IsWindowVisible(window_)) return;
  if (HDC dc = GetDC(window_)) {
    blit(dc, surface_, area);
    ReleaseDC(window_, dc);
  }
}

void Win32Backend::capturePointer() {
  if (!isLive()) return;
  dragCapture_ = true;
  movingCapture_ = true;
  SetCapture(window_);
  movingCapture_ = false;
}

void Win32Backend::releasePointer() {
  dragCapture_ = false;
  if (!isLive() || menuOpen_ || GetCapture() != window_) return;
  movingCapture_ = true;
  ReleaseCapture();
  movingCapture_ = false;
}

void Win32Backend::showMenu(int windowX, int windowY, const Image& menu) {
  if (!isLive() || menu.width() <= 0 || menu.height() <= 0) return;
  POINT at{windowX, windowY};
  ClientToScreen(window_, &at);
  // Wholly on the monitor under the pointer: top-left at the point, moved back as far as needed.
  POINT pointer = at;
  GetCursorPos(&pointer);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (GetMonitorInfoW(MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST), &monitor))
    screen = monitor.rcMonitor;
  menuX_ = std::max<int>(screen.left, std::min<int>(at.x, screen.right - menu.width()));
  menuY_ = std::max<int>(screen.top, std::min<int>(at.y, screen.bottom - menu.height()));
  if (menuSurface_.width != menu.width() || menuSurface_.height != menu.height()) {
    if (!makeSurface(menuSurface_, menu.width(), menu.height())) {
      events_->menuCancelled();
      return;
    }
  }
  menuPicture_ = menu;
  convert(menuSurface_, menu, menu.bounds());
  if (menuWindow_ == nullptr) {
    // Owned by the host's top-level window, so that it stays above it; it never takes the focus.
    menuWindow_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kMenuClass, L"",
                                  WS_POPUP, menuX_, menuY_, menu.width(), menu.height(),
                                  GetAncestor(window_, GA_ROOT), nullptr, ourModule(), this);
    if (menuWindow_ == nullptr) {
      events_->menuCancelled();
      return;
    }
  }
  // The pointer is taken before the menu shows, so that no press can come between the two and miss
  // it: while the menu is open every pointer message comes to the editor's window, which hands it to
  // the menu by its position on the screen.
  dragCapture_ = false;
  movingCapture_ = true;
  SetCapture(window_);
  movingCapture_ = false;
  menuOpen_ = true;
  // The keyboard too, for Escape; it goes back where it was when the menu closes.
  focusBefore_ = SetFocus(window_);
  SetWindowPos(menuWindow_, HWND_TOPMOST, menuX_, menuY_, menu.width(), menu.height(),
               SWP_NOACTIVATE | SWP_SHOWWINDOW);
  RedrawWindow(menuWindow_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void Win32Backend::presentMenu(const Image& menu) {
  if (!menuOpen_ || menuWindow_ == nullptr || menu.width() != menuSurface_.width ||
      menu.height() != menuSurface_.height)
    return;
  menuPicture_ = menu;
  convert(menuSurface_, menu, menu.bounds());
  if (HDC dc = GetDC(menuWindow_)) {
    blit(dc, menuSurface_, menu.bounds());
    ReleaseDC(menuWindow_, dc);
  }
}

void Win32Backend::hideMenu() {
  if (!menuOpen_) return;
  menuOpen_ = false;
  if (menuWindow_ != nullptr) ShowWindow(menuWindow_, SW_HIDE);
  if (isLive() && GetCapture() == window_) {
    movingCapture_ = true;
    ReleaseCapture();
    movingCapture_ = false;
  }
  if (isLive() && GetFocus() == window_ && focusBefore_ != nullptr && IsWindow(focusBefore_))
    SetFocus(focusBefore_);
  focusBefore_ = nullptr;
}

void Win32Backend::paint(HWND target, Surface& surface, const Image& picture) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(target, &paint);
  if (dc == nullptr) return;
  const Rect area{paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right, paint.rcPaint.bottom};
  convert(surface, picture, area);
  blit(dc, surface, area);
  EndPaint(target, &paint);
}

void Win32Backend::menuPointer(UINT message, POINT screen) {
  const int x = screen.x - menuX_, y = screen.y - menuY_;
  if (message == WM_MOUSEMOVE) {
    events_->menuPointerMoved(x, y);
  } else if (isPress(message)) {
    events_->menuPointerPressed(x, y);
  } else {
    events_->menuPointerReleased(x, y);
  }
}

bool Win32Backend::handleEditor(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  if (isPointerMessage(message)) {
    // Captured moves outside the window have negative coordinates: the signed macros keep them.
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (menuOpen_) {
      ClientToScreen(window_, &point);
      menuPointer(message, point);
      return true;
    }
    const bool shift = (wParam & MK_SHIFT) != 0;
    if (message == WM_MOUSEMOVE) {
      events_->pointerMoved(shift, point.x, point.y);
    } else if (isPress(message)) {
      events_->pointerPressed(buttonOf(message), shift, point.x, point.y,
                              static_cast<uint32_t>(GetMessageTime()));
    } else {
      events_->pointerReleased(buttonOf(message), shift, point.x, point.y);
    }
    return true;
  }
  switch (message) {
    case WM_PAINT:
      paint(window_, surface_, events_->composedFrame());
      return true;
    case WM_PRINTCLIENT: {
      // A host or a test asking for the picture in its own device context (PrintWindow).
      const Image& frame = events_->composedFrame();
      convert(surface_, frame, frame.bounds());
      blit(reinterpret_cast<HDC>(wParam), surface_, frame.bounds());
      return true;
    }
    case WM_ERASEBKGND:
      result = 1;  // the picture covers every pixel
      return true;
    case WM_TIMER:
      if (wParam != kGateLampTimer && wParam != kRefreshTimer) return false;
      events_->timerElapsed(static_cast<int>(wParam));
      return true;
    case WM_CAPTURECHANGED:
      // Taken away by someone else (another window, the system): a menu closes without a choice and
      // a drag ends as at a release, but nothing counts as a click.
      if (movingCapture_ || reinterpret_cast<HWND>(lParam) == window_) return true;
      if (menuOpen_) {
        events_->menuCancelled();
      } else if (dragCapture_) {
        dragCapture_ = false;
        events_->pointerCaptureLost();
      }
      return true;
    case WM_CANCELMODE:
      if (menuOpen_) events_->menuCancelled();
      if (dragCapture_) {
        releasePointer();
        events_->pointerCaptureLost();
      }
      return false;  // the default releases the capture too
    case WM_KEYDOWN:
      if (menuOpen_ && wParam == VK_ESCAPE) {
        events_->menuCancelled();
        return true;
      }
      return false;
    case WM_DESTROY:
      // The host destroyed its window (and ours with it) before closing the editor.
      windowGone_ = true;
      menuOpen_ = dragCapture_ = false;
      if (menuWindow_ != nullptr) {
        SetWindowLongPtrW(menuWindow_, GWLP_USERDATA, 0);
        DestroyWindow(menuWindow_);
        menuWindow_ = nullptr;
      }
      return true;
    default:
      return false;
  }
}

bool Win32Backend::handleMenu(UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
  result = 0;
  if (isPointerMessage(message)) {
    // Only when the capture is elsewhere; the press that comes next hands it back to the editor.
    if (menuOpen_) {
      POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(menuWindow_, &point);
      menuPointer(message, point);
    }
    return true;
  }
  switch (message) {
    case WM_MOUSEACTIVATE:
      result = MA_NOACTIVATE;
      return true;
    case WM_PAINT:
      paint(menuWindow_, menuSurface_, menuPicture_);
      return true;
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_DESTROY:
      menuWindow_ = nullptr;
      menuOpen_ = false;
      return true;
    default:
      return false;
  }
}

LRESULT Win32Backend::dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool menu) {
  adoptOnCreate(hwnd, message, lParam);
  Win32Backend* self = backendOf(hwnd);
  if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  // During CreateWindowExW the window's handle is not stored yet; those first messages need nothing.
  if (self == nullptr || self->events_ == nullptr || (menu ? self->menuWindow_ : self->window_) != hwnd)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  LRESULT result = 0;
  bool handled = false;
  {
    // The lock's last unlock makes the calls into the instrument the message brought; after it,
    // nothing of the backend is touched (the host may have closed the editor in those calls).
    std::lock_guard lock(self->events_->windowLock());
    handled = menu ? self->handleMenu(message, wParam, lParam, result)
                   : self->handleEditor(message, wParam, lParam, result);
  }
  return handled ? result : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Win32Backend::editorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return dispatch(hwnd, message, wParam, lParam, false);
}

LRESULT CALLBACK Win32Backend::menuProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return dispatch(hwnd, message, wParam, lParam, true);
}

}  // namespace tamblin
