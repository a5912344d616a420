// The one place where the editor calls the instrument class itself.
#include "InstrumentLink.h"

#include "uPlugin.h"

namespace tamblin {

namespace {

class APluginLink final : public InstrumentLink {
 public:
  explicit APluginLink(APlugin& instrument) : instrument_(instrument) {}
  void setParameterAutomated(int index, float value) override {
    instrument_.setParameterAutomated(index, value);
  }
  float gatePosition() const override { return instrument_.gatePosition(); }

 private:
  APlugin& instrument_;
};

}  // namespace

std::unique_ptr<InstrumentLink> linkToInstrument(APlugin* instrument) {
  if (instrument == nullptr) return nullptr;
  return std::make_unique<APluginLink>(*instrument);
}

}  // namespace tamblin
