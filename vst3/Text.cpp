// UTF-16 conversions and whole-stream reads and writes.
#include "Text.h"

namespace tamblin::vst3 {

void copyText(::vst3::char16* target, std::string_view text, std::size_t size) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size() && out + 1 < size;) {
    const auto c = static_cast<unsigned char>(text[i]);
    char32_t code = '?';
    std::size_t length = 1;
    if (c < 0x80) {
      code = c;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < text.size()) {
      code = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
      length = 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < text.size()) {
      code = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
             (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
      length = 3;
    }
    target[out++] = static_cast<::vst3::char16>(code);
    i += length;
  }
  for (std::size_t k = out; k < size; ++k) target[k] = 0;
}

std::string utf8Of(const ::vst3::char16* text, std::size_t size) {
  std::string out;
  for (std::size_t i = 0; text != nullptr && i < size && text[i] != 0; ++i) {
    const char32_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

bool readWhole(::vst3::IBStream* stream, std::string& text, std::size_t limit) {
  text.clear();
  if (stream == nullptr) return false;
  char chunk[4096];
  for (;;) {
    ::vst3::int32 got = 0;
    const ::vst3::tresult result = stream->read(chunk, static_cast<::vst3::int32>(sizeof chunk), &got);
    if (got < 0 || got > static_cast<::vst3::int32>(sizeof chunk)) return false;
    text.append(chunk, static_cast<std::size_t>(got));
    if (text.size() > limit) return false;
    // A stream says it is at its end with a short read, or with a refusal after the last byte.
    if (result != ::vst3::kResultOk || got < static_cast<::vst3::int32>(sizeof chunk)) return true;
  }
}

bool writeWhole(::vst3::IBStream* stream, std::string_view text) {
  if (stream == nullptr) return false;
  std::size_t done = 0;
  while (done < text.size()) {
    const std::size_t want = text.size() - done < 65536 ? text.size() - done : 65536;
    ::vst3::int32 wrote = 0;
    const ::vst3::tresult result =
        stream->write(const_cast<char*>(text.data() + done), static_cast<::vst3::int32>(want), &wrote);
    if (result != ::vst3::kResultOk || wrote <= 0 || static_cast<std::size_t>(wrote) > want) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace tamblin::vst3
