// VST 2 bank and program files for tamblin-render: read from disk and given to a plug-in the way a
// host restores them, through the plug-in's program and parameter requests.
#pragma once

#include <string>

#include "BankFile.h"
#include "Plugin.h"

namespace tamblin::host {

// Reads and checks a whole file; throws std::runtime_error naming the file ("bank FILE: a bank of
// another instrument (ID 'Abcd'), ...") when it cannot be read or is not Tamblin's.
ProgramBank readBankFile(const std::string& path);
ProgramPreset readPresetFile(const std::string& path);

// Empty when the plug-in can take Tamblin's files (its ID is 'Tmbl' and it has 16 programs of at least
// 100 parameters), else why not, naming `what` (a file or an option).
std::string refusalOfTamblinFiles(const Plugin& plugin, const std::string& what);

// For each program: select it, name it, set parameters 0..99; then select the bank's current program
// (version 2), or the program current before (version 1, which names none).
void restoreBank(Plugin& plugin, const ProgramBank& bank);
// Names the current program and sets its parameters 0..99.
void restorePreset(Plugin& plugin, const ProgramPreset& preset);

}  // namespace tamblin::host
