// Tests of the stored pictures: sizes, the slider scales pixel for pixel, and the roles of the rest.
#include <gtest/gtest.h>

#include "CanvasTestSupport.h"
#include "Drawing.h"
#include "Pictures.h"

using namespace tamblin;
using namespace canvas_test;

TEST(CanvasPictures, HaveTheirSizes) {
  const Pictures& p = Pictures::get();
  const std::tuple<const Image*, int, int> sizes[] = {
      {&p.Dial1, 32, 32}, {&p.VBar, 51, 131}, {&p.VBarp, 27, 13}, {&p.HBar, 110, 35},
      {&p.HBarP, 10, 20}, {&p.BoxI, 73, 18},  {&p.BackI, 326, 26}, {&p.Ind1, 15, 15},
      {&p.Ind2, 15, 15},  {&p.Ind3, 15, 15},  {&p.Logo, 201, 26},  {&p.BigDial, 864, 32}};
  for (const auto& [image, width, height] : sizes) {
    EXPECT_EQ(image->width(), width);
    EXPECT_EQ(image->height(), height);
  }
  EXPECT_EQ(&Pictures::get(), &p);
}

TEST(CanvasPictures, VerticalScaleIsTrackAndTicksInBlackOnThePanel) {
  PixelSet black = rectPixels(33, 19, 36, 122);  // track
  addRect(black, 23, 19, 30, 22);                // end ticks, 7 x 3
  addRect(black, 23, 119, 30, 122);
  for (int y = 29; y <= 109; y += 10) addRect(black, 24, y, 29, y + 2);  // 5 x 2 every 10 rows
  const Image& bar = Pictures::get().VBar;
  EXPECT_EQ(pixelsOf(bar, kBlack), black);
  EXPECT_EQ(pixelsOf(bar, kPanelColor).size(), 51u * 131u - black.size());
}

TEST(CanvasPictures, HorizontalScaleIsLineAndTicksInBlackOnThePanel) {
  PixelSet black = rectPixels(5, 22, 108, 25);  // line
  addRect(black, 5, 12, 8, 19);                 // end ticks, 3 x 7
  addRect(black, 105, 12, 108, 19);
  for (int x = 16; x <= 96; x += 10) addRect(black, x, 13, x + 2, 18);  // 2 x 5 every 10 columns
  const Image& bar = Pictures::get().HBar;
  EXPECT_EQ(pixelsOf(bar, kBlack), black);
  EXPECT_EQ(pixelsOf(bar, kPanelColor).size(), 110u * 35u - black.size());
}

TEST(CanvasPictures, KnobFaceIsALightDiscInADarkBlueRingOnThePanel) {
  const Image& dial = Pictures::get().Dial1;
  EXPECT_EQ(dial.pixel(0, 0), kPanelColor);
  EXPECT_EQ(dial.pixel(31, 31), kPanelColor);
  const Color centre = dial.pixel(15, 15);
  EXPECT_GT(centre.r, 170);
  EXPECT_LT(std::abs(centre.r - centre.b), 30);
  const Color ring = dial.pixel(16, 2);  // top of the ring
  EXPECT_GT(ring.b, ring.r + 30);
  EXPECT_LT(ring.r, 80);
}

TEST(CanvasPictures, LampsAreGreyGreenAndRedOnTheSameGround) {
  const Pictures& p = Pictures::get();
  EXPECT_EQ(p.Ind1.pixel(0, 0), p.Ind2.pixel(0, 0));
  EXPECT_EQ(p.Ind1.pixel(14, 0), p.Ind3.pixel(14, 0));
  const Color ground = p.Ind1.pixel(0, 0);
  EXPECT_GT(ground.b, ground.r);
  const Color grey = p.Ind1.pixel(8, 9), green = p.Ind2.pixel(8, 9), red = p.Ind3.pixel(8, 9);
  EXPECT_LT(std::abs(grey.r - grey.g) + std::abs(grey.g - grey.b), 12);
  EXPECT_GT(green.g, green.r + 60);
  EXPECT_GT(red.r, red.g + 60);
}
