// The state's text form: written and read strictly, bit for bit, in any locale.
#include "State.h"

#include <charconv>
#include <cstdio>
#include <vector>

namespace tamblin {
namespace {

constexpr std::string_view kHeader = "tamblin-state 1";

// Names keep printable ASCII except space and backslash; every other byte is written as \xHH, so a
// name is one word whatever it holds.
std::string escapeName(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    if (c > ' ' && c < 0x7f && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      out += "\\x";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> unescapeName(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 3 >= text.size() || text[i + 1] != 'x') return std::nullopt;
    const int high = hexDigit(text[i + 2]), low = hexDigit(text[i + 3]);
    if (high < 0 || low < 0) return std::nullopt;
    out.push_back(static_cast<char>(high * 16 + low));
    i += 3;
  }
  // A program's name holds 63 characters.
  if (out.size() > 63 || out.find('\0') != std::string::npos) return std::nullopt;
  return out;
}

std::vector<std::string_view> words(std::string_view line) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

std::optional<int> wholeNumber(std::string_view word, int low, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (word.empty() || error != std::errc{} || end != word.data() + word.size() || value < low || value > high)
    return std::nullopt;
  return value;
}

std::optional<float> unitValue(std::string_view word) {
  float value = 0.0f;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (word.empty() || error != std::errc{} || end != word.data() + word.size() || !(value >= 0.0f && value <= 1.0f))
    return std::nullopt;
  return value;
}

}  // namespace

std::string formatState(const InstrumentState& state) {
  std::string out(kHeader);
  out += "\ncurrent " + std::to_string(state.currentProgram) + "\n";
  for (int p = 0; p < kStateProgramCount; ++p) {
    const StoredProgram& program = state.programs[static_cast<size_t>(p)];
    out += "name " + std::to_string(p) + " " + escapeName(program.name) + "\n";
    out += "values " + std::to_string(p);
    for (float v : program.values) {
      char number[32];
      const auto written = std::to_chars(number, number + sizeof number, v);
      out.push_back(' ');
      out.append(number, written.ptr);
    }
    out += "\n";
  }
  return out;
}

std::optional<InstrumentState> parseState(std::string_view text, std::string& problem) {
  InstrumentState state;
  bool seenCurrent = false;
  std::array<bool, kStateProgramCount> seenName{}, seenValues{};
  int lineNumber = 0;
  auto fail = [&](const std::string& why) {
    problem = "line " + std::to_string(lineNumber) + ": " + why;
    return std::nullopt;
  };
  if (text.size() > kMaxStateTextSize) {
    problem = "too long to be a state";
    return std::nullopt;
  }
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (lineNumber == 1) {
      if (line != kHeader) return fail("not a tamblin state");
      continue;
    }
    const std::vector<std::string_view> w = words(line);
    if (w.empty()) continue;
    if (w[0] == "current") {
      std::optional<int> program = w.size() == 2 ? wholeNumber(w[1], 0, kStateProgramCount - 1) : std::nullopt;
      if (!program || seenCurrent) return fail("bad current program");
      state.currentProgram = *program;
      seenCurrent = true;
      continue;
    }
    const bool isName = w[0] == "name", isValues = w[0] == "values";
    if (!isName && !isValues) return fail("unknown entry '" + std::string(w[0].substr(0, 20)) + "'");
    std::optional<int> index = w.size() >= 2 ? wholeNumber(w[1], 0, kStateProgramCount - 1) : std::nullopt;
    if (!index) return fail("bad program number");
    const size_t p = static_cast<size_t>(*index);
    if (isName) {
      std::optional<std::string> name =
          w.size() == 3 ? unescapeName(w[2]) : (w.size() == 2 ? std::string() : std::optional<std::string>());
      if (!name || seenName[p]) return fail("bad name of program " + std::to_string(p));
      state.programs[p].name = *name;
      seenName[p] = true;
      continue;
    }
    if (w.size() != 2 + kStateValueCount || seenValues[p])
      return fail("program " + std::to_string(p) + " needs " + std::to_string(kStateValueCount) + " values once");
    for (int i = 0; i < kStateValueCount; ++i) {
      std::optional<float> value = unitValue(w[static_cast<size_t>(2 + i)]);
      if (!value) return fail("value " + std::to_string(i) + " of program " + std::to_string(p) + " is not in 0..1");
      state.programs[p].values[static_cast<size_t>(i)] = *value;
    }
    seenValues[p] = true;
  }
  if (lineNumber == 0) return fail("empty");
  if (!seenCurrent) return fail("no current program");
  for (size_t p = 0; p < static_cast<size_t>(kStateProgramCount); ++p)
    if (!seenName[p] || !seenValues[p]) return fail("program " + std::to_string(p) + " is missing");
  return state;
}

}  // namespace tamblin
