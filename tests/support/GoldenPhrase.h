// The phrase every golden render plays, and the hash its references are kept as.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace tamblin::test {

struct TimedMessage {
  int32_t frame;
  uint8_t status, data1, data2;
};

// A held fifth, a third key, a controller, bends and releases, so that envelopes, glide, the gate and
// the arpeggiator all show.
inline const std::vector<TimedMessage> kPhrase = {
    {0, 0x90, 48, 100},    {17, 0x90, 55, 90},   {5000, 0x90, 64, 110}, {11025, 0xB0, 74, 90},
    {15000, 0xE0, 0, 80},  {22050, 0x80, 55, 0}, {30000, 0x90, 67, 60}, {44100, 0x80, 48, 0},
    {44100, 0x80, 64, 64}, {44100, 0xE0, 0, 64}, {50000, 0x80, 67, 0},  {52000, 0x91, 72, 127},
    {60000, 0x90, 72, 0}};
constexpr int kPhraseFrames = 66150;  // 1.5 s at 44.1 kHz

// FNV-1a over the samples' bit patterns, left and right interleaved.
inline uint64_t samplesHash(const std::vector<float>& left, const std::vector<float>& right) {
  uint64_t h = 1469598103934665603ULL;
  auto mix = [&h](float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    for (int b = 0; b < 4; ++b) {
      h ^= (bits >> (8 * b)) & 0xFF;
      h *= 1099511628211ULL;
    }
  };
  for (size_t k = 0; k < left.size() && k < right.size(); ++k) {
    mix(left[k]);
    mix(right[k]);
  }
  return h;
}

}  // namespace tamblin::test
