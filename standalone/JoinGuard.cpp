// Signals held and watched while tamblin joins the JACK server.
#include "JoinGuard.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>

namespace tamblin::standalone {

JoinGuard::JoinGuard(std::span<const int> signals, int wakeFd, void (*say)(const std::string&))
    : wakeFd_(wakeFd), say_(say) {
  sigemptyset(&signals_);
  for (int signal : signals) sigaddset(&signals_, signal);
  pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
  watcher_ = std::thread([this] { watch(); });
}

void JoinGuard::watch() {
  using Clock = std::chrono::steady_clock;
  Clock::time_point askedAt{};
  while (!released_.load()) {
    const timespec wait{0, 50 * 1000 * 1000};
    if (sigtimedwait(&signals_, nullptr, &wait) > 0 && !asked_.exchange(true)) askedAt = Clock::now();
    if (asked_.load() && !released_.load() && Clock::now() - askedAt > std::chrono::milliseconds(kLimitMs)) {
      say_("asked to stop while the JACK server did not answer for " + std::to_string(kLimitMs / 1000) +
           " s; nothing was changed");
      std::fflush(stderr);
      _exit(1);
    }
  }
}

void JoinGuard::release() {
  if (!held_) return;
  held_ = false;
  released_ = true;
  watcher_.join();
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  if (asked_.load()) {
    const char byte = 1;
    (void)!::write(wakeFd_, &byte, 1);
  }
}

}  // namespace tamblin::standalone
