// The strip's actions on tamblin itself: the instrument's programs, the state file, the VST 2 bank
// files, and the keyboards' messages queued for the audio thread.
#pragma once

#include <functional>

#include "Player.h"
#include "StartState.h"
#include "Strip.h"

namespace tamblin::standalone {

class WindowActions final : public StripActions {
 public:
  // `send` queues a keyboard's message for the audio thread.
  using Send = std::function<void(uint8_t status, uint8_t data1, uint8_t data2)>;
  WindowActions(Player& player, StartState& state, Send send)
      : player_(player), state_(state), send_(std::move(send)) {}

  int currentProgram() const override { return player_.currentProgram(); }
  std::string programName(int program) const override { return player_.programName(program); }
  void selectProgram(int program) override { player_.selectProgram(program); }
  void renameProgram(int program, const std::string& name) override;
  std::string keep() override;
  void revertToFactory(int program) override;
  std::string importBank(const std::string& path) override;
  std::string exportBank(const std::string& path) override;
  bool noteSounds(int note) const override { return player_.noteSounds(note); }
  void send(uint8_t status, uint8_t data1, uint8_t data2) override { send_(status, data1, data2); }

 private:
  Player& player_;
  StartState& state_;
  Send send_;
};

}  // namespace tamblin::standalone
