// The edit-controller half: the parameters, the program list, MIDI controller mapping and the editor.
// It keeps an instrument of its own as the model of the component's values (never rendered), which
// follows the component's state and the host's parameter changes exactly as the component does.
#pragma once

#include <atomic>
#include <chrono>

#include "Instrument.h"
#include "abi/Controller.h"
#include "abi/View.h"

namespace tamblin::vst3 {

class IGateSource;
class EditorView;

class Controller final : public ::vst3::IEditController,
                         public ::vst3::IMidiMapping,
                         public ::vst3::IUnitInfo,
                         public ::vst3::IConnectionPoint,
                         private InstrumentHost {
 public:
  Controller() = default;
  Controller(const Controller&) = delete;
  Controller& operator=(const Controller&) = delete;

  // FUnknown
  ::vst3::tresult VST3_API queryInterface(const ::vst3::TUID iid, void** object) override;
  ::vst3::uint32 VST3_API addRef() override;
  ::vst3::uint32 VST3_API release() override;
  // IPluginBase
  ::vst3::tresult VST3_API initialize(::vst3::FUnknown* context) override;
  ::vst3::tresult VST3_API terminate() override;
  // IEditController [main thread]
  ::vst3::tresult VST3_API setComponentState(::vst3::IBStream* state) override;
  ::vst3::tresult VST3_API setState(::vst3::IBStream* state) override;
  ::vst3::tresult VST3_API getState(::vst3::IBStream* state) override;
  ::vst3::int32 VST3_API getParameterCount() override;
  ::vst3::tresult VST3_API getParameterInfo(::vst3::int32 paramIndex, ::vst3::ParameterInfo& info) override;
  ::vst3::tresult VST3_API getParamStringByValue(::vst3::ParamID id, ::vst3::ParamValue valueNormalized,
                                                 ::vst3::String128 string) override;
  ::vst3::tresult VST3_API getParamValueByString(::vst3::ParamID id, ::vst3::TChar* string,
                                                 ::vst3::ParamValue& valueNormalized) override;
  ::vst3::ParamValue VST3_API normalizedParamToPlain(::vst3::ParamID id, ::vst3::ParamValue valueNormalized) override;
  ::vst3::ParamValue VST3_API plainParamToNormalized(::vst3::ParamID id, ::vst3::ParamValue plainValue) override;
  ::vst3::ParamValue VST3_API getParamNormalized(::vst3::ParamID id) override;
  ::vst3::tresult VST3_API setParamNormalized(::vst3::ParamID id, ::vst3::ParamValue value) override;
  ::vst3::tresult VST3_API setComponentHandler(::vst3::IComponentHandler* handler) override;
  ::vst3::IPlugView* VST3_API createView(::vst3::FIDString name) override;
  // IMidiMapping
  ::vst3::tresult VST3_API getMidiControllerAssignment(::vst3::int32 busIndex, ::vst3::int16 channel,
                                                       ::vst3::CtrlNumber number, ::vst3::ParamID& id) override;
  // IUnitInfo: one unit holding the list of the sixteen programs.
  ::vst3::int32 VST3_API getUnitCount() override { return 1; }
  ::vst3::tresult VST3_API getUnitInfo(::vst3::int32 unitIndex, ::vst3::UnitInfo& info) override;
  ::vst3::int32 VST3_API getProgramListCount() override { return 1; }
  ::vst3::tresult VST3_API getProgramListInfo(::vst3::int32 listIndex, ::vst3::ProgramListInfo& info) override;
  ::vst3::tresult VST3_API getProgramName(::vst3::ProgramListID listId, ::vst3::int32 programIndex,
                                          ::vst3::String128 name) override;
  ::vst3::tresult VST3_API getProgramInfo(::vst3::ProgramListID, ::vst3::int32, const ::vst3::char8*,
                                          ::vst3::String128) override {
    return ::vst3::kResultFalse;
  }
  ::vst3::tresult VST3_API hasProgramPitchNames(::vst3::ProgramListID, ::vst3::int32) override {
    return ::vst3::kResultFalse;
  }
  ::vst3::tresult VST3_API getProgramPitchName(::vst3::ProgramListID, ::vst3::int32, ::vst3::int16,
                                               ::vst3::String128) override {
    return ::vst3::kResultFalse;
  }
  ::vst3::UnitID VST3_API getSelectedUnit() override { return ::vst3::kRootUnitId; }
  ::vst3::tresult VST3_API selectUnit(::vst3::UnitID unitId) override;
  ::vst3::tresult VST3_API getUnitByBus(::vst3::int32 type, ::vst3::int32 direction, ::vst3::int32 busIndex,
                                        ::vst3::int32 channel, ::vst3::UnitID& unitId) override;
  ::vst3::tresult VST3_API setUnitProgramData(::vst3::int32, ::vst3::int32, ::vst3::IBStream*) override {
    return ::vst3::kNotImplemented;
  }
  // IConnectionPoint: a component in this process lends its gate position to the editor.
  ::vst3::tresult VST3_API connect(::vst3::IConnectionPoint* other) override;
  ::vst3::tresult VST3_API disconnect(::vst3::IConnectionPoint* other) override;
  ::vst3::tresult VST3_API notify(::vst3::IMessage* message) override;

  // For the editor view [ui thread].
  const Instrument& model() const { return model_; }
  // An edit made in the editor: stored, and reported as a gesture (begin, perform, end).
  void editFromEditor(int index, float value);
  // Ends the open gesture once no edit has come for a while, or at once when `now` is set.
  void endGesture(bool now);
  float gatePosition() const;
  void viewClosing(EditorView* view);

 private:
  ~Controller() override;
  void parameterChanged(int index, float value) override;
  float hostTempo() override { return 0.0f; }

  std::atomic<::vst3::uint32> references_{1};
  ::vst3::IComponentHandler* handler_ = nullptr;
  IGateSource* gateSource_ = nullptr;
  ::vst3::IConnectionPoint* peer_ = nullptr;
  EditorView* view_ = nullptr;
  bool initialized_ = false;
  // The last value of each hidden controller parameter (and pitch bend, at rest), for the host's reads.
  double controllerValues_[129] = {};
  // The gesture the editor has open, and when its last edit came.
  int gestureParameter_ = -1;
  std::chrono::steady_clock::time_point lastEdit_{};
  // Last: its construction already reports values, which reach the members above.
  Instrument model_{*this};
};

}  // namespace tamblin::vst3
