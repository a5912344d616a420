// The state file: a header line, the current program, then a name line and a values line per program.
//
//   tamblin-state 1
//   current 3
//   name 0 Init\x20Pad
//   values 0 0.75 0 0.5 ... (101 numbers)
#include "StateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace tamblin::standalone {
namespace {

constexpr std::string_view kHeader = "tamblin-state 1";
// Sixteen programs of 101 values take about 20 KB; anything far larger is not ours.
constexpr std::streamoff kMaxFileSize = 256 * 1024;

// Names keep printable ASCII except space and backslash; every other byte is written as \xHH, so a
// name is one word whatever it holds.
std::string escapeName(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (c > ' ' && c < 0x7f && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      char code[5];
      std::snprintf(code, sizeof code, "\\x%02X", c);
      out += code;
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
  // The instrument's name field holds 63 characters.
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

std::optional<long> wholeNumber(std::string_view word, long low, long high) {
  std::string text(word);
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<float> unitValue(std::string_view word) {
  std::string text(word);
  char* end = nullptr;
  // A value too small for a normal float reads as the nearest subnormal (errno says so): it is valid.
  const float value = std::strtof(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(value >= 0.0f && value <= 1.0f)) return std::nullopt;
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
      std::snprintf(number, sizeof number, " %.9g", static_cast<double>(v));
      out += number;
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
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (lineNumber == 1) {
      if (line != kHeader) return fail("not a tamblin state file");
      continue;
    }
    const std::vector<std::string_view> w = words(line);
    if (w.empty()) continue;
    if (w[0] == "current") {
      std::optional<long> program = w.size() == 2 ? wholeNumber(w[1], 0, kStateProgramCount - 1) : std::nullopt;
      if (!program || seenCurrent) return fail("bad current program");
      state.currentProgram = static_cast<int>(*program);
      seenCurrent = true;
      continue;
    }
    const bool isName = w[0] == "name", isValues = w[0] == "values";
    if (!isName && !isValues) return fail("unknown entry '" + std::string(w[0].substr(0, 20)) + "'");
    std::optional<long> index = w.size() >= 2 ? wholeNumber(w[1], 0, kStateProgramCount - 1) : std::nullopt;
    if (!index) return fail("bad program number");
    const size_t p = static_cast<size_t>(*index);
    if (isName) {
      std::optional<std::string> name = w.size() == 3 ? unescapeName(w[2]) : (w.size() == 2 ? std::string() : std::optional<std::string>());
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
  if (lineNumber == 0) return fail("the file is empty");
  if (!seenCurrent) return fail("no current program");
  for (size_t p = 0; p < static_cast<size_t>(kStateProgramCount); ++p)
    if (!seenName[p] || !seenValues[p]) return fail("program " + std::to_string(p) + " is missing");
  return state;
}

std::string defaultStatePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  // A relative XDG_CONFIG_HOME is invalid and must be ignored.
  if (config != nullptr && config[0] == '/') return std::string(config) + "/tamblin/state";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/tamblin/state";
  return {};
}

LoadOutcome loadStateFile(const std::string& path, InstrumentState& state, std::string& problem) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) return LoadOutcome::Missing;
    problem = std::strerror(errno);
    return LoadOutcome::Unusable;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxFileSize) {
    problem = "the file is too large to be a state file";
    return LoadOutcome::Unusable;
  }
  in.seekg(0);
  std::string text(static_cast<size_t>(size), '\0');
  in.read(text.data(), size);
  if (!in) {
    problem = "could not read the file";
    return LoadOutcome::Unusable;
  }
  std::optional<InstrumentState> parsed = parseState(text, problem);
  if (!parsed) return LoadOutcome::Unusable;
  state = *parsed;
  return LoadOutcome::Loaded;
}

bool saveStateFile(const std::string& path, const InstrumentState& state, std::string& problem) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  // Make the folder and its parents as needed.
  for (size_t at = 1; at <= folder.size(); ++at) {
    if (at == folder.size() || folder[at] == '/') {
      const std::string part = folder.substr(0, at);
      if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
        problem = "cannot make " + part + ": " + std::strerror(errno);
        return false;
      }
    }
  }
  const std::string temporary = path + ".tmp." + std::to_string(::getpid());
  const std::string text = formatState(state);
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    problem = "cannot write " + temporary + ": " + std::strerror(errno);
    return false;
  }
  size_t written = 0;
  bool ok = true;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    written += static_cast<size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  const int savedErrno = errno;
  if (::close(fd) != 0) ok = false;
  if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    problem = "cannot write " + path + ": " + std::strerror(ok ? errno : savedErrno);
    ::unlink(temporary.c_str());
    return false;
  }
  // The rename itself reaches the disk with the folder.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace tamblin::standalone
