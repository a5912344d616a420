// The editor's X connections kept apart from Xlib's process-wide error handlers.
#pragma once

#include <X11/Xlib.h>

namespace tamblin {

// While at least one editor connection is registered, Xlib's error handlers are ours: errors on an
// editor connection are counted (errorsOn), a broken editor connection returns to Xlib so that the
// connection's exit handler runs (onConnectionLost, which sets the std::atomic<bool> it is given), and
// any other connection's errors go to the handlers that were installed before. False when no more
// connections can be registered.
bool registerDisplay(Display* display);
// Puts the previous handlers back when the last editor connection goes (unless another was installed
// since).
void unregisterDisplay(Display* display);
// The errors counted on an editor connection since it was registered.
int errorsOn(Display* display);
// The exit handler for XSetIOErrorExitHandler: `lost` is a std::atomic<bool>.
void onConnectionLost(Display* display, void* lost);

}  // namespace tamblin
