// PNG encoding and decoding for images, with the header-only stb coders compiled in here.
#include "Png.h"

#include <fstream>
#include <iterator>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include <stb/stb_image.h>

namespace tamblin {

namespace {

void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

std::vector<uint8_t> encodePng(const Image& image) {
  std::vector<uint8_t> out;
  if (image.width() <= 0 || image.height() <= 0) return out;
  static_assert(sizeof(Color) == 3, "Color must be three packed bytes");
  const auto* rgb = reinterpret_cast<const uint8_t*>(image.pixels().data());
  if (!stbi_write_png_to_func(appendBytes, &out, image.width(), image.height(), 3, rgb, image.width() * 3)) {
    out.clear();
  }
  return out;
}

bool writePng(const Image& image, const std::string& path) {
  const std::vector<uint8_t> data = encodePng(image);
  if (data.empty()) return false;
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(file);
}

std::optional<Image> decodePng(const std::vector<uint8_t>& data) {
  if (data.empty() || data.size() > 0x7fffffff) return std::nullopt;
  int width = 0, height = 0, channels = 0;
  stbi_uc* rgb = stbi_load_from_memory(data.data(), static_cast<int>(data.size()), &width, &height, &channels, 3);
  if (rgb == nullptr) return std::nullopt;
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const stbi_uc* p = rgb + (static_cast<size_t>(y) * width + x) * 3;
      image.setPixel(x, y, Color{p[0], p[1], p[2]});
    }
  }
  stbi_image_free(rgb);
  return image;
}

std::optional<Image> readPng(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return decodePng(data);
}

}  // namespace tamblin
