// The state file: read whole and checked, written beside the old one and renamed over it.
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

// Sixteen programs of 101 values take about 20 KB; anything far larger is not ours.
constexpr std::streamoff kMaxFileSize = kMaxStateTextSize;

}  // namespace

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
