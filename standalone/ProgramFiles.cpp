// Program and bank files: regular files of a bank's size at most, read with the core's strict readers.
#include "ProgramFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tamblin::standalone {
namespace {

// Nothing of ours is larger than a bank; a larger file is refused before it is read.
constexpr off_t kMaxFileSize = static_cast<off_t>(kBankFileSize) * 2;

std::optional<std::vector<uint8_t>> readWhole(const std::string& path, std::string& problem) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    problem = std::strerror(errno);
    return std::nullopt;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    problem = "it is not a regular file";
    return std::nullopt;
  }
  if (info.st_size > kMaxFileSize) {
    ::close(fd);
    problem = "it is too large to be a VST 2 program or bank file";
    return std::nullopt;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(info.st_size));
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  if (got != bytes.size()) {
    problem = "it could not be read whole";
    return std::nullopt;
  }
  return bytes;
}

}  // namespace

std::optional<ProgramBank> readBankFile(const std::string& path, std::string& problem) {
  std::string why;
  std::optional<ProgramBank> bank;
  if (const std::optional<std::vector<uint8_t>> bytes = readWhole(path, why)) bank = readBank(*bytes, why);
  if (!bank) problem = "cannot import the bank " + path + ": " + why + "; nothing was applied";
  return bank;
}

std::optional<ProgramPreset> readPresetFile(const std::string& path, std::string& problem) {
  std::string why;
  std::optional<ProgramPreset> preset;
  if (const std::optional<std::vector<uint8_t>> bytes = readWhole(path, why)) preset = readPreset(*bytes, why);
  if (!preset) problem = "cannot import the program " + path + ": " + why + "; nothing was applied";
  return preset;
}

bool writeProgramFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& problem) {
  const std::string temporary = path + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    problem = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  const int savedErrno = errno;
  const bool ok = ::close(fd) == 0 && written == bytes.size();
  if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
    problem = "cannot write " + path + ": " + std::strerror(ok ? errno : savedErrno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace tamblin::standalone
