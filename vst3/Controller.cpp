// The edit controller: parameters and their texts, the program list, controller mapping, the component's
// state followed, and editor edits reported to the host.
#include "Controller.h"

#include <array>
#include <string>

#include "Component.h"
#include "EditorView.h"
#include "Identity.h"
#include "Parameters.h"
#include "Text.h"

namespace tamblin::vst3 {

using namespace ::vst3;

namespace {
constexpr auto kGestureIdle = std::chrono::milliseconds(300);  // an edit this long ago ends its gesture
constexpr int kPitchBendSlot = 128;
}  // namespace

Controller::~Controller() {
  if (handler_ != nullptr) handler_->release();
  if (gateSource_ != nullptr) gateSource_->release();
}

tresult Controller::queryInterface(const TUID iid, void** object) {
  if (object == nullptr) return kInvalidArgument;
  *object = nullptr;
  if (FUnknown::iid.matches(iid) || IPluginBase::iid.matches(iid) || IEditController::iid.matches(iid)) {
    *object = static_cast<IEditController*>(this);
  } else if (IMidiMapping::iid.matches(iid)) {
    *object = static_cast<IMidiMapping*>(this);
  } else if (IUnitInfo::iid.matches(iid)) {
    *object = static_cast<IUnitInfo*>(this);
  } else if (IConnectionPoint::iid.matches(iid)) {
    *object = static_cast<IConnectionPoint*>(this);
  } else {
    return kNoInterface;
  }
  addRef();
  return kResultOk;
}

uint32 Controller::addRef() { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }

uint32 Controller::release() {
  const uint32 left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

tresult Controller::initialize(FUnknown*) {
  if (initialized_) return kResultFalse;
  initialized_ = true;
  controllerValues_[kPitchBendSlot] = 8192.0 / 16383.0;
  return kResultOk;
}

tresult Controller::terminate() {
  endGesture(true);
  if (peer_ != nullptr) disconnect(peer_);
  setComponentHandler(nullptr);
  initialized_ = false;
  return kResultOk;
}

tresult Controller::setComponentState(IBStream* state) {
  std::string text, problem;
  if (!readWhole(state, text, kMaxStateTextSize)) return kResultFalse;
  return model_.loadState(text, problem) ? kResultOk : kResultFalse;
}

// The controller keeps nothing of its own: everything is in the component's state.
tresult Controller::setState(IBStream*) { return kResultOk; }
tresult Controller::getState(IBStream*) { return kResultOk; }

int32 Controller::getParameterCount() { return parameterCount(); }

tresult Controller::getParameterInfo(int32 paramIndex, ::vst3::ParameterInfo& info) {
  return describeParameter(paramIndex, info) ? kResultOk : kInvalidArgument;
}

tresult Controller::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) {
  if (string == nullptr || kindOf(id) == ParamKind::Unknown) return kInvalidArgument;
  if (kindOf(id) == ParamKind::Program) {
    copyText(string, model_.program(programOf(valueNormalized)).getName(), 128);
  } else {
    copyText(string, valueString(id, valueNormalized), 128);
  }
  return kResultOk;
}

tresult Controller::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
  if (string == nullptr) return kInvalidArgument;
  const std::string text = utf8Of(string, 128);
  if (kindOf(id) == ParamKind::Program) {
    for (int p = 0; p < Instrument::kNumPrograms; ++p) {
      if (text == model_.program(p).getName()) {
        valueNormalized = normalizedProgram(p);
        return kResultOk;
      }
    }
    return kResultFalse;
  }
  return valueOfString(id, text, valueNormalized) ? kResultOk : kResultFalse;
}

ParamValue Controller::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
  return plainOf(id, valueNormalized);
}

ParamValue Controller::plainParamToNormalized(ParamID id, ParamValue plainValue) {
  return normalizedOf(id, plainValue);
}

ParamValue Controller::getParamNormalized(ParamID id) {
  switch (kindOf(id)) {
    case ParamKind::Instrument: return model_.parameter(static_cast<int>(id));
    case ParamKind::Program: return normalizedProgram(model_.currentProgram());
    case ParamKind::Controller: return controllerValues_[id - kControllerParamBase];
    case ParamKind::PitchBend: return controllerValues_[kPitchBendSlot];
    default: return 0.0;
  }
}

tresult Controller::setParamNormalized(ParamID id, ParamValue value) {
  if (value != value) value = 0.0;  // NaN
  value = value > 1.0 ? 1.0 : (value < 0.0 ? 0.0 : value);
  switch (kindOf(id)) {
    case ParamKind::Instrument:
      model_.setParameter(static_cast<int>(id), static_cast<float>(value));
      return kResultOk;
    case ParamKind::Program: {
      // The host picked the program and reads the values again itself; asking it to from inside its
      // own call makes Ardour wait for itself.
      const int program = programOf(value);
      if (program != model_.currentProgram()) model_.selectProgram(program);
      return kResultOk;
    }
    case ParamKind::Controller:
      controllerValues_[id - kControllerParamBase] = value;
      return kResultOk;
    case ParamKind::PitchBend:
      controllerValues_[kPitchBendSlot] = value;
      return kResultOk;
    default: return kInvalidArgument;
  }
}

tresult Controller::setComponentHandler(IComponentHandler* handler) {
  if (handler == handler_) return kResultOk;
  endGesture(true);
  if (handler != nullptr) handler->addRef();
  if (handler_ != nullptr) handler_->release();
  handler_ = handler;
  return kResultOk;
}

IPlugView* Controller::createView(FIDString name) {
  if (name == nullptr || std::strcmp(name, kEditorViewType) != 0 || view_ != nullptr) return nullptr;
  view_ = new EditorView(*this);
  return view_;
}

void Controller::viewClosing(EditorView* view) {
  if (view == view_) view_ = nullptr;
  endGesture(true);
}

void Controller::parameterChanged(int index, float value) {
  if (view_ != nullptr) view_->setValue(index, value);
}

tresult Controller::getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber number, ParamID& id) {
  if (busIndex != 0 || channel < 0 || channel > 15) return kResultFalse;
  if (number == kPitchBend) {
    id = kPitchBendParamId;
    return kResultOk;
  }
  if (!isReactiveController(number)) return kResultFalse;
  id = kControllerParamBase + static_cast<ParamID>(number);
  return kResultOk;
}

tresult Controller::getUnitInfo(int32 unitIndex, UnitInfo& info) {
  if (unitIndex != 0) return kInvalidArgument;
  info = UnitInfo{};
  info.id = kRootUnitId;
  info.parentUnitId = kNoParentUnitId;
  copyText(info.name, "Root", 128);
  info.programListId = kProgramListId;
  return kResultOk;
}

tresult Controller::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
  if (listIndex != 0) return kInvalidArgument;
  info = ProgramListInfo{};
  info.id = kProgramListId;
  copyText(info.name, "Programs", 128);
  info.programCount = Instrument::kNumPrograms;
  return kResultOk;
}

tresult Controller::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
  if (listId != kProgramListId || programIndex < 0 || programIndex >= Instrument::kNumPrograms || name == nullptr)
    return kInvalidArgument;
  copyText(name, model_.program(programIndex).getName(), 128);
  return kResultOk;
}

tresult Controller::selectUnit(UnitID unitId) { return unitId == kRootUnitId ? kResultOk : kInvalidArgument; }

tresult Controller::getUnitByBus(int32 type, int32 direction, int32 busIndex, int32, UnitID& unitId) {
  if (busIndex != 0 || !((type == kEvent && direction == kInput) || (type == kAudio && direction == kOutput)))
    return kInvalidArgument;
  unitId = kRootUnitId;
  return kResultOk;
}

tresult Controller::connect(IConnectionPoint* other) {
  if (other == nullptr) return kInvalidArgument;
  if (peer_ != nullptr) return kResultFalse;
  peer_ = other;
  void* source = nullptr;
  if (other->queryInterface(IGateSource::iid.data(), &source) == kResultOk && source != nullptr)
    gateSource_ = static_cast<IGateSource*>(source);
  return kResultOk;
}

tresult Controller::disconnect(IConnectionPoint* other) {
  if (other == nullptr || other != peer_) return kInvalidArgument;
  peer_ = nullptr;
  if (gateSource_ != nullptr) gateSource_->release();
  gateSource_ = nullptr;
  return kResultOk;
}

tresult Controller::notify(IMessage*) { return kResultFalse; }

float Controller::gatePosition() const { return gateSource_ != nullptr ? gateSource_->gatePosition() : 0.0f; }

void Controller::editFromEditor(int index, float value) {
  if (index < 0 || index >= kNumParams) return;
  model_.setParameter(index, value);
  const float stored = model_.parameter(index);
  if (handler_ == nullptr) return;
  if (gestureParameter_ != index) {
    endGesture(true);
    handler_->beginEdit(static_cast<ParamID>(index));
    gestureParameter_ = index;
  }
  handler_->performEdit(static_cast<ParamID>(index), stored);
  lastEdit_ = std::chrono::steady_clock::now();
}

void Controller::endGesture(bool now) {
  if (gestureParameter_ < 0) return;
  if (!now && std::chrono::steady_clock::now() - lastEdit_ < kGestureIdle) return;
  if (handler_ != nullptr) handler_->endEdit(static_cast<ParamID>(gestureParameter_));
  gestureParameter_ = -1;
}

}  // namespace tamblin::vst3
