// VST 2 program files (.fxp) and bank files (.fxb) of parameter lists: Tamblin's programs written as
// a VST 2 host writes them, and such files read strictly.
//
// Both forms are big-endian. A program ('FxCk', 456 bytes):
//
//   'CcnK'  byteSize (bytes after this field: 448)  'FxCk'  version (1 or 2)  fxID 'Tmbl'  fxVersion
//   numParams (100)  prgName[28] (zero-terminated, zero-filled)  100 floats, each 0..1
//
// A bank ('FxBk', 7452 bytes):
//
//   'CcnK'  byteSize (7444)  'FxBk'  version (1 or 2)  fxID 'Tmbl'  fxVersion  numPrograms (16)
//   future[128] (version 2: the current program, 0..15, in its first four bytes; the rest zero)
//   16 program records, each a whole program as above
//
// The opaque chunk forms ('FPCh', 'FBCh') are refused: Tamblin's VST 2 library keeps its programs as
// parameter lists, so no host ever saves a chunk of it.
//
// Names: the file has 28 bytes; VST 2 hosts write at most 24 characters and a zero, and so does
// writePreset/writeBank (a longer name is cut there, never inside a UTF-8 character). A reader takes
// the bytes up to the first zero (all 28 when there is none).
//
// Value 100: programs store a value 100 that no VST 2 file carries (hosts see 100 parameters). A file
// applied to a program leaves that program's value 100 as it is, exactly as a host restoring the file
// through the VST 2 interface (setParameter for 0..99) does; nothing reads it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ParameterTable.h"
#include "State.h"

namespace tamblin {

// The VST 2 identity Tamblin's library reports, and the fxVersion it writes.
constexpr uint32_t kFxId = 0x546d626cu;  // 'Tmbl'
constexpr int32_t kFxVersion = 1;

constexpr int kFileProgramCount = kStateProgramCount;  // 16
constexpr int kFileParamCount = kNumParams;            // 100
constexpr std::size_t kFileNameSize = 28;              // prgName
constexpr std::size_t kFileNameLength = 24;            // the characters a writer keeps
constexpr std::size_t kPresetFileSize = 56 + 4 * kFileParamCount;                        // 456
constexpr std::size_t kBankFileSize = 28 + 128 + kFileProgramCount * kPresetFileSize;  // 7452

// One program as a file holds it: the name and parameters 0..99.
struct ProgramPreset {
  std::string name;
  std::array<float, kFileParamCount> values{};
  friend bool operator==(const ProgramPreset&, const ProgramPreset&) = default;
};

// A bank as a file holds it; currentProgram is empty for a version 1 bank, which has none.
struct ProgramBank {
  std::optional<int> currentProgram;
  std::array<ProgramPreset, kFileProgramCount> programs;
  friend bool operator==(const ProgramBank&, const ProgramBank&) = default;
};

// Reads a program file. Anything but a whole Tamblin program of parameters gives nothing, and
// `problem` says what is wrong in one sentence without a file name ("a program of another
// instrument (ID 'Abcd')").
std::optional<ProgramPreset> readPreset(std::span<const uint8_t> bytes, std::string& problem);
// Reads a bank file, as strictly.
std::optional<ProgramBank> readBank(std::span<const uint8_t> bytes, std::string& problem);

// A program file (version 1) of a program's name and values 0..99.
std::vector<uint8_t> writePreset(const StoredProgram& program);
// A bank file (version 2, with the current program) of a whole state.
std::vector<uint8_t> writeBank(const InstrumentState& state);

// A file's program put into a stored program: its name and values 0..99; value 100 stays.
void applyPreset(const ProgramPreset& preset, StoredProgram& program);
// A file's bank put into a state: every program as applyPreset, and the bank's current program where
// it has one (else the state's stays).
void applyBank(const ProgramBank& bank, InstrumentState& state);

}  // namespace tamblin
