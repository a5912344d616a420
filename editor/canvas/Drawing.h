// The editor's drawing routines, each painting one control, caption or lamp into its image.
#pragma once

#include <string_view>

#include "Canvas.h"
#include "Pictures.h"

namespace tamblin {

constexpr Color kFormColor{149, 130, 96};   // window background
constexpr Color kPanelColor{80, 96, 112};   // sections, panels, control backgrounds, dial strip
constexpr Color kFrameColor{192, 192, 192}; // outline of each section background
constexpr Color kWhite{255, 255, 255};
constexpr Color kBlack{0, 0, 0};
constexpr Color kLampUnlit{150, 150, 150};  // body colours given to makeLamp
constexpr Color kLampGreen{40, 230, 60};
constexpr Color kLampRed{240, 40, 30};

// Text alignments of Printf4.
constexpr int kAlignLeft = 0;     // top-left at (x, y)
constexpr int kAlignCentre = 1;   // centred across the image, x ignored
constexpr int kAlignRight = 2;    // ending at x

// Row i of the image in the mix (1 - i / height) x top + (i / height) x bottom, then an optional
// one-pixel frame around the image.
void Clearscreen(Image& image, Color topColour, Color bottomColour, Color frameColour, bool drawFrame);

// Text in "Arial Narrow" of the given size in points, transparent background. Other alignments
// than the three above draw nothing.
void Printf4(Image& image, Color colour, float size, int x, int y, std::string_view text, int alignment);

// Choice box: the box face and its text, black, 8 points, centred at y = 2.
void DrawBox(Image& image, const Pictures& pictures, std::string_view text);

// Dial (51 x 45) at value 0..1: frame floorInt(26.99 x value) of the dial strip at (9, 13) and
// the caption in white, 8 points, centred at the top.
void DrawDial2(Image& image, const Pictures& pictures, float value, std::string_view caption);
// Same, taking the dial strip from the given image (864 x 32) instead of the shared one.
void DrawDial2(Image& image, const Image& bigDial, float value, std::string_view caption);

// Horizontal slider (110 x 35): scale, handle at x = floorInt(100 x value), caption 7 points.
void DrawHSlider2(Image& image, const Pictures& pictures, float value, std::string_view caption);

// Vertical slider (51 x 131): scale, the three marks at the left, the caption, and the handle
// squeezed to 20 x 13 at rows 117 - p .. 129 - p for p = floorInt(100 x value).
void DrawVSlider2(Image& image, const Pictures& pictures, float value, std::string_view caption,
                  std::string_view topMark, std::string_view middleMark, std::string_view bottomMark);

// Frame index of the dial strip (0..26) and handle offset of a slider (0..100) for a value 0..1;
// values outside 0..1 are clamped so the copy never leaves the strip.
int dialFrameFor(float value);
int sliderOffsetFor(float value);

// Per channel floorInt((1 - weight) x old + weight x colour).
Color blendColour(Color colour, Color old, float weight);
// Antialiased filled disc: full colour where the distance to the centre is below r, blended over
// a one-pixel rim beyond it.
void anticircle(Image& image, Color colour, float cx, float cy, float r);

// Fills bigDial (864 x 32, cleared to the panel colour first) with the 27 frames made from dial1.
void generateDialStrip(Image& bigDial, const Image& dial1);
// Centre of the pointer disc of frame i (0..26), relative to the frame's top-left.
struct PointerCentre {
  int x;
  int y;
};
PointerCentre dialPointerCentre(int frame);

// A section background: panel colour with a one-pixel frame in the frame colour.
void drawSectionBackground(Image& image);
// A caption strip: panel colour with a white centred caption at y = 1 in the given size.
void drawCaption(Image& image, std::string_view caption, float size);

// Gate column. A 16 x 256 row of sixteen lamps: step s lit green when bit 15 - s of the pattern
// word is set, unlit otherwise, each at (0, 16s).
void drawGateRow(Image& row, const Pictures& pictures, int patternWord);
// The numbers 1 to 16, white, 8 points, one per 16-pixel row.
void drawGateNumbers(Image& label);
// The position column: the red lamp at row litStep, unlit lamps elsewhere (no red lamp when
// litStep is outside 0..15).
void drawGatePositions(Image& column, const Pictures& pictures, int litStep);
// One lamp at row step (0..15) of a gate column; rows outside the column are ignored.
void drawGateLamp(Image& column, const Image& lamp, int step);

// The label line (326 x 26): its face, then "  " + value + " :: " + "  " + label, black,
// 10 points, at (5, 6).
void drawLabelLine(Image& image, const Pictures& pictures, std::string_view value, std::string_view label);

// One item of an owner-drawn menu: a selected item is black text on white, the others white on
// black; " " + text at the rectangle's top-left.
void printmenu(Image& canvas, const Rect& rectangle, bool selected, std::string_view text, const Font& font);
// Font and item height the menus use.
Font menuFont();
int menuItemHeight();
int menuItemWidth(std::string_view text);

}  // namespace tamblin
