// TPluginEditorWindow owns the drawn editor window: one image per place of the layout, the composed
// frame, the pointer state, the open menu and the two timers. It reaches the instrument only through
// its InstrumentLink. Every public entry takes the window lock; the routines behind them do not.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Canvas.h"
#include "EditorWindow.h"
#include "InstrumentLink.h"
#include "Layout.h"
#include "platform/WindowBackend.h"

namespace tamblin {

struct Pictures;

class TPluginEditorWindow : public EditorWindow, public WindowEvents {
 public:
  static constexpr int kClientWidth = kWindowWidth;
  static constexpr int kClientHeight = kWindowHeight;
  static constexpr uint32_t kDoubleClickMs = 500;
  static constexpr int kDoubleClickDistance = 2;

  // The window on the given backend (the platform's when none is given).
  explicit TPluginEditorWindow(std::unique_ptr<WindowBackend> backend = nullptr);
  ~TPluginEditorWindow() override;
  TPluginEditorWindow(const TPluginEditorWindow&) = delete;
  TPluginEditorWindow& operator=(const TPluginEditorWindow&) = delete;

  // EditorWindow: the bridge's calls, on the host's user-interface thread.
  bool create(void* parentWindow) override;
  void SetBounds(int left, int top, int width, int height) override;
  int Width() const override { return kClientWidth; }
  int Height() const override { return kClientHeight; }
  int ClientWidth() const override { return kClientWidth; }
  int ClientHeight() const override { return kClientHeight; }
  void setInstrumentLink(std::unique_ptr<InstrumentLink> link) override;
  void Update() override;
  void Show() override;
  void Hide() override;
  void SetAll() override;
  void idle() override;
  void setDrivenByHost(bool driven) override {
    if (backend_) backend_->setDrivenByOwner(driven);
  }
  bool connectionLost() const override { return backend_ && backend_->connectionLost(); }

  // The number separator used in value texts ("." or the user's locale's; read at creation).
  void setDecimalSeparator(std::string separator);

  // WindowEvents: pointer, menu and timer events from the backend.
  WindowLock& windowLock() override { return windowLock_; }
  void pointerPressed(MouseButton button, bool shift, int x, int y, uint32_t timeMs) override;
  void pointerMoved(bool shift, int x, int y) override;
  void pointerReleased(MouseButton button, bool shift, int x, int y) override;
  void pointerCaptureLost() override;
  void menuPointerMoved(int x, int y) override;
  void menuPointerPressed(int x, int y) override;
  void menuPointerReleased(int x, int y) override;
  void menuCancelled() override;
  void timerElapsed(int timer) override;
  const Image& composedFrame() const override { return frame_; }

  // Redraws the control bound to index (either gate pattern redraws the gate column).
  void SetControl(int index);
  // Redraws the gate column: step numbers, both pattern rows and the lamp of the step being played.
  void drawgate();
  // The 25 ms timer: moves the lamp to the step the engine plays. The 200 ms timer: SetAll.
  void Timer1Timer();
  void Timer2Timer();

  // What is on screen: the whole window, and one image by name (empty image for an unknown name).
  const Image& frame() const { return frame_; }
  const Image& image(std::string_view name) const;

  // State for tests and the backends.
  bool dragging() const { return drag_ != Drag::None; }
  // 0 while a slider's handle follows the pointer, 1 while a Shift drag moves it in fine steps, else -1.
  int sliderMode() const { return drag_ == Drag::SliderFollow ? 0 : (drag_ == Drag::SliderFine ? 1 : -1); }
  int menuTarget() const { return menuTarget_; }
  int shownGateStep() const { return shownGateStep_; }
  float drawnValue(int index) const { return drawnValues_[index]; }
  enum class Menu { None, Filter, Gate };
  Menu openMenu() const { return menu_.which; }
  int menuItemUnderPointer() const { return menu_.hover; }

 private:
  struct OpenMenu {
    Menu which = Menu::None;
    Image image;
    int hover = -1;
    bool armed = false;  // a press inside the menu or a move away from where it opened
  };

  // What a left press on a dial or slider started, until the button is released.
  enum class Drag {
    None,
    Dial,          // up and down change the value from where the press started
    SliderFollow,  // the handle follows the pointer
    SliderFine,    // Shift: the value moves a thousandth per pixel from where it was
  };

  void FormCreate();
  void drawImage(int image);
  void invalidate(const Rect& area);
  void invalidateImage(int image);
  void flush();
  void recompose(const Rect& area);

  // Label line, values and timers.
  void SetLabel(int index);
  void PrintLabels(std::string_view label, std::string_view value);
  void setfvar(int index, float value);

  // Pointer handling of the drag controls.
  void SetControlSelect(const ImagePlace& place, MouseButton button, bool shift, int x, int y);
  void Mousemove(const ImagePlace& place, int x, int y);
  void MouseDown();
  void endCapture();
  void SetDial(int index, int x, int y, MouseButton button);
  void SetHSlider(int index, int x, MouseButton button, bool shift);
  void SetVSlider(int index, int y, MouseButton button, bool shift);
  void setSlider(int index, int position, MouseButton button, bool shift);
  void MoveDial(int index, int x, int y);
  void MoveHSlider(int index, int x);
  void MoveVSlider(int index, int y);
  void changeByDrag(int index, float value);
  void automate(int index, float value);

  // Gate rows, choice boxes and menus.
  void switchGateStep(int index, int y);
  void stepChoice(int index, int count);
  void choiceBoxClicked(const ImagePlace& place);
  void popupMenu(Menu which, int x, int y);
  void drawMenu();
  void closeMenu();
  void ClickFilter(int item);
  void ClickGate(int item);
  float gatePosition() const;

  std::unique_ptr<WindowBackend> backend_;
  std::shared_ptr<InstrumentLink> link_;  // shared with the calls waiting for the lock to go
  const Pictures& pictures_;
  WindowLock windowLock_;

  std::vector<Image> images_;  // one per windowImages() entry
  Image frame_;
  Image empty_;
  std::vector<Rect> dirty_;  // areas to compose and show; few, apart from each other

  std::array<float, kNumParams> drawnValues_{};
  std::string decimalSeparator_ = ".";
  bool separatorGiven_ = false;

  int left_ = 0, top_ = 0;
  bool created_ = false;
  bool visible_ = false;

  Drag drag_ = Drag::None;
  float dragStartValue_ = 0.0f;
  float dragStartX_ = 0.0f;
  float dragStartY_ = 0.0f;
  int menuTarget_ = 0;
  int shownGateStep_ = 0;

  int captured_ = -1;      // image that takes every pointer event from a left press to its release
  int clickPending_ = -1;  // choice box pressed with the left button, clicked if released inside
  uint32_t lastLeftPressMs_ = 0;
  int lastLeftPressX_ = -1000, lastLeftPressY_ = -1000;
  bool lastLeftPressWasDouble_ = true;
  OpenMenu menu_;
};

}  // namespace tamblin
