// What emscripten 3.1.6's libc++ lacks of C++20 and the core and editor use, included before every source
// of the browser build: std::bit_cast (on the compiler's builtin) and std::to_chars for a double with a
// format and a precision (on snprintf, which the standard defines that form by).
#pragma once

#include <bit>
#include <charconv>
#include <cstdio>
#include <system_error>
#include <version>

#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
constexpr To bit_cast(const From& from) noexcept {
  static_assert(sizeof(To) == sizeof(From), "bit_cast between types of one size");
  return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif

#if !defined(__cpp_lib_to_chars)
namespace std {
// As printf's %.*g, %.*f or %.*e in the "C" locale (the page's module never sets another).
inline to_chars_result to_chars(char* first, char* last, double value, chars_format format, int precision) {
  const char* pattern =
      format == chars_format::fixed ? "%.*f" : (format == chars_format::scientific ? "%.*e" : "%.*g");
  const long room = last - first;
  char text[400];  // the longest fixed form of a double with 15 decimals: 309 digits, point, 15, sign
  const int length = snprintf(text, sizeof text, pattern, precision, value);
  if (length < 0 || length >= static_cast<int>(sizeof text) || length > room)
    return {last, errc::value_too_large};
  for (int k = 0; k < length; ++k) first[k] = text[k];
  return {first + length, errc()};
}
}  // namespace std
#endif
