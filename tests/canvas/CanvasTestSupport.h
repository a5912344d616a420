// Helpers shared by the canvas tests: pixel sets and comparisons that print readable failures.
#pragma once

#include <ostream>
#include <set>
#include <utility>

#include "Canvas.h"

namespace tamblin {

inline std::ostream& operator<<(std::ostream& os, Color c) {
  return os << "rgb(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

}  // namespace tamblin

namespace canvas_test {

using PixelSet = std::set<std::pair<int, int>>;

// Every pixel of the image that has the given colour.
inline PixelSet pixelsOf(const tamblin::Image& image, tamblin::Color color) {
  PixelSet set;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) == color) set.insert({x, y});
  return set;
}

// Every pixel that differs from the colour.
inline PixelSet pixelsNot(const tamblin::Image& image, tamblin::Color color) {
  PixelSet set;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (!(image.pixel(x, y) == color)) set.insert({x, y});
  return set;
}

inline PixelSet rectPixels(int left, int top, int right, int bottom) {
  PixelSet set;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) set.insert({x, y});
  return set;
}

inline void addRect(PixelSet& set, int left, int top, int right, int bottom) {
  const PixelSet r = rectPixels(left, top, right, bottom);
  set.insert(r.begin(), r.end());
}

}  // namespace canvas_test
