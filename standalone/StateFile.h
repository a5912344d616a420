// What tamblin keeps between runs: the instrument's state in its text form, one small file per JACK
// client name in the user's configuration folder, written under a lock so that instances sharing a
// file merge their edits instead of replacing each other's.
#pragma once

#include <optional>
#include <string>

#include "State.h"

namespace tamblin::standalone {

// $XDG_CONFIG_HOME/tamblin/state, else $HOME/.config/tamblin/state, for the client name "tamblin";
// "state-<name>" beside it for any other name (bytes other than letters, digits, '.', '_' and '-'
// written %XX). Empty when neither variable is set.
std::string defaultStatePath(const std::string& clientName = "tamblin");

enum class LoadOutcome {
  Missing,   // nothing at the path
  Loaded,
  Unusable,  // a regular file that is not a whole state (or cannot be read): kept aside by the caller
  NotAFile,  // a folder, FIFO, device or socket: refused without reading it
};
// Reads the file at `path` (through symbolic links). For Unusable and NotAFile, `problem` holds one
// line saying why. Never blocks on a FIFO.
LoadOutcome loadStateFile(const std::string& path, InstrumentState& state, std::string& problem);

// The file a write to `path` replaces: `path` with its symbolic links followed (a link made by a
// dotfile manager stays a link). `path` itself when it is no link.
std::string resolveLinks(const std::string& path);

// Moves the file at `path` aside to `path + suffix`, or `path + suffix + ".1"`, ".2"... whichever is
// free first, never over another file. Answers the new name, or empty with `problem` set.
std::string keepAside(const std::string& path, const std::string& suffix, std::string& problem);

// Removes the temporary files ("<file>.tmp.<pid>") that processes which are gone left beside the state
// file; answers their number.
int removeStaleTemporaries(const std::string& path);

// Writes the state beside `path` (through symbolic links) under a temporary name, flushes it to disk
// and renames it over the file, so the file is either the old one or the whole new one. Makes the
// folder when it is missing.
bool saveStateFile(const std::string& path, const InstrumentState& state, std::string& problem);

// Every edit of `ours` since `base` over `theirs`: per program, its name and each of its values is
// ours when we changed it, else theirs; the current program is ours.
InstrumentState mergeStates(const InstrumentState& base, const InstrumentState& ours, const InstrumentState& theirs);

// What a save did, for the message that says so.
struct SaveReport {
  bool saved = false;
  bool merged = false;         // another instance's edits were in the file and were kept
  std::string keptAside;       // a damaged file found at the save, moved aside to this name
  std::string problem;
  InstrumentState written;     // the state now in the file
};

// Saves `ours` under an exclusive lock (flock on "<file>.lock"): with a `base` (the state this run
// started from), the file's current state is merged in (mergeStates) so that the edits of another
// instance that saved meanwhile stay; without one, `ours` is written whole.
SaveReport saveMergedState(const std::string& path, const std::optional<InstrumentState>& base,
                           const InstrumentState& ours);

}  // namespace tamblin::standalone
