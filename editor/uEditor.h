// TPluginEditorWindow: the drawn editor window, its controls, label line, gate column, menus and timers.
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
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int ClientWidth() const override { return width_; }
  int ClientHeight() const override { return height_; }
  void setInstrumentLink(std::unique_ptr<InstrumentLink> link) override;
  void Update() override;
  void Show() override;
  void Hide() override;
  void SetAll() override;
  void idle() override;

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

  // The routines of the window, by their names.
  void SetControl(int index);
  void SetLabel(int index);
  void PrintLabels(std::string_view label, std::string_view value);
  void drawgate();
  void setfvar(int index, float value);
  void Timer1Timer();
  void Timer2Timer();
  void ClickFilter(int item);
  void ClickGate(int item);

  // What is on screen: the whole window, and one image by name (empty image for an unknown name).
  const Image& frame() const { return frame_; }
  const Image& image(std::string_view name) const;

  // State for tests and the backends.
  bool created() const { return created_; }
  bool visible() const { return visible_; }
  bool dragging() const { return dragging_; }
  int sliderMode() const { return sliderMode_; }
  int menuTarget() const { return menuTarget_; }
  int shownGateStep() const { return shownGateStep_; }
  float drawnValue(int index) const { return drawnValues_[index]; }
  float resetValue(int index) const { return resetValues_[index]; }
  enum class Menu { None, Filter, Gate };
  Menu openMenu() const { return menu_.which; }
  const Image& menuImage() const { return menu_.image; }
  int menuItemUnderPointer() const { return menu_.hover; }

 private:
  struct OpenMenu {
    Menu which = Menu::None;
    Image image;
    int hover = -1;
    bool armed = false;  // a press inside the menu or a move away from where it opened
  };

  void FormCreate();
  void drawImage(int image);
  void invalidate(const Rect& area);
  void invalidateImage(int image);
  void flush();
  void recompose(const Rect& area);

  // Pointer handling of the drag controls.
  void SetControlSelect(const ImagePlace& place, MouseButton button, bool shift, int x, int y);
  void Mousemove(const ImagePlace& place, int x, int y);
  void MouseDown(const ImagePlace& place);
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
  std::array<float, kNumParams> resetValues_{};
  std::string decimalSeparator_ = ".";
  bool separatorGiven_ = false;

  int left_ = 0, top_ = 0, width_ = kClientWidth, height_ = kClientHeight;
  bool created_ = false;
  bool visible_ = false;

  bool dragging_ = false;
  int sliderMode_ = -1;
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
