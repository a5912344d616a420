// A backend without a display: keeps what a platform would show, for tests and screenshots.
#pragma once

#include "platform/WindowBackend.h"

namespace tamblin {

class HeadlessBackend final : public WindowBackend {
 public:
  // What the window asked of its platform, readable while the window lives.
  struct Record {
    bool open = false;
    bool visible = false;
    bool pointerCaptured = false;
    int captures = 0;
    int presents = 0;
    bool menuShown = false;
    int menuX = 0, menuY = 0;
    Image menu;
  };

  explicit HeadlessBackend(Record* record = nullptr) : record_(record ? record : &own_) {}

  bool open(void*, int, int, WindowEvents&) override {
    record_->open = true;
    return true;
  }
  void close() override {
    record_->open = false;
    record_->pointerCaptured = false;
    record_->menuShown = false;
  }
  void setBounds(int, int, int, int) override {}
  void setVisible(bool visible) override { record_->visible = visible; }
  void present(const Image&, const Rect&) override { ++record_->presents; }
  void capturePointer() override {
    record_->pointerCaptured = true;
    ++record_->captures;
  }
  void releasePointer() override { record_->pointerCaptured = false; }
  void showMenu(int windowX, int windowY, const Image& menu) override {
    record_->menuShown = true;
    record_->menuX = windowX;
    record_->menuY = windowY;
    record_->menu = menu;
  }
  void presentMenu(const Image& menu) override { record_->menu = menu; }
  void hideMenu() override { record_->menuShown = false; }

 private:
  Record own_;
  Record* record_;
};

}  // namespace tamblin
