// VST 2 program and bank files of parameter lists: the big-endian reader and writer.
#include "BankFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace tamblin {

namespace {

constexpr uint32_t fourCc(const char (&text)[5]) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(text[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 8) | static_cast<uint32_t>(static_cast<uint8_t>(text[3]));
}

constexpr uint32_t kChunkMagic = fourCc("CcnK");
constexpr uint32_t kProgramMagic = fourCc("FxCk");
constexpr uint32_t kBankMagic = fourCc("FxBk");
constexpr uint32_t kProgramChunkMagic = fourCc("FPCh");
constexpr uint32_t kBankChunkMagic = fourCc("FBCh");
static_assert(fourCc("Tmbl") == kFxId);

// Offsets inside a program record and a bank header.
constexpr std::size_t kCountOffset = 24;   // numParams, numPrograms
constexpr std::size_t kNameOffset = 28;    // prgName
constexpr std::size_t kValuesOffset = 56;  // params
constexpr std::size_t kFutureOffset = 28;  // a bank's future area
constexpr std::size_t kBankHeaderSize = 156;
static_assert(kValuesOffset == kNameOffset + kFileNameSize);
static_assert(kBankFileSize == kBankHeaderSize + kFileProgramCount * kPresetFileSize);

uint32_t readWord(std::span<const uint8_t> bytes, std::size_t offset) {
  return (static_cast<uint32_t>(bytes[offset]) << 24) | (static_cast<uint32_t>(bytes[offset + 1]) << 16) |
         (static_cast<uint32_t>(bytes[offset + 2]) << 8) | static_cast<uint32_t>(bytes[offset + 3]);
}
int64_t readSigned(std::span<const uint8_t> bytes, std::size_t offset) {
  return static_cast<int32_t>(readWord(bytes, offset));
}

void appendWord(std::vector<uint8_t>& out, uint32_t word) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(word >> shift));
}

// Four identity bytes as a reader sees them: printable ASCII as is, anything else as \xHH.
std::string fourCcText(uint32_t word) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "'";
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<uint8_t>(word >> shift);
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      text += static_cast<char>(c);
    } else {
      text += "\\x";
      text += kHex[c >> 4];
      text += kHex[c & 15];
    }
  }
  return text + "'";
}

std::string sizeText(std::size_t bytes) { return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes"); }

enum class Kind { Program, Bank };

// The first 28 bytes every form shares (the bank's numPrograms or the program's numParams last):
// magic, kind, version and identity. `what` names the record in messages ("" for the file itself).
bool checkHeader(std::span<const uint8_t> bytes, Kind kind, const std::string& what, std::string& problem) {
  if (bytes.size() < 28) {
    problem = what + "too short to be a VST 2 program or bank file: " + sizeText(bytes.size());
    return false;
  }
  if (readWord(bytes, 0) != kChunkMagic) {
    problem = what + "not a VST 2 program or bank file: it does not begin with 'CcnK'";
    return false;
  }
  const uint32_t magic = readWord(bytes, 8);
  if (magic == kProgramChunkMagic || magic == kBankChunkMagic) {
    problem = what + "a " + (magic == kBankChunkMagic ? "bank" : "program") +
              " saved as an opaque chunk (" + fourCcText(magic) +
              "); Tamblin's programs are parameter lists ('FxCk', 'FxBk') and it reads only those";
    return false;
  }
  if (magic == kBankMagic && kind == Kind::Program) {
    problem = what + "a bank of programs ('FxBk'), not one program";
    return false;
  }
  if (magic == kProgramMagic && kind == Kind::Bank) {
    problem = what + "one program ('FxCk'), not a bank of programs";
    return false;
  }
  if (magic != kProgramMagic && magic != kBankMagic) {
    problem = what + "not a VST 2 program or bank: its kind is " + fourCcText(magic) + ", not 'FxCk' or 'FxBk'";
    return false;
  }
  if (const int64_t version = readSigned(bytes, 12); version != 1 && version != 2) {
    problem = what + "format version " + std::to_string(version) + ", where only 1 and 2 exist";
    return false;
  }
  if (const uint32_t id = readWord(bytes, 16); id != kFxId) {
    problem = what + (kind == Kind::Program ? "a program" : "a bank") + " of another instrument (ID " +
              fourCcText(id) + "), not of Tamblin ('Tmbl')";
    return false;
  }
  return true;
}

// The size field against the record's size; a file's length against it is checked by the caller.
bool checkByteSize(std::span<const uint8_t> bytes, std::size_t recordSize, const std::string& what,
                   std::string& problem) {
  const uint32_t byteSize = readWord(bytes, 4);
  if (byteSize != recordSize - 8) {
    problem = what + "its size field says " + sizeText(byteSize) + " follow it, where " + sizeText(recordSize - 8) +
              " do";
    return false;
  }
  return true;
}

std::string nameFrom(std::span<const uint8_t> bytes, std::size_t offset) {
  std::size_t length = 0;
  while (length < kFileNameSize && bytes[offset + length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(bytes.data() + offset), length);
}

// One program record of exactly kPresetFileSize bytes (the caller has checked there are that many).
bool readProgram(std::span<const uint8_t> bytes, const std::string& what, ProgramPreset& preset, std::string& problem) {
  if (!checkHeader(bytes, Kind::Program, what, problem)) return false;
  if (const int64_t count = readSigned(bytes, kCountOffset); count != kFileParamCount) {
    problem = what + "a program of " + std::to_string(count) + " parameters, where Tamblin has " +
              std::to_string(kFileParamCount);
    return false;
  }
  if (!checkByteSize(bytes, kPresetFileSize, what, problem)) return false;
  preset.name = nameFrom(bytes, kNameOffset);
  for (int i = 0; i < kFileParamCount; ++i) {
    const float v = std::bit_cast<float>(readWord(bytes, kValuesOffset + 4 * static_cast<std::size_t>(i)));
    if (!(v >= 0.0f && v <= 1.0f)) {
      problem = what + "parameter " + std::to_string(i) + " (" + parameterTitle(i) + ") is " +
                (std::isnan(v) ? std::string("not a number") : std::to_string(v) + ", outside 0..1");
      return false;
    }
    preset.values[static_cast<std::size_t>(i)] = v;
  }
  return true;
}

// The file's length against what its counts need, once the header is known to be ours.
bool checkLength(std::span<const uint8_t> bytes, std::size_t needed, const char* what, std::string& problem) {
  if (bytes.size() < needed) {
    problem = "truncated: " + sizeText(bytes.size()) + " where " + what + " takes " + sizeText(needed);
    return false;
  }
  if (bytes.size() > needed) {
    problem = sizeText(bytes.size() - needed) + " after the end of " + what + " (" + sizeText(needed) + ")";
    return false;
  }
  return true;
}

// At most kFileNameLength bytes of a name, never cutting a UTF-8 sequence.
std::string fileName(const std::string& name) {
  std::size_t length = std::min(name.size(), kFileNameLength);
  if (length < name.size())
    while (length > 0 && (static_cast<uint8_t>(name[length]) & 0xC0) == 0x80) --length;
  const std::size_t zero = name.find('\0');
  return name.substr(0, std::min(length, zero));
}

float fileValue(float v) { return v >= 0.0f && v <= 1.0f ? v : (v > 1.0f ? 1.0f : 0.0f); }

void appendProgram(std::vector<uint8_t>& out, const StoredProgram& program, uint32_t version) {
  appendWord(out, kChunkMagic);
  appendWord(out, static_cast<uint32_t>(kPresetFileSize - 8));
  appendWord(out, kProgramMagic);
  appendWord(out, version);
  appendWord(out, kFxId);
  appendWord(out, static_cast<uint32_t>(kFxVersion));
  appendWord(out, static_cast<uint32_t>(kFileParamCount));
  const std::string name = fileName(program.name);
  out.insert(out.end(), name.begin(), name.end());
  out.insert(out.end(), kFileNameSize - name.size(), 0);
  for (int i = 0; i < kFileParamCount; ++i)
    appendWord(out, std::bit_cast<uint32_t>(fileValue(program.values[static_cast<std::size_t>(i)])));
}

}  // namespace

std::optional<ProgramPreset> readPreset(std::span<const uint8_t> bytes, std::string& problem) {
  if (!checkHeader(bytes, Kind::Program, "", problem)) return std::nullopt;
  if (const int64_t count = readSigned(bytes, kCountOffset); count != kFileParamCount) {
    problem = "a program of " + std::to_string(count) + " parameters, where Tamblin has " +
              std::to_string(kFileParamCount);
    return std::nullopt;
  }
  if (!checkLength(bytes, kPresetFileSize, "a program of 100 parameters", problem)) return std::nullopt;
  ProgramPreset preset;
  if (!readProgram(bytes, "", preset, problem)) return std::nullopt;
  return preset;
}

std::optional<ProgramBank> readBank(std::span<const uint8_t> bytes, std::string& problem) {
  if (!checkHeader(bytes, Kind::Bank, "", problem)) return std::nullopt;
  if (const int64_t count = readSigned(bytes, kCountOffset); count != kFileProgramCount) {
    problem = "a bank of " + std::to_string(count) + " programs, where Tamblin has " + std::to_string(kFileProgramCount);
    return std::nullopt;
  }
  if (!checkLength(bytes, kBankFileSize, "a bank of 16 programs of 100 parameters", problem)) return std::nullopt;
  if (!checkByteSize(bytes, kBankFileSize, "", problem)) return std::nullopt;
  ProgramBank bank;
  if (readSigned(bytes, 12) == 2) {
    const int64_t current = readSigned(bytes, kFutureOffset);
    if (current < 0 || current >= kFileProgramCount) {
      problem = "its current program is " + std::to_string(current) + ", outside 0..15";
      return std::nullopt;
    }
    bank.currentProgram = static_cast<int>(current);
  }
  for (int p = 0; p < kFileProgramCount; ++p) {
    const std::string what = "program " + std::to_string(p) + ": ";
    const auto record = bytes.subspan(kBankHeaderSize + static_cast<std::size_t>(p) * kPresetFileSize, kPresetFileSize);
    if (!readProgram(record, what, bank.programs[static_cast<std::size_t>(p)], problem)) return std::nullopt;
  }
  return bank;
}

std::vector<uint8_t> writePreset(const StoredProgram& program) {
  std::vector<uint8_t> out;
  out.reserve(kPresetFileSize);
  appendProgram(out, program, 1);
  return out;
}

std::vector<uint8_t> writeBank(const InstrumentState& state) {
  std::vector<uint8_t> out;
  out.reserve(kBankFileSize);
  appendWord(out, kChunkMagic);
  appendWord(out, static_cast<uint32_t>(kBankFileSize - 8));
  appendWord(out, kBankMagic);
  appendWord(out, 2);
  appendWord(out, kFxId);
  appendWord(out, static_cast<uint32_t>(kFxVersion));
  appendWord(out, static_cast<uint32_t>(kFileProgramCount));
  const int current = state.currentProgram >= 0 && state.currentProgram < kFileProgramCount ? state.currentProgram : 0;
  appendWord(out, static_cast<uint32_t>(current));
  out.insert(out.end(), kBankHeaderSize - kFutureOffset - 4, 0);
  for (const StoredProgram& program : state.programs) appendProgram(out, program, 1);
  return out;
}

void applyPreset(const ProgramPreset& preset, StoredProgram& program) {
  program.name = preset.name;
  std::copy(preset.values.begin(), preset.values.end(), program.values.begin());
}

void applyBank(const ProgramBank& bank, InstrumentState& state) {
  for (std::size_t p = 0; p < bank.programs.size(); ++p) applyPreset(bank.programs[p], state.programs[p]);
  if (bank.currentProgram) state.currentProgram = *bank.currentProgram;
}

}  // namespace tamblin
