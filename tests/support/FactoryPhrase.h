// The golden line of a render of the golden phrase: the hash of every sample and a few exact spot
// samples. Shared by the in-process render tests and the host check that loads the plug-in library (on
// Linux and, under Wine, on Windows).
#pragma once

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "support/GoldenPhrase.h"

namespace tamblin::test {

constexpr int kPhraseBlock = 1000;  // frames per block of the golden renders
constexpr int kSpotFrames[] = {1000, 6000, 20000, 40000, 55000};

struct Render {
  std::vector<float> left, right;
};

inline uint32_t bitsOf(float x) {
  uint32_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

inline uint64_t hashOf(const Render& r) { return samplesHash(r.left, r.right); }

// One line per program: index, hash, then left/right bit patterns at the spot frames.
inline std::string goldenLine(int program, const Render& r) {
  std::ostringstream line;
  char text[32];
  std::snprintf(text, sizeof text, "%016" PRIx64, hashOf(r));
  line << program << ' ' << text;
  for (int frame : kSpotFrames) {
    std::snprintf(text, sizeof text, " %08x:%08x", bitsOf(r.left[frame]), bitsOf(r.right[frame]));
    line << text;
  }
  return line.str();
}

}  // namespace tamblin::test
