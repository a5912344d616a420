// tamblin's window under Xvfb: the editor unchanged above the strip, clicked and typed into, heard
// through JACK; what it does when X fails under it; the message window of a start that fails.
#include <array>

#include "Layout.h"
#include "Png.h"
#include "Strip.h"
#include "TamblinFixture.h"

// Xlib's macros come after every other header.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "support/XvfbServer.h"

namespace tamblin::test {
namespace {


// The top-level window whose title is `title`, 0 while there is none.
::Window windowTitled(Display* display, const std::string& title) {
  ::Window root, parent, *children = nullptr, found = 0;
  unsigned count = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name != nullptr) {
      if (title == name) found = children[i];
      XFree(name);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

TEST_F(TamblinJack, ItsWindowIsTheEditorAndClosingItEndsTamblin) {
  XvfbProcess xvfb;
  if (!xvfb.start((config_ / "xvfb-errors").string())) GTEST_SKIP() << "Xvfb is not installed or did not start";
  Display* display = nullptr;
  ASSERT_TRUE(waitFor([&] { return (display = XOpenDisplay(xvfb.display().c_str())) != nullptr; }));
  ChildProcess& tamblin = startTamblin({"--reset", "--program", "0"}, {{"DISPLAY", xvfb.display()}});
  ASSERT_TRUE(probe_->connect(kName));
  ::Window window = 0;
  ASSERT_TRUE(waitFor([&] { return (window = windowTitled(display, "Tamblin - DefaultString")) != 0; }));
  XWindowAttributes attributes;
  ASSERT_TRUE(waitFor([&] { return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable; }));
  // The editor as it always was at the top, the strip below it.
  EXPECT_EQ(attributes.width, 544);
  EXPECT_EQ(attributes.height, 536 + standalone::Strip::kHeight);
  {
    ::Window root, parent, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, window, &root, &parent, &children, &count);
    std::vector<std::array<int, 4>> places;
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes child;
      XGetWindowAttributes(display, children[i], &child);
      places.push_back({child.x, child.y, child.width, child.height});
    }
    if (children != nullptr) XFree(children);
    std::sort(places.begin(), places.end());
    EXPECT_EQ(places, (std::vector<std::array<int, 4>>{{0, 0, 544, 536}, {0, 536, 544, standalone::Strip::kHeight}}));
  }

  auto loudest = [&](std::vector<Probe::Message> messages) {
    const uint32_t start = probe_->now() + 4 * kPeriod;
    for (auto& m : messages) m.time += start;
    probe_->schedule(messages, start, kRate / 4);
    EXPECT_TRUE(probe_->finish());
    float peak = 0.0f;
    for (float v : probe_->left()) peak = std::max(peak, std::fabs(v));
    return peak;
  };
  auto pointer = [&](int x, int y) {
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, 0);
    XSync(display, False);
    std::this_thread::sleep_for(30ms);
  };
  auto click = [&](int x, int y) {
    pointer(x, y);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XSync(display, False);
  };
  auto key = [&](KeySym symbol, bool down) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, symbol), down, 0);
    XSync(display, False);
  };
  const auto strip = [](standalone::Strip::Button button) {
    Rect r = standalone::Strip::buttonRect(button);
    return Rect{r.left, r.top + 536, r.right, r.bottom + 536};
  };
  standalone::Player factory(kRate, 120.0);

  // The strip's next button selects program 1, its menu program 0 again.
  const Rect next = strip(standalone::Strip::Button::Next);
  click(next.left + 4, next.top + 4);
  EXPECT_TRUE(waitFor([&] { return windowTitled(display, "Tamblin - " + factory.programName(1)) != 0; }));
  const Rect name = strip(standalone::Strip::Button::Name);
  click(name.left + 10, name.top + 4);
  const Rect first = standalone::Strip::menuItemRect(0);
  click(first.left + 10, first.top + 536 + 4);
  EXPECT_TRUE(waitFor([&] { return windowTitled(display, "Tamblin - " + factory.programName(0)) != 0; }));

  // Nothing plays until a key is held: on the computer keyboard (with the pointer over the window, which
  // has the keyboard then) or on the keys below.
  pointer(300, 300);
  EXPECT_LT(loudest({}), 1e-6f);
  key(XK_a, true);
  key(XK_d, true);
  key(XK_g, true);
  std::this_thread::sleep_for(100ms);
  EXPECT_GT(loudest({}), 0.01f);
  // The picture of the window with the chord held, for the documentation.
  if (const char* picture = std::getenv("TAMBLIN_WINDOW_PICTURE")) {
    XImage* shot = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                             static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    ASSERT_NE(shot, nullptr);
    Image image(attributes.width, attributes.height);
    for (int y = 0; y < attributes.height; ++y)
      for (int x = 0; x < attributes.width; ++x) {
        const unsigned long v = XGetPixel(shot, x, y);
        image.setPixel(x, y, Color{static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
      }
    XDestroyImage(shot);
    EXPECT_TRUE(writePng(image, picture));
  }
  for (KeySym held : {XK_a, XK_d, XK_g}) key(held, false);
  // The release dies away (in JACK's time, which a busy machine's dummy backend lets fall behind).
  EXPECT_TRUE(waitFor([&] { return loudest({}) < 1e-3f; }, 20000ms));
  const Rect keys = standalone::Strip::keysArea();
  pointer(keys.left + 5, keys.bottom + 536 - 5);
  XTestFakeButtonEvent(display, 1, True, 0);
  XSync(display, False);
  std::this_thread::sleep_for(100ms);
  EXPECT_GT(loudest({}), 0.01f);
  XTestFakeButtonEvent(display, 1, False, 0);
  XSync(display, False);

  // A note held from the MIDI input is heard...
  EXPECT_GT(loudest({{0, {0x90, 60, 100}}}), 0.01f);
  // ...until the volume slider is dragged from its middle to below its bottom: then nothing is.
  const Rect volume = windowImages()[static_cast<size_t>(imageNamed("DVol"))].rect;
  pointer(volume.left + 20, volume.top + 70);
  XTestFakeButtonEvent(display, 1, True, 0);
  pointer(volume.left + 20, volume.bottom + 60);
  XTestFakeButtonEvent(display, 1, False, 0);
  XSync(display, False);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(loudest({}), 0.0f);

  // The window manager's close button ends tamblin, which keeps the change.
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = window;
  close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  XSendEvent(display, window, False, NoEventMask, &close);
  XSync(display, False);
  EXPECT_TRUE(tamblin.waitExit(10000ms));
  EXPECT_EQ(tamblin.exitCode(), 0);
  EXPECT_EQ(tamblin.errors(), "");
  EXPECT_TRUE(probe_->clientGone(kName));
  ASSERT_TRUE(savedState().has_value());
  EXPECT_EQ(savedState()->programs[0].values[0], 0.0f);
  XCloseDisplay(display);
}

// The top-level window whose title begins with `prefix`, 0 while there is none.
::Window windowTitledFrom(Display* display, const std::string& prefix) {
  ::Window root, parent, *children = nullptr, found = 0;
  unsigned count = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name != nullptr) {
      if (std::string(name).rfind(prefix, 0) == 0) found = children[i];
      XFree(name);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

TEST_F(TamblinJack, ItsWindowsFailuresEndItWithOneLineAndTheProgramsSaved) {
  enum class Blow { DestroyWindow, KillClient, KillServer };
  const struct {
    const char* what;
    Blow blow;
    const char* message;
  } cases[] = {
      {"window destroyed by another client", Blow::DestroyWindow,
       "tamblin: the window was destroyed by another X client; the programs were saved to "},
      {"connection killed as xkill does", Blow::KillClient,
       "tamblin: the connection to the X server was lost; the programs were saved to "},
      {"X server gone", Blow::KillServer, "tamblin: the connection to the X server was lost; the programs were saved to "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    XvfbProcess xvfb;
    if (!xvfb.start((config_ / "xvfb-errors").string())) GTEST_SKIP() << "Xvfb is not installed or did not start";
    Display* display = nullptr;
    ASSERT_TRUE(waitFor([&] { return (display = XOpenDisplay(xvfb.display().c_str())) != nullptr; }));
    ChildProcess& tamblin = startTamblin({"--program", "11"}, {{"DISPLAY", xvfb.display()}});
    ASSERT_TRUE(probe_->connect(kName));
    ::Window window = 0;
    ASSERT_TRUE(waitFor([&] { return (window = windowTitledFrom(display, "Tamblin - ")) != 0; }));
    switch (c.blow) {
      case Blow::DestroyWindow:
        XDestroyWindow(display, window);
        break;
      case Blow::KillClient:
        XKillClient(display, window);
        break;
      case Blow::KillServer:
        break;
    }
    XSync(display, False);
    XCloseDisplay(display);
    if (c.blow == Blow::KillServer) xvfb.kill();
    ASSERT_TRUE(tamblin.waitExit(10000ms));
    EXPECT_EQ(tamblin.exitCode(), 1);
    EXPECT_EQ(lineCount(tamblin.errors()), 1) << tamblin.errors();
    EXPECT_EQ(tamblin.errors().rfind(c.message, 0), 0u) << tamblin.errors();
    ASSERT_TRUE(savedState().has_value());
    EXPECT_EQ(savedState()->currentProgram, 11);
    std::filesystem::remove(statePath());
    EXPECT_TRUE(probe_->clientGone(kName));
  }

  // A start that fails with a window asked for (as from the desktop menu, which has no terminal) says
  // so in a window as well; it ends when the message is dismissed.
  {
    XvfbProcess xvfb;
    ASSERT_TRUE(xvfb.start((config_ / "xvfb-errors").string()));
    Display* display = nullptr;
    ASSERT_TRUE(waitFor([&] { return (display = XOpenDisplay(xvfb.display().c_str())) != nullptr; }));
    ChildProcess& lonely = startTamblin({"--server", kServer + "-none"}, {{"DISPLAY", xvfb.display()}}, false);
    ::Window message = 0;
    ASSERT_TRUE(waitFor([&] { return (message = windowTitled(display, "Tamblin")) != 0; }));
    EXPECT_TRUE(lonely.running());
    XWindowAttributes attributes;
    ASSERT_TRUE(waitFor([&] { return XGetWindowAttributes(display, message, &attributes) && attributes.map_state == IsViewable; }));
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(display, message, DefaultRootWindow(display), attributes.width / 2, attributes.height - 25,
                          &rootX, &rootY, &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XSync(display, False);
    ASSERT_TRUE(lonely.waitExit(5000ms));
    EXPECT_EQ(lonely.exitCode(), 1);
    EXPECT_EQ(lonely.errors(), "tamblin: no JACK server '" + kServer + "-none' is running (start one, for example with "
                               "qjackctl)\n");
    XCloseDisplay(display);
  }

  // A display the editor cannot draw on: the reason, and the way to go on without a window.
  XvfbProcess shallow;
  if (!shallow.start((config_ / "xvfb-errors").string(), 16)) GTEST_SKIP() << "Xvfb did not start at depth 16";
  ChildProcess& refused = startTamblin({}, {{"DISPLAY", shallow.display()}});
  ASSERT_TRUE(refused.waitExit(10000ms));
  EXPECT_EQ(refused.exitCode(), 1);
  EXPECT_EQ(refused.errors(),
            "tamblin: the editor window could not be opened: the X display has no 24-bit TrueColor visual, which the "
            "editor draws with (--no-gui runs without a window)\n");
}
}  // namespace
}  // namespace tamblin::test
