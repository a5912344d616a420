// Off-screen RGB images and the handful of canvas operations every control is painted with.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace tamblin {

// An opaque colour of three 8-bit channels.
struct Color {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  friend constexpr bool operator==(Color, Color) = default;
};

// A rectangle of pixels; right and bottom are the first column and row outside it.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  constexpr int width() const { return right - left; }
  constexpr int height() const { return bottom - top; }
};

// A text face: "Arial Narrow" (drawn with the embedded Liberation Sans Narrow, which has the same
// metrics) at a size in points, at 96 pixels per inch.
struct Font {
  float points = 8.0f;
  bool bold = false;

  // Em height in whole pixels: points x 96 / 72, rounded as a Windows font height is.
  int pixelHeight() const;
  // Height of a line of text (ascent + descent) and the ascent, in pixels at this size.
  int lineHeight() const;
  int ascent() const;
};

// Width in pixels of text in a font: the total advance of its characters rounded to whole pixels,
// without kerning. textOut places the characters by the same advances.
int textWidth(std::string_view text, const Font& font);

// A fixed-size picture. Every operation clips to the picture: nothing is ever written outside it,
// whatever the coordinates.
class Image {
 public:
  Image() = default;
  Image(int width, int height, Color fill = Color{});

  int width() const { return width_; }
  int height() const { return height_; }
  Rect bounds() const { return Rect{0, 0, width_, height_}; }

  // The colour at (x, y); black for a point outside the picture.
  Color pixel(int x, int y) const;
  void setPixel(int x, int y, Color color);

  // Paints the rectangle without its right column and bottom row.
  void fillRect(const Rect& rect, Color color);
  // Paints the one-pixel outline just inside the rectangle; nothing for an empty rectangle.
  void frameRect(const Rect& rect, Color color);
  // A one-pixel line from (x0, y0) towards (x1, y1), without the end point (Bresenham's steps).
  void line(int x0, int y0, int x1, int y1, Color color);

  // Text with the top-left of its line cell at (x, y), on a transparent background: antialiased
  // glyph edges are blended with what is beneath.
  void textOut(int x, int y, std::string_view text, const Font& font, Color color);
  // The same on an opaque background: the text's cell (its width by the font's line height) is
  // first filled with the background colour.
  void textOut(int x, int y, std::string_view text, const Font& font, Color color, Color background);
  int textWidth(std::string_view text, const Font& font) const { return tamblin::textWidth(text, font); }

  // Copies the source rectangle of another picture onto the destination rectangle of this one,
  // scaling by nearest neighbour when the sizes differ. Parts of either rectangle outside their
  // pictures are skipped. A mirrored rectangle (right < left) gives a mirrored copy.
  void copyRect(const Image& source, const Rect& sourceRect, const Rect& destRect);

  // Rows top to bottom, each left to right.
  const std::vector<Color>& pixels() const { return pixels_; }
  friend bool operator==(const Image&, const Image&) = default;

 private:
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  void blendPixel(int x, int y, Color color, int coverage);  // coverage 0..255

  int width_ = 0;
  int height_ = 0;
  std::vector<Color> pixels_;
};

}  // namespace tamblin
