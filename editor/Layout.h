// Where every image of the editor window stands, what it shows and which parameter it is bound to.
#pragma once

#include <span>
#include <string_view>

#include "Canvas.h"

namespace tamblin {

constexpr int kWindowWidth = 544;
constexpr int kWindowHeight = 536;

// What an image of the window is, which decides how it is painted and how it takes the pointer.
enum class ImageRole {
  Section,        // background of a section: panel colour, framed
  Caption,        // caption strip with a white centred caption
  Panel,          // plain panel behind controls (the sustain / release panel has a lowered bevel)
  VSlider,        // 51 x 131
  HSlider,        // 110 x 35
  Dial,           // 51 x 45 (DGateS 51 x 46)
  ChoiceBox,      // 73 x 18
  GateNumbers,    // the step numbers 1..16 beside the gate rows
  GateRow1,       // gate pattern for the volume
  GateRow2,       // gate pattern for the filter
  GatePositions,  // the lamp of the step being played
  LabelLine,      // name and value of the control under the pointer
  Logo,           // name plate, never redrawn
};

struct ImagePlace {
  std::string_view name;
  ImageRole role;
  Rect rect;                                         // window client coordinates
  int index = -1;                                    // parameter shown, -1 for none
  std::string_view caption;                          // caption of sections, caption strips and drag controls
  float captionPoints = 0.0f;                        // caption size of sections and caption strips
  std::string_view topMark, middleMark, bottomMark;  // vertical sliders only
  bool opensGateMenu = false;                        // a caption strip that opens the gate length menu
};

// Every image in drawing order: later images lie on top of earlier ones where they overlap.
std::span<const ImagePlace> windowImages();

// Position of an image in windowImages(), -1 when there is none.
int imageNamed(std::string_view name);
// Position of the first image with the role, -1 when there is none.
int imageWith(ImageRole role);
// The topmost image containing the point, -1 for the bare window.
int imageAt(int x, int y);
// The dial, slider or choice box bound to a parameter, -1 for none.
int controlFor(int parameterIndex);

inline bool isDragControl(ImageRole role) {
  return role == ImageRole::VSlider || role == ImageRole::HSlider || role == ImageRole::Dial;
}
inline bool contains(const Rect& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

}  // namespace tamblin
