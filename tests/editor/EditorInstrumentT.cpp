// The window on a real instrument: edits reach its parameters and the host as automation, and the
// editor requests survive hosts that give no display or no usable parent window.
#include <cstdlib>
#include <string>
#include <thread>

#include "EditorTestSupport.h"

namespace tamblin::test {
namespace {

TEST(EditorInstrument, EditsReachTheInstrumentAndTheHost) {
  InProcessInstrument instrument;
  ASSERT_NE(instrument.effect(), nullptr);
  InProcessInstrument::takeAutomation();
  HeadlessEditor editor;
  editor.window.setInstrumentLink(linkToInstrument(*instrument.plugin()));

  editor.press("DVol", 10, 70);
  editor.move("DVol", 10, 45);
  editor.release("DVol", 10, 45);
  editor.click("Npoly");
  editor.click("GateBack2", 2, 2);
  const auto automation = InProcessInstrument::takeAutomation();
  ASSERT_EQ(automation.size(), 4u);
  EXPECT_EQ(automation[0], (std::pair<int, float>(kVolume, 0.5f)));
  EXPECT_EQ(automation[1], (std::pair<int, float>(kVolume, 0.75f)));
  EXPECT_EQ(automation[2].first, kVoiceCount);
  EXPECT_EQ(automation[3].first, kGatePatternFilter);
  AEffect* effect = instrument.effect();
  EXPECT_FLOAT_EQ(effect->getParameter(effect, kVolume), 0.75f);
  EXPECT_FLOAT_EQ(effect->getParameter(effect, kVoiceCount), editor.window.paramValue(kVoiceCount));
  EXPECT_FLOAT_EQ(effect->getParameter(effect, kGatePatternFilter),
                  editor.window.paramValue(kGatePatternFilter));

  // The lamp reads the engine's gate position through the same link.
  editor.window.Timer1Timer();
  EXPECT_EQ(editor.window.shownGateStep(), texts::floorInt(instrument.plugin()->gatePosition()));
}

// A host may hold its own lock around its requests to the editor and take it in its automation
// callback: the window must not hold its lock while it calls the instrument.
class LockProbeLink final : public InstrumentLink {
 public:
  explicit LockProbeLink(TPluginEditorWindow& window) : window_(window) {}
  void setParameterAutomated(int index, float value) override {
    // Another thread tries the window lock; it gets it only if this thread does not hold it.
    bool windowFree = false;
    std::thread([&] {
      WindowLock& lock = window_.windowLock();
      windowFree = lock.try_lock();
      if (windowFree) lock.unlock();
    }).join();
    calls.push_back({index, value, windowFree});
  }
  float gatePosition() const override { return 0.0f; }

  struct Call {
    int index;
    float value;
    bool windowFree;
    bool operator==(const Call&) const = default;
  };
  std::vector<Call> calls;

 private:
  TPluginEditorWindow& window_;
};

TEST(EditorInstrument, CallsTheInstrumentOnlyOnceTheWindowLockIsLetGoAndInOrder) {
  HeadlessEditor editor;
  auto probe = std::make_shared<LockProbeLink>(editor.window);
  struct Forward final : InstrumentLink {
    std::shared_ptr<LockProbeLink> to;
    void setParameterAutomated(int index, float value) override { to->setParameterAutomated(index, value); }
    float gatePosition() const override { return 0.0f; }
  };
  auto forward = std::make_unique<Forward>();
  forward->to = probe;
  editor.window.setInstrumentLink(std::move(forward));
  editor.press("Datt1", 30, 20);
  editor.move("Datt1", 60, 20);
  editor.release("Datt1", 60, 20);
  editor.click("DQ", 10, 10, MouseButton::Right);
  editor.click("GateBack1", 2, 2);
  editor.press("Ftypei", 5, 5);
  editor.window.menuPointerPressed(5, 2);
  editor.window.menuPointerReleased(5, 2);
  // The same from a thread that already holds the lock when the event comes (a platform's event
  // loop): the calls wait until it lets go.
  {
    std::lock_guard lock(editor.window.windowLock());
    editor.click("Npoly");
    EXPECT_EQ(probe->calls.size(), 5u);
  }
  using Call = LockProbeLink::Call;
  const std::vector<Call> expected{{kOsc12Attack, 0.3f, true},
                                   {kOsc12Attack, 0.6f, true},
                                   {kFilterQ, 0.0f, true},
                                   {kGatePatternVolume, static_cast<float>(32768.5 / 65535.99), true},
                                   {kFilterType, static_cast<float>(0.5 / 10.99), true},
                                   {kVoiceCount, texts::choiceValue(1, 2), true}};
  EXPECT_EQ(probe->calls, expected);
}

class WithoutDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* display = std::getenv("DISPLAY")) saved_ = display;
    ::setenv("DISPLAY", ":4711", 1);  // a display nobody runs
  }
  void TearDown() override {
    if (saved_.empty()) {
      ::unsetenv("DISPLAY");
    } else {
      ::setenv("DISPLAY", saved_.c_str(), 1);
    }
  }
  std::string saved_;
};

TEST_F(WithoutDisplay, EditorRequestsAnswerZeroAndNothingBreaks) {
  InProcessInstrument instrument;
  ASSERT_NE(instrument.effect(), nullptr);
  EXPECT_EQ(instrument.dispatch(effEditClose), 0);  // a close without an open
  EXPECT_EQ(instrument.dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(instrument.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t{0x1234567})), 0);
  instrument.dispatch(effEditIdle);
  ERect* rect = nullptr;
  EXPECT_EQ(instrument.dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right, 665);  // no window was made
  TPluginEditorWindow window;
  EXPECT_FALSE(window.create(reinterpret_cast<void*>(uintptr_t{0x1234567})));
  EXPECT_FALSE(window.create(nullptr));
}

}  // namespace
}  // namespace tamblin::test
