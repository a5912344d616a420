// Tests of the image operations: edge rules of fill, frame and line, clipping, copies and text.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "Canvas.h"
#include "CanvasTestSupport.h"

using namespace tamblin;
using namespace canvas_test;

namespace {

constexpr Color kBack{10, 20, 30};
constexpr Color kInk{200, 100, 50};

}  // namespace

TEST(CanvasImage, FillLeavesOutRightColumnAndBottomRow) {
  Image image(10, 10, kBack);
  image.fillRect(Rect{2, 3, 5, 7}, kInk);
  EXPECT_EQ(pixelsOf(image, kInk), rectPixels(2, 3, 5, 7));

  Image untouched(10, 10, kBack);
  untouched.fillRect(Rect{4, 4, 4, 9}, kInk);  // no width
  untouched.fillRect(Rect{6, 6, 3, 3}, kInk);  // inverted
  EXPECT_TRUE(pixelsOf(untouched, kInk).empty());
}

TEST(CanvasImage, FrameIsTheOnePixelOutlineInsideTheRectangle) {
  Image image(10, 10, kBack);
  image.frameRect(Rect{1, 2, 6, 6}, kInk);
  PixelSet expected = rectPixels(1, 2, 6, 6);
  for (const auto& p : rectPixels(2, 3, 5, 5)) expected.erase(p);
  EXPECT_EQ(pixelsOf(image, kInk), expected);

  Image thin(10, 10, kBack);
  thin.frameRect(Rect{3, 1, 4, 5}, kInk);  // one column wide
  EXPECT_EQ(pixelsOf(thin, kInk), rectPixels(3, 1, 4, 5));

  Image empty(10, 10, kBack);
  empty.frameRect(Rect{3, 3, 3, 8}, kInk);
  EXPECT_TRUE(pixelsOf(empty, kInk).empty());
}

TEST(CanvasImage, LineLeavesOutItsEndPoint) {
  struct Case {
    int x0, y0, x1, y1;
    PixelSet inked;
    const char* what;
  };
  for (const Case& c : {Case{1, 2, 6, 2, rectPixels(1, 2, 6, 3), "to the right"},
                        Case{6, 2, 1, 2, rectPixels(2, 2, 7, 3), "to the left"},
                        Case{4, 9, 4, 3, rectPixels(4, 4, 5, 10), "upwards"},
                        Case{0, 0, 4, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}, "diagonal"},
                        Case{5, 5, 5, 5, {}, "to its own start"}}) {
    Image image(12, 12, kBack);
    image.line(c.x0, c.y0, c.x1, c.y1, kInk);
    EXPECT_EQ(pixelsOf(image, kInk), c.inked) << c.what;
  }
}

TEST(CanvasImage, ShallowLineHasOnePixelPerColumnAndMovesOneRowAtATime) {
  Image image(20, 20, kBack);
  image.line(1, 3, 13, 7, kInk);
  const PixelSet drawn = pixelsOf(image, kInk);
  ASSERT_EQ(drawn.size(), 12u);
  int expectedX = 1, previousY = 3;
  for (const auto& [x, y] : drawn) {
    EXPECT_EQ(x, expectedX++);
    EXPECT_TRUE(y == previousY || y == previousY + 1) << "at x = " << x;
    previousY = y;
  }
  EXPECT_EQ(drawn.begin()->second, 3);
  EXPECT_EQ(drawn.rbegin()->second, 7);  // the row of the end point, one column before it
}

TEST(CanvasImage, OperationsAtAnyCoordinatesStayInsideTheImage) {
  const std::vector<int> coords = {INT_MIN, INT_MIN + 1, -1000000, -17, -1, 0, 3, 7, 8, 9, 1000000, INT_MAX - 1, INT_MAX};
  const Image source(4, 3, kInk);
  Image image(8, 8, kBack);
  for (int a : coords) {
    for (int b : coords) {
      for (int c : coords) {
        for (int d : coords) {
          image.fillRect(Rect{a, b, c, d}, kInk);
          image.frameRect(Rect{a, b, c, d}, kInk);
          image.line(a, b, c, d, kInk);
          image.copyRect(source, Rect{a, b, c, d}, Rect{d, c, b, a});
          image.copyRect(source, Rect{0, 0, 4, 3}, Rect{a, b, c, d});
        }
        image.setPixel(a, b, kInk);
        EXPECT_EQ(image.pixel(a, b), (a >= 0 && a < 8 && b >= 0 && b < 8) ? kInk : Color{});
      }
      image.textOut(a, b, "Clip", Font{10}, kInk);
      image.textOut(a, b, "Clip", Font{10}, kInk, kBack);
    }
  }
  EXPECT_EQ(image.pixels().size(), 64u);
}

TEST(CanvasImage, HugeShapesCoverExactlyTheirPartInsideTheImage) {
  Image row(8, 8, kBack);
  row.line(-1000000000, 5, 1000000000, 5, kInk);
  EXPECT_EQ(pixelsOf(row, kInk), rectPixels(0, 5, 8, 6));

  Image diagonal(8, 8, kBack);
  diagonal.line(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kInk);
  PixelSet expected;
  for (int i = 0; i < 8; ++i) expected.insert({i, i});
  EXPECT_EQ(pixelsOf(diagonal, kInk), expected);

  Image all(8, 8, kBack);
  all.fillRect(Rect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, kInk);
  EXPECT_EQ(pixelsOf(all, kInk).size(), 64u);

  Image frame(8, 8, kBack);
  frame.frameRect(Rect{-5, 2, 100, 6}, kInk);  // left and right sides outside
  PixelSet frameExpected = rectPixels(0, 2, 8, 3);
  addRect(frameExpected, 0, 5, 8, 6);
  EXPECT_EQ(pixelsOf(frame, kInk), frameExpected);
}

TEST(CanvasImage, CopyOfTheSameSizeIsExact) {
  Image source(5, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) source.setPixel(x, y, Color{uint8_t(x * 40), uint8_t(y * 60), 7});
  Image image(9, 9, kBack);
  image.copyRect(source, Rect{1, 1, 4, 3}, Rect{5, 6, 8, 8});
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(image.pixel(5 + x, 6 + y), source.pixel(1 + x, 1 + y));
  EXPECT_EQ(pixelsNot(image, kBack), rectPixels(5, 6, 8, 8));
}

TEST(CanvasImage, ScaledCopyTakesTheNearestSourcePixel) {
  Image source(2, 2);
  source.setPixel(0, 0, Color{1, 0, 0});
  source.setPixel(1, 0, Color{2, 0, 0});
  source.setPixel(0, 1, Color{3, 0, 0});
  source.setPixel(1, 1, Color{4, 0, 0});
  Image up(4, 4, kBack);
  up.copyRect(source, source.bounds(), up.bounds());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(up.pixel(x, y).r, 1 + x / 2 + 2 * (y / 2));

  // Squeezing 23 columns into 20 keeps both edge columns.
  Image wide(23, 1);
  for (int x = 0; x < 23; ++x) wide.setPixel(x, 0, Color{uint8_t(x), 0, 0});
  Image narrow(20, 1, kBack);
  narrow.copyRect(wide, wide.bounds(), narrow.bounds());
  EXPECT_EQ(narrow.pixel(0, 0).r, 0);
  EXPECT_EQ(narrow.pixel(19, 0).r, 22);
  for (int x = 1; x < 20; ++x) EXPECT_GT(narrow.pixel(x, 0).r, narrow.pixel(x - 1, 0).r);

  Image mirrored(2, 2, kBack);
  mirrored.copyRect(source, source.bounds(), Rect{2, 0, 0, 2});
  EXPECT_EQ(mirrored.pixel(0, 0).r, 2);
  EXPECT_EQ(mirrored.pixel(1, 0).r, 1);
}

TEST(CanvasImage, CopySkipsSourcePixelsOutsideTheSourceAndCopiesOntoItselfAsFromASnapshot) {
  Image source(2, 2, kInk);
  Image image(6, 6, kBack);
  image.copyRect(source, Rect{-2, -2, 2, 2}, Rect{0, 0, 4, 4});
  EXPECT_EQ(pixelsOf(image, kInk), rectPixels(2, 2, 4, 4));

  Image strip(6, 1, kBack);
  strip.setPixel(0, 0, Color{1, 0, 0});
  strip.setPixel(1, 0, Color{2, 0, 0});
  strip.setPixel(2, 0, Color{3, 0, 0});
  strip.copyRect(strip, Rect{0, 0, 3, 1}, Rect{1, 0, 4, 1});
  EXPECT_EQ(strip.pixel(1, 0).r, 1);
  EXPECT_EQ(strip.pixel(2, 0).r, 2);
  EXPECT_EQ(strip.pixel(3, 0).r, 3);
}

TEST(CanvasText, SizesFollowTheWindowsPointToPixelRule) {
  EXPECT_EQ(Font{7}.pixelHeight(), 9);
  EXPECT_EQ(Font{8}.pixelHeight(), 11);
  EXPECT_EQ(Font{10}.pixelHeight(), 13);
  EXPECT_GT(Font{8}.lineHeight(), Font{8}.pixelHeight());
  EXPECT_LT(Font{8}.ascent(), Font{8}.lineHeight());
  // Absurd sizes are held to a sane range instead of failing.
  EXPECT_EQ(Font{-3}.pixelHeight(), 1);
  EXPECT_EQ(Font{std::nanf("")}.pixelHeight(), 1);
  EXPECT_EQ(Font{1e9f}.pixelHeight(), 400);
  Image image(8, 8);
  image.textOut(0, 0, "Huge", Font{1e9f}, kInk);
  image.textOut(0, 0, "Tiny", Font{-1}, kInk);
}

TEST(CanvasText, WidthIsTheRoundedTotalAdvanceAndStable) {
  const Font font{8};
  EXPECT_EQ(textWidth("", font), 0);
  const int parts = textWidth("Osc", font) + textWidth(" ", font) + textWidth("Mix", font);
  EXPECT_LE(std::abs(textWidth("Osc Mix", font) - parts), 1);
  EXPECT_EQ(textWidth("Volume", font), textWidth("Volume", font));
  EXPECT_LT(textWidth("Volume", Font{7}), textWidth("Volume", Font{10}));
  EXPECT_GE(textWidth("Volume", Font{8, true}), textWidth("Volume", font));
  // Pinned values: a change of face, size rule or rounding shows here.
  EXPECT_EQ(textWidth("Volume", Font{8}), 31);
  EXPECT_EQ(textWidth("Osc 1..2: Attack", Font{7}), 52);
  EXPECT_EQ(textWidth("  Brmx2004 ::   Corvalith", Font{10}), 114);
}

TEST(CanvasText, DrawsOnlyInsideItsCellAndTheSameEveryTime) {
  const Font font{10};
  Image a(80, 30, kBack);
  a.textOut(5, 4, "Wg", font, kInk);
  const PixelSet inked = pixelsNot(a, kBack);
  ASSERT_FALSE(inked.empty());
  for (const auto& [x, y] : inked) {
    EXPECT_GE(x, 5 - 1);
    EXPECT_LT(x, 5 + textWidth("Wg", font) + 1);
    EXPECT_GE(y, 4);
    EXPECT_LT(y, 4 + font.lineHeight());
  }
  Image b(80, 30, kBack);
  b.textOut(5, 4, "Wg", font, kInk);
  EXPECT_EQ(a, b);

  Image opaque(80, 30, kBack);
  opaque.textOut(5, 4, "Wg", font, kInk, Color{255, 255, 255});
  EXPECT_EQ(opaque.pixel(5, 4 + font.lineHeight() - 1), (Color{255, 255, 255}));
  EXPECT_EQ(opaque.pixel(5, 4 + font.lineHeight()), kBack);
}

TEST(CanvasText, TransparentTextBlendsWithWhatIsBeneath) {
  const Font font{8};
  Image dark(40, 20, Color{0, 0, 0});
  Image light(40, 20, Color{255, 255, 255});
  dark.textOut(2, 2, "O", font, Color{0, 0, 255});
  light.textOut(2, 2, "O", font, Color{0, 0, 255});
  // The inside of the O shows its background.
  const int cx = 2 + textWidth("O", font) / 2;
  const int cy = 2 + font.ascent() - font.pixelHeight() * 7 / 20;
  EXPECT_EQ(dark.pixel(cx, cy), (Color{0, 0, 0}));
  EXPECT_EQ(light.pixel(cx, cy), (Color{255, 255, 255}));
  int strongest = 0;
  for (const Color c : dark.pixels()) strongest = std::max(strongest, int{c.b});
  EXPECT_GT(strongest, 230);  // stems come out nearly in full colour
}
