// An editor window that keeps its values and its visibility and draws nothing: the stand-in for
// builds and tests without a display.
#pragma once

#include <utility>

#include "EditorWindow.h"

namespace tamblin {

class ValuesOnlyWindow : public EditorWindow {
 public:
  static constexpr int kClientWidth = 544;
  static constexpr int kClientHeight = 536;

  bool create(void*) override { return true; }
  void SetBounds(int left, int top, int width, int height) override {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
  }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int ClientWidth() const override { return width_; }
  int ClientHeight() const override { return height_; }
  void setInstrumentLink(std::unique_ptr<InstrumentLink> link) override { link_ = std::move(link); }
  void Update() override {}
  void Show() override { visible_ = true; }
  void Hide() override { visible_ = false; }
  void SetAll() override {}

  bool visible() const { return visible_; }
  InstrumentLink* link() const { return link_.get(); }

 private:
  int left_ = 0, top_ = 0, width_ = kClientWidth, height_ = kClientHeight;
  bool visible_ = false;
  std::unique_ptr<InstrumentLink> link_;
};

}  // namespace tamblin
