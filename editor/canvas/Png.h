// PNG files and in-memory PNG data for images: headless screenshots and golden pictures in tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Canvas.h"

namespace tamblin {

// 8-bit RGB PNG, deflate-compressed. Empty / false on failure.
std::vector<uint8_t> encodePng(const Image& image);
bool writePng(const Image& image, const std::string& path);

// Reads a PNG back (any colour type; alpha is dropped). Nothing when the data is no PNG.
std::optional<Image> decodePng(const std::vector<uint8_t>& data);
std::optional<Image> readPng(const std::string& path);

}  // namespace tamblin
