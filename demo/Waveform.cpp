// Draws an audio file's waveform into a PNG picture: one lane per channel, peaks and RMS per column.
//
// Usage: tamblin-waveform INPUT.wav OUTPUT.png [WIDTH HEIGHT]
// The PNG is written without compression libraries: four palette colours at two bits a pixel, in
// stored deflate blocks, with CRC and Adler sums.
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultWidth = 1200;
constexpr int kDefaultHeight = 320;
constexpr int kMaxSide = 8000;
constexpr size_t kStoredBlock = 65535;  // largest stored deflate block

// Palette entries; a pixel is an index into kPalette.
using Colour = uint8_t;
constexpr Colour kBackground = 0;
constexpr Colour kAxis = 1;
constexpr Colour kPeak = 2;
constexpr Colour kRms = 3;
constexpr uint8_t kPalette[4][3] = {{18, 20, 26}, {60, 64, 76}, {90, 160, 230}, {190, 225, 255}};

class Image {
 public:
  Image(int width, int height) : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height, kBackground) {}
  void set(int x, int y, Colour colour) {
    if (x >= 0 && x < width_ && y >= 0 && y < height_) pixels_[static_cast<size_t>(y) * width_ + x] = colour;
  }
  void column(int x, int top, int bottom, Colour colour) {
    for (int y = std::min(top, bottom); y <= std::max(top, bottom); ++y) set(x, y, colour);
  }
  int width() const { return width_; }
  int height() const { return height_; }
  const Colour& at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

 private:
  int width_, height_;
  std::vector<Colour> pixels_;
};

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void putU32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  putU32(png, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  putU32(png, crc32(body.data(), body.size()));
}

std::vector<uint8_t> encodePng(const Image& image) {
  std::vector<uint8_t> raw;  // each row: filter byte 0, then four pixels a byte, first in the high bits
  for (int y = 0; y < image.height(); ++y) {
    raw.push_back(0);
    for (int x = 0; x < image.width(); x += 4) {
      uint8_t packed = 0;
      for (int i = 0; i < 4; ++i) packed |= static_cast<uint8_t>((x + i < image.width() ? image.at(x + i, y) : 0) << (6 - 2 * i));
      raw.push_back(packed);
    }
  }
  std::vector<uint8_t> zlib{0x78, 0x01};
  for (size_t offset = 0; offset < raw.size() || offset == 0; offset += kStoredBlock) {
    size_t length = std::min(kStoredBlock, raw.size() - offset);
    bool last = offset + length >= raw.size();
    zlib.push_back(last ? 1 : 0);
    zlib.insert(zlib.end(), {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                             static_cast<uint8_t>(~length), static_cast<uint8_t>(~length >> 8)});
    zlib.insert(zlib.end(), raw.begin() + static_cast<long>(offset), raw.begin() + static_cast<long>(offset + length));
    if (last) break;
  }
  uint32_t a = 1, b = 0;
  for (uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  putU32(zlib, (b << 16) | a);

  std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  putU32(header, static_cast<uint32_t>(image.width()));
  putU32(header, static_cast<uint32_t>(image.height()));
  header.insert(header.end(), {2, 3, 0, 0, 0});  // two-bit palette indices, no interlace
  chunk(png, "IHDR", header);
  chunk(png, "PLTE", std::vector<uint8_t>(&kPalette[0][0], &kPalette[0][0] + sizeof kPalette));
  chunk(png, "IDAT", zlib);
  chunk(png, "IEND", {});
  return png;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr, "usage: tamblin-waveform INPUT.wav OUTPUT.png [WIDTH HEIGHT]\n");
    return 2;
  }
  int width = argc == 5 ? std::atoi(argv[3]) : kDefaultWidth;
  int height = argc == 5 ? std::atoi(argv[4]) : kDefaultHeight;
  if (width < 16 || height < 16 || width > kMaxSide || height > kMaxSide) {
    std::fprintf(stderr, "tamblin-waveform: error: picture size %dx%d is out of range (16 to %d)\n", width, height,
                 kMaxSide);
    return 2;
  }
  SF_INFO info{};
  SNDFILE* file = sf_open(argv[1], SFM_READ, &info);
  if (file == nullptr) {
    std::fprintf(stderr, "tamblin-waveform: error: %s: %s\n", argv[1], sf_strerror(nullptr));
    return 1;
  }
  std::vector<float> samples(static_cast<size_t>(info.frames) * info.channels);
  sf_readf_float(file, samples.data(), info.frames);
  sf_close(file);

  Image image(width, height);
  int lanes = std::max(1, info.channels);
  int laneHeight = height / lanes;
  for (int lane = 0; lane < lanes; ++lane) {
    int middle = lane * laneHeight + laneHeight / 2;
    double scale = (laneHeight / 2 - 2);
    for (int x = 0; x < width; ++x) {
      image.set(x, middle, kAxis);
      int64_t from = info.frames * x / width, to = std::max(from + 1, info.frames * (x + 1) / width);
      if (from >= info.frames) continue;
      float low = 0, high = 0;
      double energy = 0;
      for (int64_t f = from; f < std::min<int64_t>(to, info.frames); ++f) {
        float s = samples[static_cast<size_t>(f * info.channels + lane)];
        low = std::min(low, s);
        high = std::max(high, s);
        energy += static_cast<double>(s) * s;
      }
      double rms = std::sqrt(energy / static_cast<double>(to - from));
      auto y = [&](double value) { return middle - static_cast<int>(std::lround(std::clamp(value, -1.0, 1.0) * scale)); };
      image.column(x, y(high), y(low), kPeak);
      image.column(x, y(rms), y(-rms), kRms);
    }
  }
  std::vector<uint8_t> png = encodePng(image);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  if (!out || !out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()))) {
    std::fprintf(stderr, "tamblin-waveform: error: %s: cannot write\n", argv[2]);
    return 1;
  }
  return 0;
}
