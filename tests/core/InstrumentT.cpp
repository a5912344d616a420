// The format-free instrument as every format sees it: writes clamped and reported, programs selected
// whole or not at all, and a state that comes back bit for bit or is refused without a trace.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "FactoryBank.h"
#include "Instrument.h"

namespace tamblin {
namespace {

struct RecordingHost final : InstrumentHost {
  float hostTempo() override { return 120.0f; }
  void parameterChanged(int index, float value) override { changes.push_back({index, value}); }
  struct Change {
    int index;
    float value;
  };
  std::vector<Change> changes;
};

TEST(CoreInstrument, StartsInProgramZeroWithTheFactoryValues) {
  RecordingHost host;
  Instrument instrument(host);
  EXPECT_EQ(instrument.currentProgram(), 0);
  EXPECT_STREQ(instrument.program(0).getName(), kFactoryBank[0].name);
  EXPECT_STREQ(instrument.program(15).getName(), kFactoryBank[15].name);
  for (int i = 0; i < kNumStoredValues; ++i) EXPECT_EQ(instrument.parameter(i), factoryValue(kFactoryBank[0], i)) << i;
}

TEST(CoreInstrument, StoresClampedValuesInTheEngineAndTheProgramAndReportsThem) {
  struct Case {
    int index;
    float written;
    float stored;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const Case& c : {Case{kVolume, 0.25f, 0.25f}, Case{kVolume, 1.5f, 1.0f}, Case{kVolume, -1.0f, 0.0f},
                        Case{kVolume, nan, 0.0f}, Case{kNumStoredValues - 1, 0.5f, 0.5f}}) {
    RecordingHost host;
    Instrument instrument(host);
    instrument.selectProgram(3);
    host.changes.clear();
    instrument.setParameter(c.index, c.written);
    EXPECT_EQ(instrument.parameter(c.index), c.stored) << c.written;
    EXPECT_EQ(instrument.program(3).value(c.index), c.stored) << c.written;
    ASSERT_EQ(host.changes.size(), 1u);
    EXPECT_EQ(host.changes[0].index, c.index);
    EXPECT_EQ(host.changes[0].value, c.stored);
  }
  RecordingHost host;
  Instrument instrument(host);
  host.changes.clear();
  for (int index : {-1, kNumStoredValues, 1 << 30}) instrument.setParameter(index, 0.5f);
  EXPECT_TRUE(host.changes.empty());
}

TEST(CoreInstrument, SelectsAProgramWholeOrNotAtAll) {
  RecordingHost host;
  Instrument instrument(host);
  host.changes.clear();
  ASSERT_TRUE(instrument.selectProgram(9));
  EXPECT_EQ(host.changes.size(), static_cast<size_t>(kNumStoredValues));
  for (int i = 0; i < kNumStoredValues; ++i) EXPECT_EQ(instrument.parameter(i), factoryValue(kFactoryBank[9], i));
  host.changes.clear();
  for (int index : {-1, Instrument::kNumPrograms, 1000}) EXPECT_FALSE(instrument.selectProgram(index));
  EXPECT_EQ(instrument.currentProgram(), 9);
  EXPECT_TRUE(host.changes.empty());
}

TEST(CoreInstrument, StateComesBackBitForBitThroughItsText) {
  RecordingHost host;
  Instrument edited(host);
  edited.selectProgram(5);
  edited.setParameter(kFilterFrequency, std::nextafter(1.0f / 3.0f, 0.0f));
  edited.setParameter(kVolume, 1.0e-40f);  // a subnormal survives too
  edited.setProgramName(5, "My \\pad\x01 \xc3\xbc");
  edited.selectProgram(2);
  const std::string text = edited.saveState();

  RecordingHost otherHost;
  Instrument restored(otherHost);
  std::string problem;
  ASSERT_TRUE(restored.loadState(text, problem)) << problem;
  EXPECT_EQ(restored.state(), edited.state());
  EXPECT_EQ(restored.currentProgram(), 2);
  EXPECT_EQ(restored.saveState(), text);
}

TEST(CoreInstrument, ADamagedOrForeignStateChangesNothing) {
  RecordingHost host;
  Instrument source(host);
  const std::string good = source.saveState();
  const struct {
    std::string text;
    const char* why;
  } damaged[] = {
      {"", "empty"},
      {"tamblin-state 2\n" + good.substr(good.find('\n') + 1), "a later version"},
      {"\x89PNG\r\n", "another kind of data"},
      {good.substr(0, good.size() / 2), "cut short"},
      {good + "current 1\n", "a second current program"},
      {std::string(kMaxStateTextSize + 1, ' '), "far too long"},
  };
  for (const auto& c : damaged) {
    Instrument instrument(host);
    instrument.selectProgram(7);
    instrument.setProgramName(7, "Kept");
    const InstrumentState before = instrument.state();
    std::string problem;
    EXPECT_FALSE(instrument.loadState(c.text, problem)) << c.why;
    EXPECT_FALSE(problem.empty()) << c.why;
    EXPECT_EQ(instrument.state(), before) << c.why;
  }
}

TEST(CoreInstrument, ReadsValuesWrittenWithNineSignificantDigits) {
  RecordingHost host;
  Instrument instrument(host);
  std::string text = instrument.saveState();
  const std::string shortest = "values 0 ";
  const size_t at = text.find(shortest) + shortest.size();
  text.replace(at, text.find(' ', at) - at, "0.398499995");
  std::string problem;
  ASSERT_TRUE(instrument.loadState(text, problem)) << problem;
  EXPECT_EQ(instrument.program(0).value(0), 0.3985f);
}

}  // namespace
}  // namespace tamblin
