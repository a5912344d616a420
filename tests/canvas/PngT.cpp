// Tests of PNG encoding and decoding, and the golden contact sheet of pictures and controls.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "CanvasTestSupport.h"
#include "ContactSheet.h"
#include "Png.h"

using namespace tamblin;

TEST(CanvasPng, RoundTripKeepsEveryPixel) {
  Image image(37, 11);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 37; ++x) image.setPixel(x, y, Color{uint8_t(x * 7), uint8_t(y * 23), uint8_t(x ^ y)});
  const std::vector<uint8_t> data = encodePng(image);
  ASSERT_GT(data.size(), 8u);
  EXPECT_EQ(data[1], 'P');
  const std::optional<Image> back = decodePng(data);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, image);

  const std::string path = (std::filesystem::temp_directory_path() / "tamblin_png_test.png").string();
  ASSERT_TRUE(writePng(image, path));
  EXPECT_EQ(readPng(path), image);
  std::filesystem::remove(path);
}

TEST(CanvasPng, RefusesWhatIsNoPng) {
  EXPECT_FALSE(decodePng({}).has_value());
  EXPECT_FALSE(decodePng({1, 2, 3, 4, 5, 6, 7, 8, 9}).has_value());
  std::vector<uint8_t> truncated = encodePng(Image(20, 20, Color{1, 2, 3}));
  truncated.resize(truncated.size() / 2);
  EXPECT_FALSE(decodePng(truncated).has_value());
  EXPECT_FALSE(readPng("/nonexistent/dir/none.png").has_value());
  EXPECT_FALSE(writePng(Image(2, 2), "/nonexistent/dir/none.png"));
  EXPECT_TRUE(encodePng(Image()).empty());
}

// Every stored picture and a sample of drawn controls, pixel for pixel. After an intended change
// of the artwork, run with TAMBLIN_UPDATE_GOLDEN=1 to rewrite the golden file, and look at it.
TEST(CanvasGolden, ContactSheetMatchesItsGoldenPicture) {
  const std::string path = std::string(TAMBLIN_CANVAS_GOLDEN_DIR) + "/contact-sheet.png";
  const Image sheet = drawContactSheet();
  if (std::getenv("TAMBLIN_UPDATE_GOLDEN") != nullptr) {
    std::filesystem::create_directories(TAMBLIN_CANVAS_GOLDEN_DIR);
    ASSERT_TRUE(writePng(sheet, path));
  }
  const std::optional<Image> golden = readPng(path);
  ASSERT_TRUE(golden.has_value()) << "missing " << path;
  ASSERT_EQ(golden->width(), sheet.width());
  ASSERT_EQ(golden->height(), sheet.height());
  int differing = 0;
  for (int y = 0; y < sheet.height(); ++y)
    for (int x = 0; x < sheet.width(); ++x)
      if (!(golden->pixel(x, y) == sheet.pixel(x, y)) && differing++ < 5)
        ADD_FAILURE() << "pixel " << x << ", " << y << ": " << sheet.pixel(x, y) << " instead of " << golden->pixel(x, y);
  EXPECT_EQ(differing, 0);
}
