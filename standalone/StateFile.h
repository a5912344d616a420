// What tamblin keeps between runs: the current program and every program's name and values, as a
// small text file in the user's configuration folder.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "FactoryBank.h"
#include "ParameterTable.h"

namespace tamblin::standalone {

constexpr int kStateProgramCount = kFactoryProgramCount;
constexpr int kStateValueCount = kNumStoredValues;

struct StoredProgram {
  std::string name;
  std::array<float, kStateValueCount> values{};
  friend bool operator==(const StoredProgram&, const StoredProgram&) = default;
};

struct InstrumentState {
  int currentProgram = 0;
  std::array<StoredProgram, kStateProgramCount> programs;
  friend bool operator==(const InstrumentState&, const InstrumentState&) = default;
};

// The file's text. Values are written with enough digits to read back bit for bit.
std::string formatState(const InstrumentState& state);

// Reads a state text. Anything unexpected (another header, a missing or repeated program, a value that
// is not a number in 0..1, a stray line) makes the whole text unusable: the answer is empty and
// `problem` says what and where.
std::optional<InstrumentState> parseState(std::string_view text, std::string& problem);

// $XDG_CONFIG_HOME/tamblin/state, else $HOME/.config/tamblin/state; empty when neither is set.
std::string defaultStatePath();

enum class LoadOutcome { Missing, Loaded, Unusable };
// Reads the file at `path`; for Unusable, `problem` holds one line saying why.
LoadOutcome loadStateFile(const std::string& path, InstrumentState& state, std::string& problem);

// Writes the state beside `path` under a temporary name, flushes it to disk and renames it over `path`,
// so the file is either the old one or the whole new one. Makes the folder when it is missing.
bool saveStateFile(const std::string& path, const InstrumentState& state, std::string& problem);

}  // namespace tamblin::standalone
