// Text in the embedded narrow sans face: metrics, widths and antialiased drawing with stb_truetype.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "Canvas.h"

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_truetype.h>

namespace tamblin {

namespace embedded {
extern const uint8_t kFontRegular[];
extern const size_t kFontRegularSize;
extern const uint8_t kFontBold[];
extern const size_t kFontBoldSize;
}  // namespace embedded

namespace {

// One parsed face. The parse only reads the embedded bytes, so one instance per face serves
// every window in the process.
struct Face {
  stbtt_fontinfo info{};
  int unitsPerEm = 2048;
  int winAscent = 0;
  int winDescent = 0;

  explicit Face(const uint8_t* data) {
    stbtt_InitFont(&info, data, stbtt_GetFontOffsetForIndex(data, 0));
    // Windows sizes a text cell by the OS/2 table's ascent and descent.
    int typoAscent = 0, typoDescent = 0, lineGap = 0;
    if (!stbtt_GetFontVMetricsOS2(&info, &typoAscent, &typoDescent, &lineGap)) {
      stbtt_GetFontVMetrics(&info, &typoAscent, &typoDescent, &lineGap);
    }
    const stbtt_uint32 os2 = stbtt__find_table(info.data, info.fontstart, "OS/2");
    if (os2 != 0) {
      winAscent = ttUSHORT(info.data + os2 + 74);
      winDescent = ttUSHORT(info.data + os2 + 76);
    } else {
      winAscent = typoAscent;
      winDescent = -typoDescent;
    }
    const stbtt_uint32 head = stbtt__find_table(info.data, info.fontstart, "head");
    if (head != 0) unitsPerEm = ttUSHORT(info.data + head + 18);
  }
};

const Face& faceFor(const Font& font) {
  static const Face regular(embedded::kFontRegular);
  static const Face bold(embedded::kFontBold);
  return font.bold ? bold : regular;
}

// The 8-bit strings are Windows-1252; its 0x80..0x9F block holds printable signs.
int codepointOf(char c) {
  static constexpr int kHigh[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                    0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  const int byte = static_cast<unsigned char>(c);
  return (byte >= 0x80 && byte < 0xA0) ? kHigh[byte - 0x80] : byte;
}

float scaleFor(const Face& face, const Font& font) {
  return static_cast<float>(font.pixelHeight()) / static_cast<float>(face.unitsPerEm);
}

// Advance of one character in pixels, unrounded: letters are placed at fractional positions so
// that the spacing stays even, and a text's width is its total advance rounded once.
double advanceOf(const Face& face, float scale, int codepoint) {
  int advance = 0, bearing = 0;
  stbtt_GetCodepointHMetrics(&face.info, codepoint, &advance, &bearing);
  return static_cast<double>(advance) * scale;
}

// One rasterised glyph: coverage 0..255, placed at (left, top) from the pen and the baseline.
struct Glyph {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  std::vector<unsigned char> coverage;
};

// A shift is split into whole pixels, which move the placement, and a fraction for the rasteriser.
void render(const Face& face, float scale, int codepoint, float shiftX, float shiftY, Glyph& glyph) {
  const int wholeX = static_cast<int>(std::floor(shiftX));
  const int wholeY = static_cast<int>(std::floor(shiftY));
  shiftX -= static_cast<float>(wholeX);
  shiftY -= static_cast<float>(wholeY);
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  stbtt_GetCodepointBitmapBoxSubpixel(&face.info, codepoint, scale, scale, shiftX, shiftY, &x0, &y0, &x1, &y1);
  glyph.left = x0 + wholeX;
  glyph.top = y0 + wholeY;
  glyph.width = std::max(x1 - x0, 0);
  glyph.height = std::max(y1 - y0, 0);
  glyph.coverage.assign(static_cast<size_t>(glyph.width) * glyph.height, 0);
  if (glyph.width > 0 && glyph.height > 0) {
    stbtt_MakeCodepointBitmapSubpixel(&face.info, glyph.coverage.data(), glyph.width, glyph.height, glyph.width,
                                      scale, scale, shiftX, shiftY, codepoint);
  }
}

// How crisp a rendering is: the sum of squared coverage grows as edges fall on pixel borders.
double sharpness(const Glyph& glyph) {
  double sum = 0;
  for (unsigned char c : glyph.coverage) sum += static_cast<double>(c) * c;
  return sum;
}

// Unhinted outlines at 9 to 13 pixels smear each stem over two columns. Like a hinter, we move
// each glyph by a fraction of a pixel to where its stems line up with the pixel grid best; at
// most a quarter pixel, so that the spacing between letters stays even.
constexpr int kShiftSteps = 8;
constexpr int kMaxGlyphShift = 2;  // in 1 / kShiftSteps pixel

void renderSharpest(const Face& face, float scale, int codepoint, float shiftX, float shiftY, Glyph& best) {
  Glyph trial;
  double bestSharpness = -1;
  for (int step = -kMaxGlyphShift; step <= kMaxGlyphShift; ++step) {
    render(face, scale, codepoint, shiftX + static_cast<float>(step) / kShiftSteps, shiftY, trial);
    const double s = sharpness(trial);
    if (s > bestSharpness + 1e-9) {
      bestSharpness = s;
      std::swap(best, trial);
    }
  }
}

// The same for the rows, once per size for all glyphs so that they keep one baseline: the shift
// that puts the flat tops, bottoms and bars of a few typical letters on pixel borders.
float verticalShift(const Face& face, float scale) {
  static constexpr int kProbe[] = {'H', 'x', 'T', 'E', 'o', 'n'};
  float bestShift = 0;
  double bestSharpness = -1;
  Glyph glyph;
  for (int step = -kShiftSteps / 2 + 1; step <= kShiftSteps / 2; ++step) {
    const float shift = static_cast<float>(step) / kShiftSteps;
    double s = 0;
    for (int codepoint : kProbe) {
      render(face, scale, codepoint, 0, shift, glyph);
      s += sharpness(glyph);
    }
    if (s > bestSharpness + 1e-9) {
      bestSharpness = s;
      bestShift = shift;
    }
  }
  return bestShift;
}

// Small text drawn with plain coverage looks washed out next to hinted text, whose one-pixel
// stems are solid: this curve lifts partly covered pixels and makes nearly covered ones full.
int strengthen(int coverage) {
  static const auto table = [] {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const double lifted = std::pow(i / 255.0, 0.8) / 0.86;
      t[i] = static_cast<uint8_t>(std::lround(255.0 * std::min(lifted, 1.0)));
    }
    return t;
  }();
  return table[static_cast<size_t>(std::clamp(coverage, 0, 255))];
}

}  // namespace

int Font::pixelHeight() const {
  // Held to 1..400 pixels so that an absurd size can neither fail nor allocate huge glyphs.
  const float pixels = points * 96.0f / 72.0f;
  if (!(pixels >= 1.0f)) return 1;
  if (!(pixels <= 400.0f)) return 400;
  return static_cast<int>(std::lround(pixels));
}

int Font::ascent() const {
  const Face& face = faceFor(*this);
  return static_cast<int>(std::lround(face.winAscent * scaleFor(face, *this)));
}

int Font::lineHeight() const {
  const Face& face = faceFor(*this);
  return ascent() + static_cast<int>(std::lround(face.winDescent * scaleFor(face, *this)));
}

int textWidth(std::string_view text, const Font& font) {
  const Face& face = faceFor(font);
  const float scale = scaleFor(face, font);
  double width = 0;
  for (char c : text) width += advanceOf(face, scale, codepointOf(c));
  return static_cast<int>(std::lround(width));
}

void Image::textOut(int x, int y, std::string_view text, const Font& font, Color color, Color background) {
  // The cell's far edges are held to the int range for text placed near its ends.
  auto farEdge = [](int start, int extent) {
    return static_cast<int>(std::min<int64_t>(int64_t{start} + extent, std::numeric_limits<int>::max()));
  };
  fillRect(Rect{x, y, farEdge(x, textWidth(text, font)), farEdge(y, font.lineHeight())}, background);
  textOut(x, y, text, font, color);
}

void Image::textOut(int x, int y, std::string_view text, const Font& font, Color color) {
  const Face& face = faceFor(font);
  const float scale = scaleFor(face, font);
  const long baseline = long{y} + font.ascent();
  const float shiftY = verticalShift(face, scale);
  double penX = x;
  Glyph glyph;
  for (char c : text) {
    const int codepoint = codepointOf(c);
    const double advance = advanceOf(face, scale, codepoint);
    if (penX + advance + 2 > 0 && penX - 2 < width_) {
      const double whole = std::floor(penX);
      renderSharpest(face, scale, codepoint, static_cast<float>(penX - whole), shiftY, glyph);
      const long left = static_cast<long>(whole) + glyph.left, top = baseline + glyph.top;
      for (int gy = 0; gy < glyph.height; ++gy) {
        for (int gx = 0; gx < glyph.width; ++gx) {
          const long px = left + gx, py = top + gy;
          if (px < 0 || py < 0 || px >= width_ || py >= height_) continue;
          blendPixel(static_cast<int>(px), static_cast<int>(py), color,
                     strengthen(glyph.coverage[static_cast<size_t>(gy) * glyph.width + gx]));
        }
      }
    }
    penX += advance;
    if (penX > width_ && advance >= 0) break;  // the rest lies right of the picture
  }
}

}  // namespace tamblin
