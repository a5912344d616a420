// tamblin against a real JACK server on the dummy backend: notes played into its MIDI port come out
// on their frames, sample for sample as the engine renders them; its programs survive a restart; each
// failure ends it with one message; and its window, clicked under Xvfb, changes what is heard.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <sys/stat.h>
#include <optional>

#include "Player.h"
#include "JackTestSupport.h"
#include "Layout.h"
#include "BankFile.h"
#include "Png.h"
#include "StateFile.h"
#include "Strip.h"

#include <alsa/asoundlib.h>

// Xlib's macros come after every other header.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace tamblin::test {
namespace {

using tamblin::InstrumentState;
using standalone::MidiEvent;
using standalone::Options;

// A server name of this test run's own, so that runs side by side on one machine never meet.
const std::string kServer = "tamblin-test-" + std::to_string(getpid());
constexpr int kRate = 48000;
constexpr int kPeriod = 256;

int lineCount(const std::string& text) {
  int count = 0;
  for (char c : text) count += c == '\n';
  return count;
}

// The fundamental of a stretch of sound, from the strongest autocorrelation between 50 and 2000 Hz.
double fundamental(const std::vector<float>& sound, size_t from, size_t to, double rate) {
  const size_t minLag = static_cast<size_t>(rate / 2000.0), maxLag = static_cast<size_t>(rate / 50.0);
  std::vector<double> correlation(maxLag + 1, 0.0);
  for (size_t lag = minLag; lag <= maxLag; ++lag)
    for (size_t k = from; k + lag < to; ++k) correlation[lag] += static_cast<double>(sound[k]) * sound[k + lag];
  const double best = *std::max_element(correlation.begin() + static_cast<long>(minLag), correlation.end());
  // The first lag that comes close to the best one is the period, not a multiple of it.
  for (size_t lag = minLag + 1; lag < maxLag; ++lag)
    if (correlation[lag] >= 0.9 * best && correlation[lag] >= correlation[lag - 1] &&
        correlation[lag] >= correlation[lag + 1]) {
      // Parabolic refinement of the peak.
      const double a = correlation[lag - 1], b = correlation[lag], c = correlation[lag + 1];
      const double shift = 0.5 * (a - c) / (a - 2 * b + c);
      return rate / (static_cast<double>(lag) + shift);
    }
  return 0.0;
}

class TamblinJack : public ::testing::Test {
 protected:
  void SetUp() override {
    config_ = std::filesystem::temp_directory_path() /
              ("tamblin-test-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(config_);
    std::filesystem::create_directories(config_);
    std::string problem;
    if (!std::filesystem::exists("/usr/bin/jackd")) GTEST_SKIP() << "jackd is not installed (Debian package jackd2)";
    ASSERT_TRUE(server_.start(problem)) << problem;
    probe_ = std::make_unique<Probe>(kServer);
    ASSERT_TRUE(probe_->ready());
  }
  void TearDown() override {
    // tamblin first, then the probe, then the server, each gone before the next one stops.
    for (auto& program : tamblins_) program->stop();
    if (probe_) probe_->clientGone(kName);
    probe_.reset();
    server_.stop();
    std::error_code error;
    std::filesystem::remove_all(config_, error);
  }

  // Starts tamblin on the test's server, or on the one JACK_DEFAULT_SERVER names when `onTestServer` is false.
  ChildProcess& startTamblin(std::vector<std::string> arguments, std::map<std::string, std::string> environment = {},
                             bool onTestServer = true) {
    if (onTestServer) arguments.insert(arguments.begin(), {"--server", kServer});
    arguments.insert(arguments.begin(), TAMBLIN_PROGRAM);
    environment.emplace("XDG_CONFIG_HOME", config_.string());
    tamblins_.push_back(std::make_unique<ChildProcess>());
    probe_->forgetStart();
    startedAt_ = probe_->now();
    tamblins_.back()->start(arguments, environment, (config_ / ("stderr-" + std::to_string(tamblins_.size()))).string());
    return *tamblins_.back();
  }
  // Stops tamblin as a desktop session does and waits until it has left the server.
  int stopTamblin(ChildProcess& tamblin) {
    const int code = tamblin.stop();
    EXPECT_TRUE(probe_->clientGone(kName));
    return code;
  }
  std::string statePath() const { return (config_ / "tamblin" / "state").string(); }
  std::optional<InstrumentState> savedState() const {
    InstrumentState state;
    std::string problem;
    if (standalone::loadStateFile(statePath(), state, problem) != standalone::LoadOutcome::Loaded) return std::nullopt;
    return state;
  }

  struct Note {
    uint32_t frame;  // from the start of the recording
    std::vector<uint8_t> bytes;
  };

  // Plays the notes into a running tamblin, records `frames` frames, and checks them against the
  // engine started as tamblin starts it. tamblin's block count is not known to the test, only that its
  // first block lies between its start and the first block it was heard: the engine is rendered from
  // each block start in between, latest first, and one must match, sample for sample.
  std::vector<float> playAndCompare(const std::vector<Note>& notes, uint32_t frames,
                                    const std::optional<InstrumentState>& saved, const Options& options) {
    EXPECT_TRUE(probe_->connect(kName));
    EXPECT_TRUE(waitFor([&] { return probe_->firstLiveBlock() != 0; }));
    const uint32_t start = probe_->now() + 4 * kPeriod;
    std::vector<Probe::Message> messages;
    for (const Note& note : notes) messages.push_back({start + note.frame, note.bytes});
    probe_->schedule(messages, start, frames);
    EXPECT_TRUE(probe_->finish());
    const uint32_t live = probe_->firstLiveBlock();
    const uint32_t earliest = startedAt_ - kPeriod;
    std::optional<uint32_t> lead;
    for (uint32_t first = live; static_cast<int32_t>(first - earliest) >= 0 && !lead; first -= kPeriod)
      if (engineRender(notes, start - first, frames, saved, options, probe_->left(), probe_->right())) lead = start - first;
    EXPECT_TRUE(lead.has_value()) << "no start of tamblin between frame " << earliest << " and " << live
                                  << " gives the recorded samples";
    return probe_->left();
  }

  // Renders in blocks of the server's period after `lead` silent frames; true when both channels equal
  // the recording exactly.
  static bool engineRender(const std::vector<Note>& notes, uint32_t lead, uint32_t frames,
                           const std::optional<InstrumentState>& saved, const Options& options,
                           const std::vector<float>& left, const std::vector<float>& right) {
    standalone::Player instrument(kRate, options.tempo);
    standalone::applyStart(instrument, saved, options);
    std::vector<float> l(kPeriod), r(kPeriod);
    size_t next = 0;
    for (uint32_t block = 0; block < lead + frames; block += kPeriod) {
      std::vector<MidiEvent> events;
      for (; next < notes.size() && notes[next].frame + lead < block + kPeriod; ++next) {
        MidiEvent event;
        event.frame = notes[next].frame + lead - block;
        event.size = static_cast<uint8_t>(notes[next].bytes.size());
        std::copy(notes[next].bytes.begin(), notes[next].bytes.end(), event.bytes);
        events.push_back(event);
      }
      instrument.render(events.data(), static_cast<int>(events.size()), l.data(), r.data(), kPeriod);
      for (uint32_t k = 0; k < kPeriod; ++k) {
        const uint32_t at = block + k;
        if (at < lead || at - lead >= frames) continue;
        if (l[k] != left[at - lead] || r[k] != right[at - lead]) return false;
      }
    }
    return true;
  }

  static constexpr const char* kName = "tamblin";
  std::filesystem::path config_;
  JackServer server_{kServer, kRate, kPeriod};
  std::unique_ptr<Probe> probe_;
  uint32_t startedAt_ = 0;  // frame time just before the last tamblin was started
  std::vector<std::unique_ptr<ChildProcess>> tamblins_;
};

TEST_F(TamblinJack, PlaysNotesOnTheirFramesAsTheEngineRendersThem) {
  Options options;
  options.program = 0;
  options.parameters = {{36, 0.0f}};  // no stereo delay: both channels carry the plain voice sum
  ChildProcess& tamblin = startTamblin({"--no-gui", "--reset", "--program", "0", "--param", "36=0"});
  // A lone note, a second one inside a later block, a program change on its own frame with a note
  // right after it, and the releases.
  const std::vector<Note> notes = {
      {1000, {0x90, 69, 100}},    {24037, {0x90, 76, 90}},  {30000, {0x80, 69, 0}}, {30001, {0x80, 76, 0}},
      {36100, {0xC0, 3}},         {36101, {0x90, 60, 110}}, {44000, {0xB0, 7, 20}}, {46000, {0x80, 60, 0}}};
  const std::vector<float> left = playAndCompare(notes, 48000, std::nullopt, options);
  // Before the first note there is nothing to hear; after it, the note's pitch: the engine tunes
  // note 57 to 110 Hz, so note 69 sounds at 220 Hz.
  float before = 0.0f;
  for (size_t k = 0; k < 1000; ++k) before = std::max(before, std::fabs(left[k]));
  EXPECT_LT(before, 1e-6f);
  EXPECT_NEAR(fundamental(left, 6000, 22000, kRate), 220.0, 2.0);
  EXPECT_EQ(stopTamblin(tamblin), 0);
  EXPECT_EQ(tamblin.errors(), "");
  // Without a window it says once that it is ready, and where.
  EXPECT_EQ(tamblin.output(), "tamblin: ready: MIDI in tamblin:midi_in, audio out tamblin:out_left and tamblin:out_right "
                              "at 48000 Hz, program 0 'DefaultString'\n");
}

TEST_F(TamblinJack, FollowsTheTempoOfARollingTransport) {
  // The trance gate of "Trance1A" steps in sixteenths of the tempo: rendered at 120 it would differ.
  ASSERT_TRUE(probe_->rollTransport(150.0));
  Options options;
  options.program = 6;
  options.tempo = 150.0;
  ChildProcess& tamblin = startTamblin({"--no-gui", "--reset", "--program", "6"});
  playAndCompare({{300, {0x90, 57, 100}}, {30000, {0x80, 57, 0}}}, 36000, std::nullopt, options);
  EXPECT_EQ(stopTamblin(tamblin), 0);
}

TEST_F(TamblinJack, KeepsItsProgramsBetweenRunsAndSetsADamagedFileAside) {
  // First run: a program and a value from the command line, saved on exit.
  ChildProcess& first = startTamblin({"--no-gui", "--program", "5", "--param", "31=0.25"});
  ASSERT_TRUE(probe_->connect(kName));
  EXPECT_EQ(stopTamblin(first), 0) << first.errors();
  const std::optional<InstrumentState> saved = savedState();
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(saved->currentProgram, 5);
  EXPECT_EQ(saved->programs[5].values[31], 0.25f);
  EXPECT_FALSE(std::filesystem::exists(statePath() + ".tmp." + std::to_string(first.pid())));

  // Second run: no options; it sounds as the engine does with the saved state restored.
  ChildProcess& second = startTamblin({"--no-gui"});
  playAndCompare({{500, {0x90, 64, 100}}, {9000, {0x80, 64, 0}}}, 12000, saved, Options{});
  EXPECT_EQ(stopTamblin(second), 0);
  EXPECT_EQ(second.errors(), "");

  // --reset starts from the factory programs, whatever was saved, and keeps what was saved.
  ChildProcess& fresh = startTamblin({"--no-gui", "--reset"});
  ASSERT_TRUE(probe_->connect(kName));
  EXPECT_EQ(stopTamblin(fresh), 0) << fresh.errors();
  EXPECT_EQ(fresh.errors(), "tamblin: --reset: starting from the factory programs; the previous state was kept as " +
                                statePath() + ".before-reset\n");
  ASSERT_TRUE(savedState().has_value());
  EXPECT_EQ(savedState()->currentProgram, 0);
  EXPECT_NE(savedState()->programs[5].values[31], 0.25f);
  InstrumentState before;
  std::string problem;
  ASSERT_EQ(standalone::loadStateFile(statePath() + ".before-reset", before, problem), standalone::LoadOutcome::Loaded);
  EXPECT_EQ(before, *saved);

  // A damaged file is reported in one line and ignored; each is kept under a name of its own and a
  // whole one written.
  const struct {
    const char* damage;
    const char* keptAs;
  } damaged[] = {{"tamblin-state 1\ncurrent 99\n", ".damaged"}, {"<?xml version=\"1.0\"?>\n", ".damaged.1"}};
  for (const auto& c : damaged) {
    std::ofstream(statePath()) << c.damage;
    ChildProcess& third = startTamblin({"--no-gui"});
    ASSERT_TRUE(probe_->connect(kName));
    EXPECT_EQ(stopTamblin(third), 0);
    EXPECT_EQ(lineCount(third.errors()), 1) << third.errors();
    EXPECT_NE(third.errors().find("could not be used"), std::string::npos) << third.errors();
    EXPECT_NE(third.errors().find("it was moved to " + statePath() + c.keptAs + ", and tamblin starts from the factory"),
              std::string::npos)
        << third.errors();
    std::ifstream kept(statePath() + c.keptAs);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), c.damage);
    ASSERT_TRUE(savedState().has_value());
    EXPECT_EQ(savedState()->currentProgram, 0);  // the factory bank's
  }

  // What is not a regular file is refused at once, and left as it is.
  std::filesystem::remove(statePath());
  std::filesystem::create_directory(statePath());
  ASSERT_EQ(mkfifo((config_ / "tamblin" / "state-tamblin-fifo").c_str(), 0644), 0);
  const struct {
    std::vector<std::string> arguments;
    std::string message;
  } refused[] = {
      {{"--no-gui"}, "the saved state " + statePath() + " is no file to read or replace (it is a folder, not a state file)"},
      {{"--no-gui", "--name", "tamblin-fifo"}, "(it is a FIFO, not a state file)"},
  };
  for (const auto& c : refused) {
    ChildProcess& refusing = startTamblin(c.arguments);
    ASSERT_TRUE(refusing.waitExit(5000ms));
    EXPECT_EQ(refusing.exitCode(), 1);
    EXPECT_EQ(lineCount(refusing.errors()), 1) << refusing.errors();
    EXPECT_NE(refusing.errors().find(c.message), std::string::npos) << refusing.errors();
  }
  EXPECT_TRUE(std::filesystem::is_directory(statePath()));
}

TEST_F(TamblinJack, EachFailureEndsWithOneMessage) {
  // A client of the name without ports holds it as well as tamblin would.
  jack_client_t* holder = openClient(kName, kServer);
  ASSERT_NE(holder, nullptr);
  const std::string longName(265, 's');
  const struct {
    std::vector<std::string> arguments;
    std::map<std::string, std::string> environment;
    int status;
    std::string message;
  } failures[] = {
      {{"--server", kServer + "-none"}, {}, 1, "no JACK server '" + kServer + "-none' is running"},
      {{}, {}, 1, "the JACK client name 'tamblin' is already taken"},
      {{"--server", longName}, {}, 2, "--server: a JACK server name has at most 63 characters (this one has 265)"},
      {{}, {{"JACK_DEFAULT_SERVER", longName}}, 2, "JACK_DEFAULT_SERVER: a JACK server name has at most 63 characters"},
  };
  for (const auto& c : failures) {
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("--no-gui");
    const bool onTestServer = c.arguments.empty() && c.environment.empty();
    ChildProcess& failing = startTamblin(arguments, c.environment, onTestServer);
    ASSERT_TRUE(failing.waitExit(10000ms));
    EXPECT_EQ(failing.exitCode(), c.status) << c.message;
    EXPECT_EQ(lineCount(failing.errors()), c.status == 2 ? 2 : 1) << failing.errors();  // a usage error adds "Try --help"
    EXPECT_NE(failing.errors().find(c.message), std::string::npos) << failing.errors();
  }
  jack_client_close(holder);
  // A busy client name: the second tamblin of the same name stops, the first plays on.
  ChildProcess& first = startTamblin({"--no-gui"});
  ASSERT_TRUE(probe_->connect(kName));
  ChildProcess& second = startTamblin({"--no-gui"});
  ASSERT_TRUE(second.waitExit(10000ms));
  EXPECT_EQ(second.exitCode(), 1);
  EXPECT_EQ(lineCount(second.errors()), 1);
  EXPECT_NE(second.errors().find("client name 'tamblin' is already taken"), std::string::npos) << second.errors();
  EXPECT_TRUE(first.running());

  // The server goes away under it: tamblin says so, saves the programs and ends.
  server_.kill();
  probe_.reset();
  ASSERT_TRUE(first.waitExit(15000ms));
  EXPECT_EQ(first.exitCode(), 1);
  EXPECT_EQ(lineCount(first.errors()), 1);
  EXPECT_NE(first.errors().find("the JACK server went away; the programs were saved"), std::string::npos)
      << first.errors();
  EXPECT_TRUE(savedState().has_value());
}

TEST_F(TamblinJack, NoMessageOfAFloodIsLost) {
  // More messages in one period than a list holds: a note, a flood of harmless note-offs, and the
  // note's release on the period's last frame. The release is heard: nothing hangs.
  ChildProcess& tamblin = startTamblin({"--no-gui", "--reset", "--program", "0"});
  ASSERT_TRUE(probe_->connect(kName));
  ASSERT_TRUE(waitFor([&] { return probe_->firstLiveBlock() != 0; }));
  // The first frame of a period of the probe's, a little ahead.
  const uint32_t start = probe_->now() + 8 * kPeriod;
  std::vector<Probe::Message> messages = {{start, {0x90, 60, 100}}};
  constexpr int kFlood = 1500;
  for (int i = 0; i < kFlood; ++i) messages.push_back({start + static_cast<uint32_t>(i * (kPeriod - 1) / kFlood), {0x80, 30, 0}});
  messages.push_back({start + kPeriod - 1, {0x80, 60, 0}});
  probe_->schedule(messages, start, kRate);
  ASSERT_TRUE(probe_->finish());
  auto peak = [&](size_t from, size_t to) {
    float loudest = 0.0f;
    for (size_t k = from; k < to; ++k) loudest = std::max(loudest, std::fabs(probe_->left()[k]));
    return loudest;
  };
  EXPECT_GT(peak(0, kPeriod), 0.0f);  // the note was played...
  EXPECT_LT(peak(kRate / 2, kRate), 1e-4f) << "a note hangs";  // ...and released
  EXPECT_EQ(stopTamblin(tamblin), 0);
  EXPECT_EQ(tamblin.errors(), "");
}

TEST_F(TamblinJack, ABankGoesOutAndComesBackUnderAnotherName) {
  const std::string bank = (config_ / "mine.fxb").string();
  ChildProcess& exporting = startTamblin({"--program", "5", "--param", "31=0.25", "--param", "30=BP24", "--export-bank", bank});
  ASSERT_TRUE(exporting.waitExit(10000ms));
  EXPECT_EQ(exporting.exitCode(), 0) << exporting.errors();
  EXPECT_EQ(exporting.output(), "tamblin: wrote the sixteen programs to " + bank + "\n");
  EXPECT_EQ(std::filesystem::file_size(bank), kBankFileSize);

  // A file that is not a bank: one line, and nothing of it applied.
  std::ofstream(config_ / "short.fxb") << "CcnK";
  ChildProcess& refusing = startTamblin({"--no-gui", "--name", "second", "--import-bank", (config_ / "short.fxb").string()});
  ASSERT_TRUE(refusing.waitExit(10000ms));
  EXPECT_EQ(refusing.exitCode(), 1);
  EXPECT_EQ(lineCount(refusing.errors()), 1) << refusing.errors();
  EXPECT_NE(refusing.errors().find("; nothing was applied"), std::string::npos) << refusing.errors();
  const std::string secondState = (config_ / "tamblin" / "state-second").string();
  EXPECT_FALSE(std::filesystem::exists(secondState));

  // Under a second name, with a state of its own: the bank's programs, kept at exit.
  ChildProcess& importing = startTamblin({"--no-gui", "--name", "second", "--import-bank", bank});
  ASSERT_TRUE(probe_->connect("second"));
  EXPECT_EQ(importing.stop(), 0) << importing.errors();
  EXPECT_TRUE(probe_->clientGone("second"));
  InstrumentState second;
  std::string problem;
  ASSERT_EQ(standalone::loadStateFile(secondState, second, problem), standalone::LoadOutcome::Loaded) << problem;
  EXPECT_EQ(second.currentProgram, 5);
  EXPECT_EQ(second.programs[5].values[31], 0.25f);
  EXPECT_FALSE(std::filesystem::exists(statePath()));  // the first name's state is its own
}

TEST_F(TamblinJack, KeepsItsProgramsWhenTheServerFreezesOrGoesAsItStops) {
  const struct {
    const char* what;
    bool frozen;         // the server stops answering, then tamblin is asked to stop
    int status;
    const char* message;  // empty: any of the documented ones
  } cases[] = {
      {"frozen server", true, 1, "the JACK server did not let tamblin's client go within 2 s; the programs were saved to "},
      {"server stopped while tamblin is held up", false, -1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string problem;
    if (!server_.running()) {
      ASSERT_TRUE(server_.start(problem)) << problem;
    }
    if (!probe_) probe_ = std::make_unique<Probe>(kServer);
    ChildProcess& tamblin = startTamblin({"--no-gui", "--program", "9"});
    ASSERT_TRUE(probe_->connect(kName));
    if (c.frozen) {
      server_.freeze(true);
      tamblin.signal(SIGTERM);
      EXPECT_TRUE(tamblin.waitExit(8000ms));
      server_.freeze(false);
    } else {
      // tamblin is held up with a stop waiting for it; the server goes cleanly meanwhile.
      tamblin.signal(SIGSTOP);
      tamblin.signal(SIGTERM);
      server_.stop();
      tamblin.signal(SIGCONT);
      EXPECT_TRUE(tamblin.waitExit(8000ms));
    }
    if (c.status >= 0) {
      EXPECT_EQ(tamblin.exitCode(), c.status);
    }
    EXPECT_TRUE(tamblin.exitCode() == 0 || tamblin.exitCode() == 1) << "ended by signal " << tamblin.exitCode() - 128;
    EXPECT_LE(lineCount(tamblin.errors()), 1) << tamblin.errors();
    EXPECT_NE(tamblin.errors().find(c.message), std::string::npos) << tamblin.errors();
    ASSERT_TRUE(savedState().has_value());
    EXPECT_EQ(savedState()->currentProgram, 9);
    std::filesystem::remove(statePath());
    // The server's clients are of no use after this; it goes at once.
    server_.kill();
    probe_.reset();
  }
}

// The top-level window whose title is `title`, 0 while there is none.
::Window windowTitled(Display* display, const std::string& title) {
  ::Window root, parent, *children = nullptr, found = 0;
  unsigned count = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name != nullptr) {
      if (title == name) found = children[i];
      XFree(name);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

TEST_F(TamblinJack, ItsWindowIsTheEditorAndClosingItEndsTamblin) {
  XvfbServer xvfb;
  if (!xvfb.start((config_ / "xvfb-errors").string())) GTEST_SKIP() << "Xvfb is not installed or did not start";
  Display* display = nullptr;
  ASSERT_TRUE(waitFor([&] { return (display = XOpenDisplay(xvfb.display().c_str())) != nullptr; }));
  ChildProcess& tamblin = startTamblin({"--reset", "--program", "0"}, {{"DISPLAY", xvfb.display()}});
  ASSERT_TRUE(probe_->connect(kName));
  ::Window window = 0;
  ASSERT_TRUE(waitFor([&] { return (window = windowTitled(display, "Tamblin - DefaultString")) != 0; }));
  XWindowAttributes attributes;
  ASSERT_TRUE(waitFor([&] { return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable; }));
  // The editor as it always was at the top, the strip below it.
  EXPECT_EQ(attributes.width, 544);
  EXPECT_EQ(attributes.height, 536 + standalone::Strip::kHeight);
  {
    ::Window root, parent, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, window, &root, &parent, &children, &count);
    std::vector<std::array<int, 4>> places;
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes child;
      XGetWindowAttributes(display, children[i], &child);
      places.push_back({child.x, child.y, child.width, child.height});
    }
    if (children != nullptr) XFree(children);
    std::sort(places.begin(), places.end());
    EXPECT_EQ(places, (std::vector<std::array<int, 4>>{{0, 0, 544, 536}, {0, 536, 544, standalone::Strip::kHeight}}));
  }

  auto loudest = [&](std::vector<Probe::Message> messages) {
    const uint32_t start = probe_->now() + 4 * kPeriod;
    for (auto& m : messages) m.time += start;
    probe_->schedule(messages, start, kRate / 4);
    EXPECT_TRUE(probe_->finish());
    float peak = 0.0f;
    for (float v : probe_->left()) peak = std::max(peak, std::fabs(v));
    return peak;
  };
  auto pointer = [&](int x, int y) {
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, 0);
    XSync(display, False);
    std::this_thread::sleep_for(30ms);
  };
  auto click = [&](int x, int y) {
    pointer(x, y);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XSync(display, False);
  };
  auto key = [&](KeySym symbol, bool down) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, symbol), down, 0);
    XSync(display, False);
  };
  const auto strip = [](standalone::Strip::Button button) {
    Rect r = standalone::Strip::buttonRect(button);
    return Rect{r.left, r.top + 536, r.right, r.bottom + 536};
  };
  standalone::Player factory(kRate, 120.0);

  // The strip's next button selects program 1, its menu program 0 again.
  const Rect next = strip(standalone::Strip::Button::Next);
  click(next.left + 4, next.top + 4);
  EXPECT_TRUE(waitFor([&] { return windowTitled(display, "Tamblin - " + factory.programName(1)) != 0; }));
  const Rect name = strip(standalone::Strip::Button::Name);
  click(name.left + 10, name.top + 4);
  const Rect first = standalone::Strip::menuItemRect(0);
  click(first.left + 10, first.top + 536 + 4);
  EXPECT_TRUE(waitFor([&] { return windowTitled(display, "Tamblin - " + factory.programName(0)) != 0; }));

  // Nothing plays until a key is held: on the computer keyboard (with the pointer over the window, which
  // has the keyboard then) or on the keys below.
  pointer(300, 300);
  EXPECT_LT(loudest({}), 1e-6f);
  key(XK_a, true);
  key(XK_d, true);
  key(XK_g, true);
  std::this_thread::sleep_for(100ms);
  EXPECT_GT(loudest({}), 0.01f);
  // The picture of the window with the chord held, for the documentation.
  if (const char* picture = std::getenv("TAMBLIN_WINDOW_PICTURE")) {
    XImage* shot = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                             static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    ASSERT_NE(shot, nullptr);
    Image image(attributes.width, attributes.height);
    for (int y = 0; y < attributes.height; ++y)
      for (int x = 0; x < attributes.width; ++x) {
        const unsigned long v = XGetPixel(shot, x, y);
        image.setPixel(x, y, Color{static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
      }
    XDestroyImage(shot);
    EXPECT_TRUE(writePng(image, picture));
  }
  for (KeySym held : {XK_a, XK_d, XK_g}) key(held, false);
  std::this_thread::sleep_for(1500ms);  // the release dies away
  EXPECT_LT(loudest({}), 1e-3f);
  const Rect keys = standalone::Strip::keysArea();
  pointer(keys.left + 5, keys.bottom + 536 - 5);
  XTestFakeButtonEvent(display, 1, True, 0);
  XSync(display, False);
  std::this_thread::sleep_for(100ms);
  EXPECT_GT(loudest({}), 0.01f);
  XTestFakeButtonEvent(display, 1, False, 0);
  XSync(display, False);

  // A note held from the MIDI input is heard...
  EXPECT_GT(loudest({{0, {0x90, 60, 100}}}), 0.01f);
  // ...until the volume slider is dragged from its middle to below its bottom: then nothing is.
  const Rect volume = windowImages()[static_cast<size_t>(imageNamed("DVol"))].rect;
  pointer(volume.left + 20, volume.top + 70);
  XTestFakeButtonEvent(display, 1, True, 0);
  pointer(volume.left + 20, volume.bottom + 60);
  XTestFakeButtonEvent(display, 1, False, 0);
  XSync(display, False);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(loudest({}), 0.0f);

  // The window manager's close button ends tamblin, which keeps the change.
  XEvent close{};
  close.xclient.type = ClientMessage;
  close.xclient.window = window;
  close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  close.xclient.format = 32;
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  XSendEvent(display, window, False, NoEventMask, &close);
  XSync(display, False);
  EXPECT_TRUE(tamblin.waitExit(10000ms));
  EXPECT_EQ(tamblin.exitCode(), 0);
  EXPECT_EQ(tamblin.errors(), "");
  EXPECT_TRUE(probe_->clientGone(kName));
  ASSERT_TRUE(savedState().has_value());
  EXPECT_EQ(savedState()->programs[0].values[0], 0.0f);
  XCloseDisplay(display);
}

// The top-level window whose title begins with `prefix`, 0 while there is none.
::Window windowTitledFrom(Display* display, const std::string& prefix) {
  ::Window root, parent, *children = nullptr, found = 0;
  unsigned count = 0;
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name != nullptr) {
      if (std::string(name).rfind(prefix, 0) == 0) found = children[i];
      XFree(name);
    }
  }
  if (children != nullptr) XFree(children);
  return found;
}

TEST_F(TamblinJack, ItsWindowsFailuresEndItWithOneLineAndTheProgramsSaved) {
  enum class Blow { DestroyWindow, KillClient, KillServer };
  const struct {
    const char* what;
    Blow blow;
    const char* message;
  } cases[] = {
      {"window destroyed by another client", Blow::DestroyWindow,
       "tamblin: the window was destroyed by another X client; the programs were saved to "},
      {"connection killed as xkill does", Blow::KillClient,
       "tamblin: the connection to the X server was lost; the programs were saved to "},
      {"X server gone", Blow::KillServer, "tamblin: the connection to the X server was lost; the programs were saved to "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    XvfbServer xvfb;
    if (!xvfb.start((config_ / "xvfb-errors").string())) GTEST_SKIP() << "Xvfb is not installed or did not start";
    Display* display = nullptr;
    ASSERT_TRUE(waitFor([&] { return (display = XOpenDisplay(xvfb.display().c_str())) != nullptr; }));
    ChildProcess& tamblin = startTamblin({"--program", "11"}, {{"DISPLAY", xvfb.display()}});
    ASSERT_TRUE(probe_->connect(kName));
    ::Window window = 0;
    ASSERT_TRUE(waitFor([&] { return (window = windowTitledFrom(display, "Tamblin - ")) != 0; }));
    switch (c.blow) {
      case Blow::DestroyWindow:
        XDestroyWindow(display, window);
        break;
      case Blow::KillClient:
        XKillClient(display, window);
        break;
      case Blow::KillServer:
        break;
    }
    XSync(display, False);
    XCloseDisplay(display);
    if (c.blow == Blow::KillServer) xvfb.kill();
    ASSERT_TRUE(tamblin.waitExit(10000ms));
    EXPECT_EQ(tamblin.exitCode(), 1);
    EXPECT_EQ(lineCount(tamblin.errors()), 1) << tamblin.errors();
    EXPECT_EQ(tamblin.errors().rfind(c.message, 0), 0u) << tamblin.errors();
    ASSERT_TRUE(savedState().has_value());
    EXPECT_EQ(savedState()->currentProgram, 11);
    std::filesystem::remove(statePath());
    EXPECT_TRUE(probe_->clientGone(kName));
  }

  // A start that fails with a window asked for (as from the desktop menu, which has no terminal) says
  // so in a window as well; it ends when the message is dismissed.
  {
    XvfbServer xvfb;
    ASSERT_TRUE(xvfb.start((config_ / "xvfb-errors").string()));
    Display* display = nullptr;
    ASSERT_TRUE(waitFor([&] { return (display = XOpenDisplay(xvfb.display().c_str())) != nullptr; }));
    ChildProcess& lonely = startTamblin({"--server", kServer + "-none"}, {{"DISPLAY", xvfb.display()}}, false);
    ::Window message = 0;
    ASSERT_TRUE(waitFor([&] { return (message = windowTitled(display, "Tamblin")) != 0; }));
    EXPECT_TRUE(lonely.running());
    XWindowAttributes attributes;
    ASSERT_TRUE(waitFor([&] { return XGetWindowAttributes(display, message, &attributes) && attributes.map_state == IsViewable; }));
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(display, message, DefaultRootWindow(display), attributes.width / 2, attributes.height - 25,
                          &rootX, &rootY, &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, 0);
    XTestFakeButtonEvent(display, 1, True, 0);
    XTestFakeButtonEvent(display, 1, False, 0);
    XSync(display, False);
    ASSERT_TRUE(lonely.waitExit(5000ms));
    EXPECT_EQ(lonely.exitCode(), 1);
    EXPECT_EQ(lonely.errors(), "tamblin: no JACK server '" + kServer + "-none' is running (start one, for example with "
                               "qjackctl)\n");
    XCloseDisplay(display);
  }

  // A display the editor cannot draw on: the reason, and the way to go on without a window.
  XvfbServer shallow;
  if (!shallow.start((config_ / "xvfb-errors").string(), 16)) GTEST_SKIP() << "Xvfb did not start at depth 16";
  ChildProcess& refused = startTamblin({}, {{"DISPLAY", shallow.display()}});
  ASSERT_TRUE(refused.waitExit(10000ms));
  EXPECT_EQ(refused.exitCode(), 1);
  EXPECT_EQ(refused.errors(),
            "tamblin: the editor window could not be opened: the X display has no 24-bit TrueColor visual, which the "
            "editor draws with (--no-gui runs without a window)\n");
}

// Sends a note-on to the ALSA port of the client named `client`; false when there is none.
bool sendThroughAlsa(const std::string& client) {
  snd_seq_t* seq = nullptr;
  if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) return false;
  const int port = snd_seq_create_simple_port(seq, "out", SND_SEQ_PORT_CAP_READ, SND_SEQ_PORT_TYPE_APPLICATION);
  snd_seq_client_info_t* info;
  snd_seq_client_info_alloca(&info);
  snd_seq_client_info_set_client(info, -1);
  int target = -1;
  while (target < 0 && snd_seq_query_next_client(seq, info) >= 0)
    if (client == snd_seq_client_info_get_name(info)) target = snd_seq_client_info_get_client(info);
  bool sent = false;
  if (target >= 0 && snd_seq_connect_to(seq, port, target, 0) >= 0) {
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_source(&event, port);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    snd_seq_ev_set_noteon(&event, 0, 60, 100);
    sent = snd_seq_event_output_direct(seq, &event) >= 0;
  }
  snd_seq_close(seq);
  return sent;
}

TEST_F(TamblinJack, PlaysNotesFromTheAlsaSequencer) {
  if (access("/dev/snd/seq", R_OK | W_OK) != 0) {
    // Without a sequencer --alsa-midi is a warning, and JACK MIDI plays on.
    ChildProcess& tamblin = startTamblin({"--no-gui", "--reset", "--alsa-midi"});
    ASSERT_TRUE(probe_->connect(kName));
    const uint32_t start = probe_->now() + 4 * kPeriod;
    probe_->schedule({{start, {0x90, 60, 100}}}, start, kRate / 4);
    ASSERT_TRUE(probe_->finish());
    float peak = 0.0f;
    for (float v : probe_->left()) peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.01f);
    EXPECT_EQ(stopTamblin(tamblin), 0);
    EXPECT_EQ(tamblin.errors(), "tamblin: --alsa-midi: no ALSA sequencer (is the snd-seq module loaded?); playing on "
                                "with JACK MIDI only\n");
    GTEST_SKIP() << "no ALSA sequencer on this machine: only its absence was tried";
  }
  ChildProcess& tamblin = startTamblin({"--no-gui", "--reset", "--alsa-midi"});
  ASSERT_TRUE(probe_->connect(kName));
  const uint32_t start = probe_->now() + 4 * kPeriod;
  probe_->schedule({}, start, kRate / 2);
  ASSERT_TRUE(sendThroughAlsa(kName));
  ASSERT_TRUE(probe_->finish());
  float peak = 0.0f;
  for (float v : probe_->left()) peak = std::max(peak, std::fabs(v));
  EXPECT_GT(peak, 0.01f);
  EXPECT_EQ(stopTamblin(tamblin), 0);
  EXPECT_EQ(tamblin.errors(), "");
}

TEST(TamblinJackRate, ASampleRateOutsideTheEnginesRangeIsRefused) {
  if (!std::filesystem::exists("/usr/bin/jackd")) GTEST_SKIP() << "jackd is not installed";
  JackServer server(kServer, 4000, kPeriod);
  std::string problem;
  ASSERT_TRUE(server.start(problem)) << problem;
  ChildProcess tamblin;
  const std::string errors = std::filesystem::temp_directory_path() / ("tamblin-rate-" + std::to_string(getpid()));
  tamblin.start({TAMBLIN_PROGRAM, "--server", kServer, "--no-gui", "--reset"}, {{"XDG_CONFIG_HOME", "/nonexistent"}},
                errors);
  ASSERT_TRUE(tamblin.waitExit(10000ms));
  EXPECT_EQ(tamblin.exitCode(), 1);
  EXPECT_EQ(tamblin.errors(), "tamblin: JACK runs at 4000 Hz; tamblin plays at 8000 to 384000 Hz\n");
  // The server is stopped only once tamblin's client has left it.
  jack_client_t* watcher = openClient("tamblin-test-watch", kServer);
  ASSERT_NE(watcher, nullptr);
  EXPECT_TRUE(waitFor([&] { return jack_port_by_name(watcher, "tamblin:out_left") == nullptr; }));
  jack_client_close(watcher);
  std::filesystem::remove(errors);
}

}  // namespace
}  // namespace tamblin::test
