// One Xvfb server per test program, started through -displayfd and ended by the program, and a
// polling wait for what the server's clients do.
#pragma once

#include <X11/Xlib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

namespace tamblin::test {

using namespace std::chrono_literals;

inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5000ms,
                    const std::function<void()>& meanwhile = {}) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    if (meanwhile) meanwhile();
    std::this_thread::sleep_for(10ms);
  }
  return condition();
}

inline std::string findProgram(const char* name) {
  const char* path = std::getenv("PATH");
  std::string list = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = std::min(list.find(':', start), list.size());
    std::string candidate(list, start, end - start);
    candidate.append(1, '/').append(name);
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

// One Xvfb server for the test program, started and ended by it.
class XvfbServer : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string xvfb = findProgram("Xvfb");
    if (xvfb.empty()) return;
    // The server picks a free display number and writes it to the pipe.
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      freopen("/dev/null", "w", stderr);
      execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
            "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    ::close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    ::close(fds[0]);
    if (number.empty()) return;
    number.insert(0, 1, ':');
    ::setenv("DISPLAY", number.c_str(), 1);
    // This connection stays open for the whole run, so the server never resets between tests.
    ready_ = waitFor([this] { return (keepAlive_ = XOpenDisplay(nullptr)) != nullptr; }, 10000ms);
  }
  void TearDown() override {
    if (keepAlive_ != nullptr) XCloseDisplay(keepAlive_);
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  static bool ready() { return ready_; }

 private:
  pid_t pid_ = -1;
  Display* keepAlive_ = nullptr;
  static inline bool ready_ = false;
};

// The server for this test program; register once per program:
//   ::testing::Environment* const xvfb = ::testing::AddGlobalTestEnvironment(new tamblin::test::XvfbServer);

}  // namespace tamblin::test
