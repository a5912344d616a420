// The editor session on a headless window over an in-process instrument: the picture a platform's
// window must show after the same pointer input.
#include <array>
#include <mutex>

#include "APluginEditor.h"
#include "DAEffectX.h"
#include "EditorSession.h"
#include "Entry.h"
#include "HostCheck.h"
#include "Png.h"
#include "platform/headless/HeadlessBackend.h"
#include "support/QuietHost.h"
#include "uEditor.h"
#include "uPlugin.h"

namespace tamblin::check {

int runHeadlessSession(const std::string& outPng) {
  Checks checks;
  AEffect* effect = tamblinCreateEffect(test::QuietHost::callback);
  if (!checks.check(effect != nullptr, "an in-process instrument")) return 1;
  auto* instrument = static_cast<APlugin*>(static_cast<AudioEffect*>(effect->object));
  HeadlessBackend::Record record;
  {
    TPluginEditorWindow window(std::make_unique<HeadlessBackend>(&record));
    window.setDecimalSeparator(".");
    std::array<float, kNumStoredValues> values;
    for (int i = 0; i < kNumStoredValues; ++i) values[i] = instrument->soundEngine().param(i);
    checks.check(openEditorWindow(window, nullptr, values, linkToInstrument(*instrument)),
                 "a headless editor window");
    window.Update();
    window.Show();
    window.SetAll();
    // The events as a backend hands them over: under the window's lock, menu events in menu pixels.
    uint32_t clock = 10000;
    int x = 0, y = 0;
    for (const PointerStep& step : editorSession()) {
      std::lock_guard lock(window.windowLock());
      const MouseButton button = step.right ? MouseButton::Right : MouseButton::Left;
      const int menuX = x - record.menuX, menuY = y - record.menuY;
      switch (step.action) {
        case Action::Move:
          x = step.x;
          y = step.y;
          if (record.menuShown) {
            window.menuPointerMoved(x - record.menuX, y - record.menuY);
          } else {
            window.pointerMoved(false, x, y);
          }
          break;
        case Action::Press:
          clock += 1000;
          if (record.menuShown) {
            window.menuPointerPressed(menuX, menuY);
          } else {
            window.pointerPressed(button, false, x, y, clock);
          }
          break;
        case Action::Release:
          if (record.menuShown) {
            window.menuPointerReleased(menuX, menuY);
          } else {
            window.pointerReleased(button, false, x, y);
          }
          break;
      }
    }
    {
      std::lock_guard lock(window.windowLock());
      window.timerElapsed(kRefreshTimer);
      window.timerElapsed(kGateLampTimer);
    }
    checks.check(writePng(window.frame(), outPng), "headless picture written to " + outPng);
  }
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  return checks.failures == 0 ? 0 : 1;
}

}  // namespace tamblin::check
