// Text at the VST 3 boundary: UTF-8 to and from the interface's UTF-16 strings, fixed-size copies, and
// whole texts through a host's byte stream.
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "abi/Base.h"

namespace tamblin::vst3 {

// Copies at most size - 1 bytes and always ends with a zero.
inline void copyText(char* target, std::string_view text, std::size_t size) {
  const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(target, text.data(), n);
  std::memset(target + n, 0, size - n);
}

// UTF-8 into at most size - 1 UTF-16 units and a zero; characters beyond the basic plane and broken
// sequences become '?'.
void copyText(::vst3::char16* target, std::string_view text, std::size_t size);

// UTF-16 (zero-terminated, at most `size` units) to UTF-8.
std::string utf8Of(const ::vst3::char16* text, std::size_t size);

// The stream's bytes from where it stands to its end; false when it fails or holds more than `limit`.
bool readWhole(::vst3::IBStream* stream, std::string& text, std::size_t limit);
// Writes the whole text; false when the stream takes less.
bool writeWhole(::vst3::IBStream* stream, std::string_view text);

}  // namespace tamblin::vst3
