// The window's pictures: creation, SetControl and SetAll, the gate column, timers, and golden pictures.
#include "Drawing.h"
#include "EditorTestSupport.h"
#include "Pictures.h"

namespace tamblin::test {
namespace {

bool sameImage(const Image& a, const Image& b) { return a == b; }

Image dialAt(float value, std::string_view caption) {
  Image expected(51, 45, kPanelColor);
  DrawDial2(expected, Pictures::get(), value, caption);
  return expected;
}

TEST(EditorWindow, ShowsNoControlUntilSetAllAndEveryControlAfterIt) {
  HeadlessBackend::Record record;
  TPluginEditorWindow window(std::make_unique<HeadlessBackend>(&record));
  window.setDecimalSeparator(".");
  ASSERT_TRUE(window.create(nullptr));
  EXPECT_EQ(window.ClientWidth(), 544);
  EXPECT_EQ(window.ClientHeight(), 536);
  for (int i = 0; i < kNumStoredValues; ++i) window.setParamValue(i, 0.5f);
  const Image panel(51, 45, kPanelColor);
  EXPECT_TRUE(sameImage(window.image("DFilt"), panel));
  EXPECT_FLOAT_EQ(window.drawnValue(kFilterFrequency), -1.0f);

  window.Show();
  EXPECT_TRUE(record.visible);
  window.SetAll();
  EXPECT_TRUE(sameImage(window.image("DFilt"), dialAt(0.5f, "Freq")));
  EXPECT_FLOAT_EQ(window.drawnValue(kFilterFrequency), 0.5f);

  // Nothing changed: a refresh paints nothing.
  const int presents = record.presents;
  window.Timer2Timer();
  EXPECT_EQ(record.presents, presents);
  // A value written from outside is drawn at the next refresh, and only then.
  window.setParamValue(kFilterFrequency, 1.0f);
  EXPECT_TRUE(sameImage(window.image("DFilt"), dialAt(0.5f, "Freq")));
  window.Timer2Timer();
  EXPECT_TRUE(sameImage(window.image("DFilt"), dialAt(1.0f, "Freq")));
  EXPECT_EQ(record.presents, presents + 1);
}

TEST(EditorWindow, SetControlRedrawsOnlyTheBoundControl) {
  HeadlessEditor editor(0.25f);
  const Image before = editor.window.frame();
  for (int index : {12, 13, 44, 60, 99, 100, -1, 500}) {
    editor.window.setParamValue(std::clamp(index, 0, 100), 0.9f);
    editor.window.SetControl(index);
  }
  editor.window.Update();
  EXPECT_TRUE(sameImage(editor.window.frame(), before));

  editor.window.setParamValue(kPlayMode, 1.0f);
  editor.window.SetControl(kPlayMode);
  Image box(73, 18, kPanelColor);
  DrawBox(box, Pictures::get(), "Arp");
  EXPECT_TRUE(sameImage(editor.window.image("Imode"), box));
}

TEST(EditorWindow, GateColumnShowsBothPatternsAndThePlayedStep) {
  HeadlessEditor editor;
  const Pictures& pictures = Pictures::get();
  editor.window.setParamValue(kGatePatternVolume,
                              static_cast<float>((0x8001 + 0.5) / 65535.99));  // steps 0 and 15
  editor.window.setParamValue(kGatePatternFilter, 1.0f);                       // every step
  editor.link->gatePosition = 5.5f;
  editor.window.SetControl(kGatePatternFilter);  // either pattern redraws the whole column
  Image row1(16, 256, kPanelColor), row2(16, 256, kPanelColor), positions(16, 256, kPanelColor);
  drawGateRow(row1, pictures, 0x8001);
  drawGateRow(row2, pictures, 0xFFFF);
  drawGatePositions(positions, pictures, 5);
  EXPECT_TRUE(sameImage(editor.window.image("GateBack1"), row1));
  EXPECT_TRUE(sameImage(editor.window.image("GateBack2"), row2));
  EXPECT_TRUE(sameImage(editor.window.image("GateInd"), positions));
  // Redrawing the numbers again and again leaves them as they were.
  const Image numbers = editor.window.image("GateLabel");
  for (int i = 0; i < 5; ++i) editor.window.drawgate();
  EXPECT_TRUE(sameImage(editor.window.image("GateLabel"), numbers));
  // The lamp timer then moves the red lamp away from the row drawgate lit: one lamp stays red.
  EXPECT_EQ(editor.window.shownGateStep(), 5);
  editor.link->gatePosition = 6.0f;
  editor.window.Timer1Timer();
  drawGatePositions(positions, pictures, 6);
  EXPECT_TRUE(sameImage(editor.window.image("GateInd"), positions));
}

TEST(EditorWindow, GateLampFollowsThePositionOnlyWhenTheStepChanges) {
  HeadlessEditor editor;
  const Pictures& pictures = Pictures::get();
  editor.link->gatePosition = 3.7f;
  editor.window.Timer1Timer();
  EXPECT_EQ(editor.window.shownGateStep(), 3);
  Image expected(16, 256, kPanelColor);
  drawGatePositions(expected, pictures, 3);
  // Row 0 was lit by the first SetAll; the timer moved the red lamp from there to row 3.
  EXPECT_TRUE(sameImage(editor.window.image("GateInd"), expected));
  const int presents = editor.record.presents;
  editor.link->gatePosition = 3.2f;
  editor.window.Timer1Timer();
  EXPECT_EQ(editor.record.presents, presents);
  // A position past the column lights no lamp and breaks nothing.
  editor.link->gatePosition = 40.0f;
  editor.window.timerElapsed(kGateLampTimer);
  EXPECT_EQ(editor.window.shownGateStep(), 40);
  Image unlit(16, 256, kPanelColor);
  drawGatePositions(unlit, pictures, -1);
  EXPECT_TRUE(sameImage(editor.window.image("GateInd"), unlit));
}

TEST(EditorWindow, OverlapsPutTheLaterImageOnTopExceptPanAmount) {
  EXPECT_EQ(windowImages()[imageAt(390, 320)].name, "DPa");
  EXPECT_EQ(windowImages()[imageAt(475, 162)].name, "DGateS");
  EXPECT_EQ(windowImages()[imageAt(335, 200)].name, "Drel1");
  EXPECT_EQ(windowImages()[imageAt(470, 10)].name, "IGate");
  EXPECT_EQ(imageAt(2, 2), -1);
  int dragControls = 0;
  for (const ImagePlace& place : windowImages()) dragControls += isDragControl(place.role);
  EXPECT_EQ(dragControls, 43);
}

TEST(EditorWindow, GoldenPictureOfProgramZero) {
  InProcessInstrument instrument;
  ASSERT_NE(instrument.effect(), nullptr);
  HeadlessEditor editor;
  for (int i = 0; i < kNumStoredValues; ++i) {
    editor.window.setParamValue(i, instrument.plugin()->soundEngine().param(i));
  }
  editor.window.SetAll();
  expectGolden(editor.window.frame(), "program0");

  // A few edits: a dial drag, a slider press, a gate step, a choice box, a filter type from the menu.
  editor.press("DFilt", 25, 30);
  editor.move("DFilt", 25, 10);
  editor.release("DFilt", 25, 10);
  editor.click("Datt1", 60, 20);
  editor.click("GateBack1", 5, 16 * 3 + 5);
  editor.click("Imode");
  editor.press("Ftypei", 10, 5);
  editor.window.menuPointerMoved(10, menuItemHeight() * 5 + 3);
  editor.window.menuPointerReleased(10, menuItemHeight() * 5 + 3);
  editor.window.Timer2Timer();
  expectGolden(editor.window.frame(), "edited");
}

}  // namespace
}  // namespace tamblin::test
