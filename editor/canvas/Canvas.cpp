// Image storage and the clipped pixel, rectangle, line and copy operations.
#include "Canvas.h"

#include <algorithm>
#include <cstdlib>

namespace tamblin {

namespace {

// Coordinates arrive as any int; all arithmetic on them is done in 64 bits so that differences
// and products never overflow.
using Wide = int64_t;
// (a * b + add) / divisor, truncated towards zero as integer division is, for a divisor above 0:
// products of two such differences need more than 64 bits.
#if defined(__SIZEOF_INT128__)
Wide productQuotient(Wide a, Wide b, Wide add, Wide divisor) {
  __extension__ typedef __int128 Huge;
  return static_cast<Wide>((Huge{a} * b + add) / divisor);
}
#else
// Targets without a 128-bit integer (32-bit x86): 64 bits when they suffice, as they do for every
// coordinate on a screen, else the same result from a 128-bit value kept in two halves.
Wide productQuotient(Wide a, Wide b, Wide add, Wide divisor) {
  Wide product, sum;
  if (!__builtin_mul_overflow(a, b, &product) && !__builtin_add_overflow(product, add, &sum)) return sum / divisor;
  using U = uint64_t;
  auto negate = [](U& high, U& low) {
    high = ~high + (low == 0 ? 1 : 0);
    low = U(0) - low;
  };
  // |a| * |b| from 32-bit halves, negated when the signs differ, then add sign-extended.
  const U ua = a < 0 ? U(0) - U(a) : U(a), ub = b < 0 ? U(0) - U(b) : U(b);
  const U a0 = ua & 0xFFFFFFFFu, a1 = ua >> 32, b0 = ub & 0xFFFFFFFFu, b1 = ub >> 32;
  const U low = a0 * b0, mid1 = a1 * b0, mid2 = a0 * b1;
  const U carry = ((low >> 32) + (mid1 & 0xFFFFFFFFu) + (mid2 & 0xFFFFFFFFu)) >> 32;
  U hi = a1 * b1 + (mid1 >> 32) + (mid2 >> 32) + carry;
  U lo = ua * ub;
  if ((a < 0) != (b < 0)) negate(hi, lo);
  const U sumLo = lo + U(add);
  hi += (add < 0 ? ~U(0) : U(0)) + (sumLo < lo ? 1 : 0);
  lo = sumLo;
  const bool negative = (hi >> 63) != 0;
  if (negative) negate(hi, lo);
  // Long division of the 128-bit magnitude, one bit at a time.
  const U d = U(divisor);
  U quotient = 0, remainder = 0;
  for (int bit = 127; bit >= 0; --bit) {
    const bool over = (remainder >> 63) != 0;
    remainder = (remainder << 1) | ((bit >= 64 ? hi >> (bit - 64) : lo >> bit) & 1);
    quotient <<= 1;
    if (over || remainder >= d) {
      remainder -= d;
      quotient |= 1;
    }
  }
  return negative ? static_cast<Wide>(U(0) - quotient) : static_cast<Wide>(quotient);
}
#endif

Wide clampWide(Wide v, Wide lo, Wide hi) { return std::min(std::max(v, lo), hi); }

}  // namespace

Image::Image(int width, int height, Color fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), fill) {}

Color Image::pixel(int x, int y) const {
  if (!inside(x, y)) return Color{};
  return pixels_[static_cast<size_t>(y) * width_ + x];
}

void Image::setPixel(int x, int y, Color color) {
  if (!inside(x, y)) return;
  pixels_[static_cast<size_t>(y) * width_ + x] = color;
}

void Image::blendPixel(int x, int y, Color color, int coverage) {
  if (!inside(x, y) || coverage <= 0) return;
  Color& p = pixels_[static_cast<size_t>(y) * width_ + x];
  if (coverage >= 255) {
    p = color;
    return;
  }
  auto mix = [coverage](uint8_t under, uint8_t over) {
    return static_cast<uint8_t>((under * (255 - coverage) + over * coverage + 127) / 255);
  };
  p = Color{mix(p.r, color.r), mix(p.g, color.g), mix(p.b, color.b)};
}

void Image::fillRect(const Rect& rect, Color color) {
  const int left = std::max(rect.left, 0);
  const int top = std::max(rect.top, 0);
  const int right = std::min(rect.right, width_);
  const int bottom = std::min(rect.bottom, height_);
  for (int y = top; y < bottom; ++y) {
    Color* row = &pixels_[static_cast<size_t>(y) * width_];
    for (int x = left; x < right; ++x) row[x] = color;
  }
}

void Image::frameRect(const Rect& rect, Color color) {
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  fillRect(Rect{rect.left, rect.top, rect.right, rect.top + 1}, color);
  fillRect(Rect{rect.left, rect.bottom - 1, rect.right, rect.bottom}, color);
  fillRect(Rect{rect.left, rect.top, rect.left + 1, rect.bottom}, color);
  fillRect(Rect{rect.right - 1, rect.top, rect.right, rect.bottom}, color);
}

void Image::line(int x0, int y0, int x1, int y1, Color color) {
  // Steps along the longer axis; the shorter one advances by the nearest-integer rule, with
  // halves rounded away from the start. Only the steps that can land inside the picture are
  // visited, so a line of any length costs at most one pass across the picture.
  const Wide dx = std::abs(Wide{x1} - x0);
  const Wide dy = std::abs(Wide{y1} - y0);
  const Wide sx = x1 >= x0 ? 1 : -1;
  const Wide sy = y1 >= y0 ? 1 : -1;
  const bool xMajor = dx >= dy;
  const Wide steps = xMajor ? dx : dy;  // the end point is step `steps`, left out
  if (steps == 0) return;
  const Wide major0 = xMajor ? x0 : y0;
  const Wide majorSign = xMajor ? sx : sy;
  const Wide majorSize = xMajor ? width_ : height_;
  const Wide minorDelta = xMajor ? dy : dx;
  // Steps i with 0 <= major0 + majorSign * i < majorSize.
  Wide first = 0;
  Wide last = steps - 1;
  if (majorSign > 0) {
    first = std::max(first, -major0);
    last = std::min(last, majorSize - 1 - major0);
  } else {
    first = std::max(first, major0 - (majorSize - 1));
    last = std::min(last, major0);
  }
  for (Wide i = first; i <= last; ++i) {
    const Wide minorOffset = productQuotient(2 * i, minorDelta, steps, 2 * steps);
    const Wide x = xMajor ? x0 + sx * i : x0 + sx * minorOffset;
    const Wide y = xMajor ? y0 + sy * minorOffset : y0 + sy * i;
    if (x >= 0 && y >= 0 && x < width_ && y < height_) {
      pixels_[static_cast<size_t>(y) * width_ + static_cast<size_t>(x)] = color;
    }
  }
}

void Image::copyRect(const Image& source, const Rect& sourceRect, const Rect& destRect) {
  if (&source == this) {
    const Image copy = source;
    copyRect(copy, sourceRect, destRect);
    return;
  }
  const Wide dw = Wide{destRect.right} - destRect.left;
  const Wide dh = Wide{destRect.bottom} - destRect.top;
  const Wide sw = Wide{sourceRect.right} - sourceRect.left;
  const Wide sh = Wide{sourceRect.bottom} - sourceRect.top;
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return;
  const Wide adw = std::abs(dw), adh = std::abs(dh), asw = std::abs(sw), ash = std::abs(sh);

  // Destination column j (0..|dw|-1) lies at left + j, or at left - 1 - j for a mirrored
  // rectangle; keep only the j that fall inside this picture.
  auto range = [](Wide start, Wide extent, Wide size, Wide& lo, Wide& hi) {
    if (extent > 0) {
      lo = clampWide(-start, 0, extent);
      hi = clampWide(size - start, 0, extent);
    } else {
      lo = clampWide(start - size, 0, -extent);
      hi = clampWide(start, 0, -extent);
    }
  };
  Wide jLo, jHi, kLo, kHi;
  range(destRect.left, dw, width_, jLo, jHi);
  range(destRect.top, dh, height_, kLo, kHi);

  // Nearest neighbour: each destination pixel takes the source pixel under its centre.
  auto sourceIndex = [](Wide j, Wide destExtent, Wide sourceExtent, Wide start, Wide signedExtent) {
    const Wide s = productQuotient(2 * j + 1, sourceExtent, 0, 2 * destExtent);
    return signedExtent > 0 ? start + s : start - 1 - s;
  };
  for (Wide k = kLo; k < kHi; ++k) {
    const Wide y = dh > 0 ? destRect.top + k : destRect.top - 1 - k;
    const Wide sy = sourceIndex(k, adh, ash, sourceRect.top, sh);
    if (sy < 0 || sy >= source.height_) continue;
    for (Wide j = jLo; j < jHi; ++j) {
      const Wide x = dw > 0 ? destRect.left + j : destRect.left - 1 - j;
      const Wide sx = sourceIndex(j, adw, asw, sourceRect.left, sw);
      if (sx < 0 || sx >= source.width_) continue;
      pixels_[static_cast<size_t>(y) * width_ + static_cast<size_t>(x)] =
          source.pixels_[static_cast<size_t>(sy) * source.width_ + static_cast<size_t>(sx)];
    }
  }
}

}  // namespace tamblin
