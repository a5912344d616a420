// tamblin: the instrument as a program of its own, played through JACK (and ALSA) MIDI, heard on JACK's
// outputs, edited in its own window, its programs kept between runs.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "AlsaMidiInput.h"
#include "DesktopWindow.h"
#include "Player.h"
#include "JackAudio.h"
#include "Options.h"
#include "StateFile.h"

using namespace tamblin;
using namespace tamblin::standalone;

namespace {

constexpr uint32_t kMinSampleRate = 8000;
constexpr uint32_t kMaxSampleRate = 384000;
constexpr int kIdleMs = 50;

int wakeRead = -1, wakeWrite = -1;

void onSignal(int) {
  const char byte = 1;
  (void)!::write(wakeWrite, &byte, 1);
}

void say(const std::string& text) { std::fprintf(stderr, "tamblin: %s\n", text.c_str()); }

// The signals that ask tamblin to stop, as a desktop session or a terminal sends them.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Holds the stop signals back while tamblin joins the JACK server: a call into the server that a
// signal interrupts fails, and tamblin would end with a false message and its programs unsaved. A stop
// asked for meanwhile arrives when the guard goes, and ends the run as any stop does. Threads started
// meanwhile (JACK's and the ALSA reader) keep the signals blocked for good, so they reach this thread.
class StopSignalsHeld {
 public:
  StopSignalsHeld() {
    sigset_t stops;
    sigemptyset(&stops);
    for (int signal : kStopSignals) sigaddset(&stops, signal);
    pthread_sigmask(SIG_BLOCK, &stops, &previous_);
  }
  ~StopSignalsHeld() { release(); }
  void release() {
    if (held_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    held_ = false;
  }
  StopSignalsHeld(const StopSignalsHeld&) = delete;
  StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

 private:
  sigset_t previous_;
  bool held_ = true;
};

// Reads the saved state unless told not to; a file that cannot be trusted is reported and left alone.
std::optional<InstrumentState> savedState(const std::string& path, bool reset, bool& unusable) {
  unusable = false;
  if (reset || path.empty()) return std::nullopt;
  InstrumentState state;
  std::string problem;
  switch (loadStateFile(path, state, problem)) {
    case LoadOutcome::Loaded:
      return state;
    case LoadOutcome::Unusable:
      unusable = true;
      say("ignoring the saved state " + path + " (" + problem + "); it will be kept as " + path + ".damaged");
      return std::nullopt;
    case LoadOutcome::Missing:
      break;
  }
  return std::nullopt;
}

bool saveState(const std::string& path, const Player& instrument, bool keepOld) {
  if (path.empty()) {
    say("neither XDG_CONFIG_HOME nor HOME is set: the programs are not saved");
    return false;
  }
  // A file that could not be read is kept aside rather than overwritten.
  if (keepOld) ::rename(path.c_str(), (path + ".damaged").c_str());
  std::string problem;
  if (!saveStateFile(path, instrument.state(), problem)) {
    say("the programs were not saved: " + problem);
    return false;
  }
  return true;
}

int run(const Options& options) {
  const std::string statePath = defaultStatePath();
  bool unusableState = false;
  const std::optional<InstrumentState> state = savedState(statePath, options.reset, unusableState);

  StopSignalsHeld joining;
  JackAudio jack(options.clientName, options.serverName);
  const uint32_t rate = jack.sampleRate();
  if (rate < kMinSampleRate || rate > kMaxSampleRate) {
    say("JACK runs at " + std::to_string(rate) + " Hz; tamblin plays at " + std::to_string(kMinSampleRate) +
        " to " + std::to_string(kMaxSampleRate) + " Hz");
    return 1;
  }

  Player instrument(static_cast<float>(rate), options.tempo);
  applyStart(instrument, state, options);

  std::unique_ptr<AlsaMidiInput> alsa;
  if (options.alsaMidi) {
    alsa = std::make_unique<AlsaMidiInput>(options.clientName);
    alsa->start([&jack] { return jack.frameTime(); });
  }
  // However run() ends, the threads that call the instrument stop before it goes: the ALSA reader
  // (which reads JACK's clock) first, then JACK.
  struct Stopper {
    JackAudio& jack;
    std::unique_ptr<AlsaMidiInput>& alsa;
    ~Stopper() {
      if (alsa) alsa->stop();
      jack.stop();
    }
  } stopper{jack, alsa};
  jack.start(instrument, alsa.get(), wakeWrite);
  if (options.connect)
    for (const std::string& problem : jack.connectPhysical(!options.alsaMidi)) say(problem);
  joining.release();

  std::unique_ptr<DesktopWindow> window;
  if (!options.noGui) window = std::make_unique<DesktopWindow>(instrument);

  bool closed = false;
  while (!closed && !jack.serverGone()) {
    pollfd fds[2] = {{wakeRead, POLLIN, 0}, {window ? window->connectionFd() : -1, POLLIN, 0}};
    poll(fds, 2, kIdleMs);
    if (fds[0].revents != 0) {
      char drain[64];
      while (::read(wakeRead, drain, sizeof drain) > 0) {
      }
      if (!jack.serverGone()) closed = true;  // a signal to stop
    }
    if (window) {
      if (!window->serve()) closed = true;
      window->setTitle("Tamblin - " + instrument.programName());
    }
  }

  const bool serverGone = jack.serverGone();
  window.reset();
  if (alsa) alsa->stop();
  jack.stop();
  const bool saved = saveState(statePath, instrument, unusableState);
  if (serverGone) {
    say(std::string("the JACK server went away; ") + (saved ? "the programs were saved to " + statePath : "stopping"));
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& error) {
    say(error.what());
    std::fprintf(stderr, "Try 'tamblin --help'.\n");
    return 2;
  }
  if (options.help) {
    std::fputs(usageText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("tamblin %s\n", TAMBLIN_VERSION);
    return 0;
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    say("cannot make a pipe");
    return 1;
  }
  wakeRead = fds[0];
  wakeWrite = fds[1];
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
  try {
    return run(options);
  } catch (const std::exception& error) {
    say(error.what());
    return 1;
  }
}
