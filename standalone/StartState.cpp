// What tamblin says about its state file, and when it keeps a file aside.
#include "StartState.h"

namespace tamblin::standalone {

bool StartState::load(bool reset, Say say) {
  if (path_.empty()) {
    say("neither XDG_CONFIG_HOME nor HOME is set: the programs will not be saved");
    return true;
  }
  removeStaleTemporaries(path_);
  InstrumentState state;
  std::string problem;
  const LoadOutcome outcome = loadStateFile(path_, state, problem);
  if (outcome == LoadOutcome::NotAFile) {
    say("the saved state " + path_ + " is no file to read or replace (" + problem +
        "); tamblin did not start and left it as it is (move it away, or give --name for a state of another name)");
    return false;
  }
  if (outcome == LoadOutcome::Missing) return true;
  if (reset) {
    const std::string kept = keepAside(path_, ".before-reset", problem);
    if (kept.empty()) {
      say("--reset: the previous state could not be kept (" + problem + "); tamblin did not start and left " +
          path_ + " as it is");
      return false;
    }
    say("--reset: starting from the factory programs; the previous state was kept as " + kept);
    return true;
  }
  if (outcome == LoadOutcome::Unusable) {
    const std::string why = problem;
    const std::string kept = keepAside(path_, ".damaged", problem);
    if (kept.empty()) {
      say("the saved state " + path_ + " could not be used (" + why + ") nor moved aside (" + problem +
          "); tamblin did not start and left it as it is");
      return false;
    }
    say("the saved state " + path_ + " could not be used (" + why + "); it was moved to " + kept +
        ", and tamblin starts from the factory programs");
    return true;
  }
  loaded_ = state;
  return true;
}

std::string StartState::save(const InstrumentState& ours) {
  savedCleanly_ = false;
  if (path_.empty()) return "the programs were not saved (neither XDG_CONFIG_HOME nor HOME is set)";
  const std::optional<InstrumentState>& base = lastSaved_ ? lastSaved_ : loaded_ ? loaded_ : factory_;
  const SaveReport report = saveMergedState(path_, base, ours);
  if (!report.saved) {
    std::string note = "the programs could not be saved: " + report.problem;
    if (!report.keptAside.empty()) note += " (a damaged file found there was moved to " + report.keptAside + ")";
    return note;
  }
  savedCleanly_ = report.keptAside.empty();
  // What another instance saved stays in the file; only what changes here from now on goes over it.
  lastSaved_ = ours;
  std::string note = "the programs were saved to " + path_;
  if (report.merged) note += ", with the edits another tamblin had saved there";
  if (!report.keptAside.empty()) note += "; a damaged file found there was moved to " + report.keptAside;
  return note;
}

}  // namespace tamblin::standalone
