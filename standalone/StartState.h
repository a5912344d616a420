// The state file as one run of tamblin uses it: read at the start with each problem said together with
// what was kept, and saved at the end merged with what another instance saved there meanwhile.
#pragma once

#include <optional>
#include <string>

#include "StateFile.h"

namespace tamblin::standalone {

class StartState {
 public:
  using Say = void (*)(const std::string&);

  // The state of the JACK client `clientName` (defaultStatePath).
  explicit StartState(const std::string& clientName) : path_(defaultStatePath(clientName)) {}
  // Reads the saved state, or with `reset` keeps it aside as "<file>.before-reset" (numbered when
  // taken). A damaged file is moved aside as "<file>.damaged" (numbered when taken). Each problem is
  // one line through `say`. False when tamblin must not start: the path is not a regular file, or a
  // file to keep could not be moved aside.
  bool load(bool reset, Say say);
  // The state read, if any.
  const std::optional<InstrumentState>& loaded() const { return loaded_; }
  // The factory state: what this run started from when nothing was read.
  void setFactory(const InstrumentState& factory) { factory_ = factory; }
  // Saves `ours` (saveMergedState, from what this run started with or last saved); answers the
  // closing note: where the programs went, or why they did not. May be called more than once.
  std::string save(const InstrumentState& ours);
  // True after a save that wrote the file and found nothing amiss.
  bool savedCleanly() const { return savedCleanly_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::optional<InstrumentState> loaded_;
  std::optional<InstrumentState> factory_;
  std::optional<InstrumentState> lastSaved_;  // ours as of the last save: later edits are the new ones
  bool savedCleanly_ = false;
};

}  // namespace tamblin::standalone
