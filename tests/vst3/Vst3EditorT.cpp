// The editor view in a real X server, as a VST 3 host on Linux shows it: embedded in the host's window,
// its events and timers run from the host's run loop with no thread of its own, a click reported as an
// edit gesture, and the host's parameter values redrawing it.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "Vst3Host.h"

// Xlib's macros (None, Bool, ...) come after every other header.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "support/XvfbServer.h"

namespace tamblin::test {
namespace {

using namespace vst3host;

::testing::Environment* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbServer);

int threadCount() {
  int count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
    closedir(tasks);
  }
  return count;
}

class Vst3EditorHost : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::ready()) GTEST_SKIP() << "Xvfb is not installed or did not start";
    ASSERT_NE(module.factory, nullptr) << module.error;
    ASSERT_TRUE(instance.valid());
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 40, 30, 600, 600, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
  }
  void TearDown() override {
    if (view != nullptr) view->release();
    if (display != nullptr) {
      XDestroyWindow(display, parent);
      XCloseDisplay(display);
    }
  }

  ::Window child() {
    ::Window root = 0, parentOf = 0, *children = nullptr;
    unsigned int count = 0;
    XQueryTree(display, parent, &root, &parentOf, &children, &count);
    const ::Window found = count == 1 ? children[0] : 0;
    if (children != nullptr) XFree(children);
    return found;
  }

  void click(::Window window, int x, int y) {
    int rootX = 0, rootY = 0;
    ::Window ignored;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &ignored);
    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XSync(display, False);
    std::this_thread::sleep_for(30ms);
    XTestFakeButtonEvent(display, 1, False, 0);
    XSync(display, False);
  }

  Module module{TAMBLIN_VST3_MODULE};
  Instance instance{module.factory};
  PlugFrame frame;
  IPlugView* view = nullptr;
  Display* display = nullptr;
  ::Window parent = 0;
};

TEST_F(Vst3EditorHost, TheViewRunsOnTheHostsLoopAndReportsAClickAsAGesture) {
  view = instance.controller->createView(kEditorViewType);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(instance.controller->createView(kEditorViewType), nullptr);  // one at a time
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultOk);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
  ViewRect size{};
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.right - size.left, 544);
  EXPECT_EQ(size.bottom - size.top, 536);
  EXPECT_EQ(view->canResize(), kResultFalse);
  ViewRect wish{0, 0, 900, 100};
  ASSERT_EQ(view->checkSizeConstraint(&wish), kResultOk);
  EXPECT_EQ(wish.right, 544);
  EXPECT_EQ(wish.bottom, 536);

  ASSERT_EQ(view->setFrame(&frame), kResultOk);
  const int threadsBefore = threadCount();
  ASSERT_EQ(view->attached(reinterpret_cast<void*>(static_cast<uintptr_t>(parent)), kPlatformTypeX11EmbedWindowID),
            kResultOk);
  EXPECT_EQ(threadCount(), threadsBefore);  // the host's loop runs the window
  ASSERT_EQ(frame.timers.size(), 1u);
  EXPECT_EQ(frame.timers[0].second, 20u);
  ASSERT_EQ(frame.handlers.size(), 1u);
  EXPECT_GE(frame.handlers[0].second, 0);
  const ::Window editor = child();
  ASSERT_NE(editor, 0u);
  XWindowAttributes attributes{};
  ASSERT_TRUE(waitFor([&] {
    frame.fire();
    return XGetWindowAttributes(display, editor, &attributes) && attributes.map_state == IsViewable;
  }));
  EXPECT_EQ(attributes.width, 544);
  EXPECT_EQ(attributes.height, 536);

  // The "Volume" slider stands at (12, 45), 51 x 131; a press 70 pixels down its scale sets 0.5.
  click(editor, 12 + 25, 45 + 70);
  ASSERT_TRUE(waitFor([&] { return instance.handler.calls.size() >= 2; }, 5000ms, [&] { frame.fire(); }));
  EXPECT_EQ(instance.handler.calls[0], "begin 0");
  EXPECT_EQ(instance.handler.calls[1], "perform 0");
  EXPECT_EQ(instance.handler.lastValue, 0.5);
  EXPECT_EQ(instance.controller->getParamNormalized(0), 0.5);
  // The gesture ends once the edits stop.
  EXPECT_TRUE(waitFor([&] { return instance.handler.calls.back() == "end 0"; }, 5000ms, [&] { frame.fire(); }));

  // A value from the host redraws the window, and does not come back as an edit.
  const size_t calls = instance.handler.calls.size();
  ASSERT_EQ(instance.controller->setParamNormalized(31, 0.0), kResultOk);
  for (int i = 0; i < 20; ++i) {
    frame.fire();
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_EQ(instance.handler.calls.size(), calls);

  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_TRUE(frame.timers.empty());
  EXPECT_TRUE(frame.handlers.empty());
  EXPECT_EQ(child(), 0u);
}

TEST_F(Vst3EditorHost, WithoutARunLoopTheWindowRunsItselfAndBadParentsAreRefused) {
  view = instance.controller->createView(kEditorViewType);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->attached(nullptr, kPlatformTypeX11EmbedWindowID), kInvalidArgument);
  EXPECT_EQ(view->attached(reinterpret_cast<void*>(static_cast<uintptr_t>(parent)), kPlatformTypeHWND),
            kInvalidArgument);
  EXPECT_EQ(view->attached(reinterpret_cast<void*>(uintptr_t{0x7fffff}), kPlatformTypeX11EmbedWindowID),
            kResultFalse);  // not a window
  frame.offerRunLoop = false;
  view->setFrame(&frame);
  ASSERT_EQ(view->attached(reinterpret_cast<void*>(static_cast<uintptr_t>(parent)), kPlatformTypeX11EmbedWindowID),
            kResultOk);
  const ::Window editor = child();
  ASSERT_NE(editor, 0u);
  click(editor, 12 + 25, 45 + 70);
  EXPECT_TRUE(waitFor([&] { return instance.handler.calls.size() >= 2; }));
  EXPECT_EQ(view->removed(), kResultOk);
  EXPECT_EQ(view->removed(), kResultFalse);
}

}  // namespace
}  // namespace tamblin::test
