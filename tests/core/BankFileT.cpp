// VST 2 program and bank files: written and read back, files as hosts write them, and damaged or
// foreign files refused with their message and nothing applied.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "BankFile.h"
#include "Instrument.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A file put together byte by byte as a VST 2 host writes it, independently of the writer under test.
struct HostFile {
  Bytes bytes;
  HostFile& word(uint32_t w) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(w >> shift));
    return *this;
  }
  HostFile& text(const char* four) {
    bytes.insert(bytes.end(), four, four + 4);
    return *this;
  }
  HostFile& name(const std::string& n) {  // prgName[28]: the text, then zeros
    bytes.insert(bytes.end(), n.begin(), n.end());
    bytes.insert(bytes.end(), 28 - n.size(), 0);
    return *this;
  }
  HostFile& value(float v) { return word(std::bit_cast<uint32_t>(v)); }
};

// Program p's test value for parameter i: distinct and exact in binary.
float testValue(int p, int i) { return static_cast<float>((p * 100 + i) % 1024) / 1024.0f; }

Bytes hostProgram(int p, const std::string& name, uint32_t version = 1) {
  HostFile f;
  f.text("CcnK").word(448).text("FxCk").word(version).text("Tmbl").word(1).word(100).name(name);
  for (int i = 0; i < 100; ++i) f.value(testValue(p, i));
  return f.bytes;
}

Bytes hostBank(uint32_t version, int current) {
  HostFile f;
  f.text("CcnK").word(7444).text("FxBk").word(version).text("Tmbl").word(1).word(16);
  f.word(version == 2 ? static_cast<uint32_t>(current) : 0);
  f.bytes.insert(f.bytes.end(), 124, 0);
  for (int p = 0; p < 16; ++p) {
    const Bytes program = hostProgram(p, "Host " + std::to_string(p));
    f.bytes.insert(f.bytes.end(), program.begin(), program.end());
  }
  return f.bytes;
}

void putWord(Bytes& bytes, std::size_t offset, uint32_t w) {
  for (int b = 0; b < 4; ++b) bytes[offset + static_cast<std::size_t>(b)] = static_cast<uint8_t>(w >> (24 - 8 * b));
}
uint32_t fourCc(const char* t) { return std::bit_cast<uint32_t>(std::array<char, 4>{t[3], t[2], t[1], t[0]}); }

class NoHost : public tamblin::InstrumentHost {
 public:
  float hostTempo() override { return 0.0f; }
};

tamblin::InstrumentState distinctState() {
  tamblin::InstrumentState state;
  state.currentProgram = 5;
  for (int p = 0; p < 16; ++p) {
    auto& program = state.programs[static_cast<std::size_t>(p)];
    program.name = "Program " + std::to_string(p);
    for (int i = 0; i < 101; ++i) program.values[static_cast<std::size_t>(i)] = testValue(p, i);
  }
  return state;
}

}  // namespace

TEST(BankFile, WrittenBankAndProgramReadBackBitExactAndMatchHostBytes) {
  const tamblin::InstrumentState state = distinctState();
  const Bytes bank = tamblin::writeBank(state);
  EXPECT_EQ(bank.size(), tamblin::kBankFileSize);
  EXPECT_EQ(bank, [&] {
    Bytes host = hostBank(2, 5);
    for (int p = 0; p < 16; ++p) {  // our names instead of the host's
      const std::string n = "Program " + std::to_string(p);
      std::copy(n.begin(), n.end(), host.begin() + 156 + p * 456 + 28);
      std::fill(host.begin() + 156 + p * 456 + 28 + static_cast<long>(n.size()), host.begin() + 156 + p * 456 + 56, 0);
    }
    return host;
  }());
  std::string problem;
  const auto read = tamblin::readBank(bank, problem);
  ASSERT_TRUE(read) << problem;
  tamblin::InstrumentState back = state;
  for (auto& program : back.programs) program.values.fill(0.25f);  // all but value 100 must come back
  for (auto& program : back.programs) program.values[100] = state.programs[0].values[100];
  back.currentProgram = 0;
  tamblin::applyBank(*read, back);
  for (int p = 0; p < 16; ++p) {
    auto expected = state.programs[static_cast<std::size_t>(p)];
    expected.values[100] = state.programs[0].values[100];
    EXPECT_EQ(back.programs[static_cast<std::size_t>(p)], expected) << p;
  }
  EXPECT_EQ(back.currentProgram, 5);

  const Bytes preset = tamblin::writePreset(state.programs[3]);
  EXPECT_EQ(preset, [] {
    Bytes host = hostProgram(3, "Program 3");
    return host;
  }());
  const auto one = tamblin::readPreset(preset, problem);
  ASSERT_TRUE(one) << problem;
  EXPECT_EQ(one->name, "Program 3");
  for (int i = 0; i < 100; ++i) EXPECT_EQ(one->values[static_cast<std::size_t>(i)], testValue(3, i));
}

TEST(BankFile, NamesAreCutTo24BytesOnAWholeCharacterAndReadToTheFirstZero) {
  struct Case {
    std::string stored, written;
  };
  const Case cases[] = {
      {"Exactly twenty-four char", "Exactly twenty-four char"},
      {"A name of more than twenty-four characters", "A name of more than twen"},
      {"Twenty-two characters!\xc3\xa9x", "Twenty-two characters!\xc3\xa9"},  // é ends at byte 24
      {"Twenty-three characters\xc3\xa9", "Twenty-three characters"},       // é would straddle it
      {"", ""},
  };
  for (const Case& c : cases) {
    tamblin::StoredProgram program;
    program.name = c.stored;
    std::string problem;
    const auto read = tamblin::readPreset(tamblin::writePreset(program), problem);
    ASSERT_TRUE(read) << problem;
    EXPECT_EQ(read->name, c.written) << c.stored;
  }
  // Hosts may fill all 28 bytes, or leave bytes after the zero.
  Bytes full = hostProgram(0, "");
  const std::string n28 = "Twenty-eight characters long";
  std::copy(n28.begin(), n28.end(), full.begin() + 28);
  Bytes garbage = hostProgram(0, "Pad");
  garbage[28 + 5] = 'x';
  std::string problem;
  EXPECT_EQ(tamblin::readPreset(full, problem)->name, n28);
  EXPECT_EQ(tamblin::readPreset(garbage, problem)->name, "Pad");
}

TEST(BankFile, ReadsFilesAsHostsWriteThem) {
  std::string problem;
  const auto v1 = tamblin::readBank(hostBank(1, 0), problem);
  ASSERT_TRUE(v1) << problem;
  EXPECT_FALSE(v1->currentProgram);  // version 1 has none
  const auto v2 = tamblin::readBank(hostBank(2, 15), problem);
  ASSERT_TRUE(v2) << problem;
  EXPECT_EQ(v2->currentProgram, 15);
  EXPECT_EQ(v2->programs[7].name, "Host 7");
  EXPECT_EQ(v2->programs[7].values[31], testValue(7, 31));
  const auto program = tamblin::readPreset(hostProgram(2, "Lead", 2), problem);
  ASSERT_TRUE(program) << problem;
  EXPECT_EQ(program->name, "Lead");
}

TEST(BankFile, RefusesDamagedAndForeignFilesSayingWhy) {
  struct Case {
    const char* what;
    bool bank;
    std::size_t offset;  // a word replaced, or the file cut (kCut) or grown (kGrow)
    uint32_t word;
    const char* message;
  };
  constexpr std::size_t kCut = 1u << 30, kGrow = kCut + 1;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Case cases[] = {
      {"another plug-in's bank", true, 16, fourCc("Abcd"), "a bank of another instrument (ID 'Abcd'), not of Tamblin ('Tmbl')"},
      {"another plug-in's program", false, 16, fourCc("Ab\x01" "d"), "a program of another instrument (ID 'Ab\\x01d')"},
      {"a program inside of another's", true, 156 + 3 * 456 + 16, fourCc("Abcd"), "program 3: a program of another instrument (ID 'Abcd')"},
      {"not a chunk file", false, 0, fourCc("RIFF"), "not a VST 2 program or bank file: it does not begin with 'CcnK'"},
      {"bank chunk", true, 8, fourCc("FBCh"), "a bank saved as an opaque chunk ('FBCh')"},
      {"program chunk", false, 8, fourCc("FPCh"), "a program saved as an opaque chunk ('FPCh')"},
      {"bank for a program", false, 8, fourCc("FxBk"), "a bank of programs ('FxBk'), not one program"},
      {"program for a bank", true, 8, fourCc("FxCk"), "one program ('FxCk'), not a bank of programs"},
      {"unknown kind", true, 8, fourCc("Fxzz"), "its kind is 'Fxzz', not 'FxCk' or 'FxBk'"},
      {"version 3", true, 12, 3, "format version 3, where only 1 and 2 exist"},
      {"15 programs", true, 24, 15, "a bank of 15 programs, where Tamblin has 16"},
      {"99 parameters", false, 24, 99, "a program of 99 parameters, where Tamblin has 100"},
      {"99 parameters in program 15", true, 156 + 15 * 456 + 24, 99, "program 15: a program of 99 parameters"},
      {"bank byteSize", true, 4, 7452, "its size field says 7452 bytes follow it, where 7444 bytes do"},
      {"program byteSize", false, 4, 0, "its size field says 0 bytes follow it, where 448 bytes do"},
      {"byteSize in program 2", true, 156 + 2 * 456 + 4, 456, "program 2: its size field says 456 bytes"},
      {"current program 16", true, 28, 16, "its current program is 16, outside 0..15"},
      {"value above 1", false, 56 + 4 * 31, std::bit_cast<uint32_t>(1.5f), "parameter 31 (Filter Frequency) is 1.500000, outside 0..1"},
      {"negative value", true, 156 + 9 * 456 + 56, std::bit_cast<uint32_t>(-0.25f), "program 9: parameter 0 (Volume) is -0.250000"},
      {"NaN", false, 56 + 4 * 99, std::bit_cast<uint32_t>(nan), "parameter 99 (Spare 99) is not a number"},
      {"truncated bank", true, kCut, 7000, "truncated: 7000 bytes where a bank of 16 programs of 100 parameters takes 7452 bytes"},
      {"truncated program", false, kCut, 400, "truncated: 400 bytes where a program of 100 parameters takes 456 bytes"},
      {"a few bytes", false, kCut, 10, "too short to be a VST 2 program or bank file: 10 bytes"},
      {"empty", true, kCut, 0, "too short to be a VST 2 program or bank file: 0 bytes"},
      {"bytes after the end", true, kGrow, 4, "4 bytes after the end of a bank of 16 programs of 100 parameters"},
  };
  for (const Case& c : cases) {
    Bytes bytes = c.bank ? hostBank(2, 1) : hostProgram(0, "Damaged");
    if (c.offset == kCut)
      bytes.resize(c.word);
    else if (c.offset == kGrow)
      bytes.resize(bytes.size() + c.word, 0);
    else
      putWord(bytes, c.offset, c.word);
    std::string problem;
    const bool read = c.bank ? tamblin::readBank(bytes, problem).has_value() : tamblin::readPreset(bytes, problem).has_value();
    EXPECT_FALSE(read) << c.what;
    EXPECT_NE(problem.find(c.message), std::string::npos) << c.what << ": " << problem;
  }
}

TEST(BankFile, InstrumentTakesABankAndAProgramKeepingValue100) {
  NoHost host;
  tamblin::Instrument instrument(host);
  instrument.setParameter(100, 0.5f);  // program 0's value 100
  std::string problem;
  const auto bank = tamblin::readBank(hostBank(2, 4), problem);
  ASSERT_TRUE(bank) << problem;
  instrument.loadBank(*bank);
  EXPECT_EQ(instrument.currentProgram(), 4);
  EXPECT_STREQ(instrument.program(9).getName(), "Host 9");
  EXPECT_EQ(instrument.parameter(31), testValue(4, 31));
  EXPECT_EQ(instrument.program(0).value(100), 0.5f);
  EXPECT_EQ(instrument.program(0).value(99), testValue(0, 99));

  const auto preset = tamblin::readPreset(hostProgram(12, "One"), problem);
  ASSERT_TRUE(preset) << problem;
  instrument.loadPreset(*preset);
  EXPECT_EQ(instrument.currentProgram(), 4);
  EXPECT_STREQ(instrument.program(4).getName(), "One");
  for (int i = 0; i < 100; ++i) EXPECT_EQ(instrument.parameter(i), testValue(12, i)) << i;
  EXPECT_STREQ(instrument.program(5).getName(), "Host 5");
}
