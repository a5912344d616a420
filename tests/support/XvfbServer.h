// X servers without a screen for the tests that open windows: one a test starts itself, and one for a
// whole test program.
#pragma once

#include <X11/Xlib.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/ChildProcess.h"

namespace tamblin::test {

// An Xvfb process on a display number it picks itself (through -displayfd), ended with the object.
class XvfbProcess {
 public:
  // False when Xvfb is missing or does not start; its errors go to `errorFile`. `depth` is the screen's
  // bits per pixel.
  bool start(const std::string& errorFile = "/dev/null", int depth = 24) {
    const std::string xvfb = findProgram("Xvfb");
    int fds[2];
    if (xvfb.empty() || pipe(fds) != 0) return false;
    process_.start({xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x" + std::to_string(depth), "-nolisten",
                    "tcp", "-noreset"},
                   {}, errorFile, "/dev/null");
    ::close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number.push_back(c);
    ::close(fds[0]);
    display_ = ":" + number;
    return !number.empty();
  }
  const std::string& display() const { return display_; }
  void stop() { process_.stop(); }
  // The server dies at once, as when it crashes.
  void kill() {
    process_.signal(SIGKILL);
    process_.waitExit(std::chrono::milliseconds(5000));
  }

 private:
  ChildProcess process_;
  std::string display_;
};

// One Xvfb server for the test program, started and ended by it, its display set as DISPLAY; register
// once per program:
//   ::testing::Environment* const xvfb = ::testing::AddGlobalTestEnvironment(new tamblin::test::XvfbServer);
class XvfbServer : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!server_.start()) return;
    ::setenv("DISPLAY", server_.display().c_str(), 1);
    // This connection stays open for the whole run, so the server never resets between tests.
    ready_ = waitFor([this] { return (keepAlive_ = XOpenDisplay(nullptr)) != nullptr; }, 10000ms);
  }
  void TearDown() override {
    if (keepAlive_ != nullptr) XCloseDisplay(keepAlive_);
    server_.stop();
  }
  static bool ready() { return ready_; }

 private:
  XvfbProcess server_;
  Display* keepAlive_ = nullptr;
  static inline bool ready_ = false;
};

}  // namespace tamblin::test
