// The instrument's state: the current program and all sixteen programs' names and values, and the one
// text form every format saves it in (a plug-in's saved state, tamblin's state file).
//
// The text is 7-bit ASCII, lines ending in '\n', in this order:
//
//   tamblin-state 1                      the header: the form and its version
//   current 3                            the current program, 0..15
//   name 0 Init\x20Pad                   per program 0..15: its name as one word, where every byte that
//   values 0 0.75 0 0.5 ... (101 numbers) is not printable ASCII, a space or a backslash is \xHH; then its
//   ...                                  101 values, each in 0..1, in the shortest decimal form that
//                                        reads back to the same 32-bit float (C locale whatever the
//                                        process's locale)
//
// A reader takes only this: another header or version, a missing, repeated or unknown line, a value
// that is not a number in 0..1 or a name longer than 63 bytes makes the whole text unusable, and
// nothing of it is applied. Blank lines are allowed.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "FactoryBank.h"
#include "ParameterTable.h"

namespace tamblin {

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

// The state's text.
std::string formatState(const InstrumentState& state);

// Reads a state text. Anything unexpected makes the whole text unusable: the answer is empty and
// `problem` says what and where.
std::optional<InstrumentState> parseState(std::string_view text, std::string& problem);

// The largest text a state can be: anything longer is not one.
constexpr std::size_t kMaxStateTextSize = 256 * 1024;

}  // namespace tamblin
