// Helpers shared by the editor tests: a recording instrument link, a headless window, an in-process
// instrument whose host callback records automation, and golden picture comparison.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "DAEffectX.h"
#include "Entry.h"
#include "Layout.h"
#include "Png.h"
#include "ValueTexts.h"
#include "platform/headless/HeadlessBackend.h"
#include "uEditor.h"
#include "APluginEditor.h"
#include "uPlugin.h"

namespace tamblin::test {

// Records what the window hands to the instrument.
class RecordingLink final : public InstrumentLink {
 public:
  struct Shared {
    std::vector<std::pair<int, float>> automated;
    float gatePosition = 0.0f;
  };
  explicit RecordingLink(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
  void setParameterAutomated(int index, float value) override {
    shared_->automated.emplace_back(index, value);
  }
  float gatePosition() const override { return shared_->gatePosition; }

 private:
  std::shared_ptr<Shared> shared_;
};

// A created, shown window on the headless backend, with a recording link and "." as separator.
struct HeadlessEditor {
  HeadlessBackend::Record record;
  std::shared_ptr<RecordingLink::Shared> link = std::make_shared<RecordingLink::Shared>();
  TPluginEditorWindow window{std::make_unique<HeadlessBackend>(&record)};
  uint32_t clock = 10000;

  explicit HeadlessEditor(float fill = 0.0f) {
    window.setDecimalSeparator(".");
    EXPECT_TRUE(window.create(nullptr));
    for (int i = 0; i < kNumStoredValues; ++i) window.setParamValue(i, fill);
    window.setInstrumentLink(std::make_unique<RecordingLink>(link));
    window.Show();
    window.SetAll();
  }

  // Window point of a point inside the named image.
  static std::pair<int, int> at(std::string_view name, int x, int y) {
    const Rect r = windowImages()[imageNamed(name)].rect;
    return {r.left + x, r.top + y};
  }
  void press(std::string_view name, int x, int y, MouseButton button = MouseButton::Left,
             bool shift = false) {
    clock += 1000;  // far apart: never a double click unless asked for
    auto [wx, wy] = at(name, x, y);
    window.pointerPressed(button, shift, wx, wy, clock);
  }
  void pressAgainSoon(std::string_view name, int x, int y) {
    clock += 100;
    auto [wx, wy] = at(name, x, y);
    window.pointerPressed(MouseButton::Left, false, wx, wy, clock);
  }
  void move(std::string_view name, int x, int y, bool shift = false) {
    auto [wx, wy] = at(name, x, y);
    window.pointerMoved(shift, wx, wy);
  }
  void release(std::string_view name, int x, int y, MouseButton button = MouseButton::Left) {
    auto [wx, wy] = at(name, x, y);
    window.pointerReleased(button, false, wx, wy);
  }
  void click(std::string_view name, int x = 5, int y = 5, MouseButton button = MouseButton::Left) {
    press(name, x, y, button);
    release(name, x, y, button);
  }
};

// One instrument built through the entry, whose host callback records automation.
class InProcessInstrument {
 public:
  InProcessInstrument() {
    std::lock_guard lock(mutex());
    effect_ = tamblinCreateEffect(&InProcessInstrument::host);
  }
  ~InProcessInstrument() {
    if (effect_ != nullptr) effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
  }
  AEffect* effect() const { return effect_; }
  APlugin* plugin() const { return static_cast<APlugin*>(static_cast<AudioEffect*>(effect_->object)); }
  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, 0.0f);
  }

  static std::vector<std::pair<int, float>> takeAutomation() {
    std::lock_guard lock(mutex());
    return std::exchange(automation(), {});
  }
  // A lock the host callback takes before it records an automation (none when null), and the number
  // of callbacks waiting for it.
  static std::atomic<std::mutex*>& hostLock() {
    static std::atomic<std::mutex*> lock{nullptr};
    return lock;
  }
  static std::atomic<int>& callbacksWaiting() {
    static std::atomic<int> count{0};
    return count;
  }
  // The thread the last automation came from.
  static std::thread::id automationThread() {
    std::lock_guard lock(mutex());
    return lastThread();
  }

 private:
  static VstIntPtr VSTCALLBACK host(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterAutomate) {
      // A host that takes its own lock in the callback, as set by hostLock().
      if (std::mutex* taken = hostLock().load()) {
        ++callbacksWaiting();
        { std::lock_guard host(*taken); }
        --callbacksWaiting();
      }
      std::lock_guard lock(mutex());
      automation().emplace_back(index, opt);
      lastThread() = std::this_thread::get_id();
    }
    return 0;
  }
  static std::thread::id& lastThread() {
    static std::thread::id id;
    return id;
  }
  static std::recursive_mutex& mutex() {
    static std::recursive_mutex m;
    return m;
  }
  static std::vector<std::pair<int, float>>& automation() {
    static std::vector<std::pair<int, float>> list;
    return list;
  }

  AEffect* effect_ = nullptr;
};

// Compares a picture with tests/editor/golden/<name>.png pixel for pixel. With TAMBLIN_UPDATE_GOLDEN
// set, writes the golden picture instead.
inline void expectGolden(const Image& image, const std::string& name) {
  const std::string path = std::string(TAMBLIN_EDITOR_GOLDEN_DIR) + "/" + name + ".png";
  if (std::getenv("TAMBLIN_UPDATE_GOLDEN") != nullptr) {
    ASSERT_TRUE(writePng(image, path));
    return;
  }
  const auto golden = readPng(path);
  ASSERT_TRUE(golden.has_value()) << "missing golden picture " << path;
  ASSERT_EQ(golden->width(), image.width());
  ASSERT_EQ(golden->height(), image.height());
  int differing = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (!(golden->pixel(x, y) == image.pixel(x, y))) ++differing;
    }
  }
  if (differing != 0) writePng(image, std::string(::testing::TempDir()) + name + "-actual.png");
  EXPECT_EQ(differing, 0) << name << ": " << differing << " pixels differ; picture written to "
                          << ::testing::TempDir() << name << "-actual.png";
}

}  // namespace tamblin::test
