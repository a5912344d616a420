// The bundle's UI in a real X server, loaded as a host loads it: embedded in the host's window through
// ui:parent, clicked with XTest, its edits arriving as port writes, with and without idle calls, and
// the host's port events redrawing controls and the gate lamp.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/ui/ui.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "Lv2TestHost.h"

// Xlib's macros (None, Bool, ...) come after every other header.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "support/XvfbServer.h"

namespace tamblin::test {
namespace {

::testing::Environment* const xvfb = ::testing::AddGlobalTestEnvironment(new XvfbServer);

struct PortWrite {
  uint32_t port;
  uint32_t size;
  uint32_t format;
  float value;
};

class Lv2UiHost : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::ready()) GTEST_SKIP() << "Xvfb is not installed or did not start";
    ASSERT_NE(world_.plugin(), nullptr);
    // The UI's binary as the plug-in's description names it.
    LilvUIs* uis = lilv_plugin_get_uis(world_.plugin());
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
    EXPECT_TRUE(lilv_ui_is_a(ui, world_.uri(LV2_UI__X11UI)));
    char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
    library_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    lilv_free(path);
    lilv_uis_free(uis);
    ASSERT_NE(library_, nullptr) << dlerror();
    auto entry = reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(library_, "lv2ui_descriptor"));
    ASSERT_NE(entry, nullptr);
    descriptor_ = entry(0);
    ASSERT_NE(descriptor_, nullptr);
    EXPECT_EQ(entry(1), nullptr);

    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr);
    parent_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 40, 30, 600, 600, 0, 0, 0);
    XMapWindow(display_, parent_);
    XSync(display_, False);
  }
  void TearDown() override {
    if (handle_ != nullptr) descriptor_->cleanup(handle_);
    if (display_ != nullptr) {
      XDestroyWindow(display_, parent_);
      XCloseDisplay(display_);
    }
    if (library_ != nullptr) dlclose(library_);
  }

  void instantiate() {
    LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent_))};
    LV2UI_Resize resize{this, [](LV2UI_Feature_Handle host, int width, int height) {
                          static_cast<Lv2UiHost*>(host)->size_ = {width, height};
                          return 0;
                        }};
    LV2_Feature resizeFeature{LV2_UI__resize, &resize};
    const LV2_Feature* features[] = {&parent, urids_.feature(), &resizeFeature, nullptr};
    LV2UI_Widget widget = nullptr;
    handle_ = descriptor_->instantiate(descriptor_, lv2::kPluginUri, TAMBLIN_LV2_BUNDLE "/",
                                       &Lv2UiHost::write, this, &widget, features);
    ASSERT_NE(handle_, nullptr);
    widget_ = static_cast<::Window>(reinterpret_cast<uintptr_t>(widget));
    ASSERT_NE(widget_, 0u);
    EXPECT_EQ(size_, std::make_pair(544, 536));
    ASSERT_TRUE(waitFor([this] {
      XWindowAttributes attributes;
      return XGetWindowAttributes(display_, widget_, &attributes) && attributes.map_state == IsViewable;
    }));
  }

  static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format,
                    const void* buffer) {
    auto* host = static_cast<Lv2UiHost*>(controller);
    PortWrite w{port, size, format, 0.0f};
    if (size == sizeof(float)) std::memcpy(&w.value, buffer, sizeof(float));
    std::lock_guard lock(host->writesMutex_);
    host->writes_.push_back(w);
  }
  std::vector<PortWrite> writesTo(uint32_t port) {
    std::lock_guard lock(writesMutex_);
    std::vector<PortWrite> found;
    for (const PortWrite& w : writes_) {
      if (w.port == port) found.push_back(w);
    }
    return found;
  }

  void portEvent(uint32_t port, float value) {
    descriptor_->port_event(handle_, port, sizeof value, 0, &value);
  }
  void idle() {
    auto* idle = static_cast<const LV2UI_Idle_Interface*>(descriptor_->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(idle, nullptr);
    EXPECT_EQ(idle->idle(handle_), 0);
  }

  // A left click at a point of the editor window, in real X events.
  void click(int x, int y) {
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(display_, widget_, DefaultRootWindow(display_), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display_, DefaultScreen(display_), rootX, rootY, 0);
    XTestFakeButtonEvent(display_, 1, True, 0);
    XSync(display_, False);
    std::this_thread::sleep_for(30ms);
    XTestFakeButtonEvent(display_, 1, False, 0);
    XSync(display_, False);
  }

  // The pixels of an area of the editor window as the X server shows them.
  std::vector<unsigned long> pixels(int left, int top, int width, int height) {
    std::vector<unsigned long> found;
    XImage* image = XGetImage(display_, widget_, left, top, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (image == nullptr) return found;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) found.push_back(XGetPixel(image, x, y));
    }
    XDestroyImage(image);
    return found;
  }

  UridMap urids_;
  Lv2World world_;
  void* library_ = nullptr;
  const LV2UI_Descriptor* descriptor_ = nullptr;
  LV2UI_Handle handle_ = nullptr;
  Display* display_ = nullptr;
  ::Window parent_ = 0, widget_ = 0;
  std::pair<int, int> size_{0, 0};
  std::mutex writesMutex_;
  std::vector<PortWrite> writes_;
};

// The "Volume" slider stands at (12, 45), 51 x 131; a press 70 pixels down its scale sets 0.5.
TEST_F(Lv2UiHost, AClickOnTheVolumeSliderWritesItsPortWhileTheHostCallsIdle) {
  instantiate();
  click(12 + 25, 45 + 70);
  std::vector<PortWrite> found;
  ASSERT_TRUE(waitFor([&] { return !(found = writesTo(kVolume)).empty(); }, 5000ms, [this] { idle(); }));
  EXPECT_EQ(found.front().size, sizeof(float));
  EXPECT_EQ(found.front().format, 0u);
  EXPECT_EQ(found.front().value, 0.5f);
}

// "Tune 1" stands at (120, 45); a press 20 pixels from its top sets 1.0. The filter frequency dial
// (10, 450, 51 x 45) and the gate lamps (515, 235, 16 x 256) redraw from the host's port events.
TEST_F(Lv2UiHost, WithoutIdleCallsClicksStillWriteAndPortEventsRedrawTheControlsAndTheGateLamp) {
  instantiate();
  click(120 + 25, 45 + 20);
  std::vector<PortWrite> found;
  ASSERT_TRUE(waitFor([&] { return !(found = writesTo(kTune1)).empty(); }));
  EXPECT_EQ(found.front().value, 1.0f);

  const auto dialBefore = pixels(10, 450, 51, 45);
  portEvent(31, 0.0f);
  EXPECT_TRUE(waitFor([&] { return pixels(10, 450, 51, 45) != dialBefore; }));
  const auto lampsBefore = pixels(515, 235, 16, 256);
  portEvent(lv2::kGateLampPort, 7.0f);
  EXPECT_TRUE(waitFor([&] { return pixels(515, 235, 16, 256) != lampsBefore; }));
  // Nothing the host sent came back as a write.
  EXPECT_TRUE(writesTo(kFilterFrequency).empty());
}

}  // namespace
}  // namespace tamblin::test
