// The drawing routines every control is painted with, as plain operations on its image.
#include "Drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "Numeric.h"
#include "Transcendental.h"

namespace tamblin {

namespace {

uint8_t channel(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

Font pointFont(float size) { return Font{size, false}; }

}  // namespace

void Clearscreen(Image& image, Color topColour, Color bottomColour, Color frameColour, bool drawFrame) {
  const int height = image.height();
  for (int i = 0; i < height; ++i) {
    const float t = static_cast<float>(i) / static_cast<float>(height);
    auto mix = [t](uint8_t top, uint8_t bottom) {
      // The mix is exact when wide, so equal colours give that colour on every row.
      return channel(floorInt(static_cast<float>((1.0 - double{t}) * top + double{t} * bottom)));
    };
    const Color c{mix(topColour.r, bottomColour.r), mix(topColour.g, bottomColour.g),
                  mix(topColour.b, bottomColour.b)};
    image.line(0, i, image.width(), i, c);
  }
  if (drawFrame) image.frameRect(image.bounds(), frameColour);
}

void Printf4(Image& image, Color colour, float size, int x, int y, std::string_view text, int alignment) {
  const Font font = pointFont(size);
  switch (alignment) {
    case kAlignLeft:
      image.textOut(x, y, text, font, colour);
      break;
    case kAlignCentre:
      image.textOut((image.width() - textWidth(text, font)) / 2, y, text, font, colour);
      break;
    case kAlignRight:
      image.textOut(static_cast<int>(std::max<int64_t>(int64_t{x} - textWidth(text, font), std::numeric_limits<int>::min())),
                    y, text, font, colour);
      break;
    default:
      break;
  }
}

void DrawBox(Image& image, const Pictures& pictures, std::string_view text) {
  image.copyRect(pictures.BoxI, Rect{0, 0, 73, 18}, Rect{0, 0, 73, 18});
  Printf4(image, kBlack, 8, 0, 2, text, kAlignCentre);
}

int dialFrameFor(float value) {
  // 26.99 exactly, the product rounded to 32 bits; the float constant 26.99f is a little smaller.
  return std::clamp(floorInt(static_cast<float>(26.99 * double{value})), 0, 26);
}

int sliderOffsetFor(float value) { return std::clamp(floorInt(100.0f * value), 0, 100); }

void DrawDial2(Image& image, const Image& bigDial, float value, std::string_view caption) {
  Clearscreen(image, kPanelColor, kPanelColor, kPanelColor, false);
  const int k = dialFrameFor(value);
  image.copyRect(bigDial, Rect{32 * k, 0, 32 * k + 32, 32}, Rect{9, 13, 41, 45});
  Printf4(image, kWhite, 8, 0, 0, caption, kAlignCentre);
}

void DrawDial2(Image& image, const Pictures& pictures, float value, std::string_view caption) {
  DrawDial2(image, pictures.BigDial, value, caption);
}

void DrawHSlider2(Image& image, const Pictures& pictures, float value, std::string_view caption) {
  Clearscreen(image, kPanelColor, kPanelColor, kPanelColor, false);
  image.copyRect(pictures.HBar, Rect{0, 0, 110, 35}, Rect{0, 0, 110, 35});
  const int p = sliderOffsetFor(value);
  image.copyRect(pictures.HBarP, Rect{0, 0, 10, 20}, Rect{p, 15, p + 10, 35});
  Printf4(image, kWhite, 7, 0, 0, caption, kAlignCentre);
}

void DrawVSlider2(Image& image, const Pictures& pictures, float value, std::string_view caption,
                  std::string_view topMark, std::string_view middleMark, std::string_view bottomMark) {
  Clearscreen(image, kPanelColor, kPanelColor, kPanelColor, false);
  image.copyRect(pictures.VBar, Rect{0, 0, 51, 131}, Rect{0, 0, 51, 131});
  Printf4(image, kWhite, 8, 3, 115, bottomMark, kAlignLeft);
  Printf4(image, kWhite, 8, 3, 65, middleMark, kAlignLeft);
  Printf4(image, kWhite, 8, 3, 20, topMark, kAlignLeft);
  Printf4(image, kWhite, 8, 0, 0, caption, kAlignCentre);
  const int p = sliderOffsetFor(value);
  image.copyRect(pictures.VBarp, Rect{0, 0, 23, 13}, Rect{22, 117 - p, 42, 130 - p});
}

Color blendColour(Color colour, Color old, float weight) {
  const double w = weight;
  auto mix = [w](uint8_t o, uint8_t c) { return channel(floorInt(static_cast<float>((1.0 - w) * o + w * c))); };
  return Color{mix(old.r, colour.r), mix(old.g, colour.g), mix(old.b, colour.b)};
}

void anticircle(Image& image, Color colour, float cx, float cy, float r) {
  // The bounds are held to the picture plus a margin so that absurd centres cost nothing.
  const int x0 = std::max(floorInt(cx - r - 1), -1);
  const int x1 = std::min(floorInt(cx + r + 1), image.width());
  const int y0 = std::max(floorInt(cy - r - 1), -1);
  const int y1 = std::min(floorInt(cy + r + 1), image.height());
  for (int x = x0; x <= x1; ++x) {
    for (int y = y0; y <= y1; ++y) {
      const float dx = static_cast<float>(x) - cx;
      const float dy = static_cast<float>(y) - cy;
      const float d = std::sqrt(dx * dx + dy * dy);
      if (d < r) {
        image.setPixel(x, y, colour);
      } else if (d < r + 1) {
        image.setPixel(x, y, blendColour(colour, image.pixel(x, y), r + 1 - d));
      }
    }
  }
}

PointerCentre dialPointerCentre(int frame) {
  const float t = static_cast<float>(frame) / 26.0f;
  const float theta = (0.75f * t + 0.125f) * 2.0f * 3.14159f;
  // Taken on the strip's own coordinates, where the frame's offset enters the rounding.
  const int offset = 32 * frame;
  return PointerCentre{floorInt(static_cast<float>(offset + 15.5 - 6.0 * detmath::sin(double{theta}))) - offset,
                       floorInt(static_cast<float>(15.5 + 6.0 * detmath::cos(double{theta})))};
}

void generateDialStrip(Image& bigDial, const Image& dial1) {
  bigDial.fillRect(bigDial.bounds(), kPanelColor);
  for (int i = 0; i <= 26; ++i) {
    bigDial.copyRect(dial1, Rect{0, 0, 32, 32}, Rect{32 * i, 0, 32 * i + 32, 32});
    const PointerCentre c = dialPointerCentre(i);
    const float cx = static_cast<float>(32 * i + c.x);
    const float cy = static_cast<float>(c.y);
    anticircle(bigDial, kBlack, cx, cy, 3);
    anticircle(bigDial, kWhite, cx, cy, 2);
  }
}

void drawSectionBackground(Image& image) { Clearscreen(image, kPanelColor, kPanelColor, kFrameColor, true); }

void drawCaption(Image& image, std::string_view caption, float size) {
  image.fillRect(image.bounds(), kPanelColor);
  Printf4(image, kWhite, size, 0, 1, caption, kAlignCentre);
}

void drawGateLamp(Image& column, const Image& lamp, int step) {
  if (step < 0 || step > 15) return;
  column.copyRect(lamp, Rect{0, 0, 15, 15}, Rect{0, 16 * step, 15, 16 * step + 15});
}

void drawGateRow(Image& row, const Pictures& pictures, int patternWord) {
  for (int s = 0; s < 16; ++s) {
    const bool on = ((patternWord >> (15 - s)) & 1) != 0;
    drawGateLamp(row, on ? pictures.Ind2 : pictures.Ind1, s);
  }
}

void drawGateNumbers(Image& label) {
  for (int s = 0; s < 16; ++s) Printf4(label, kWhite, 8, 0, 16 * s, std::to_string(s + 1), kAlignLeft);
}

void drawGatePositions(Image& column, const Pictures& pictures, int litStep) {
  for (int s = 0; s < 16; ++s) drawGateLamp(column, s == litStep ? pictures.Ind3 : pictures.Ind1, s);
}

void drawLabelLine(Image& image, const Pictures& pictures, std::string_view value, std::string_view label) {
  image.copyRect(pictures.BackI, Rect{0, 0, 326, 26}, Rect{0, 0, 326, 26});
  std::string text = "  ";
  text.append(value).append(" :: ").append("  ").append(label);
  Printf4(image, kBlack, 10, 5, 6, text, kAlignLeft);
}

Font menuFont() { return Font{9, false}; }

int menuItemHeight() { return menuFont().lineHeight() + 3; }

int menuItemWidth(std::string_view text) {
  std::string shown = " ";
  shown.append(text);
  return textWidth(shown, menuFont()) + 12;
}

void printmenu(Image& canvas, const Rect& rectangle, bool selected, std::string_view text, const Font& font) {
  const Color brush = selected ? kWhite : kBlack;
  const Color ink = selected ? kBlack : kWhite;
  canvas.fillRect(rectangle, brush);
  std::string shown = " ";
  shown.append(text);
  canvas.textOut(rectangle.left, rectangle.top, shown, font, ink, brush);
}

}  // namespace tamblin
