// The editor in a real X server: a test host opens it through effEditOpen inside its own window,
// presses and drags with XTest, and watches the automation reach its callback. Needs Xvfb; skipped
// when it is not installed.
#include "APluginEditor.h"
#include "Drawing.h"
#include "EditorTestSupport.h"
#include "support/QuietHost.h"

// Xlib's macros (None, Bool, ...) come after every other header.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "support/XvfbServer.h"

#include <dirent.h>
#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace tamblin::test {
namespace {

using namespace std::chrono_literals;

::testing::Environment* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbServer);

// The test host: its own connection, a top-level window for the editor, and the instrument.
class X11Host : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::ready()) GTEST_SKIP() << "Xvfb is not installed or did not start";
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr);
    int eventBase, errorBase, major, minor;
    ASSERT_TRUE(XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor));
    hostWindow_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 40, 30, 600, 600, 0, 0, 0);
    XMapWindow(display_, hostWindow_);
    XSync(display_, False);
    ASSERT_NE(instrument_.effect(), nullptr);
    InProcessInstrument::takeAutomation();
  }
  void TearDown() override {
    if (display_ != nullptr) {
      instrument_.dispatch(effEditClose);
      XDestroyWindow(display_, hostWindow_);
      XCloseDisplay(display_);
    }
  }

  // Opens the editor through the VST 2 request and waits until its window is on screen.
  void openEditor() {
    ASSERT_EQ(instrument_.dispatch(effEditOpen, 0, 0, parent()), 1);
    ASSERT_TRUE(editorViewable());
  }
  bool editorViewable() {
    return waitFor([this] {
      XWindowAttributes attributes;
      const ::Window child = editorWindow();
      return child != 0 && XGetWindowAttributes(display_, child, &attributes) &&
             attributes.map_state == IsViewable;
    });
  }
  void* parent() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(hostWindow_)); }
  TPluginEditorWindow* editor() {
    auto* bridge = static_cast<APluginEditor*>(instrument_.plugin()->getEditor());
    return bridge ? dynamic_cast<TPluginEditorWindow*>(bridge->editorWindow()) : nullptr;
  }
  // The editor's composed picture, copied under its lock (its own thread may be drawing).
  Image editorFrame() {
    TPluginEditorWindow* window = editor();
    if (window == nullptr) return Image();
    std::lock_guard lock(window->windowLock());
    return window->frame();
  }
  ::Window editorWindow() {
    ::Window root, parentOfHost, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display_, hostWindow_, &root, &parentOfHost, &children, &count);
    const ::Window child = count > 0 ? children[count - 1] : 0;
    if (children != nullptr) XFree(children);
    return child;
  }
  Image screenshot(::Window window, int width, int height) {
    Image shot(width, height);
    XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return shot;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const unsigned long p = XGetPixel(image, x, y);
        shot.setPixel(x, y,
                      Color{static_cast<uint8_t>((p >> 16) & 255), static_cast<uint8_t>((p >> 8) & 255),
                            static_cast<uint8_t>(p & 255)});
      }
    }
    XDestroyImage(image);
    return shot;
  }
  // Pointer actions at a point of a named image of the editor, in real X events.
  void moveTo(std::string_view name, int x, int y) {
    auto [wx, wy] = HeadlessEditor::at(name, x, y);
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(display_, editorWindow(), DefaultRootWindow(display_), wx, wy, &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(display_, DefaultScreen(display_), rootX, rootY, 0);
    XSync(display_, False);
  }
  void moveToRoot(int x, int y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, 0);
    XSync(display_, False);
  }
  void button(unsigned number, bool down) {
    XTestFakeButtonEvent(display_, number, down ? True : False, 0);
    XSync(display_, False);
    std::this_thread::sleep_for(30ms);
  }
  bool pointerIsFree() {
    const int result = XGrabPointer(display_, hostWindow_, False, ButtonPressMask, GrabModeAsync,
                                    GrabModeAsync, None, None, CurrentTime);
    if (result == GrabSuccess) XUngrabPointer(display_, CurrentTime);
    XSync(display_, False);
    return result == GrabSuccess;
  }
  std::vector<std::pair<int, float>> automationFor(int index, const std::function<void()>& meanwhile = {},
                                                   std::chrono::milliseconds limit = 5000ms) {
    std::vector<std::pair<int, float>> found;
    waitFor(
        [&] {
          for (auto& entry : InProcessInstrument::takeAutomation()) {
            if (entry.first == index) found.push_back(entry);
          }
          return !found.empty();
        },
        limit, meanwhile);
    std::this_thread::sleep_for(50ms);
    for (auto& entry : InProcessInstrument::takeAutomation()) {
      if (entry.first == index) found.push_back(entry);
    }
    return found;
  }

  InProcessInstrument instrument_;
  Display* display_ = nullptr;
  ::Window hostWindow_ = 0;
};

TEST_F(X11Host, OpensInTheHostWindowAndShowsThePanel) {
  ASSERT_EQ(instrument_.dispatch(effEditOpen, 0, 0, parent()), 1);
  ERect* rect = nullptr;
  instrument_.dispatch(effEditGetRect, 0, 0, &rect);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right, 544);
  EXPECT_EQ(rect->bottom, 536);
  const ::Window child = editorWindow();
  ASSERT_NE(child, 0u);
  XWindowAttributes attributes;
  XGetWindowAttributes(display_, child, &attributes);
  EXPECT_EQ(attributes.width, 544);
  EXPECT_EQ(attributes.height, 536);
  EXPECT_EQ(attributes.map_state, IsViewable);
  ASSERT_NE(editor(), nullptr);
  Image shot;
  EXPECT_TRUE(waitFor([&] {
    shot = screenshot(child, 544, 536);
    return shot == editorFrame();
  }));
  writePng(shot, ::testing::TempDir() + "editor-x11.png");

  // A change from the host shows at the next refresh, drawn by the window's own timer.
  const Image before = shot;
  AEffect* effect = instrument_.effect();
  effect->setParameter(effect, kFilterFrequency,
                       effect->getParameter(effect, kFilterFrequency) > 0.5f ? 0.1f : 0.9f);
  EXPECT_TRUE(waitFor([&] {
    shot = screenshot(child, 544, 536);
    return shot == editorFrame() && !(shot == before);
  }));
  const Rect dial = windowImages()[imageNamed("DFilt")].rect;
  Image dialBefore(dial.width(), dial.height()), dialAfter(dial.width(), dial.height());
  dialBefore.copyRect(before, dial, dialBefore.bounds());
  dialAfter.copyRect(shot, dial, dialAfter.bounds());
  EXPECT_FALSE(dialAfter == dialBefore);
}

TEST_F(X11Host, MenusOpenAtThePointerAndStayOnTheScreen) {
  XMoveWindow(display_, hostWindow_, 300, 600);  // the gate length box ends up near the bottom edge
  XSync(display_, False);
  openEditor();
  moveTo("GLen", 10, 5);
  button(1, true);
  button(1, false);
  ::Window menu = 0;
  XWindowAttributes attributes{};
  const auto findMenu = [&] {
    menu = 0;
    ::Window root, parentOfRoot, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display_, DefaultRootWindow(display_), &root, &parentOfRoot, &children, &count);
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes a;
      if (XGetWindowAttributes(display_, children[i], &a) && a.override_redirect &&
          a.map_state == IsViewable) {
        menu = children[i];
        attributes = a;
      }
    }
    if (children != nullptr) XFree(children);
    return menu != 0;
  };
  EXPECT_TRUE(waitFor(findMenu));
  ASSERT_NE(menu, 0u);
  EXPECT_EQ(attributes.height, 16 * menuItemHeight());
  EXPECT_EQ(attributes.y + attributes.height, 768);  // moved up to stay on the screen
  EXPECT_EQ(attributes.x, 300 + 464 + 10);           // still at the pointer across
  // A press outside closes it without a choice and leaves no grab behind.
  moveToRoot(5, 5);
  button(1, true);
  button(1, false);
  EXPECT_TRUE(waitFor([&] { return !findMenu(); }));
  EXPECT_TRUE(waitFor([&] { return pointerIsFree(); }, 1000ms));
  // Escape closes it as well.
  moveTo("GLen", 10, 5);
  button(1, true);
  button(1, false);
  EXPECT_TRUE(waitFor(findMenu));
  const KeyCode escape = XKeysymToKeycode(display_, XK_Escape);
  XTestFakeKeyEvent(display_, escape, True, 0);
  XTestFakeKeyEvent(display_, escape, False, 0);
  XSync(display_, False);
  EXPECT_TRUE(waitFor([&] { return !findMenu(); }));
  EXPECT_TRUE(waitFor([&] { return pointerIsFree(); }, 1000ms));
  EXPECT_TRUE(automationFor(kGateLength, {}, 300ms).empty());
}

TEST_F(X11Host, DragsAndClicksBecomeAutomationWithoutIdleCalls) {
  openEditor();
  // An absolute slider drag on the volume, released far outside the window.
  moveTo("DVol", 20, 70);
  button(1, true);
  moveTo("DVol", 20, 45);
  moveToRoot(1000, 5);
  button(1, false);
  const auto volume = automationFor(kVolume);
  ASSERT_GE(volume.size(), 2u);
  EXPECT_FLOAT_EQ(volume.front().second, 0.5f);
  EXPECT_FLOAT_EQ(volume.back().second, 1.0f);
  EXPECT_TRUE(waitFor([&] { return pointerIsFree(); }, 1000ms)) << "the drag left a grab behind";
  EXPECT_NE(InProcessInstrument::automationThread(), std::this_thread::get_id());  // the editor's own thread
  AEffect* effect = instrument_.effect();
  EXPECT_FLOAT_EQ(effect->getParameter(effect, kVolume), 1.0f);

  // The filter type menu: open at the pointer, move to the third item, choose it.
  moveTo("Ftypei", 10, 5);
  button(1, true);
  button(1, false);
  auto [wx, wy] = HeadlessEditor::at("Ftypei", 10, 5);
  int rootX = 0, rootY = 0;
  ::Window child;
  XTranslateCoordinates(display_, editorWindow(), DefaultRootWindow(display_), wx, wy, &rootX, &rootY,
                        &child);
  moveToRoot(rootX + 6, rootY + 2 * menuItemHeight() + menuItemHeight() / 2);
  button(1, true);
  button(1, false);
  const auto filter = automationFor(kFilterType);
  ASSERT_EQ(filter.size(), 1u);
  EXPECT_FLOAT_EQ(filter[0].second, static_cast<float>(2.5 / 10.99));
  EXPECT_TRUE(waitFor([&] { return pointerIsFree(); }, 1000ms)) << "the menu left a grab behind";
}

TEST_F(X11Host, AHostThatUnmapsItsWindowDuringADragLeavesNoDragBehind) {
  openEditor();
  moveTo("DVol", 20, 70);
  button(1, true);
  EXPECT_FALSE(automationFor(kVolume).empty());
  // The server ends the grab with the window; the release then reaches someone else.
  XUnmapWindow(display_, hostWindow_);
  XSync(display_, False);
  button(1, false);
  XMapWindow(display_, hostWindow_);
  XSync(display_, False);
  ASSERT_TRUE(editorViewable());
  // Moving over the slider with no button held changes nothing.
  moveTo("DVol", 20, 30);
  moveTo("DVol", 20, 25);
  EXPECT_TRUE(automationFor(kVolume, {}, 400ms).empty());
  EXPECT_TRUE(waitFor([&] { return pointerIsFree(); }, 1000ms));
  AEffect* effect = instrument_.effect();
  EXPECT_FLOAT_EQ(effect->getParameter(effect, kVolume), 0.5f);
}

TEST_F(X11Host, AHostHoldingItsLockAcrossTheCloseAndTheAutomationIsNotDeadlocked) {
  openEditor();
  static std::mutex hostLock;
  std::unique_lock held(hostLock);
  InProcessInstrument::hostLock() = &hostLock;
  struct Reset {
    ~Reset() { InProcessInstrument::hostLock() = nullptr; }
  } reset;
  // A drag whose automation reaches the host while the host holds its lock.
  moveTo("DQ", 25, 30);
  button(1, true);
  moveTo("DQ", 25, 10);
  EXPECT_TRUE(waitFor([] { return InProcessInstrument::callbacksWaiting() > 0; }));
  // The host closes the editor with its lock held; the editor's thread waits for that lock.
  auto closing = std::async(std::launch::async, [this] { instrument_.dispatch(effEditClose); });
  const bool closed = closing.wait_for(5s) == std::future_status::ready;
  held.unlock();  // frees a deadlocked close as well, so that a failure ends
  closing.wait();
  EXPECT_TRUE(closed) << "effEditClose waited for the host's lock";
  button(1, false);
  EXPECT_TRUE(waitFor([] { return InProcessInstrument::callbacksWaiting() == 0; }));
  EXPECT_EQ(editorWindow(), 0u);
  EXPECT_FALSE(automationFor(kFilterQ).empty());  // the waiting call went through once the host let go
  EXPECT_TRUE(waitFor([&] { return pointerIsFree(); }, 1000ms));
}

TEST_F(X11Host, EventsAlsoFlowThroughTheHostsIdleCalls) {
  openEditor();
  const auto idle = [this] { instrument_.dispatch(effEditIdle); };
  for (int i = 0; i < 10; ++i) {
    idle();
    std::this_thread::sleep_for(10ms);
  }
  moveTo("GateBack1", 4, 4);
  button(3, true);
  idle();
  button(3, false);
  const auto gate = automationFor(kGatePatternVolume, idle);
  ASSERT_EQ(gate.size(), 1u);
  EXPECT_FLOAT_EQ(gate[0].second, static_cast<float>(32768.5 / 65535.99));
  EXPECT_EQ(InProcessInstrument::automationThread(), std::this_thread::get_id());  // the host's thread
}

int openFileCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (readdir(dir) != nullptr) ++count;
    closedir(dir);
  }
  return count;
}

TEST_F(X11Host, ReopeningAndAHostWindowGoneFirstAreHarmless) {
  const int filesBefore = openFileCount();
  for (int i = 0; i < 12; ++i) {
    ASSERT_EQ(instrument_.dispatch(effEditOpen, 0, 0, parent()), 1);
    if (i % 3 == 0) {
      ASSERT_EQ(instrument_.dispatch(effEditOpen, 0, 0, parent()), 1);  // opened twice
    }
    instrument_.dispatch(effEditIdle);
    instrument_.dispatch(effEditClose);
    if (i % 3 == 0) instrument_.dispatch(effEditClose);
    EXPECT_EQ(editorWindow(), 0u);
  }
  EXPECT_EQ(openFileCount(), filesBefore);  // each editor's X connection and wake-up pipe are closed
  // The host destroys its window before it closes the editor, while the editor keeps drawing.
  ASSERT_EQ(instrument_.dispatch(effEditOpen, 0, 0, parent()), 1);
  for (int i = 0; i < kNumStoredValues; ++i)
    instrument_.effect()->setParameter(instrument_.effect(), i, 0.3f);
  XDestroyWindow(display_, hostWindow_);
  XSync(display_, False);
  for (int i = 0; i < kNumStoredValues; ++i)
    instrument_.effect()->setParameter(instrument_.effect(), i, 0.6f);
  std::this_thread::sleep_for(300ms);
  instrument_.dispatch(effEditClose);
  hostWindow_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 10, 10, 0, 0, 0);
}

XErrorHandler currentErrorHandler() {
  const XErrorHandler current = XSetErrorHandler(nullptr);
  XSetErrorHandler(current);
  return current;
}

TEST_F(X11Host, TheLoadedLibraryOpensItsEditorAndCanBeUnloaded) {
  const XErrorHandler hostHandler = currentErrorHandler();
  for (int round = 0; round < 2; ++round) {
    void* library = dlopen(TAMBLIN_PLUGIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    using Entry = AEffect* (*)(audioMasterCallback);
    auto entry = reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    QuietHost::automated[kFilterQ] = -1.0f;  // no automation yet
    AEffect* effect = entry(QuietHost::callback);
    ASSERT_NE(effect, nullptr);
    ASSERT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, parent(), 0.0f), 1);
    ASSERT_TRUE(editorViewable());
    moveTo("DQ", 25, 30);
    button(1, true);
    moveTo("DQ", 25, 10);
    button(1, false);
    EXPECT_TRUE(waitFor([] { return QuietHost::automated[kFilterQ] >= 0.0f; }));
    EXPECT_GT(effect->getParameter(effect, kFilterQ), 0.0f);
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    // No X error handler may point into the library once it is unloaded.
    EXPECT_EQ(currentErrorHandler(), hostHandler);
    EXPECT_EQ(dlclose(library), 0);
  }
}

}  // namespace
}  // namespace tamblin::test
