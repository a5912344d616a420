// What the editor window asks of the instrument: automated parameter changes and the gate position.
// Each plug-in format (and each test) supplies its own.
#pragma once

namespace tamblin {

class InstrumentLink {
 public:
  virtual ~InstrumentLink() = default;
  // Sets the parameter and reports it to the host as an automation change.
  virtual void setParameterAutomated(int index, float value) = 0;
  // The engine's gate position in steps; written by the audio thread, read without a lock.
  virtual float gatePosition() const = 0;
};

}  // namespace tamblin
