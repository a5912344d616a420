// The editor bridge: size, open and close counting, and the values it copies into the window.
#include <atomic>
#include <thread>

#include "APluginEditor.h"
#include "support/Instrument.h"
#include "support/ValuesOnlyWindow.h"

using namespace tamblin;
using tamblin::test::InstrumentTest;

namespace {
// Stands in for the host's native window handle; the bridge only passes it on.
void* hostWindow() {
  static int token;
  return &token;
}
}  // namespace

// The bridge on its own: a window that keeps values and draws nothing stands behind it.
class EditorBridgeTest : public InstrumentTest {
 protected:
  void SetUp() override {
    InstrumentTest::SetUp();
    bridge().setWindowFactory([]() -> std::unique_ptr<tamblin::EditorWindow> {
      return std::make_unique<tamblin::ValuesOnlyWindow>();
    });
  }
  APluginEditor& bridge() { return *static_cast<APluginEditor*>(plugin->getEditor()); }
  ERect rect() {
    ERect* r = nullptr;
    EXPECT_EQ(request(effEditGetRect, 0, 0, &r), 1);
    return r ? *r : ERect{-1, -1, -1, -1};
  }
};

TEST_F(EditorBridgeTest, RectangleBeforeAndAfterAWindowExists) {
  ERect r = rect();
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.bottom, 518);
  EXPECT_EQ(r.right, 665);
  ASSERT_EQ(request(effEditOpen, 0, 0, hostWindow()), 1);
  r = rect();
  EXPECT_EQ(r.bottom, 536);
  EXPECT_EQ(r.right, 544);
  request(effEditClose);
  EXPECT_EQ(rect().right, 665);
  EXPECT_EQ(request(effEditGetRect), 0);  // no place to put the answer
}

TEST_F(EditorBridgeTest, OpenAndCloseAreCounted) {
  EXPECT_FALSE(plugin->isEditorClosed());
  EXPECT_EQ(request(effEditOpen, 0, 0, hostWindow()), 1);
  auto* first = static_cast<tamblin::ValuesOnlyWindow*>(bridge().editorWindow());
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->visible());
  EXPECT_NE(first->link(), nullptr);
  EXPECT_EQ(request(effEditOpen, 0, 0, hostWindow()), 1);
  EXPECT_EQ(bridge().editorWindow(), first);  // shown again, not made again
  EXPECT_EQ(bridge().openCount(), 2);
  request(effEditClose);
  EXPECT_EQ(bridge().editorWindow(), first);
  EXPECT_FALSE(first->visible());  // hidden until the next open
  EXPECT_FALSE(plugin->isEditorClosed());
  request(effEditClose);
  EXPECT_EQ(bridge().editorWindow(), nullptr);
  EXPECT_TRUE(plugin->isEditorClosed());
  request(effEditClose);  // a close too many stays closed
  EXPECT_EQ(bridge().openCount(), 0);
  EXPECT_EQ(request(effEditIdle), 0);
  EXPECT_EQ(request(effEditOpen, 0, 0, hostWindow()), 1);
  EXPECT_FALSE(plugin->isEditorClosed());
  EXPECT_EQ(request(effEditKeyDown, 'a'), -1);
  EXPECT_EQ(request(effEditKeyUp, 'a'), -1);
  EXPECT_EQ(request(effSetEditKnobMode, 0, 1), 0);
}

TEST_F(EditorBridgeTest, OpenWithoutAParentWindowIsRefused) {
  EXPECT_EQ(request(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(bridge().openCount(), 0);
  EXPECT_EQ(bridge().editorWindow(), nullptr);
}

TEST_F(EditorBridgeTest, WindowGetsTheValuesOnOpenAndAfterEveryChange) {
  setParameter(kFilterFrequency, 0.4f);
  ASSERT_EQ(request(effEditOpen, 0, 0, hostWindow()), 1);
  tamblin::EditorWindow* window = bridge().editorWindow();
  EXPECT_EQ(window->paramValue(kFilterFrequency), 0.4f);
  EXPECT_EQ(window->paramValue(kVolume), 0.75f);
  setParameter(kFilterFrequency, 0.6f);
  EXPECT_EQ(window->paramValue(kFilterFrequency), 0.6f);
  request(effSetProgram, 0, 3);
  EXPECT_EQ(window->paramValue(kFilterFrequency), 0.3985f);
  plugin->setParameter(100, 0.5f);
  EXPECT_EQ(window->paramValue(100), 0.5f);
}

TEST_F(EditorBridgeTest, EditsFromTheWindowAreAutomation) {
  ASSERT_EQ(request(effEditOpen, 0, 0, hostWindow()), 1);
  plugin->setParameterAutomated(14, 0.2f);
  EXPECT_EQ(bridge().editorWindow()->paramValue(kOscMix), 0.2f);
  ASSERT_EQ(host.requestsWith(audioMasterAutomate).size(), 1u);
  EXPECT_EQ(host.requestsWith(audioMasterAutomate)[0].index, 14);
}

TEST_F(EditorBridgeTest, ClosingTheInstrumentWithAnOpenEditorDestroysTheWindow) {
  ASSERT_EQ(request(effEditOpen, 0, 0, hostWindow()), 1);
  ASSERT_EQ(request(effEditOpen, 0, 0, hostWindow()), 1);
  // TearDown closes the instrument; the sanitizer build reports anything left behind.
}

// The audio thread copies values into the window while the host opens and closes the editor: no copy
// may land in a window that is already gone (the sanitizer build reports such a write), and the window
// of the last open holds the values as they are.
TEST_F(EditorBridgeTest, CopiesFromTheAudioThreadNeverOutliveTheWindow) {
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    for (int k = 0; !stop.load(); k = (k + 1) % 1000)
      effect->setParameter(effect, kFilterFrequency, k / 1000.0f);
  });
  int refused = 0;
  for (int cycle = 0; cycle < 20000; ++cycle) {
    if (request(effEditOpen, 0, 0, hostWindow()) != 1) ++refused;
    request(effEditClose);
  }
  stop = true;
  audio.join();
  EXPECT_EQ(refused, 0);
  EXPECT_EQ(bridge().editorWindow(), nullptr);
  ASSERT_EQ(request(effEditOpen, 0, 0, hostWindow()), 1);
  EXPECT_EQ(bridge().editorWindow()->paramValue(kFilterFrequency), parameter(kFilterFrequency));
}
