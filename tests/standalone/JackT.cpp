// tamblin against a real JACK server on the dummy backend: notes played into its MIDI port come out
// on their frames, sample for sample as the engine renders them; its programs survive a restart; each
// failure ends it with one message; and its window, clicked under Xvfb, changes what is heard.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>

#include "Instrument.h"
#include "JackTestSupport.h"
#include "Layout.h"
#include "StateFile.h"

#include <alsa/asoundlib.h>

// Xlib's macros come after every other header.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "support/XvfbServer.h"

namespace tamblin::test {
namespace {

using standalone::InstrumentState;
using standalone::MidiEvent;
using standalone::Options;

// One fixed server name (and one for the odd sample rate), reused by every run of these tests.
const std::string kServer = "tamblin-test";
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

  ChildProcess& startTamblin(std::vector<std::string> arguments, std::map<std::string, std::string> environment = {}) {
    arguments.insert(arguments.begin(), {TAMBLIN_PROGRAM, "--server", kServer});
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
    standalone::Instrument instrument(kRate, options.tempo);
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
  options.parameters = {{kStereoAmount, 0.0f}};  // no stereo delay: both channels carry the plain voice sum
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
  EXPECT_EQ(saved->programs[5].values[kFilterFrequency], 0.25f);
  EXPECT_FALSE(std::filesystem::exists(statePath() + ".tmp." + std::to_string(first.pid())));

  // Second run: no options; it sounds as the engine does with the saved state restored.
  ChildProcess& second = startTamblin({"--no-gui"});
  playAndCompare({{500, {0x90, 64, 100}}, {9000, {0x80, 64, 0}}}, 12000, saved, Options{});
  EXPECT_EQ(stopTamblin(second), 0);
  EXPECT_EQ(second.errors(), "");

  // --reset starts from the factory programs, whatever was saved.
  ChildProcess& fresh = startTamblin({"--no-gui", "--reset"});
  ASSERT_TRUE(probe_->connect(kName));
  EXPECT_EQ(stopTamblin(fresh), 0) << fresh.errors();
  ASSERT_TRUE(savedState().has_value());
  EXPECT_EQ(savedState()->currentProgram, 0);
  EXPECT_NE(savedState()->programs[5].values[kFilterFrequency], 0.25f);

  // A damaged file is reported in one line and ignored; it is kept aside and a whole one written.
  for (const char* damage : {"tamblin-state 1\ncurrent 99\n", "<?xml version=\"1.0\"?>\n"}) {
    std::ofstream(statePath()) << damage;
    ChildProcess& third = startTamblin({"--no-gui"});
    ASSERT_TRUE(probe_->connect(kName));
    EXPECT_EQ(stopTamblin(third), 0);
    EXPECT_EQ(lineCount(third.errors()), 1) << third.errors();
    EXPECT_NE(third.errors().find("ignoring the saved state"), std::string::npos) << third.errors();
    std::ifstream kept(statePath() + ".damaged");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), damage);
    ASSERT_TRUE(savedState().has_value());
    EXPECT_EQ(savedState()->currentProgram, 0);  // the factory bank's
  }
}

TEST_F(TamblinJack, EachFailureEndsWithOneMessage) {
  auto endsWithOneMessage = [](ChildProcess& tamblin, std::chrono::milliseconds limit,
                               const std::string& what) {
    ASSERT_TRUE(tamblin.waitExit(limit)) << what;
    EXPECT_EQ(tamblin.exitCode(), 1) << what;
    EXPECT_EQ(lineCount(tamblin.errors()), 1) << what;
    EXPECT_NE(tamblin.errors().find(what), std::string::npos) << tamblin.errors();
  };
  // No server of that name.
  endsWithOneMessage(startTamblin({"--no-gui", "--server", "tamblin-test-none"}), 10000ms,
                     "no JACK server 'tamblin-test-none' is running");
  // A busy client name: the second tamblin of the same name stops, the first plays on.
  ChildProcess& first = startTamblin({"--no-gui"});
  ASSERT_TRUE(probe_->connect(kName));
  endsWithOneMessage(startTamblin({"--no-gui"}), 10000ms, "client name 'tamblin' is already taken");
  EXPECT_TRUE(first.running());

  // The server goes away under it: tamblin says so, saves the programs and ends.
  server_.kill();
  probe_.reset();
  endsWithOneMessage(first, 15000ms, "the JACK server went away; the programs were saved");
  EXPECT_TRUE(savedState().has_value());
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
  XvfbProcess xvfb;
  if (!xvfb.start((config_ / "xvfb-errors").string())) GTEST_SKIP() << "Xvfb is not installed or did not start";
  Display* display = nullptr;
  ASSERT_TRUE(waitFor([&] { return (display = XOpenDisplay(xvfb.display().c_str())) != nullptr; }));
  ChildProcess& tamblin = startTamblin({"--reset", "--program", "0"}, {{"DISPLAY", xvfb.display()}});
  ASSERT_TRUE(probe_->connect(kName));
  ::Window window = 0;
  ASSERT_TRUE(waitFor([&] { return (window = windowTitled(display, "Tamblin - DefaultString")) != 0; }));
  XWindowAttributes attributes;
  ASSERT_TRUE(waitFor([&] { return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable; }));
  EXPECT_EQ(attributes.width, 544);
  EXPECT_EQ(attributes.height, 536);

  // A held note is heard...
  auto loudest = [&](std::vector<Probe::Message> messages) {
    const uint32_t start = probe_->now() + 4 * kPeriod;
    for (auto& m : messages) m.time += start;
    probe_->schedule(messages, start, kRate / 4);
    EXPECT_TRUE(probe_->finish());
    float peak = 0.0f;
    for (float v : probe_->left()) peak = std::max(peak, std::fabs(v));
    return peak;
  };
  EXPECT_GT(loudest({{0, {0x90, 60, 100}}}), 0.01f);
  // ...until the volume slider is dragged from its middle to below its bottom: then nothing is.
  const Rect volume = windowImages()[static_cast<size_t>(imageNamed("DVol"))].rect;
  auto pointer = [&](int x, int y) {
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), rootX, rootY, 0);
    XSync(display, False);
    std::this_thread::sleep_for(30ms);
  };
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
  EXPECT_EQ(savedState()->programs[0].values[kVolume], 0.0f);
  XCloseDisplay(display);
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
  if (access("/dev/snd/seq", R_OK | W_OK) != 0) GTEST_SKIP() << "no ALSA sequencer on this machine";
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
