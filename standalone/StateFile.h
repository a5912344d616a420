// What tamblin keeps between runs: the instrument's state in its text form, as a small file in the
// user's configuration folder.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "State.h"

namespace tamblin::standalone {

// $XDG_CONFIG_HOME/tamblin/state, else $HOME/.config/tamblin/state; empty when neither is set.
std::string defaultStatePath();

enum class LoadOutcome { Missing, Loaded, Unusable };
// Reads the file at `path`; for Unusable, `problem` holds one line saying why.
LoadOutcome loadStateFile(const std::string& path, InstrumentState& state, std::string& problem);

// Writes the state beside `path` under a temporary name, flushes it to disk and renames it over `path`,
// so the file is either the old one or the whole new one. Makes the folder when it is missing.
bool saveStateFile(const std::string& path, const InstrumentState& state, std::string& problem);

}  // namespace tamblin::standalone
