// The pointer session the host check plays on the editor: a slider drag released outside the
// window, a choice from the filter type menu and a right click on the gate, with the automation
// each must bring. Played as real input on a platform's window and as direct calls on a headless
// window; the two pictures afterwards must be the same.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "Drawing.h"
#include "Layout.h"

namespace tamblin::check {

enum class Action { Move, Press, Release };

struct PointerStep {
  Action action;
  bool right = false;  // the right button, else the left
  int x = 0, y = 0;    // window client pixels (for Move)
};

// The window point of a point inside a named image.
inline std::pair<int, int> windowPoint(std::string_view image, int x, int y) {
  const Rect r = windowImages()[imageNamed(image)].rect;
  return {r.left + x, r.top + y};
}

inline std::vector<PointerStep> editorSession() {
  const auto [volX, volY] = windowPoint("DVol", 20, 70);
  const auto [volToX, volToY] = windowPoint("DVol", 20, 45);
  const auto [menuX, menuY] = windowPoint("Ftypei", 10, 5);
  const auto [gateX, gateY] = windowPoint("GateBack1", 4, 4);
  const int item = menuItemHeight();
  return {
      // The volume slider: pressed low, dragged up, let go far outside the window.
      {Action::Move, false, volX, volY},
      {Action::Press, false, 0, 0},
      {Action::Move, false, volToX, volToY},
      {Action::Move, false, 560, -10},
      {Action::Release, false, 0, 0},
      // The filter type menu opens at the pointer; its third item is chosen.
      {Action::Move, false, menuX, menuY},
      {Action::Press, false, 0, 0},
      {Action::Release, false, 0, 0},
      {Action::Move, false, menuX + 6, menuY + 2 * item + item / 2},
      {Action::Press, false, 0, 0},
      {Action::Release, false, 0, 0},
      // The pointer, now over the window again, stirs where it is (a system also reports it there
      // when the menu goes).
      {Action::Move, false, menuX + 6, menuY + 2 * item + item / 2},
      // A right click on the first gate step.
      {Action::Move, false, gateX, gateY},
      {Action::Press, true, 0, 0},
      {Action::Release, true, 0, 0},
  };
}

// The automation the session must bring, by parameter: the last value each reports.
struct ExpectedAutomation {
  int index;
  float last;
};
inline std::vector<ExpectedAutomation> sessionAutomation() {
  return {{0, 1.0f}, {30, static_cast<float>(2.5 / 10.99)}, {92, static_cast<float>(32768.5 / 65535.99)}};
}

}  // namespace tamblin::check
