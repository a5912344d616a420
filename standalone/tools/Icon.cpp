// Draws tamblin's desktop icon with the editor's canvas: a panel, a large T and a sounding wave.
#include <cmath>
#include <cstdio>

#include "Canvas.h"
#include "Drawing.h"
#include "Png.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tamblin-icon OUTPUT.png\n");
    return 2;
  }
  using tamblin::Color;
  constexpr int kSize = 128;
  tamblin::Image icon(kSize, kSize);
  tamblin::Clearscreen(icon, Color{46, 52, 78}, Color{14, 16, 26}, Color{120, 130, 170}, true);
  tamblin::Font font;
  font.points = 60.0f;
  font.bold = true;
  const int letterWidth = icon.textWidth("T", font);
  icon.textOut((kSize - letterWidth) / 2, 4, "T", font, Color{232, 236, 248});
  // Two and a half periods of a softened saw, fading towards the right, drawn as overlapping discs.
  for (int step = 0; step <= 400; ++step) {
    const float x = 12.0f + static_cast<float>(step) * (kSize - 24) / 400.0f;
    const float phase = static_cast<float>(step) / 400.0f * 2.5f;
    const float saw = 2.0f * (phase - std::floor(phase)) - 1.0f;
    const float wave = std::sin(phase * 6.2831853f) * 0.6f + saw * 0.4f;
    const float fade = 1.0f - static_cast<float>(step) / 600.0f;
    tamblin::anticircle(icon, Color{255, 170, 40}, x, 96.0f - wave * 16.0f * fade, 2.2f);
  }
  if (!tamblin::writePng(icon, argv[1])) {
    std::fprintf(stderr, "tamblin-icon: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
