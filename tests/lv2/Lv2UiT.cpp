// The bundle's UI in a real X server, loaded as a host loads it: embedded in the host's window through
// ui:parent, clicked with XTest, its edits arriving as port writes on the host's thread inside idle
// calls and never from a thread of the UI's, the host's port events and the plug-in's notifications
// redrawing controls and the gate lamp, and an X server that dies ending only the UI.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/patch/patch.h>
#include <lv2/ui/ui.h>

#include <cstring>
#include <mutex>
#include <thread>
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
  std::thread::id thread;
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

  // As a host that calls idle (ui:idleInterface) instantiates the UI; `idleFeature` false: as one
  // that does not offer it.
  void instantiate(bool idleFeature = true) {
    LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(static_cast<uintptr_t>(parent_))};
    LV2UI_Resize resize{this, [](LV2UI_Feature_Handle host, int width, int height) {
                          static_cast<Lv2UiHost*>(host)->size_ = {width, height};
                          return 0;
                        }};
    LV2_Feature resizeFeature{LV2_UI__resize, &resize};
    LV2_Feature idleInterface{LV2_UI__idleInterface, nullptr};
    const LV2_Feature* features[] = {&parent, urids_.feature(), &resizeFeature,
                                     idleFeature ? &idleInterface : nullptr, nullptr};
    LV2UI_Widget widget = nullptr;
    handle_ = descriptor_->instantiate(descriptor_, lv2::kPluginUri, TAMBLIN_LV2_BUNDLE "/",
                                       &Lv2UiHost::write, this, &widget, features);
    if (!idleFeature) {
      EXPECT_EQ(handle_, nullptr);
      return;
    }
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
    PortWrite w{port, size, format, 0.0f, std::this_thread::get_id()};
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
  void idle() { EXPECT_EQ(idleAnswer(), 0); }
  int idleAnswer() {
    auto* idle = static_cast<const LV2UI_Idle_Interface*>(descriptor_->extension_data(LV2_UI__idleInterface));
    return idle != nullptr ? idle->idle(handle_) : -1;
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
TEST_F(Lv2UiHost, WithoutIdleCallsNothingReachesTheHostAndTheNextIdleWritesOnTheHostsThread) {
  instantiate();
  click(120 + 25, 45 + 20);
  // Well past the time after which the editor's own thread used to take the events over.
  std::this_thread::sleep_for(700ms);
  EXPECT_TRUE(writesTo(8).empty()) << "a port write without an idle call, from a thread of the UI's";
  std::vector<PortWrite> found;
  ASSERT_TRUE(waitFor([&] { return !(found = writesTo(kTune1)).empty(); }, 5000ms, [this] { idle(); }));
  EXPECT_EQ(found.front().value, 1.0f);
  EXPECT_EQ(found.front().thread, std::this_thread::get_id());

  const auto dialBefore = pixels(10, 450, 51, 45);
  portEvent(31, 0.0f);
  EXPECT_TRUE(waitFor([&] { return pixels(10, 450, 51, 45) != dialBefore; }, 5000ms, [this] { idle(); }));
  const auto lampsBefore = pixels(515, 235, 16, 256);
  portEvent(lv2::kGateLampPort, 7.0f);
  EXPECT_TRUE(waitFor([&] { return pixels(515, 235, 16, 256) != lampsBefore; }, 5000ms, [this] { idle(); }));
  // Nothing the host sent came back as a write.
  EXPECT_TRUE(writesTo(kFilterFrequency).empty());
}

TEST_F(Lv2UiHost, AHostThatDoesNotCallIdleGetsNoUi) { instantiate(false); }

// The notification port's patch:Set of a parameter, as a host delivers it (atom:eventTransfer): the
// editor shows the value and writes it to the port, so that the host learns of it; a damaged or other
// message changes nothing.
TEST_F(Lv2UiHost, ControllerChangesTheDspReportsAreShownAndWrittenToTheirPorts) {
  instantiate();
  const uint32_t object = urids_.id(LV2_ATOM__Object), set = urids_.id(LV2_PATCH__Set);
  const uint32_t property = urids_.id(LV2_PATCH__property), value = urids_.id(LV2_PATCH__value);
  const uint32_t urid = urids_.id(LV2_ATOM__URID), floatType = urids_.id(LV2_ATOM__Float);
  const uint32_t frequency = urids_.id((std::string(lv2::kParameterUriPrefix) + lv2::parameterPort(31).symbol).c_str());
  auto message = [&](uint32_t otype, uint32_t parameter, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return std::vector<uint32_t>{56, object, 0, otype, property, 0, 4, urid, parameter, 0, value, 0, 4, floatType, bits, 0};
  };
  struct Case {
    const char* what;
    std::vector<uint32_t> atom;
    uint32_t size;  // the bytes the host says it delivers
    bool written;
  };
  const auto good = message(set, frequency, 0.0f);
  const Case cases[] = {
      {"a patch:Get", message(urids_.id(LV2_PATCH__Get), frequency, 0.0f), 64, false},
      {"an unknown property", message(set, urids_.id("urn:nothing"), 0.0f), 64, false},
      {"a value outside 0..1", message(set, frequency, 2.0f), 64, false},
      {"an atom longer than the delivery", good, 60, false},
      {"a delivery shorter than an atom header", good, 4, false},
      {"the Filter Frequency at 0", good, 64, true},
  };
  const uint32_t transfer = urids_.id(LV2_ATOM__eventTransfer);
  const auto dialBefore = pixels(10, 450, 51, 45);
  for (const Case& c : cases) {
    descriptor_->port_event(handle_, lv2::kNotifyPort, c.size, transfer, c.atom.data());
    EXPECT_EQ(writesTo(31).size(), c.written ? 1u : 0u) << c.what;
  }
  ASSERT_EQ(writesTo(31).size(), 1u);
  EXPECT_EQ(writesTo(31).front().value, 0.0f);
  EXPECT_TRUE(waitFor([&] { return pixels(10, 450, 51, 45) != dialBefore; }, 5000ms, [this] { idle(); }));
}

// The UI on an X server of its own that is killed: idle answers 1 (close me), cleanup returns, and
// the host's process lives on. In a child process, so that a UI that takes the process down fails the
// test instead of ending the program.
TEST_F(Lv2UiHost, AnXServerThatDiesEndsOnlyTheUi) {
  auto scenario = [this] {
    XvfbServer doomed;  // DISPLAY now names it, for the UI's connection
    doomed.SetUp();
    if (!XvfbServer::ready()) _exit(2);
    display_ = XOpenDisplay(nullptr);  // the host's connection to it, not used after the kill
    parent_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 600, 600, 0, 0, 0);
    XMapWindow(display_, parent_);
    XSync(display_, False);
    instantiate();
    if (handle_ == nullptr) _exit(3);
    idle();
    doomed.TearDown();
    std::this_thread::sleep_for(400ms);  // time enough for any thread of the UI's to meet the broken connection
    if (!waitFor([this] { return idleAnswer() == 1; }, 5000ms)) _exit(4);
    descriptor_->cleanup(handle_);
    _exit(0);  // the host's own connections are not ours to tidy: no leak check at exit
  };
  EXPECT_EXIT(scenario(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tamblin::test
