// Tests of the drawing routines: backgrounds, text placement, sliders, dials, discs, gate lamps, menus.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>

#include "CanvasTestSupport.h"
#include "Drawing.h"

using namespace tamblin;
using namespace canvas_test;

namespace {

// Colours that occur in the picture, restricted to its left `width` columns.
std::set<std::tuple<int, int, int>> coloursOf(const Image& image, int width) {
  std::set<std::tuple<int, int, int>> colours;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < width; ++x) {
      const Color c = image.pixel(x, y);
      colours.insert({c.r, c.g, c.b});
    }
  return colours;
}

// The smallest rectangle holding every pixel whose colour is in the set.
Rect boundsOfColours(const Image& image, const std::set<std::tuple<int, int, int>>& colours) {
  Rect r{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const Color c = image.pixel(x, y);
      if (!colours.count({c.r, c.g, c.b})) continue;
      r.left = std::min(r.left, x);
      r.top = std::min(r.top, y);
      r.right = std::max(r.right, x + 1);
      r.bottom = std::max(r.bottom, y + 1);
    }
  return r;
}

void expectRect(const Rect& actual, const Rect& expected) {
  EXPECT_EQ(actual.left, expected.left);
  EXPECT_EQ(actual.top, expected.top);
  EXPECT_EQ(actual.right, expected.right);
  EXPECT_EQ(actual.bottom, expected.bottom);
}

}  // namespace

TEST(CanvasClearscreen, EqualColoursGiveOneColourOnEveryRow) {
  for (int height : {1, 3, 15, 45, 131, 256, 536}) {
    for (int v = 0; v < 256; v += 1) {
      const Color c{uint8_t(v), uint8_t(255 - v), uint8_t((v * 7) & 255)};
      Image image(3, height, Color{1, 2, 3});
      Clearscreen(image, c, c, kWhite, false);
      ASSERT_EQ(pixelsNot(image, c).size(), 0u) << "height " << height << " value " << v;
    }
  }
}

TEST(CanvasClearscreen, GradientRunsFromTopColourTowardsBottomColourAndFramesOnRequest) {
  Image image(4, 10);
  Clearscreen(image, Color{0, 100, 200}, Color{100, 100, 0}, kFrameColor, false);
  EXPECT_EQ(image.pixel(0, 0), (Color{0, 100, 200}));
  EXPECT_EQ(image.pixel(3, 5), (Color{50, 100, 100}));  // t = 0.5
  EXPECT_EQ(image.pixel(0, 9), (Color{90, 100, 20}));   // t = 0.9: the last row is not the bottom colour

  Image framed(6, 5);
  Clearscreen(framed, kPanelColor, kPanelColor, kFrameColor, true);
  PixelSet inside = rectPixels(1, 1, 5, 4);
  EXPECT_EQ(pixelsOf(framed, kPanelColor), inside);
  EXPECT_EQ(pixelsOf(framed, kFrameColor).size(), 30u - inside.size());
}

TEST(CanvasPrintf4, AlignsLeftCentredAndRight) {
  const Font font{8};
  const std::string text = "Speed";
  const int width = textWidth(text, font);

  Image centred(51, 20, kPanelColor), expected(51, 20, kPanelColor);
  Printf4(centred, kWhite, 8, 99, 3, text, kAlignCentre);
  expected.textOut((51 - width) / 2, 3, text, font, kWhite);
  EXPECT_EQ(centred, expected);

  Image right(51, 20, kPanelColor), rightExpected(51, 20, kPanelColor);
  Printf4(right, kWhite, 8, 45, 3, text, kAlignRight);
  rightExpected.textOut(45 - width, 3, text, font, kWhite);
  EXPECT_EQ(right, rightExpected);

  for (int far : {INT_MIN, INT_MIN + 1, -100000, 100000, INT_MAX}) {
    for (int alignment : {kAlignLeft, kAlignCentre, kAlignRight}) {
      Image clipped(51, 20, kPanelColor);
      Printf4(clipped, kWhite, 8, far, far, text, alignment);
      Printf4(clipped, kWhite, 8, far, 3, text, alignment);
    }
  }

  Image none(51, 20, kPanelColor);
  Printf4(none, kWhite, 8, 5, 3, text, 3);
  Printf4(none, kWhite, 8, 5, 3, text, -1);
  EXPECT_TRUE(pixelsNot(none, kPanelColor).empty());
}

TEST(CanvasPrintf4, CentredTextWiderThanItsImageStartsLeftOfItAndIsClippedOnBothSides) {
  const std::string text = "A caption far too wide for this image";
  const Font font{8};
  const int width = textWidth(text, font);
  ASSERT_GT(width, 31);
  Image narrow(31, 14, kPanelColor), expected(31, 14, kPanelColor);
  Printf4(narrow, kWhite, 8, 0, 0, text, kAlignCentre);
  expected.textOut((31 - width) / 2, 0, text, font, kWhite);  // negative, rounded toward zero
  EXPECT_EQ(narrow, expected);
  EXPECT_LT((31 - width) / 2, 0);
  bool leftInked = false, rightInked = false;
  for (int y = 0; y < 14; ++y) {
    leftInked |= !(narrow.pixel(0, y) == kPanelColor) || !(narrow.pixel(1, y) == kPanelColor);
    rightInked |= !(narrow.pixel(30, y) == kPanelColor) || !(narrow.pixel(29, y) == kPanelColor);
  }
  EXPECT_TRUE(leftInked);
  EXPECT_TRUE(rightInked);
}

TEST(CanvasValues, DialFramesAndSliderOffsetsAtTheEdges) {
  EXPECT_EQ(dialFrameFor(0.0f), 0);
  EXPECT_EQ(dialFrameFor(0.5f), 13);
  EXPECT_EQ(dialFrameFor(0.999f), 26);
  EXPECT_EQ(dialFrameFor(1.0f), 26);
  // 26.99 x 0.481659859 is 12.99999996, which rounds to 13 as a float; the float constant 26.99f
  // would give 12.9999998 and frame 12.
  EXPECT_EQ(dialFrameFor(0.481659859f), 13);
  EXPECT_EQ(dialFrameFor(0.963319719f), 26);
  EXPECT_EQ(sliderOffsetFor(0.0f), 0);
  EXPECT_EQ(sliderOffsetFor(0.5f), 50);
  EXPECT_EQ(sliderOffsetFor(0.29f), 29);  // 28.999998 lies within the helper's tolerance of 29
  EXPECT_EQ(sliderOffsetFor(1.0f), 100);
  // Values outside 0..1 never reach past the strip or the scale.
  EXPECT_EQ(dialFrameFor(-3.0f), 0);
  EXPECT_EQ(dialFrameFor(7.0f), 26);
  EXPECT_EQ(sliderOffsetFor(-0.5f), 0);
  EXPECT_EQ(sliderOffsetFor(2.0f), 100);
  EXPECT_EQ(sliderOffsetFor(std::nanf("")), 0);
}

TEST(CanvasVSlider, HandleRowsAtValuesOneAndZero) {
  const Pictures& pictures = Pictures::get();
  const auto handleColours = [&] {
    auto colours = coloursOf(pictures.VBarp, 23);
    colours.erase({kPanelColor.r, kPanelColor.g, kPanelColor.b});
    return colours;
  }();
  Image top(51, 131), bottom(51, 131);
  DrawVSlider2(top, pictures, 1.0f, "Volume", "0db", "-20db", "off");
  DrawVSlider2(bottom, pictures, 0.0f, "Volume", "0db", "-20db", "off");
  expectRect(boundsOfColours(top, handleColours), Rect{22, 17, 42, 30});
  expectRect(boundsOfColours(bottom, handleColours), Rect{22, 117, 42, 130});
  // The handle's first and last columns and rows are the handle picture's edges.
  EXPECT_EQ(top.pixel(22, 17), pictures.VBarp.pixel(0, 0));
  EXPECT_EQ(top.pixel(41, 29), pictures.VBarp.pixel(22, 12));
  EXPECT_EQ(bottom.pixel(22, 117), pictures.VBarp.pixel(0, 0));
  // Outside the handle the scale shows: the track under the top mark area is black.
  EXPECT_EQ(top.pixel(34, 119), kBlack);
  EXPECT_EQ(bottom.pixel(34, 19), kBlack);
}

TEST(CanvasHSlider, HandleColumnsAtValuesOneAndZero) {
  const Pictures& pictures = Pictures::get();
  auto handleColours = coloursOf(pictures.HBarP, 10);
  Image right(110, 35), left(110, 35);
  DrawHSlider2(right, pictures, 1.0f, "Osc 1..2: Attack");
  DrawHSlider2(left, pictures, 0.0f, "Osc 1..2: Attack");
  expectRect(boundsOfColours(right, handleColours), Rect{100, 15, 110, 35});
  expectRect(boundsOfColours(left, handleColours), Rect{0, 15, 10, 35});
  EXPECT_EQ(left.pixel(50, 23), kBlack);  // the scale's line shows beside the handle
}

TEST(CanvasDialStrip, PointerCentresOfFirstMiddleAndLastFrames) {
  EXPECT_EQ(dialPointerCentre(0).x, 11);
  EXPECT_EQ(dialPointerCentre(0).y, 19);
  EXPECT_EQ(dialPointerCentre(13).x, 15);
  EXPECT_EQ(dialPointerCentre(13).y, 9);
  EXPECT_EQ(dialPointerCentre(26).x, 19);
  EXPECT_EQ(dialPointerCentre(26).y, 19);

  const Image& strip = Pictures::get().BigDial;
  ASSERT_EQ(strip.width(), 864);
  ASSERT_EQ(strip.height(), 32);
  for (auto [frame, cx, cy] : {std::tuple{0, 11, 19}, std::tuple{13, 15, 9}, std::tuple{26, 19, 19}}) {
    const int x = 32 * frame + cx;
    // A white dot of radius 2 with a black rim reaching distance 3.
    EXPECT_EQ(strip.pixel(x, cy), kWhite) << "frame " << frame;
    EXPECT_EQ(strip.pixel(x + 1, cy + 1), kWhite);
    EXPECT_EQ(strip.pixel(x + 3, cy), kBlack);
    EXPECT_EQ(strip.pixel(x - 3, cy), kBlack);
    EXPECT_EQ(strip.pixel(x, cy + 3), kBlack);
    EXPECT_EQ(strip.pixel(x, cy - 3), kBlack);
  }
}

TEST(CanvasDialStrip, EachFrameIsTheKnobFaceAwayFromItsPointer) {
  const Pictures& pictures = Pictures::get();
  for (int frame = 0; frame <= 26; ++frame) {
    const PointerCentre c = dialPointerCentre(frame);
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        if (std::hypot(x - c.x, y - c.y) < 4.5) continue;
        ASSERT_EQ(pictures.BigDial.pixel(32 * frame + x, y), pictures.Dial1.pixel(x, y))
            << "frame " << frame << " at " << x << ", " << y;
      }
  }
}

TEST(CanvasDial, ShowsTheFrameOfItsValueBelowTheCaption) {
  const Pictures& pictures = Pictures::get();
  for (auto [value, frame] : {std::pair{0.0f, 0}, std::pair{0.5f, 13}, std::pair{1.0f, 26}}) {
    Image dial(51, 45, kWhite);
    DrawDial2(dial, pictures, value, "Amt");
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x)
        ASSERT_EQ(dial.pixel(9 + x, 13 + y), pictures.BigDial.pixel(32 * frame + x, y)) << "value " << value;
    EXPECT_EQ(dial.pixel(0, 44), kPanelColor);
    EXPECT_EQ(dial.pixel(50, 20), kPanelColor);
  }
  // DGateS is one row taller; the row below the knob stays panel colour.
  Image tall(51, 46);
  DrawDial2(tall, pictures, 0.3f, "Smooth");
  for (int x = 0; x < 51; ++x) EXPECT_EQ(tall.pixel(x, 45), kPanelColor);
}

TEST(CanvasAnticircle, RadiusThreeAtAnIntegerCentrePaintsTwentyFivePixelsAndBlendsARim) {
  const Color back{100, 100, 100};
  Image image(20, 20, back);
  anticircle(image, kBlack, 10, 10, 3);
  PixelSet full, rim, outside;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const double d = std::hypot(x - 10, y - 10);
      (d < 3 ? full : d < 4 ? rim : outside).insert({x, y});
    }
  EXPECT_EQ(full.size(), 25u);
  EXPECT_EQ(pixelsOf(image, kBlack), [&] {
    PixelSet s = full;
    for (const auto& p : rim)  // weight 1 at distance exactly 3
      if (std::hypot(p.first - 10, p.second - 10) == 3.0) s.insert(p);
    return s;
  }());
  for (const auto& [x, y] : rim) {
    const Color c = image.pixel(x, y);
    EXPECT_LT(c.r, 100) << x << ", " << y;
    EXPECT_EQ(c.r, c.g);
  }
  for (const auto& [x, y] : outside) ASSERT_EQ(image.pixel(x, y), back);

  // At the corners and far outside, nothing is written beyond the image.
  anticircle(image, kWhite, -1.5f, 19.5f, 3);
  anticircle(image, kWhite, 1e9f, -1e9f, 1e6f);
  EXPECT_EQ(image.pixel(0, 19), kWhite);
}

TEST(CanvasBlendColour, MixesEachChannelAndFloors) {
  EXPECT_EQ(blendColour(kWhite, kBlack, 0.0f), kBlack);
  EXPECT_EQ(blendColour(kWhite, kBlack, 1.0f), kWhite);
  EXPECT_EQ(blendColour(kWhite, kBlack, 0.5f), (Color{127, 127, 127}));
  EXPECT_EQ(blendColour(Color{10, 20, 30}, Color{30, 20, 10}, 0.25f), (Color{25, 20, 15}));
}

TEST(CanvasGate, RowsLightTheStepsOfTheirPatternWordTopBitFirst) {
  const Pictures& pictures = Pictures::get();
  Image row(16, 256, kPanelColor);
  drawGateRow(row, pictures, 0x8001);
  for (int s = 0; s < 16; ++s) {
    const Image& lamp = (s == 0 || s == 15) ? pictures.Ind2 : pictures.Ind1;
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 15; ++x) ASSERT_EQ(row.pixel(x, 16 * s + y), lamp.pixel(x, y)) << "step " << s;
    EXPECT_EQ(row.pixel(15, 16 * s), kPanelColor);       // the column beside the lamp
    EXPECT_EQ(row.pixel(0, 16 * s + 15), kPanelColor);   // the row below it
  }

  Image positions(16, 256, kPanelColor);
  drawGatePositions(positions, pictures, 4);
  EXPECT_EQ(positions.pixel(7, 16 * 4 + 7), pictures.Ind3.pixel(7, 7));
  EXPECT_EQ(positions.pixel(7, 7), pictures.Ind1.pixel(7, 7));
  Image none(16, 256, kPanelColor);
  drawGatePositions(none, pictures, 16);
  for (int s = 0; s < 16; ++s) EXPECT_EQ(none.pixel(7, 16 * s + 7), pictures.Ind1.pixel(7, 7));
  drawGateLamp(none, pictures.Ind3, -1);
  drawGateLamp(none, pictures.Ind3, 16);
  for (int s = 0; s < 16; ++s) EXPECT_EQ(none.pixel(7, 16 * s + 7), pictures.Ind1.pixel(7, 7));
}

TEST(CanvasGate, NumbersAreWhiteOneInEachRow) {
  Image label(13, 256, kPanelColor);
  drawGateNumbers(label);
  for (int s = 0; s < 16; ++s) {
    bool white = false;
    for (int y = 16 * s; y < 16 * s + 16; ++y)
      for (int x = 0; x < 13; ++x) white |= label.pixel(x, y).r > 230 && label.pixel(x, y).b > 230;
    EXPECT_TRUE(white) << "row " << s;
  }
}

TEST(CanvasMenu, SelectedItemIsDarkOnLightAndOthersLightOnDark) {
  const Font font = menuFont();
  const int h = menuItemHeight();
  Image menu(100, 3 * h, Color{1, 2, 3});
  printmenu(menu, Rect{0, 0, 100, h}, false, "Low12 ", font);
  printmenu(menu, Rect{0, h, 100, 2 * h}, true, "High12 ", font);
  EXPECT_EQ(menu.pixel(99, 0), kBlack);
  EXPECT_EQ(menu.pixel(99, h), kWhite);
  EXPECT_EQ(menu.pixel(0, 2 * h), (Color{1, 2, 3}));  // the third item is left alone
  int lightest = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 100; ++x) lightest = std::max(lightest, int{menu.pixel(x, y).g});
  EXPECT_GT(lightest, 230);  // the white text of the unselected item
  // A leading blank before the text.
  for (int y = 0; y < h; ++y) EXPECT_EQ(menu.pixel(1, y), kBlack);
  EXPECT_GT(menuItemWidth("TGate Len : 16 step"), textWidth(" TGate Len : 16 step", font));
}

TEST(CanvasChoiceBoxAndLabelLine, DrawTheirFacesAndBlackText) {
  const Pictures& pictures = Pictures::get();
  Image box(73, 18);
  DrawBox(box, pictures, "Poly");
  EXPECT_EQ(box.pixel(0, 0), pictures.BoxI.pixel(0, 0));
  EXPECT_EQ(box.pixel(72, 17), pictures.BoxI.pixel(72, 17));
  Rect ink{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
  for (int y = 0; y < 18; ++y)
    for (int x = 0; x < 73; ++x)
      if (box.pixel(x, y).g < 60 && x > 1 && x < 71 && y > 1 && y < 16) {
        ink = Rect{std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1), std::max(ink.bottom, y + 1)};
      }
  ASSERT_LT(ink.left, ink.right);
  EXPECT_LE(std::abs(ink.left - (73 - ink.right)), 3);  // centred
  EXPECT_GE(ink.top, 2);

  Image line(326, 26);
  drawLabelLine(line, pictures, "Brmx2004", "Corvalith");
  Image expected(326, 26);
  expected.copyRect(pictures.BackI, Rect{0, 0, 326, 26}, Rect{0, 0, 326, 26});
  expected.textOut(5, 6, "  Brmx2004 ::   Corvalith", Font{10}, kBlack);
  EXPECT_EQ(line, expected);
}

TEST(CanvasCaptions, SectionsAreFramedPanelsAndCaptionsCentredWhiteText) {
  Image back(221, 71);
  drawSectionBackground(back);
  EXPECT_EQ(back.pixel(0, 0), kFrameColor);
  EXPECT_EQ(back.pixel(220, 70), kFrameColor);
  EXPECT_EQ(back.pixel(1, 1), kPanelColor);

  Image caption(219, 15), expected(219, 15, kPanelColor);
  drawCaption(caption, "Tremolo / Pan", 10);
  expected.textOut((219 - textWidth("Tremolo / Pan", Font{10})) / 2, 1, "Tremolo / Pan", Font{10}, kWhite);
  EXPECT_EQ(caption, expected);
}
