// The editor's X connections kept apart from Xlib's process-wide error handlers: their errors are
// counted, a broken connection ends only the editor, and every other connection's errors go on to the
// handlers that were there before.
#include "platform/x11/X11Errors.h"

#include <array>
#include <atomic>
#include <mutex>

namespace tamblin {
namespace {

// X errors on the editor's own connections (a parent that is not a window, a window the host has
// already destroyed) must not reach the default handler, which ends the process. While an editor
// connection is open our handler is installed; errors on other connections go on to the handler that
// was there before, which is put back when the last editor connection closes (the library may be
// unloaded afterwards).
constexpr int kMaxDisplays = 64;
std::array<std::atomic<Display*>, kMaxDisplays> ourDisplays{};
std::array<std::atomic<int>, kMaxDisplays> errorCounts{};
std::atomic<XErrorHandler> previousHandler{nullptr};
std::atomic<XIOErrorHandler> previousIoHandler{nullptr};
std::mutex handlerMutex;
int registeredDisplays = 0;

int onXError(Display* display, XErrorEvent* error) {
  for (int i = 0; i < kMaxDisplays; ++i) {
    if (ourDisplays[i].load() == display) {
      errorCounts[i].fetch_add(1);
      return 0;
    }
  }
  const XErrorHandler previous = previousHandler.load();
  return previous ? previous(display, error) : 0;
}

// A broken connection: for the editor's own, return, so that Xlib goes on to the connection's exit
// handler (onConnectionLost), which returns too; the default handler, or a host's, would end the
// process. Other connections go to the handler that was there before.
int onXIoError(Display* display) {
  for (int i = 0; i < kMaxDisplays; ++i) {
    if (ourDisplays[i].load() == display) return 0;
  }
  const XIOErrorHandler previous = previousIoHandler.load();
  return previous ? previous(display) : 0;
}

}  // namespace

void onConnectionLost(Display*, void* lost) { static_cast<std::atomic<bool>*>(lost)->store(true); }

bool registerDisplay(Display* display) {
  std::lock_guard lock(handlerMutex);
  for (int i = 0; i < kMaxDisplays; ++i) {
    Display* expected = nullptr;
    if (ourDisplays[i].compare_exchange_strong(expected, display)) {
      errorCounts[i].store(0);
      if (registeredDisplays++ == 0) {
        previousHandler = XSetErrorHandler(onXError);
        previousIoHandler = XSetIOErrorHandler(onXIoError);
      }
      return true;
    }
  }
  return false;
}

void unregisterDisplay(Display* display) {
  std::lock_guard lock(handlerMutex);
  for (int i = 0; i < kMaxDisplays; ++i) {
    Display* expected = display;
    if (ourDisplays[i].compare_exchange_strong(expected, nullptr)) {
      if (--registeredDisplays == 0) {
        // Only when ours is still the handler in force; a later one keeps its place.
        const XErrorHandler current = XSetErrorHandler(previousHandler.load());
        if (current != onXError) XSetErrorHandler(current);
        const XIOErrorHandler currentIo = XSetIOErrorHandler(previousIoHandler.load());
        if (currentIo != onXIoError) XSetIOErrorHandler(currentIo);
      }
      return;
    }
  }
}

int errorsOn(Display* display) {
  for (int i = 0; i < kMaxDisplays; ++i) {
    if (ourDisplays[i].load() == display) return errorCounts[i].load();
  }
  return 0;
}

}  // namespace tamblin
