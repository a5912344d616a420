// The window on a real instrument: edits reach its parameters and the host as automation, and the
// editor requests survive hosts that give no display or no usable parent window.
#include <cstdlib>
#include <string>

#include "EditorTestSupport.h"

namespace tamblin::test {
namespace {

TEST(EditorInstrument, EditsReachTheInstrumentAndTheHost) {
  InProcessInstrument instrument;
  ASSERT_NE(instrument.effect(), nullptr);
  InProcessInstrument::takeAutomation();
  HeadlessEditor editor;
  editor.window.setInstrument(instrument.plugin());

  editor.press("DVol", 10, 70);
  editor.move("DVol", 10, 45);
  editor.release("DVol", 10, 45);
  editor.click("Npoly");
  editor.click("GateBack2", 2, 2);
  const auto automation = InProcessInstrument::takeAutomation();
  ASSERT_EQ(automation.size(), 4u);
  EXPECT_EQ(automation[0], std::pair(0, 0.5f));
  EXPECT_EQ(automation[1], std::pair(0, 0.75f));
  EXPECT_EQ(automation[2].first, 81);
  EXPECT_EQ(automation[3].first, 93);
  AEffect* effect = instrument.effect();
  EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 0.75f);
  EXPECT_FLOAT_EQ(effect->getParameter(effect, 81), editor.window.paramValue(81));
  EXPECT_FLOAT_EQ(effect->getParameter(effect, 93), editor.window.paramValue(93));

  // The lamp reads the engine's gate position through the same link.
  editor.window.Timer1Timer();
  EXPECT_EQ(editor.window.shownGateStep(), texts::floorInt(instrument.plugin()->gatePosition()));
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
