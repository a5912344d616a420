// An X server without a screen for the test program: started once on a free display number (which it
// reports through -displayfd), DISPLAY set to it, and ended when the program's tests end. Tests that
// need it are skipped when Xvfb is not installed.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tamblin::check {

class Xvfb : public ::testing::Environment {
 public:
  void SetUp() override {
    int fds[2];
    if (system("command -v Xvfb >/dev/null 2>&1") != 0 || pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      if (!freopen("/dev/null", "w", stderr)) _exit(126);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    ::close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    ::close(fds[0]);
    if (number.empty()) return;
    ::setenv("DISPLAY", (":" + number).c_str(), 1);
    ready_ = true;
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  static bool ready() { return ready_; }

 private:
  pid_t pid_ = -1;
  static inline bool ready_ = false;
};

}  // namespace tamblin::check
