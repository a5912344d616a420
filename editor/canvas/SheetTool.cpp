// Command-line tool that writes the contact sheet to a PNG: path, zoom, optional crop x y w h.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ContactSheet.h"
#include "Png.h"

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : "canvas-sheet.png";
  const int zoom = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, 8) : 1;
  tamblin::Image sheet = tamblin::drawContactSheet(zoom);
  if (argc > 6) {
    const int x = std::atoi(argv[3]) * zoom, y = std::atoi(argv[4]) * zoom;
    const int w = std::clamp(std::atoi(argv[5]), 1, 4096) * zoom, h = std::clamp(std::atoi(argv[6]), 1, 4096) * zoom;
    tamblin::Image crop(w, h);
    crop.copyRect(sheet, tamblin::Rect{x, y, x + w, y + h}, crop.bounds());
    sheet = crop;
  }
  if (!tamblin::writePng(sheet, path)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}
