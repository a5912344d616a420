// Programs: the factory bank, switching, names and the values a program keeps.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "support/Instrument.h"

using namespace tamblin;
using tamblin::test::InstrumentTest;

namespace {

struct BankEntry {
  const char* name;
  uint64_t valueHash;  // FNV-1a over the 101 values' bit patterns, little-endian
};

// Derived from the bank's published decimals converted to 32-bit floats, independently of the code.
constexpr BankEntry kBank[16] = {
    {"DefaultString", 0xd314be21f20629c1ull}, {"Swelling", 0x635ca596bb1889cfull},
    {"PWMLead", 0x24d895a4d6dee1c0ull},       {"SineOrgan", 0xf0a955b80e17142dull},
    {"WobBel", 0x69231829469b9721ull},        {"WahString", 0x1536e3d913e38cafull},
    {"Trance1A", 0x73a489de45521337ull},      {"LateVoice", 0x4621ef9d2a214eb8ull},
    {"Arped", 0x5e27925f2ea83953ull},         {"RingMod", 0xf91490e73c07d1f4ull},
    {"BadFlute", 0x210c2ffc8a1c6280ull},      {"CombPattern", 0x9a031cff0067ec1bull},
    {"VelBass", 0xa46bf48137cc60c6ull},       {"TremOrgan", 0xe74d78aa7cf149d0ull},
    {"Mysteron", 0x5b8fc0fb6a6eeb31ull},      {"SweelBrChord", 0xb80c527912280e38ull},
};

uint64_t hashValues(const APluginProgram& program) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (int i = 0; i < 101; ++i) {
    const float v = program.value(i);
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int b = 0; b < 4; ++b) {
      h ^= (bits >> (8 * b)) & 0xFFu;
      h *= 0x100000001b3ull;
    }
  }
  return h;
}

// A gate pattern as the engine reads it: 16 steps packed into the value.
int gateMask(float v) { return static_cast<int>(std::nearbyint(static_cast<double>(v * 65535.99f) - 0.4999999)); }

}  // namespace

TEST_F(InstrumentTest, FactoryBankHoldsEveryValueBitExact) {
  for (int p = 0; p < 16; ++p) {
    EXPECT_EQ(std::string(plugin->program(p).getName()), kBank[p].name) << p;
    EXPECT_EQ(hashValues(plugin->program(p)), kBank[p].valueHash) << kBank[p].name;
    // Indices nothing reads, and value 100, are 0 in every factory program.
    for (int i : {12, 13, 44, 48, 49, 50, 51, 52, 53, 54, 56, 59, 60, 70, 77, 81, 82, 87, 91, 99, 100})
      EXPECT_EQ(plugin->program(p).value(i), 0.0f) << p << ":" << i;
  }
  EXPECT_EQ(gateMask(plugin->program(6).value(92)), 0xAD56);
  EXPECT_EQ(gateMask(plugin->program(6).value(93)), 0xACAA);
  EXPECT_EQ(gateMask(plugin->program(11).value(92)), 0xAAAB);
  EXPECT_EQ(gateMask(plugin->program(11).value(93)), 0xECED);
  EXPECT_EQ(gateMask(plugin->program(13).value(92)), 0x8000);
  EXPECT_EQ(gateMask(plugin->program(13).value(93)), 0);
}

TEST_F(InstrumentTest, AfterConstructionProgramZeroIsCurrent) {
  EXPECT_EQ(request(effGetProgram), 0);
  EXPECT_EQ(text(effGetProgramName), "DefaultString");
  EXPECT_EQ(text(effGetProgramNameIndexed, 15), "SweelBrChord");
  EXPECT_EQ(parameter(kVolume), 0.75f);
  EXPECT_EQ(parameter(55), 1.0f);
}

TEST_F(InstrumentTest, ProgramNamesByIndexIgnoreTheCategory) {
  EXPECT_EQ(text(effGetProgramNameIndexed, 3, 7), "SineOrgan");
  EXPECT_EQ(request(effGetProgramNameIndexed, 16, 0, nullptr), 0);
  char buffer[32] = "untouched";
  EXPECT_EQ(request(effGetProgramNameIndexed, 16, 2, buffer), 0);
  EXPECT_EQ(request(effGetProgramNameIndexed, -1, 0, buffer), 0);
  EXPECT_STREQ(buffer, "untouched");
  EXPECT_EQ(request(effGetProgramNameIndexed, 3, 0, nullptr), 0);
}

TEST_F(InstrumentTest, ProgramChangeAppliesValuesAndAsksForTheSampleRate) {
  request(effSetProgram, 0, 8);
  EXPECT_EQ(request(effGetProgram), 8);
  EXPECT_EQ(text(effGetProgramName), "Arped");
  EXPECT_EQ(parameter(kPlayMode), 0.8361204f);
  EXPECT_EQ(parameter(47), 0.7734304f);
  EXPECT_EQ(parameter(kOsc12Attack), 0.0f);
  EXPECT_EQ(host.requestsWith(audioMasterGetSampleRate).size(), 1u);
  // Out-of-range programs ask for the rate and change nothing else.
  request(effSetProgram, 0, 16);
  plugin->setProgram(-1);
  plugin->setProgram(16);
  EXPECT_EQ(request(effGetProgram), 8);
  EXPECT_EQ(parameter(kPlayMode), 0.8361204f);
  EXPECT_EQ(host.requestsWith(audioMasterGetSampleRate).size(), 3u);
}

TEST_F(InstrumentTest, EditedValuesComeBackWithTheirProgram) {
  request(effSetProgram, 0, 1);
  setParameter(kFilterFrequency, 0.4f);
  request(effSetProgram, 0, 2);
  EXPECT_EQ(parameter(kFilterFrequency), 1.0f);
  request(effSetProgram, 0, 1);
  EXPECT_EQ(parameter(kFilterFrequency), 0.4f);
  EXPECT_EQ(plugin->program(1).value(31), 0.4f);
}

TEST_F(InstrumentTest, RenamingStoresAtMostSixtyThreeCharacters) {
  char lead[] = "Lead";
  request(effSetProgramName, 0, 0, lead);
  EXPECT_EQ(text(effGetProgramName), "Lead");
  EXPECT_EQ(text(effGetProgramNameIndexed, 0), "Lead");
  EXPECT_EQ(text(effGetProgramNameIndexed, 1), "Swelling");

  std::string longName(300, 'x');
  longName[62] = 'y';
  request(effSetProgramName, 0, 0, longName.data());
  const std::string stored = plugin->program(0).getName();
  EXPECT_EQ(stored.size(), 63u);
  EXPECT_EQ(stored.back(), 'y');
  request(effSetProgramName, 0, 0, nullptr);  // nothing to copy
  EXPECT_EQ(std::string(plugin->program(0).getName()), stored);
}

TEST_F(InstrumentTest, NamesWrittenToTheHostFitItsProgramNameBuffer) {
  std::string longName(63, 'n');
  request(effSetProgramName, 0, 0, longName.data());
  // Hosts size the buffer by the interface's 24 bytes: the copy stops there, zero included.
  char buffer[40];
  std::memset(buffer, '#', sizeof buffer);
  request(effGetProgramName, 0, 0, buffer);
  EXPECT_EQ(std::strlen(buffer), 23u);
  EXPECT_EQ(buffer[24], '#');
  std::memset(buffer, '#', sizeof buffer);
  request(effGetProgramNameIndexed, 0, 0, buffer);
  EXPECT_EQ(std::strlen(buffer), 23u);
  EXPECT_EQ(buffer[24], '#');
  EXPECT_EQ(request(effGetProgramName), 0);  // null buffer: nothing written
}
