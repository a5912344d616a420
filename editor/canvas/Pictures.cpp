// The stored pictures drawn by code: knob, scales, handles, faces, lamps, logo and dial strip.
#include "Pictures.h"

#include <algorithm>
#include <cmath>

#include "Drawing.h"
#include "Transcendental.h"

namespace tamblin {

namespace {

// A colour with fractional channels, for shading before it is stored.
struct Shade {
  float r = 0, g = 0, b = 0;
};

Shade shadeOf(Color c) { return Shade{float(c.r), float(c.g), float(c.b)}; }

Shade mixShade(Shade a, Shade b, float t) {
  return Shade{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Color toColor(Shade s) {
  auto c = [](float v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
  return Color{c(s.r), c(s.g), c(s.b)};
}

// Paints every pixel of the image with the mean of 4 x 4 samples of a function of the point,
// which gives smooth, antialiased edges to round shapes.
template <typename PointShade>
void supersample(Image& image, PointShade shade) {
  constexpr int kSub = 4;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      Shade sum;
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          const Shade s = shade(x + (sx + 0.5f) / kSub, y + (sy + 0.5f) / kSub);
          sum.r += s.r;
          sum.g += s.g;
          sum.b += s.b;
        }
      }
      constexpr float kScale = 1.0f / (kSub * kSub);
      image.setPixel(x, y, toColor(Shade{sum.r * kScale, sum.g * kScale, sum.b * kScale}));
    }
  }
}

// A raised navy bar with a light stripe: the handle of both sliders. The stripe is a row through
// the middle for the vertical slider's handle, a column for the horizontal one's.
void drawHandle(Image& image, int width, int height, bool horizontalStripe) {
  const Color navy{26, 36, 78};
  const Color light{96, 112, 168};
  const Color dark{8, 12, 30};
  const Color stripe{214, 226, 244};
  const Color stripeEdge{120, 140, 190};
  for (int y = 0; y < height; ++y) {
    // A slight vertical sheen over the navy body.
    const float t = static_cast<float>(y) / static_cast<float>(height - 1);
    const Color body = toColor(mixShade(Shade{44, 58, 112}, shadeOf(navy), t));
    image.line(0, y, width, y, body);
  }
  if (horizontalStripe) {
    const int mid = height / 2;
    image.line(0, mid - 1, width, mid - 1, stripeEdge);
    image.line(0, mid, width, mid, stripe);
    image.line(0, mid + 1, width, mid + 1, stripeEdge);
  } else {
    const int mid = width / 2;
    image.line(mid - 1, 0, mid - 1, height, stripeEdge);
    image.line(mid, 0, mid, height, stripe);
  }
  // Bevel: light top and left edges, dark bottom and right edges.
  image.line(0, 0, width, 0, light);
  image.line(0, 0, 0, height, light);
  image.line(0, height - 1, width, height - 1, dark);
  image.line(width - 1, 0, width - 1, height, dark);
}

}  // namespace

Image makeDial1() {
  Image image(32, 32, kPanelColor);
  const Shade panel = shadeOf(kPanelColor);
  supersample(image, [&](float x, float y) {
    const float dx = x - 16.0f, dy = y - 16.0f;
    const float d = std::sqrt(dx * dx + dy * dy);
    if (d > 15.5f) return panel;
    if (d > 12.0f) {
      // The dark blue ring, lit from the upper left, with a thin black outer edge.
      const float light = (-dx - dy) / (d * 1.4142f);  // -1..1
      Shade ring = mixShade(Shade{22, 34, 96}, Shade{58, 82, 170}, 0.5f + 0.35f * light);
      if (d > 14.8f) ring = mixShade(ring, Shade{6, 10, 30}, 0.7f);
      if (d < 12.7f) ring = mixShade(ring, Shade{10, 16, 50}, 0.6f);
      return ring;
    }
    // The metal face: a domed, radially shaded light grey with its highlight up and left.
    const float hx = x - 12.0f, hy = y - 11.0f;
    const float toHighlight = std::sqrt(hx * hx + hy * hy) / 17.0f;  // 0 at the highlight
    Shade face = mixShade(Shade{246, 247, 250}, Shade{150, 154, 162}, std::min(toHighlight, 1.0f));
    // Faint concentric turning marks of a machined knob.
    const float rings = 0.5f + 0.5f * detmath::sinToFloat(d * 5.0f);
    face = mixShade(face, Shade{face.r - 14, face.g - 14, face.b - 12}, 0.25f * rings);
    return face;
  });
  return image;
}

Image makeVBar() {
  Image image(51, 131, kPanelColor);
  image.fillRect(Rect{33, 19, 36, 122}, kBlack);   // track
  image.fillRect(Rect{23, 19, 30, 22}, kBlack);    // top tick
  image.fillRect(Rect{23, 119, 30, 122}, kBlack);  // bottom tick
  for (int y = 29; y <= 109; y += 10) image.fillRect(Rect{24, y, 29, y + 2}, kBlack);
  return image;
}

Image makeVBarp() {
  Image image(27, 13, kPanelColor);
  Image bar(23, 13);
  drawHandle(bar, 23, 13, true);
  image.copyRect(bar, bar.bounds(), bar.bounds());
  return image;
}

Image makeHBar() {
  Image image(110, 35, kPanelColor);
  image.fillRect(Rect{5, 22, 108, 25}, kBlack);    // line
  image.fillRect(Rect{5, 12, 8, 19}, kBlack);      // left tick
  image.fillRect(Rect{105, 12, 108, 19}, kBlack);  // right tick
  for (int x = 16; x <= 96; x += 10) image.fillRect(Rect{x, 13, x + 2, 18}, kBlack);
  return image;
}

Image makeHBarP() {
  Image image(10, 20);
  drawHandle(image, 10, 20, false);
  return image;
}

Image makeBoxI() {
  Image image(73, 18);
  Clearscreen(image, Color{222, 230, 214}, Color{184, 196, 178}, Color{34, 44, 40}, true);
  image.line(1, 1, 72, 1, Color{240, 244, 234});  // top highlight inside the outline
  return image;
}

Image makeBackI() {
  Image image(326, 26);
  Clearscreen(image, Color{214, 224, 206}, Color{190, 202, 184}, Color{120, 132, 116}, true);
  image.line(1, 1, 325, 1, Color{236, 240, 230});
  image.line(1, 1, 1, 25, Color{236, 240, 230});
  return image;
}

Image makeLamp(Color lit) {
  Image image(15, 15);
  const Shade ground{70, 100, 140};  // steel blue
  const Shade body = shadeOf(lit);
  const bool glowing = !(lit == kLampUnlit);
  supersample(image, [&](float x, float y) {
    const float dx = x - 7.5f, dy = y - 7.5f;
    const float d = std::sqrt(dx * dx + dy * dy);
    if (d > 6.6f) {
      // The ground, with a soft halo round a lit lamp.
      if (glowing && d < 7.5f) return mixShade(ground, body, 0.25f * (7.5f - d));
      return ground;
    }
    if (d > 5.6f) return Shade{24, 30, 40};  // dark rim
    // Domed glass: brightest up and left, darker towards the lower right.
    const float hx = x - 6.0f, hy = y - 5.5f;
    const float toHighlight = std::sqrt(hx * hx + hy * hy);
    Shade glass = mixShade(body, Shade{body.r * 0.45f, body.g * 0.45f, body.b * 0.45f},
                           std::min(d / 6.0f, 1.0f) * 0.8f);
    if (toHighlight < 2.2f) glass = mixShade(glass, Shade{255, 255, 255}, 0.7f * (1.0f - toHighlight / 2.2f));
    return glass;
  });
  return image;
}

Image makeLogo() {
  Image image(201, 26, kFormColor);
  // A recessed plate: dark upper and left edges, light lower and right edges.
  const Color shadow{98, 84, 60};
  const Color light{190, 172, 136};
  Clearscreen(image, Color{60, 70, 84}, Color{34, 40, 52}, kFormColor, false);
  image.frameRect(image.bounds(), kFormColor);
  image.line(1, 1, 200, 1, shadow);
  image.line(1, 1, 1, 25, shadow);
  image.line(1, 24, 200, 24, light);
  image.line(199, 1, 199, 25, light);
  image.frameRect(Rect{0, 0, 201, 26}, kFormColor);

  const Font nameFont{14, true};
  const int nameTop = (26 - nameFont.lineHeight()) / 2;
  image.textOut(9, nameTop + 1, "Tamblin", nameFont, Color{10, 12, 18});  // engraved shadow
  image.textOut(8, nameTop, "Tamblin", nameFont, Color{236, 214, 160});
  const int nameEnd = 8 + textWidth("Tamblin", nameFont);

  // A small sine wave of dots between the name and the maker.
  for (int i = 0; i <= 28; ++i) {
    const float x = static_cast<float>(nameEnd + 8 + i);
    const float y = 13.0f - 5.0f * detmath::sinToFloat(static_cast<float>(i) * 6.28318f / 14.0f);
    anticircle(image, Color{120, 200, 230}, x, y, 0.6f);
  }

  const Font makerFont{8, false};
  const int makerX = 200 - 8 - textWidth("Brightmoor", makerFont);
  image.textOut(makerX, 13, "Brightmoor", makerFont, Color{196, 204, 214});
  image.textOut(makerX, 2, "synthesizer", makerFont, Color{140, 150, 166});
  return image;
}

const Pictures& Pictures::get() {
  static const Pictures pictures = [] {
    Pictures p;
    p.Dial1 = makeDial1();
    p.VBar = makeVBar();
    p.VBarp = makeVBarp();
    p.HBar = makeHBar();
    p.HBarP = makeHBarP();
    p.BoxI = makeBoxI();
    p.BackI = makeBackI();
    p.Ind1 = makeLamp(kLampUnlit);
    p.Ind2 = makeLamp(kLampGreen);
    p.Ind3 = makeLamp(kLampRed);
    p.Logo = makeLogo();
    p.BigDial = Image(864, 32, kPanelColor);
    generateDialStrip(p.BigDial, p.Dial1);
    return p;
  }();
  return pictures;
}

}  // namespace tamblin
