// Pointer sequences on dials, sliders, gate rows, choice boxes and menus, with the values they hand on.
#include "Drawing.h"
#include "EditorTestSupport.h"
#include "Pictures.h"

namespace tamblin::test {
namespace {

using Automation = std::vector<std::pair<int, float>>;

TEST(EditorMouse, DialDragIsMeasuredFromThePressPoint) {
  HeadlessEditor editor;
  editor.window.setParamValue(kFilterFrequency, 0.5f);
  editor.press("DFilt", 20, 20);
  EXPECT_TRUE(editor.window.dragging());
  EXPECT_TRUE(editor.record.pointerCaptured);
  EXPECT_TRUE(editor.link->automated.empty());  // the press changes nothing

  editor.move("DFilt", 20, 20 - 300);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kFilterFrequency), 1.0f);
  editor.move("DFilt", 20, 20 - 200);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kFilterFrequency), 1.0f);
  editor.move("DFilt", 20, 20 - 50);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kFilterFrequency), 0.75f);
  editor.move("DFilt", 70, 20 - 50);  // right is the fine direction
  EXPECT_FLOAT_EQ(editor.window.paramValue(kFilterFrequency), 0.755f);
  editor.release("DFilt", 70, -30);
  EXPECT_FALSE(editor.window.dragging());
  EXPECT_FALSE(editor.record.pointerCaptured);
  const Automation expected{
      {kFilterFrequency, 1.0f}, {kFilterFrequency, 1.0f}, {kFilterFrequency, 0.75f}, {kFilterFrequency, 0.755f}};
  EXPECT_EQ(editor.link->automated, expected);
  // The dial and the label line show the dragged value at once.
  Image dial(51, 45, kPanelColor);
  DrawDial2(dial, Pictures::get(), 0.755f, "Freq");
  EXPECT_EQ(editor.window.image("DFilt"), dial);
  Image label(326, 26, kPanelColor);
  drawLabelLine(label, Pictures::get(), texts::cutoffText(0.755f, "."), "Filter Freq (cc74) ");
  EXPECT_EQ(editor.window.image("PrintOut"), label);
}

TEST(EditorMouse, PressAndReleaseOnADialChangesNothing) {
  HeadlessEditor editor(0.3f);
  editor.click("DQ", 10, 10);
  EXPECT_TRUE(editor.link->automated.empty());
  EXPECT_FLOAT_EQ(editor.window.paramValue(kFilterQ), 0.3f);
  editor.click("DQ", 10, 10, MouseButton::Middle);
  EXPECT_TRUE(editor.link->automated.empty());
}

TEST(EditorMouse, RightClickRestoresTheResetValueAndDrawsAtTheNextRefresh) {
  HeadlessEditor editor(0.3f);
  editor.click("DFilt", 10, 10, MouseButton::Right);
  editor.click("DVol", 10, 10, MouseButton::Right);
  editor.click("DTune3", 10, 10, MouseButton::Right);
  editor.click("DSus2", 10, 10, MouseButton::Right);
  editor.click("DPort", 10, 10, MouseButton::Right);
  const Automation expected{
      {kFilterFrequency, 1.0f}, {kVolume, 0.75f}, {kTune3, 0.5f}, {kOsc34Sustain, 1.0f}, {kPortamento, 0.0f}};
  EXPECT_EQ(editor.link->automated, expected);
  EXPECT_FALSE(editor.record.pointerCaptured);
  Image dial(51, 45, kPanelColor);
  DrawDial2(dial, Pictures::get(), 0.3f, "Freq");
  EXPECT_EQ(editor.window.image("DFilt"), dial);
  editor.window.Timer2Timer();
  DrawDial2(dial, Pictures::get(), 1.0f, "Freq");
  EXPECT_EQ(editor.window.image("DFilt"), dial);
}

TEST(EditorMouse, SlidersJumpToThePointerAndFollowItOutsideTheWindow) {
  HeadlessEditor editor;
  editor.press("Datt1", 105, 20);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kOsc12Attack), 1.0f);
  editor.move("Datt1", -3, 20);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kOsc12Attack), 0.0f);
  editor.move("Datt1", 42, -900);  // far outside the window: the slider still has the pointer
  EXPECT_FLOAT_EQ(editor.window.paramValue(kOsc12Attack), 0.42f);
  EXPECT_TRUE(editor.record.pointerCaptured);
  editor.release("Datt1", 42, -900);
  EXPECT_FALSE(editor.record.pointerCaptured);

  for (const auto& [y, value] : {std::pair{70, 0.5f}, {10, 1.0f}, {125, 0.0f}}) {
    editor.click("DVol", 10, y);
    EXPECT_FLOAT_EQ(editor.window.paramValue(kVolume), value) << "a click at " << y;
  }
  const Automation expected{{kOsc12Attack, 1.0f}, {kOsc12Attack, 0.0f}, {kOsc12Attack, 0.42f},
                            {kVolume, 0.5f},      {kVolume, 1.0f},      {kVolume, 0.0f}};
  EXPECT_EQ(editor.link->automated, expected);
}

TEST(EditorMouse, ShiftGivesAFineDragFromTheValueAtThePress) {
  HeadlessEditor editor;
  editor.window.setParamValue(kOsc12Decay, 0.2f);
  editor.press("DDec1", 80, 20, MouseButton::Left, true);
  EXPECT_EQ(editor.window.sliderMode(), 1);
  EXPECT_TRUE(editor.link->automated.empty());
  editor.move("DDec1", 50, 20);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kOsc12Decay), 0.25f);
  editor.move("DDec1", -300, 20);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kOsc12Decay), 0.0f);
  editor.release("DDec1", -300, 20);

  // Vertical: the value rises as the pointer goes down.
  editor.window.setParamValue(kTune1, 0.5f);
  editor.press("DTune1", 10, 70, MouseButton::Left, true);
  editor.move("DTune1", 10, 100);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kTune1), 0.6f);
  // A middle press ends the slider drag without a change.
  editor.press("DTune1", 10, 100, MouseButton::Middle);
  EXPECT_FALSE(editor.window.dragging());
  editor.move("DTune1", 10, 300);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kTune1), 0.6f);
}

TEST(EditorMouse, MovingOverAControlNamesItWithoutChangingIt) {
  HeadlessEditor editor;
  editor.window.setParamValue(kVolume, 0.75f);
  editor.move("DVol", 20, 60);
  Image label(326, 26, kPanelColor);
  drawLabelLine(label, Pictures::get(), "-10dB", "Volume (cc7) ");
  EXPECT_EQ(editor.window.image("PrintOut"), label);
  editor.window.setDecimalSeparator(",");
  editor.window.setParamValue(kPortamento, 0.1234f);
  editor.move("DPort", 20, 30);
  drawLabelLine(label, Pictures::get(), "12,3%", "Port (cc65) ");
  EXPECT_EQ(editor.window.image("PrintOut"), label);
  EXPECT_TRUE(editor.link->automated.empty());
}

TEST(EditorMouse, GateRowsSwitchOneStepPerPressOfAnyButton) {
  HeadlessEditor editor;
  editor.press("GateBack1", 3, 7);
  const float top = static_cast<float>((32768 + 0.5) / 65535.99);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kGatePatternVolume), top);
  editor.release("GateBack1", 3, 7);
  editor.press("GateLabel", 3, 16 * 4 + 2, MouseButton::Right);  // the numbers switch pattern 1 too
  EXPECT_FLOAT_EQ(editor.window.paramValue(kGatePatternVolume),
                  static_cast<float>((32768 + 2048 + 0.5) / 65535.99));
  editor.release("GateLabel", 3, 16 * 4 + 2, MouseButton::Right);
  // A double click switches twice.
  editor.press("GateBack2", 3, 255);
  editor.release("GateBack2", 3, 255);
  editor.pressAgainSoon("GateBack2", 3, 255);
  editor.release("GateBack2", 3, 255);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kGatePatternFilter), static_cast<float>(0.5 / 65535.99));
  Image row(16, 256, kPanelColor);
  drawGateRow(row, Pictures::get(), 32768 + 2048);
  EXPECT_EQ(editor.window.image("GateBack1"), row);
  EXPECT_EQ(editor.link->automated.size(), 4u);
  // While a left press holds the column, a right press below the rows switches nothing.
  editor.press("GateBack1", 3, 20);
  editor.press("GateBack1", 3, 300, MouseButton::Right);
  editor.release("GateBack1", 3, 300);
  EXPECT_EQ(editor.link->automated.size(), 5u);
}

TEST(EditorMouse, ChoiceBoxesStepOnAClick) {
  HeadlessEditor editor;
  editor.window.setParamValue(kPlayMode, texts::choiceValue(0, 3));
  std::vector<std::string> shown;
  for (int i = 0; i < 3; ++i) {
    editor.click("Imode");
    shown.push_back(texts::choiceBoxText(kPlayMode, editor.window.paramValue(kPlayMode)));
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"Legato", "Arp", "Poly"}));

  // Right button, and a release outside the box, make no click.
  editor.click("Imode", 5, 5, MouseButton::Right);
  editor.press("Imode", 5, 5);
  editor.release("Imode", 5, 40);
  EXPECT_EQ(texts::choiceBoxText(kPlayMode, editor.window.paramValue(kPlayMode)), "Poly");

  // From the last entry to the first; a double click steps once.
  editor.window.setParamValue(kWaveType1, 1.0f);
  editor.click("Type1i");
  EXPECT_FLOAT_EQ(editor.window.paramValue(kWaveType1), texts::choiceValue(0, 8));
  editor.pressAgainSoon("Type1i", 5, 5);
  editor.release("Type1i", 5, 5);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kWaveType1), texts::choiceValue(0, 8));

  // Filter tracking switches on the press of any button.
  editor.window.setParamValue(kFilterTracking, 0.0f);
  editor.press("FPitch", 5, 5, MouseButton::Right);
  EXPECT_EQ(texts::choiceBoxText(kFilterTracking, editor.window.paramValue(kFilterTracking)), "FTrack:On");
  editor.release("FPitch", 5, 5, MouseButton::Right);
  Image box(73, 18, kPanelColor);
  DrawBox(box, Pictures::get(), "FTrack:On");
  EXPECT_EQ(editor.window.image("FPitch"), box);
}

TEST(EditorMouse, FilterMenuWritesTheChosenType) {
  HeadlessEditor editor;
  editor.press("Ftypei", 10, 5);
  ASSERT_EQ(editor.window.openMenu(), TPluginEditorWindow::Menu::Filter);
  EXPECT_EQ(editor.window.menuTarget(), kFilterType);
  EXPECT_TRUE(editor.record.menuShown);
  EXPECT_EQ(std::pair(editor.record.menuX, editor.record.menuY), HeadlessEditor::at("Ftypei", 10, 5));
  EXPECT_FALSE(editor.record.pointerCaptured);  // the menu has the pointer now
  EXPECT_EQ(editor.record.menu.height(), 11 * menuItemHeight());
  // The release of the opening press chooses nothing.
  editor.release("Ftypei", 10, 5);
  editor.window.menuPointerReleased(0, 0);
  EXPECT_EQ(editor.window.openMenu(), TPluginEditorWindow::Menu::Filter);
  // Pointer over the third item: drawn selected; releasing there chooses it.
  const int y = 2 * menuItemHeight() + 2;
  editor.window.menuPointerMoved(8, y);
  EXPECT_EQ(editor.window.menuItemUnderPointer(), 2);
  Image item(editor.record.menu.width(), menuItemHeight(), kBlack);
  printmenu(item, item.bounds(), true, "High12 ", menuFont());
  Image shownItem(item.width(), item.height());
  shownItem.copyRect(editor.record.menu, Rect{0, 2 * menuItemHeight(), item.width(), 3 * menuItemHeight()},
                     item.bounds());
  EXPECT_EQ(shownItem, item);
  editor.window.menuPointerReleased(8, y);
  EXPECT_EQ(editor.window.openMenu(), TPluginEditorWindow::Menu::None);
  EXPECT_FALSE(editor.record.menuShown);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kFilterType), static_cast<float>(2.5 / 10.99));
  EXPECT_EQ(texts::choiceBoxText(kFilterType, editor.window.paramValue(kFilterType)), "Filter High12");
  const Automation expected{{kFilterType, static_cast<float>(2.5 / 10.99)}};
  EXPECT_EQ(editor.link->automated, expected);
}

TEST(EditorMouse, GateLengthMenuFromTheBoxAndBothCaptions) {
  HeadlessEditor editor;
  for (std::string_view opener : {"GLen", "GateLabel2", "UniLabel"}) {
    editor.press(opener, 4, 4, MouseButton::Right);
    EXPECT_EQ(editor.window.openMenu(), TPluginEditorWindow::Menu::Gate) << opener;
    editor.window.menuPointerPressed(-5, 3);  // outside: closes without a choice
    EXPECT_EQ(editor.window.openMenu(), TPluginEditorWindow::Menu::None);
  }
  EXPECT_TRUE(editor.link->automated.empty());
  // While the menu is open the window's controls take no pointer.
  editor.press("GLen", 4, 4);
  editor.click("DVol", 10, 10);
  EXPECT_TRUE(editor.link->automated.empty());
  const int last = 15 * menuItemHeight() + 1;
  editor.window.menuPointerPressed(5, last);
  editor.window.menuPointerReleased(5, last);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kGateLength), static_cast<float>(15.5 / 15.99));
  EXPECT_EQ(texts::choiceBoxText(kGateLength, editor.window.paramValue(kGateLength)), "16 Steps");
  // The TranceGate caption does nothing.
  editor.click("IGate", 20, 5);
  EXPECT_EQ(editor.window.openMenu(), TPluginEditorWindow::Menu::None);
  EXPECT_EQ(editor.link->automated.size(), 1u);
}

TEST(EditorMouse, HidingDuringADragLeavesNoGrabBehind) {
  HeadlessEditor editor;
  editor.press("DVol", 10, 50);
  EXPECT_TRUE(editor.record.pointerCaptured);
  editor.window.Hide();
  EXPECT_FALSE(editor.record.pointerCaptured);
  EXPECT_FALSE(editor.window.dragging());
  editor.press("GLen", 4, 4);
  editor.window.Hide();
  EXPECT_FALSE(editor.record.menuShown);
}

TEST(EditorMouse, ADragWhoseReleaseWasLostEndsAtTheNextSignOfIt) {
  HeadlessEditor editor;
  // The platform reports the lost release: later moves only name the slider.
  editor.press("DVol", 10, 70);
  editor.window.pointerCaptureLost();
  EXPECT_FALSE(editor.window.dragging());
  EXPECT_FALSE(editor.record.pointerCaptured);
  editor.move("DVol", 10, 20);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kVolume), 0.5f);
  // A choice box whose release was lost makes no click, not even at a release inside it later.
  editor.press("Imode", 5, 5);
  editor.window.pointerCaptureLost();
  editor.release("Imode", 5, 5);
  EXPECT_FLOAT_EQ(editor.window.paramValue(kPlayMode), 0.0f);
  // A new left press while the old one still holds the pointer goes where it is, not to the old control.
  editor.press("Datt1", 50, 20);
  editor.press("DQ", 20, 20);
  editor.move("DQ", 20, 10);
  editor.release("DQ", 20, 10);
  const Automation expected{{kVolume, 0.5f}, {kOsc12Attack, 0.5f}, {kFilterQ, 0.05f}};
  EXPECT_EQ(editor.link->automated, expected);
  EXPECT_FALSE(editor.record.pointerCaptured);
}

}  // namespace
}  // namespace tamblin::test
