// The Win32 backend: a child window in the host's window, pointer capture, menu windows and timers.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>

#include "platform/WindowBackend.h"

namespace tamblin {

// Everything runs on the thread that owns the host's window: the host's message loop hands our
// windows their messages, and the two timers are window timers (WM_TIMER), so they come in that
// loop too. Each message that reaches the editor takes the window's lock, as the X11 backend's
// events do; the calls into the instrument that a message brings are made after the lock is let go
// (WindowLock), so a host may take its own lock in its automation callback.
class Win32Backend final : public WindowBackend {
 public:
  Win32Backend() = default;
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  bool open(void* parentWindow, int width, int height, WindowEvents& events) override;
  void close() override;
  void setBounds(int left, int top, int width, int height) override;
  void setVisible(bool visible) override;
  void present(const Image& frame, const Rect& area) override;
  void capturePointer() override;
  void releasePointer() override;
  void showMenu(int windowX, int windowY, const Image& menu) override;
  void presentMenu(const Image& menu) override;
  void hideMenu() override;

  // The child window (null before open), for tests.
  HWND window() const { return window_; }

 private:
  // A top-down 32-bit DIB section the pictures are converted into, shown with BitBlt.
  struct Surface {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* bits = nullptr;
    int width = 0, height = 0;
  };

  static LRESULT CALLBACK editorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK menuProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  // Either window's message, to its handler under the window lock, or to the default handling.
  static LRESULT dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool menu);
  // Both under the window lock; true when the message was the editor's.
  bool handleEditor(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  bool handleMenu(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // A pointer message of either window while the menu is open, at a point on the screen.
  void menuPointer(UINT message, POINT screen);
  void paint(HWND target, Surface& surface, const Image& picture);
  bool isLive() const { return window_ != nullptr && !windowGone_; }

  static bool makeSurface(Surface& surface, int width, int height);
  static void freeSurface(Surface& surface);
  static void convert(Surface& surface, const Image& source, const Rect& area);
  static void blit(HDC target, const Surface& surface, const Rect& area);

  HWND window_ = nullptr;
  HWND menuWindow_ = nullptr;
  HWND focusBefore_ = nullptr;  // had the keyboard before the menu took it
  WindowEvents* events_ = nullptr;
  Surface surface_, menuSurface_;
  Image menuPicture_;  // what the menu window shows, for its paints
  int menuX_ = 0, menuY_ = 0;
  bool menuOpen_ = false;
  bool dragCapture_ = false;    // the window holds the pointer for a drag
  bool movingCapture_ = false;  // our own SetCapture or ReleaseCapture is under way
  bool windowGone_ = false;     // destroyed with the host's window before the editor closed
  bool classesHeld_ = false;
};

}  // namespace tamblin
