// The editor in a real Win32 window: a host window of our own, the editor opened in it through
// effEditOpen, pointer input sent through the system's input queue, the automation the host
// receives, and the window's client area read back as a picture.
#include "HostCheck.h"

#if !defined(_WIN32)

#include <iostream>

namespace tamblin::check {
int runEditorSession(const std::string&, const std::string&, const std::string&) {
  std::cerr << "the editor session runs on Windows (or under Wine)\n";
  return 2;
}
}  // namespace tamblin::check

#else

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "EditorSession.h"
#include "Host.h"
#include "Plugin.h"
#include "Png.h"

namespace tamblin::check {
namespace {

constexpr const wchar_t* kHostClass = L"TamblinCheckHost";
constexpr const wchar_t* kEditorClass = L"TamblinEditorWindow";

// Hands every waiting message to its window for about `ms` milliseconds, as a host's loop does.
void pump(int ms) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(5);
  } while (GetTickCount64() < end);
}

// A picture of width x height pixels that `draw` paints into a device context of ours.
Image grab(int width, int height, const std::function<void(HDC)>& draw) {
  Image picture(width, height);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC memory = CreateCompatibleDC(nullptr);
  if (bitmap != nullptr && memory != nullptr && bits != nullptr) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    std::memset(bits, 0x55, static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    draw(memory);
    GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const uint32_t p =
            pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
        picture.setPixel(
            x, y,
            Color{static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)});
      }
    }
    SelectObject(memory, previous);
  }
  if (memory != nullptr) DeleteDC(memory);
  if (bitmap != nullptr) DeleteObject(bitmap);
  return picture;
}

// The client area as a picture: through the window's own painting into our device context
// (PrintWindow), or read from the window's device context.
Image capture(HWND window, bool printed) {
  RECT client{};
  GetClientRect(window, &client);
  return grab(client.right, client.bottom, [&](HDC memory) {
    if (printed) {
      PrintWindow(window, memory, 1 /* PW_CLIENTONLY */);
    } else if (HDC dc = GetDC(window)) {
      BitBlt(memory, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
      ReleaseDC(window, dc);
    }
  });
}

// The whole host window, frame and all, as the system drew it, sized to hold the editor.
Image hostPicture(HWND hostWindow, int clientWidth, int clientHeight) {
  RECT bounds{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&bounds, static_cast<DWORD>(GetWindowLongW(hostWindow, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(hostWindow, GWL_EXSTYLE)));
  const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  SetWindowPos(hostWindow, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  RedrawWindow(hostWindow, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  return grab(width, height, [&](HDC memory) {
    if (HDC dc = GetWindowDC(hostWindow)) {
      BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY);
      ReleaseDC(hostWindow, dc);
    }
  });
}

int differingPixels(const Image& a, const Image& b) {
  if (a.width() != b.width() || a.height() != b.height()) return -1;
  int count = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) count += a.pixel(x, y) == b.pixel(x, y) ? 0 : 1;
  return count;
}

void sendButton(bool right, bool down) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = right ? (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP)
                           : (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
  SendInput(1, &input, sizeof input);
}

void sendKey(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof input[0]);
}

// Moves the pointer to a screen point through the input queue (absolute, over the virtual screen).
void sendMove(POINT to) {
  const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
  const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_VIRTUALDESK;
  // The centre of the pixel in the 0..65535 scale, so that either rounding lands on it.
  input.mi.dx = static_cast<LONG>(((to.x - left) * 65536LL + 32768) / width);
  input.mi.dy = static_cast<LONG>(((to.y - top) * 65536LL + 32768) / height);
  SendInput(1, &input, sizeof input);
}

std::string join(const std::string& folder, const char* name) { return folder + "/" + name; }

}  // namespace

int runEditorSession(const std::string& pluginPath, const std::string& program0Png,
                     const std::string& outDir) {
  Checks checks;
  WNDCLASSEXW hostClass{};
  hostClass.cbSize = sizeof hostClass;
  hostClass.lpfnWndProc = DefWindowProcW;
  hostClass.hInstance = GetModuleHandleW(nullptr);
  hostClass.lpszClassName = kHostClass;
  hostClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  RegisterClassExW(&hostClass);
  auto makeHostWindow = [] {
    HWND window = CreateWindowExW(0, kHostClass, L"Tamblin check host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                                  30, 640, 620, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(window);
    pump(100);
    return window;
  };
  try {
    host::Host host;
    auto plugin = host::Plugin::load(pluginPath, host);
    HMODULE library = GetModuleHandleA("Tamblin2.dll");
    HWND hostWindow = makeHostWindow();
    if (!checks.check(hostWindow != nullptr, "a host window")) return 1;

    ERect* rect = nullptr;
    plugin->dispatch(effEditGetRect, 0, 0, &rect);
    checks.check(rect && rect->bottom == 518 && rect->right == 665,
                 "editor rectangle 665 x 518 before the open");
    checks.check(plugin->dispatch(effEditOpen, 0, 0, hostWindow) == 1, "effEditOpen answers 1");
    HWND editor = FindWindowExW(hostWindow, nullptr, kEditorClass, nullptr);
    if (!checks.check(editor != nullptr, "the editor is a child of the host's window")) return 1;
    RECT client{};
    GetClientRect(editor, &client);
    checks.check(client.right == 544 && client.bottom == 536 && IsWindowVisible(editor),
                 "the editor shows 544 x 536 client pixels");
    rect = nullptr;
    plugin->dispatch(effEditGetRect, 0, 0, &rect);
    checks.check(rect && rect->bottom == 536 && rect->right == 544, "editor rectangle 544 x 536 once open");
    const LONG style = GetWindowLongW(editor, GWL_STYLE);
    checks.check((style & WS_CHILD) && !(style & (WS_BORDER | WS_CAPTION | WS_THICKFRAME)),
                 "a borderless child");
    pump(300);

    const Image opened = capture(editor, true);
    writePng(opened, join(outDir, "editor-opened.png"));
    const auto headless = readPng(program0Png);
    checks.check(headless && differingPixels(opened, *headless) == 0,
                 "the opened window equals the headless picture " + program0Png + " (" +
                     std::to_string(headless ? differingPixels(opened, *headless) : -1) + " pixels differ)");
    checks.check(differingPixels(capture(editor, false), opened) == 0,
                 "the window's device context shows the same picture as its painting");

    writePng(hostPicture(hostWindow, 544, 536), join(outDir, "editor-in-host.png"));
    pump(100);

    // The session, as real pointer input through the system's queue.
    for (const PointerStep& step : editorSession()) {
      if (step.action == Action::Move) {
        POINT to{step.x, step.y};
        ClientToScreen(editor, &to);
        sendMove(to);
      } else {
        sendButton(step.right, step.action == Action::Press);
      }
      pump(60);
    }
    pump(500);  // the refresh timer draws what changed
    for (const ExpectedAutomation& expected : sessionAutomation()) {
      int count = 0;
      float last = -1.0f;
      for (const host::AutomationNotice& notice : host.automationNotices()) {
        if (notice.index != expected.index) continue;
        ++count;
        last = notice.value;
      }
      checks.check(count > 0 && last == expected.last,
                   "the host received automation of parameter " + std::to_string(expected.index) + " (" +
                       std::to_string(count) + " notices, last " + std::to_string(last) + ")");
      checks.check(plugin->parameter(expected.index) == expected.last,
                   "parameter " + std::to_string(expected.index) + " holds the edit");
    }
    checks.check(GetCapture() == nullptr, "no pointer capture left behind");
    const Image edited = capture(editor, true);
    checks.check(writePng(edited, join(outDir, "editor-edited.png")), "edited picture written");

    // Near the bottom of the screen the gate length menu moves up to stay wholly on the monitor; a
    // press outside closes it without a choice and leaves no capture behind.
    SetWindowPos(hostWindow, nullptr, 300, 600, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    pump(100);
    const auto [lengthX, lengthY] = windowPoint("GLen", 10, 5);
    POINT opener{lengthX, lengthY};
    ClientToScreen(editor, &opener);
    sendMove(opener);
    sendButton(false, true);
    sendButton(false, false);
    pump(150);
    HWND menu = FindWindowW(L"TamblinMenuWindow", nullptr);
    RECT menuRect{};
    if (menu != nullptr) GetWindowRect(menu, &menuRect);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromPoint(opener, MONITOR_DEFAULTTONEAREST), &monitor);
    checks.check(menu != nullptr && IsWindowVisible(menu) && menuRect.left == opener.x &&
                     menuRect.bottom == monitor.rcMonitor.bottom && menuRect.top < opener.y,
                 "the menu opens at the pointer, moved up to stay on the monitor");
    const size_t notices = host.automationNotices().size();
    sendKey(VK_ESCAPE);
    pump(150);
    checks.check(menu != nullptr && !IsWindowVisible(menu) && GetCapture() == nullptr,
                 "Escape closes the menu and frees the pointer");
    sendMove(opener);
    sendButton(false, true);
    sendButton(false, false);
    pump(150);
    checks.check(menu != nullptr && IsWindowVisible(menu), "the menu opens again");
    sendMove(POINT{5, 5});
    sendButton(false, true);
    sendButton(false, false);
    pump(150);
    checks.check(menu != nullptr && !IsWindowVisible(menu) && GetCapture() == nullptr &&
                     host.automationNotices().size() == notices,
                 "a press outside closes it too, and neither made a choice");
    SetWindowPos(hostWindow, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    pump(100);

    // Open, open, close: still there but hidden; the second close destroys it and the window class.
    checks.check(plugin->dispatch(effEditOpen, 0, 0, hostWindow) == 1, "a second open");
    plugin->dispatch(effEditClose);
    checks.check(IsWindow(editor) && !IsWindowVisible(editor),
                 "after one close of two opens the window is hidden");
    plugin->dispatch(effEditClose);
    pump(50);
    checks.check(!IsWindow(editor), "the last close destroys the window");
    WNDCLASSEXW found{};
    found.cbSize = sizeof found;
    checks.check(GetClassInfoExW(library, kEditorClass, &found) == 0,
                 "the window class goes with the last editor");

    // A host that destroys its window before it closes the editor; then an editor in a new window.
    checks.check(plugin->dispatch(effEditOpen, 0, 0, hostWindow) == 1, "open again");
    pump(100);
    DestroyWindow(hostWindow);
    pump(100);
    plugin->dispatch(effEditClose);
    hostWindow = makeHostWindow();
    checks.check(plugin->dispatch(effEditOpen, 0, 0, hostWindow) == 1, "open in a new host window");
    pump(300);
    editor = FindWindowExW(hostWindow, nullptr, kEditorClass, nullptr);
    // The slider shows the edited volume (the label line starts afresh in a new window).
    const Rect volume = windowImages()[imageNamed("DVol")].rect;
    Image before(volume.width(), volume.height()), after(volume.width(), volume.height());
    before.copyRect(edited, volume, before.bounds());
    if (editor != nullptr) after.copyRect(capture(editor, true), volume, after.bounds());
    checks.check(editor != nullptr && differingPixels(before, after) == 0,
                 "the new window shows the edited values");

    // A host that takes the pointer during a drag ends the drag: later moves drag nothing.
    auto volumeNotices = [&host] {
      size_t count = 0;
      for (const host::AutomationNotice& notice : host.automationNotices()) count += notice.index == 0;
      return count;
    };
    const auto [pressX, pressY] = windowPoint("DVol", 20, 70);
    POINT press{pressX, pressY};
    ClientToScreen(editor, &press);
    sendMove(press);
    sendButton(false, true);
    pump(60);
    const size_t pressed = volumeNotices();
    SetCapture(hostWindow);
    pump(60);
    sendButton(false, false);
    pump(60);  // the release reaches the host's window
    ReleaseCapture();
    for (int y : {30, 25}) {
      const auto [moveX, moveY] = windowPoint("DVol", 20, y);
      POINT to{moveX, moveY};
      ClientToScreen(editor, &to);
      sendMove(to);
      pump(60);
    }
    checks.check(pressed > 0 && volumeNotices() == pressed && plugin->parameter(0) == 0.5f,
                 "a drag the host took the pointer from drags no further");
    plugin->dispatch(effEditClose);
    DestroyWindow(hostWindow);
    pump(50);
    // A parent that is not a window gets no editor.
    checks.check(plugin->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t{0x1234})) == 0,
                 "no editor in a window that does not exist");
    plugin->dispatch(effEditClose);
  } catch (const std::exception& error) {
    checks.check(false, error.what());
  }
  return checks.failures == 0 ? 0 : 1;
}

}  // namespace tamblin::check

#endif
