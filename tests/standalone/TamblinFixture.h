// The fixture of the tests that run tamblin itself: a JACK server on the dummy backend and a probe of
// the test's own for each test, tamblin started and stopped as a desktop session does, and the engine
// rendered as tamblin starts it, to compare with what was recorded.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "JackTestSupport.h"
#include "Player.h"
#include "StateFile.h"

namespace tamblin::test {

using tamblin::InstrumentState;
using standalone::MidiEvent;
using standalone::Options;

// A server name of this test run's own, so that runs side by side on one machine never meet.
inline const std::string kServer = "tamblin-test-" + std::to_string(getpid());
inline constexpr int kRate = 48000;
inline constexpr int kPeriod = 256;

inline int lineCount(const std::string& text) {
  int count = 0;
  for (char c : text) count += c == '\n';
  return count;
}

// The fundamental of a stretch of sound, from the strongest autocorrelation between 50 and 2000 Hz.
inline double fundamental(const std::vector<float>& sound, size_t from, size_t to, double rate) {
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


}  // namespace tamblin::test
