// Programs a test runs and ends itself, and a polling wait for what they do.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tamblin::test {

using namespace std::chrono_literals;

// Polls `condition` until it holds or `limit` has passed, calling `meanwhile` between polls.
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10000ms,
                    const std::function<void()>& meanwhile = {}) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    if (meanwhile) meanwhile();
    std::this_thread::sleep_for(10ms);
  }
  return condition();
}

// The path of a program found through PATH; empty when there is none.
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

// The last word of every line a shell command prints (a symbol from nm, a library from readelf's
// NEEDED lines); empty when the command cannot run.
inline std::set<std::string> lastWordsOf(const std::string& command) {
  std::set<std::string> words;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return words;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    if (!s.empty()) words.insert(s.substr(s.rfind(' ') + 1));
  }
  pclose(pipe);
  return words;
}

// A program run by the test, its standard error (and output) kept in a file; stopped by its id when the test ends.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() { stop(); }

  void start(const std::vector<std::string>& argv, const std::map<std::string, std::string>& environment,
             const std::string& errorFile, const std::string& outputFile = "") {
    errorFile_ = errorFile;
    outputFile_ = !outputFile.empty() ? outputFile : (errorFile == "/dev/null" ? errorFile : errorFile + ".out");
    pid_ = fork();
    if (pid_ == 0) {
      for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
      if (!freopen(errorFile.c_str(), "w", stderr) || !freopen(outputFile_.c_str(), "w", stdout)) _exit(126);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
  }
  bool running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = status;
      pid_ = -1;
      return false;
    }
    return true;
  }
  // Waits up to `limit` for the program to end; true when it did.
  bool waitExit(std::chrono::milliseconds limit) { return waitFor([this] { return !running(); }, limit); }
  // Asks the program to end (SIGTERM), then kills it if it does not; answers its exit status.
  int stop(std::chrono::milliseconds limit = 10000ms) {
    if (running()) {
      kill(pid_, SIGTERM);
      if (!waitExit(limit)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
        pid_ = -1;
      }
    }
    return exitCode();
  }
  void signal(int number) {
    if (running()) kill(pid_, number);
  }
  // The exit code, or 128 + the signal that ended it.
  int exitCode() const {
    if (WIFEXITED(status_)) return WEXITSTATUS(status_);
    return WIFSIGNALED(status_) ? 128 + WTERMSIG(status_) : -1;
  }
  std::string errors() const {
    std::ifstream in(errorFile_);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // What it wrote on its standard output (kept beside its errors unless the start named a file).
  std::string output() const {
    std::ifstream in(outputFile_);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  std::string errorFile_;
  std::string outputFile_;
};

}  // namespace tamblin::test
