// tamblin against a real JACK server on the dummy backend: notes played into its MIDI port come out
// on their frames, sample for sample as the engine renders them; its programs survive a restart and
// every fault of the server; each failure ends it with one message.
#include <sys/stat.h>

#include "BankFile.h"
#include "TamblinFixture.h"

#include <alsa/asoundlib.h>

namespace tamblin::test {
namespace {

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
  enum class Fault { FrozenAsItStops, GoneWhileHeldUp, FrozenAsItStarts };
  const struct {
    const char* what;
    Fault fault;
    int status;           // -1: 0 or 1, whichever the server's going gave
    const char* message;  // empty: any of the documented ones
    bool saved;
  } cases[] = {
      {"frozen server", Fault::FrozenAsItStops, 1,
       "the JACK server did not let tamblin's client go within 2 s; the programs were saved to ", true},
      {"server stopped while tamblin is held up", Fault::GoneWhileHeldUp, -1, "", true},
      {"frozen server at the start", Fault::FrozenAsItStarts, 1,
       "tamblin: asked to stop while the JACK server did not answer for 2 s; nothing was changed\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string problem;
    if (!server_.running()) {
      ASSERT_TRUE(server_.start(problem)) << problem;
    }
    if (!probe_) probe_ = std::make_unique<Probe>(kServer);
    if (c.fault == Fault::FrozenAsItStarts) server_.freeze(true);
    ChildProcess& tamblin = startTamblin({"--no-gui", "--program", "9"});
    switch (c.fault) {
      case Fault::FrozenAsItStops:
        ASSERT_TRUE(probe_->connect(kName));
        server_.freeze(true);
        tamblin.signal(SIGTERM);
        EXPECT_TRUE(tamblin.waitExit(8000ms));
        server_.freeze(false);
        break;
      case Fault::GoneWhileHeldUp:
        // tamblin is held up with a stop waiting for it; the server goes cleanly meanwhile.
        ASSERT_TRUE(probe_->connect(kName));
        tamblin.signal(SIGSTOP);
        tamblin.signal(SIGTERM);
        server_.stop();
        tamblin.signal(SIGCONT);
        EXPECT_TRUE(tamblin.waitExit(8000ms));
        break;
      case Fault::FrozenAsItStarts:
        std::this_thread::sleep_for(500ms);
        tamblin.signal(SIGTERM);
        EXPECT_TRUE(tamblin.waitExit(8000ms));
        server_.freeze(false);
        break;
    }
    if (c.status >= 0) {
      EXPECT_EQ(tamblin.exitCode(), c.status);
    }
    EXPECT_TRUE(tamblin.exitCode() == 0 || tamblin.exitCode() == 1) << "ended by signal " << tamblin.exitCode() - 128;
    EXPECT_LE(lineCount(tamblin.errors()), 1) << tamblin.errors();
    EXPECT_NE(tamblin.errors().find(c.message), std::string::npos) << tamblin.errors();
    EXPECT_EQ(savedState().has_value(), c.saved);
    if (c.saved) {
      EXPECT_EQ(savedState()->currentProgram, 9);
    }
    std::filesystem::remove(statePath());
    // The server's clients are of no use after this; it goes at once.
    server_.kill();
    probe_.reset();
  }
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
