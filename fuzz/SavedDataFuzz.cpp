// Fuzz target: any bytes as the data a musician or a host hands back to the instrument: a saved state
// (text) and VST 2 program and bank files. Each is either refused with a reason or read whole, every
// value in 0..1 and the current program one of the sixteen; what is read is written again and reads
// back the same.
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "BankFile.h"
#include "State.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

void checkValues(std::span<const float> values) {
  for (float v : values) require(v >= 0.0f && v <= 1.0f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tamblin;
  const std::span<const uint8_t> bytes(data, size);
  std::string problem;

  const std::optional<InstrumentState> state =
      parseState(std::string_view(reinterpret_cast<const char*>(data), size), problem);
  require(state.has_value() || !problem.empty());
  if (state) {
    require(state->currentProgram >= 0 && state->currentProgram < kStateProgramCount);
    for (const StoredProgram& program : state->programs) {
      checkValues(program.values);
      require(program.name.size() <= 63);
    }
    std::string again;
    const std::optional<InstrumentState> reread = parseState(formatState(*state), again);
    require(reread.has_value() && *reread == *state);
  }

  problem.clear();
  const std::optional<ProgramPreset> preset = readPreset(bytes, problem);
  require(preset.has_value() || !problem.empty());
  if (preset) checkValues(preset->values);

  problem.clear();
  const std::optional<ProgramBank> bank = readBank(bytes, problem);
  require(bank.has_value() || !problem.empty());
  if (bank) {
    require(!bank->currentProgram || (*bank->currentProgram >= 0 && *bank->currentProgram < kStateProgramCount));
    for (const ProgramPreset& program : bank->programs) checkValues(program.values);
    InstrumentState applied;
    applyBank(*bank, applied);
    const std::vector<uint8_t> written = writeBank(applied);
    std::string again;
    require(readBank(written, again).has_value());
  }
  return 0;
}
