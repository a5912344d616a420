// VST 2 bank (.fxb) and program (.fxp) files on disk for tamblin: read whole and checked before anything
// of them is applied, written beside the old file and renamed over it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "BankFile.h"

namespace tamblin::standalone {

// The files given on the command line, read before the instrument hears of them.
struct StartFiles {
  std::optional<ProgramBank> bank;
  std::optional<ProgramPreset> preset;
};

// Each answers nothing when the file cannot be read or is not one of Tamblin's, with `problem` as one
// line that names the file and says that nothing was applied.
std::optional<ProgramBank> readBankFile(const std::string& path, std::string& problem);
std::optional<ProgramPreset> readPresetFile(const std::string& path, std::string& problem);

// Writes the bytes to `path` whole (a temporary file renamed over it); false with `problem` set.
bool writeProgramFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& problem);

}  // namespace tamblin::standalone
