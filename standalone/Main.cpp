// tamblin: the instrument as a program of its own, played through JACK (and ALSA) MIDI, heard on JACK's
// outputs, edited in its own window, its programs kept between runs.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include "AlsaMidiInput.h"
#include "DesktopWindow.h"
#include "JackAudio.h"
#include "JoinGuard.h"
#include "MessageWindow.h"
#include "Options.h"
#include "Player.h"
#include "StartState.h"
#include "WindowActions.h"

using namespace tamblin;
using namespace tamblin::standalone;

namespace {

constexpr uint32_t kMinSampleRate = 8000;
constexpr uint32_t kMaxSampleRate = 384000;
constexpr int kIdleMs = 50;
// How long the audio thread has to let go of the instrument before the programs are read anyway.
constexpr std::chrono::milliseconds kSilenceLimit{250};

int wakeRead = -1, wakeWrite = -1;

void onSignal(int) {
  const char byte = 1;
  (void)!::write(wakeWrite, &byte, 1);
}

void say(const std::string& text) { std::fprintf(stderr, "tamblin: %s\n", text.c_str()); }

// The signals that ask tamblin to stop, as a desktop session or a terminal sends them.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// What a failure anywhere needs to keep the programs.
struct Session {
  StartState* state = nullptr;
  JackAudio* jack = nullptr;
  Player* player = nullptr;
};
Session session;
std::atomic<bool> leaving{false};
std::thread::id mainThread;
std::string closingNote;  // what keepPrograms() answered, once it has run

// Silences the audio thread and saves; answers what became of the programs, for the closing line.
std::string keepPrograms() {
  if (session.jack != nullptr) session.jack->silence(kSilenceLimit);
  if (session.player == nullptr || session.state == nullptr) return "nothing was changed";
  return session.state->save(session.player->state());
}

// The X connection broke on a thread that cannot go back to the loop: the programs are saved, and
// the JACK server finds the client gone with the process.
[[noreturn]] void leaveAtOnce(const std::string& reason) {
  if (leaving.exchange(true)) {
    // The loop is leaving already: it ends the process, unless this is the loop's thread itself,
    // caught by the break while it let go of the window.
    if (std::this_thread::get_id() != mainThread)
      for (;;) pause();
    say(reason + "; " + closingNote);
    std::fflush(stderr);
    _exit(1);
  }
  say(reason + "; " + keepPrograms());
  std::fflush(stderr);
  _exit(1);
}

// Leaves the JACK server within its time limit; a server that does not answer is left behind.
void leaveJack(JackAudio& jack, std::unique_ptr<AlsaMidiInput>& alsa, const std::string& note) {
  if (alsa) alsa->stop();
  if (!jack.stop()) {
    say("the JACK server did not let tamblin's client go within " +
        std::to_string(JackAudio::kStopLimit.count() / 1000) + " s; " + note);
    std::fflush(stderr);
    _exit(1);
  }
}

std::string readyLine(const JackAudio& jack, const Player& player, bool alsa) {
  const std::string& name = jack.clientName();
  return "tamblin: ready: MIDI in " + name + ":midi_in" + (alsa ? " (and ALSA sequencer port " + name + ")" : "") +
         ", audio out " + name + ":out_left and " + name + ":out_right at " + std::to_string(jack.sampleRate()) +
         " Hz, program " + std::to_string(player.currentProgram()) + " '" + player.programName() + "'";
}

// --export-bank, --export-preset: the programs as the options make them, written without joining JACK.
int exportFiles(const Options& options, const std::optional<InstrumentState>& saved, const StartFiles& files) {
  Player instrument(48000.0f, options.tempo);
  applyStart(instrument, saved, options, files);
  const InstrumentState programs = instrument.state();
  std::string problem;
  if (!options.exportBank.empty()) {
    if (!writeProgramFile(options.exportBank, writeBank(programs), problem)) {
      say(problem);
      return 1;
    }
    std::printf("tamblin: wrote the sixteen programs to %s\n", options.exportBank.c_str());
  }
  if (!options.exportPreset.empty()) {
    if (!writeProgramFile(options.exportPreset, writePreset(programs.programs[programs.currentProgram]), problem)) {
      say(problem);
      return 1;
    }
    std::printf("tamblin: wrote program %d '%s' to %s\n", programs.currentProgram,
                programs.programs[programs.currentProgram].name.c_str(), options.exportPreset.c_str());
  }
  return 0;
}

int run(const Options& options) {
  // Files first, whole and checked: nothing is applied from one that fails.
  StartFiles files;
  std::string problem;
  if (!options.importBank.empty() && !(files.bank = readBankFile(options.importBank, problem))) {
    say(problem);
    return 1;
  }
  if (!options.importPreset.empty() && !(files.preset = readPresetFile(options.importPreset, problem))) {
    say(problem);
    return 1;
  }
  StartState state(options.clientName);
  const bool exporting = !options.exportBank.empty() || !options.exportPreset.empty();
  // An export changes no state: --reset then only leaves the saved programs out.
  if (!state.load(options.reset && !exporting, say)) return 1;
  if (exporting) return exportFiles(options, options.reset ? std::nullopt : state.loaded(), files);
  session.state = &state;

  JoinGuard joining(kStopSignals, wakeWrite, say);
  JackAudio jack(options.clientName, options.serverName);
  const uint32_t rate = jack.sampleRate();
  if (rate < kMinSampleRate || rate > kMaxSampleRate) {
    say("JACK runs at " + std::to_string(rate) + " Hz; tamblin plays at " + std::to_string(kMinSampleRate) +
        " to " + std::to_string(kMaxSampleRate) + " Hz");
    return 1;
  }

  Player instrument(static_cast<float>(rate), options.tempo);
  state.setFactory(instrument.state());
  applyStart(instrument, state.loaded(), options, files);

  std::unique_ptr<AlsaMidiInput> alsa;
  if (options.alsaMidi) {
    try {
      alsa = std::make_unique<AlsaMidiInput>(options.clientName);
      alsa->start([&jack] { return jack.frameTime(); });
    } catch (const std::exception& error) {
      say(std::string("--alsa-midi: ") + error.what() + "; playing on with JACK MIDI only");
      alsa.reset();
    }
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
  session.jack = &jack;
  session.player = &instrument;
  // Whatever ends run(), an emergency exit afterwards finds nothing of it.
  struct SessionEnd {
    ~SessionEnd() { session = Session{}; }
  } sessionEnd;
  if (options.connect)
    for (const std::string& problem : jack.connectPhysical(!options.alsaMidi && !alsa)) say(problem);
  joining.release();

  WindowActions actions(instrument, state, [&jack](uint8_t status, uint8_t data1, uint8_t data2) {
    jack.sendFromWindow(status, data1, data2);
  });
  std::unique_ptr<DesktopWindow> window;
  if (!options.noGui) {
    window = std::make_unique<DesktopWindow>(instrument, actions);
  } else {
    std::printf("%s\n", readyLine(jack, instrument, alsa != nullptr).c_str());
    std::fflush(stdout);
  }

  WindowState ended = WindowState::Open;
  bool stopAsked = false;
  while (!stopAsked && ended == WindowState::Open && !jack.serverGone()) {
    pollfd fds[2] = {{wakeRead, POLLIN, 0}, {window ? window->connectionFd() : -1, POLLIN, 0}};
    poll(fds, 2, kIdleMs);
    if (fds[0].revents != 0) {
      char drain[64];
      while (::read(wakeRead, drain, sizeof drain) > 0) {
      }
      if (!jack.serverGone()) stopAsked = true;  // a signal to stop
    }
    if (window) {
      ended = window->serve();
      if (ended == WindowState::Open) window->setTitle("Tamblin - " + instrument.programName());
    }
  }

  // The programs first: whatever JACK or X do next, they are on disk.
  leaving = true;
  const std::string note = closingNote = keepPrograms();
  if (ended != WindowState::Open && ended != WindowState::Closed) {
    // Nothing more of X: the connection or the window cannot be trusted.
    const std::string reason = ended == WindowState::Destroyed ? "the window was destroyed by another X client"
                                                               : window->problem();
    window->abandon();
    leaveJack(jack, alsa, reason + "; " + note);
    say(reason + "; " + note);
    std::fflush(stderr);
    _exit(1);
  }
  const bool serverGone = jack.serverGone();
  window.reset();
  leaveJack(jack, alsa, note);
  if (serverGone) {
    say("the JACK server went away; " + note);
    return 1;
  }
  if (!state.savedCleanly()) say(note);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    // JACK reads JACK_DEFAULT_SERVER only without --server, Xlib DISPLAY only for a window.
    checkEnvironment(options.serverName.empty() ? std::getenv("JACK_DEFAULT_SERVER") : nullptr,
                     options.noGui ? nullptr : std::getenv("DISPLAY"));
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
  // A server that vanishes under a write to its socket must give an error, not end tamblin.
  signal(SIGPIPE, SIG_IGN);
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
  mainThread = std::this_thread::get_id();
  installXHandlers(leaveAtOnce);
  try {
    return run(options);
  } catch (const std::exception& error) {
    say(error.what());
    // A desktop launch has no terminal: the reason is shown in a window as well, when one was asked for.
    if (!options.noGui) showMessageWindow("Tamblin could not start", error.what());
    return 1;
  }
}
