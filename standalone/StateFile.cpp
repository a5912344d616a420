// The state file: read whole and checked, written beside the old one and renamed over it, under a lock
// that instances sharing it take in turn.
#include "StateFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tamblin::standalone {
namespace {

// Nobody makes chains of links this long; a loop ends here.
constexpr int kMaxLinkSteps = 40;
// How many numbered names keepAside tries before it gives up.
constexpr int kMaxAsideNames = 1000;

std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string describeFileType(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

bool makeFolders(const std::string& folder, std::string& problem) {
  for (size_t at = 1; at <= folder.size(); ++at) {
    if (at == folder.size() || folder[at] == '/') {
      const std::string part = folder.substr(0, at);
      if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
        problem = "cannot make " + part + ": " + std::strerror(errno);
        return false;
      }
    }
  }
  return true;
}

bool writeWhole(int fd, const std::string& text) {
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<size_t>(n);
  }
  return true;
}

// Holds an exclusive flock on a file for as long as it lives.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing lets the lock go
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace

std::string defaultStatePath(const std::string& clientName) {
  std::string folder;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  // A relative XDG_CONFIG_HOME is invalid and must be ignored.
  if (config != nullptr && config[0] == '/') {
    folder = std::string(config) + "/tamblin";
  } else if (home != nullptr && home[0] != '\0') {
    folder = std::string(home) + "/.config/tamblin";
  } else {
    return {};
  }
  if (clientName == "tamblin") return folder + "/state";
  std::string file = "state-";
  for (unsigned char c : clientName) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
        c == '-') {
      file.push_back(static_cast<char>(c));
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      file += escaped;
    }
  }
  return folder + "/" + file;
}

std::string resolveLinks(const std::string& path) {
  std::string current = path;
  for (int step = 0; step < kMaxLinkSteps; ++step) {
    struct stat info;
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::vector<char> target(PATH_MAX + 1);
    const ssize_t length = ::readlink(current.c_str(), target.data(), PATH_MAX);
    if (length <= 0) return current;
    const std::string link(target.data(), static_cast<size_t>(length));
    current = link[0] == '/' ? link : folderOf(current) + "/" + link;
  }
  return current;
}

LoadOutcome loadStateFile(const std::string& path, InstrumentState& state, std::string& problem) {
  // Without O_NONBLOCK a FIFO would hold the open until a writer came; fstat says what it is first.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return LoadOutcome::Missing;
    problem = std::strerror(errno);
    return LoadOutcome::Unusable;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    problem = "it is " + describeFileType(info.st_mode) + ", not a state file";
    ::close(fd);
    return LoadOutcome::NotAFile;
  }
  if (info.st_size > static_cast<off_t>(kMaxStateTextSize)) {
    problem = "the file is too large to be a state file";
    ::close(fd);
    return LoadOutcome::Unusable;
  }
  std::string text(static_cast<size_t>(info.st_size), '\0');
  size_t got = 0;
  while (got < text.size()) {
    const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  if (got != text.size()) {
    problem = "could not read the file";
    return LoadOutcome::Unusable;
  }
  std::optional<InstrumentState> parsed = parseState(text, problem);
  if (!parsed) return LoadOutcome::Unusable;
  state = *parsed;
  return LoadOutcome::Loaded;
}

std::string keepAside(const std::string& path, const std::string& suffix, std::string& problem) {
  const std::string source = resolveLinks(path);
  for (int n = 0; n < kMaxAsideNames; ++n) {
    std::string name = source + suffix;
    if (n > 0) name.append(".").append(std::to_string(n));
    // A hard link never replaces an existing name; the original name goes once the copy has one.
    if (::link(source.c_str(), name.c_str()) == 0) {
      ::unlink(source.c_str());
      return name;
    }
    if (errno == EEXIST) continue;
    // File systems without hard links: rename to a name that is free now.
    if (errno == EPERM || errno == EOPNOTSUPP || errno == EMLINK) {
      if (::access(name.c_str(), F_OK) == 0) continue;
      if (::rename(source.c_str(), name.c_str()) == 0) return name;
    }
    problem = "cannot move " + source + " to " + name + ": " + std::strerror(errno);
    return {};
  }
  problem = "no free name for " + source + suffix;
  return {};
}

int removeStaleTemporaries(const std::string& path) {
  const std::string target = resolveLinks(path);
  const std::string folder = folderOf(target);
  const std::string prefix = target.substr(target.rfind('/') + 1) + ".tmp.";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.rfind(prefix, 0) != 0) continue;
    const std::string number = name.substr(prefix.size());
    char* end = nullptr;
    const long pid = std::strtol(number.c_str(), &end, 10);
    if (number.empty() || *end != '\0' || pid <= 0 || pid > INT_MAX) continue;
    // Only files of processes that no longer exist: a save under way in another instance stays.
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    if (::unlink((folder + "/" + name).c_str()) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

bool saveStateFile(const std::string& path, const InstrumentState& state, std::string& problem) {
  const std::string target = resolveLinks(path);
  const std::string folder = folderOf(target);
  if (!makeFolders(folder, problem)) return false;
  struct stat info;
  if (::stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    problem = target + " is " + describeFileType(info.st_mode) + ", not a state file";
    return false;
  }
  const std::string temporary = target + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    problem = "cannot write " + temporary + ": " + std::strerror(errno);
    return false;
  }
  bool ok = writeWhole(fd, formatState(state)) && ::fsync(fd) == 0;
  const int savedErrno = errno;
  if (::close(fd) != 0) ok = false;
  if (!ok || ::rename(temporary.c_str(), target.c_str()) != 0) {
    problem = "cannot write " + target + ": " + std::strerror(ok ? errno : savedErrno);
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

InstrumentState mergeStates(const InstrumentState& base, const InstrumentState& ours, const InstrumentState& theirs) {
  InstrumentState merged = theirs;
  merged.currentProgram = ours.currentProgram;
  for (int p = 0; p < kStateProgramCount; ++p) {
    const StoredProgram& b = base.programs[p];
    const StoredProgram& o = ours.programs[p];
    StoredProgram& m = merged.programs[p];
    if (o.name != b.name) m.name = o.name;
    for (int i = 0; i < kStateValueCount; ++i)
      if (o.values[i] != b.values[i]) m.values[i] = o.values[i];
  }
  return merged;
}

SaveReport saveMergedState(const std::string& path, const std::optional<InstrumentState>& base,
                           const InstrumentState& ours) {
  SaveReport report;
  const std::string target = resolveLinks(path);
  if (!makeFolders(folderOf(target), report.problem)) return report;
  FileLock lock(target + ".lock");
  if (!lock.held()) {
    report.problem = "cannot lock " + target + ".lock: " + std::strerror(errno);
    return report;
  }
  report.written = ours;
  InstrumentState theirs;
  std::string problem;
  switch (loadStateFile(target, theirs, problem)) {
    case LoadOutcome::Loaded:
      if (base && theirs != *base) {
        report.written = mergeStates(*base, ours, theirs);
        report.merged = true;
      }
      break;
    case LoadOutcome::Unusable:
      report.keptAside = keepAside(target, ".damaged", report.problem);
      if (report.keptAside.empty()) return report;
      break;
    case LoadOutcome::NotAFile:
      report.problem = target + ": " + problem;
      return report;
    case LoadOutcome::Missing:
      break;
  }
  report.saved = saveStateFile(target, report.written, report.problem);
  return report;
}

}  // namespace tamblin::standalone
