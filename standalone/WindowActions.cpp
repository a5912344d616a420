// What the strip's buttons do to the instrument and its files.
#include "WindowActions.h"

#include "ProgramFiles.h"

namespace tamblin::standalone {

void WindowActions::renameProgram(int program, const std::string& name) {
  player_.instrument().setProgramName(program, name.c_str());
}

std::string WindowActions::keep() {
  // Each edit is already in the current program; what keeping adds is the file, now.
  return "kept: " + state_.save(player_.state());
}

void WindowActions::revertToFactory(int program) {
  player_.instrument().loadFactoryProgram(program);
  player_.selectProgram(program);
}

std::string WindowActions::importBank(const std::string& path) {
  std::string problem;
  const std::optional<ProgramBank> bank = readBankFile(path, problem);
  if (!bank) return problem;
  player_.instrument().loadBank(*bank);
  return "imported the sixteen programs of " + path + " (Keep saves them)";
}

std::string WindowActions::exportBank(const std::string& path) {
  std::string problem;
  if (!writeProgramFile(path, writeBank(player_.state()), problem)) return problem;
  return "exported the sixteen programs to " + path;
}

}  // namespace tamblin::standalone
