// The editor's link to the instrument: edits as automated parameter changes, and the gate position.
#include "APluginEditor.h"
#include "uPlugin.h"

namespace {

class APluginLink final : public tamblin::InstrumentLink {
 public:
  explicit APluginLink(APlugin& instrument) : instrument_(instrument) {}
  void setParameterAutomated(int index, float value) override { instrument_.setParameterAutomated(index, value); }
  float gatePosition() const override { return instrument_.gatePosition(); }

 private:
  APlugin& instrument_;
};

}  // namespace

std::unique_ptr<tamblin::InstrumentLink> linkToInstrument(APlugin& instrument) {
  return std::make_unique<APluginLink>(instrument);
}
