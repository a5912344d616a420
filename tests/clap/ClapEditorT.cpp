// Tamblin.clap's editor in a host's X11 window under Xvfb: embedded at its fixed size, driven by the
// host's timer and its watch on the X connection (no thread of the window's own), closed cleanly; and
// with its own event thread for a host that offers no timers.
#include <gtest/gtest.h>
#include <dirent.h>
#include <poll.h>

#include "ClapTestHost.h"
// Xlib's macros (None, Bool, ...) come after every other header.
#include "support/XvfbServer.h"

namespace tamblin::test::clap {
namespace {

::testing::Environment* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbServer);

class ClapEditor : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::ready()) GTEST_SKIP() << "Xvfb is not installed or did not start";
    ASSERT_NE(library.entry(), nullptr);
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 700, 700, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
  }
  void TearDown() override {
    if (display != nullptr) {
      XDestroyWindow(display, parent);
      XCloseDisplay(display);
    }
  }

  // The parent's children and the first one's size.
  unsigned children(unsigned* width = nullptr, unsigned* height = nullptr) {
    XSync(display, False);
    ::Window root, up, *list = nullptr;
    unsigned count = 0;
    XQueryTree(display, parent, &root, &up, &list, &count);
    if (count > 0 && width != nullptr) {
      XWindowAttributes a;
      XGetWindowAttributes(display, list[0], &a);
      *width = static_cast<unsigned>(a.width);
      *height = static_cast<unsigned>(a.height);
    }
    if (list != nullptr) XFree(list);
    return count;
  }

  // The threads of this process.
  static int threads() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
      while (const dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.' ? 1 : 0;
      closedir(tasks);
    }
    return count;
  }

  ClapLibrary library{TAMBLIN_CLAP_LIBRARY};
  Display* display = nullptr;
  ::Window parent = 0;
};

TEST_F(ClapEditor, EmbedsAtItsFixedSizeDrivenByTheHostsTimerAndFdWatch) {
  TestHost host;
  Instance instance(library, host);
  ASSERT_TRUE(instance.valid() && instance.gui != nullptr);
  const clap_plugin_t* p = instance.plugin();
  const auto* gui = instance.gui;
  const char* api = nullptr;
  bool floating = true;
  ASSERT_TRUE(gui->get_preferred_api(p, &api, &floating));
  EXPECT_STREQ(api, CLAP_WINDOW_API_X11);
  EXPECT_FALSE(floating);
  EXPECT_TRUE(gui->is_api_supported(p, CLAP_WINDOW_API_X11, false));
  EXPECT_FALSE(gui->is_api_supported(p, CLAP_WINDOW_API_X11, true));
  EXPECT_FALSE(gui->is_api_supported(p, CLAP_WINDOW_API_WAYLAND, false));
  ASSERT_TRUE(gui->create(p, CLAP_WINDOW_API_X11, false));
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(gui->get_size(p, &width, &height));
  EXPECT_EQ(width, 544u);
  EXPECT_EQ(height, 536u);
  EXPECT_FALSE(gui->can_resize(p));
  EXPECT_TRUE(gui->set_size(p, 544, 536));
  clap_window_t window{CLAP_WINDOW_API_X11, {nullptr}};
  window.x11 = parent;
  const int threadsBefore = threads();
  ASSERT_TRUE(gui->set_parent(p, &window));
  EXPECT_EQ(threads(), threadsBefore);
  ASSERT_TRUE(gui->show(p));
  unsigned w = 0, h = 0;
  EXPECT_EQ(children(&w, &h), 1u);
  EXPECT_EQ(w, 544u);
  EXPECT_EQ(h, 536u);
  ASSERT_EQ(host.record.timers.size(), 1u);
  EXPECT_GT(host.record.timerPeriod, 0u);
  ASSERT_EQ(host.record.fds.size(), 1u);
  // The host's loop: the timer, and the watched connection when it is readable.
  const auto* timer = instance.timer;
  const auto* fdSupport = extensionOf<clap_plugin_posix_fd_support_t>(p, CLAP_EXT_POSIX_FD_SUPPORT);
  ASSERT_NE(fdSupport, nullptr);
  for (int i = 0; i < 20; ++i) {
    pollfd watch{host.record.fds[0], POLLIN, 0};
    if (poll(&watch, 1, 16) > 0) fdSupport->on_fd(p, host.record.fds[0], CLAP_POSIX_FD_READ);
    timer->on_timer(p, host.record.timers[0]);
  }
  EXPECT_TRUE(gui->hide(p));
  gui->destroy(p);
  EXPECT_TRUE(host.record.timers.empty());
  EXPECT_TRUE(host.record.fds.empty());
  EXPECT_EQ(children(), 0u);
}

TEST_F(ClapEditor, AHostWithoutTimersGetsTheWindowWithItsOwnEventThread) {
  TestHost host;
  host.offerTimers = false;
  host.offerFds = false;
  Instance instance(library, host);
  ASSERT_TRUE(instance.valid());
  const clap_plugin_t* p = instance.plugin();
  ASSERT_TRUE(instance.gui->create(p, CLAP_WINDOW_API_X11, false));
  clap_window_t window{CLAP_WINDOW_API_X11, {nullptr}};
  window.x11 = parent;
  const int threadsBefore = threads();
  ASSERT_TRUE(instance.gui->set_parent(p, &window));
  EXPECT_GT(threads(), threadsBefore);
  EXPECT_EQ(children(), 1u);
  instance.gui->destroy(p);
  EXPECT_EQ(children(), 0u);
}

}  // namespace
}  // namespace tamblin::test::clap
