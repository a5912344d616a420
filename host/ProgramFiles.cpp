// Reading VST 2 bank and program files from disk and restoring them into a plug-in.
#include "ProgramFiles.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "PluginInfo.h"

namespace tamblin::host {

namespace {

// Far above a bank's 7452 bytes; a larger file is refused before it is read.
constexpr std::uintmax_t kMaxFileSize = 1 << 20;

std::vector<uint8_t> readWhole(const std::string& kind, const std::string& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status)) throw std::runtime_error(kind + " " + path + ": no such file");
  if (std::filesystem::is_directory(status)) throw std::runtime_error(kind + " " + path + ": is a directory");
  if (!std::filesystem::is_regular_file(status)) throw std::runtime_error(kind + " " + path + ": not a regular file");
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) throw std::runtime_error(kind + " " + path + ": cannot read it (" + error.message() + ")");
  if (size > kMaxFileSize)
    throw std::runtime_error(kind + " " + path + ": " + std::to_string(size) + " bytes, too large to be a VST 2 " + kind);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
    throw std::runtime_error(kind + " " + path + ": cannot read it");
  return bytes;
}

void setProgramValues(Plugin& plugin, const ProgramPreset& preset) {
  plugin.setProgramName(preset.name);
  for (int i = 0; i < kFileParamCount; ++i) plugin.setParameter(i, preset.values[static_cast<std::size_t>(i)]);
}

}  // namespace

ProgramBank readBankFile(const std::string& path) {
  std::string problem;
  std::optional<ProgramBank> bank = readBank(readWhole("bank", path), problem);
  if (!bank) throw std::runtime_error("bank " + path + ": " + problem);
  return *bank;
}

ProgramPreset readPresetFile(const std::string& path) {
  std::string problem;
  std::optional<ProgramPreset> preset = readPreset(readWhole("program", path), problem);
  if (!preset) throw std::runtime_error("program " + path + ": " + problem);
  return *preset;
}

std::string refusalOfTamblinFiles(const Plugin& plugin, const std::string& what) {
  const auto id = static_cast<uint32_t>(plugin.effect()->uniqueID);
  if (id != kFxId || plugin.numPrograms() < kFileProgramCount || plugin.numParams() < kFileParamCount) {
    return what + " is Tamblin's ('Tmbl'), but " + plugin.origin() + " is not Tamblin (ID " +
           uniqueIdText(plugin.effect()->uniqueID) + ", " + std::to_string(plugin.numPrograms()) + " programs, " +
           std::to_string(plugin.numParams()) + " parameters)";
  }
  return {};
}

void restoreBank(Plugin& plugin, const ProgramBank& bank) {
  const int before = plugin.program();
  for (int p = 0; p < kFileProgramCount; ++p) {
    plugin.setProgram(p);
    setProgramValues(plugin, bank.programs[static_cast<std::size_t>(p)]);
  }
  plugin.setProgram(bank.currentProgram.value_or(before));
}

void restorePreset(Plugin& plugin, const ProgramPreset& preset) { setProgramValues(plugin, preset); }

}  // namespace tamblin::host
