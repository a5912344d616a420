// The VST 3 edit-controller side at its published values: the controller and its parameter records, the
// host's component handler, MIDI controller mapping, units with program lists, and the messages that
// connect a component with its controller.
#pragma once

#include "Base.h"
#include "Processing.h"

namespace vst3 {

using UnitID = int32;
using ProgramListID = int32;
using CtrlNumber = int16;
using AttrID = const char8*;

constexpr char kVstComponentControllerClass[] = "Component Controller Class";

struct ParameterInfo {
  enum ParameterFlags : int32 { kNoFlags = 0, kCanAutomate = 1, kIsReadOnly = 1 << 1, kIsWrapAround = 1 << 2,
                                kIsList = 1 << 3, kIsHidden = 1 << 4, kIsProgramChange = 1 << 15,
                                kIsBypass = 1 << 16 };
  ParamID id;
  String128 title;
  String128 shortTitle;
  String128 units;
  int32 stepCount;
  ParamValue defaultNormalizedValue;
  UnitID unitId;
  int32 flags;
};

enum RestartFlags : int32 { kReloadComponent = 1, kIoChanged = 1 << 1, kParamValuesChanged = 1 << 2,
                            kLatencyChanged = 1 << 3, kParamTitlesChanged = 1 << 4,
                            kMidiCCAssignmentChanged = 1 << 5 };

class IComponentHandler : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
  virtual tresult VST3_API beginEdit(ParamID id) = 0;
  virtual tresult VST3_API performEdit(ParamID id, ParamValue valueNormalized) = 0;
  virtual tresult VST3_API endEdit(ParamID id) = 0;
  virtual tresult VST3_API restartComponent(int32 flags) = 0;
};

class IPlugView;

class IEditController : public IPluginBase {
 public:
  static constexpr Uid iid = makeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
  virtual tresult VST3_API setComponentState(IBStream* state) = 0;
  virtual tresult VST3_API setState(IBStream* state) = 0;
  virtual tresult VST3_API getState(IBStream* state) = 0;
  virtual int32 VST3_API getParameterCount() = 0;
  virtual tresult VST3_API getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
  virtual tresult VST3_API getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) = 0;
  virtual tresult VST3_API getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) = 0;
  virtual ParamValue VST3_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
  virtual ParamValue VST3_API plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
  virtual ParamValue VST3_API getParamNormalized(ParamID id) = 0;
  virtual tresult VST3_API setParamNormalized(ParamID id, ParamValue value) = 0;
  virtual tresult VST3_API setComponentHandler(IComponentHandler* handler) = 0;
  virtual IPlugView* VST3_API createView(FIDString name) = 0;
};

// Controller numbers beyond the 128 MIDI control changes.
enum ControllerNumbers : CtrlNumber { kAfterTouch = 128, kPitchBend = 129, kCtrlProgramChange = 130 };

class IMidiMapping : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0xDF0FF9F7, 0x49B74669, 0xB63AB732, 0x7ADBF5E5);
  virtual tresult VST3_API getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber midiControllerNumber,
                                                       ParamID& id) = 0;
};

// ---- units and program lists -----------------------------------------------------------------------

constexpr UnitID kRootUnitId = 0;
constexpr UnitID kNoParentUnitId = -1;
constexpr ProgramListID kNoProgramListId = -1;

struct UnitInfo {
  UnitID id;
  UnitID parentUnitId;
  String128 name;
  ProgramListID programListId;
};

struct ProgramListInfo {
  ProgramListID id;
  String128 name;
  int32 programCount;
};

class IUnitInfo : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
  virtual int32 VST3_API getUnitCount() = 0;
  virtual tresult VST3_API getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
  virtual int32 VST3_API getProgramListCount() = 0;
  virtual tresult VST3_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
  virtual tresult VST3_API getProgramName(ProgramListID listId, int32 programIndex, String128 name) = 0;
  virtual tresult VST3_API getProgramInfo(ProgramListID listId, int32 programIndex, const char8* attributeId,
                                          String128 attributeValue) = 0;
  virtual tresult VST3_API hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
  virtual tresult VST3_API getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch,
                                               String128 name) = 0;
  virtual UnitID VST3_API getSelectedUnit() = 0;
  virtual tresult VST3_API selectUnit(UnitID unitId) = 0;
  virtual tresult VST3_API getUnitByBus(int32 type, int32 direction, int32 busIndex, int32 channel,
                                        UnitID& unitId) = 0;
  virtual tresult VST3_API setUnitProgramData(int32 listOrUnitId, int32 programIndex, IBStream* data) = 0;
};

// ---- messages between component and controller -----------------------------------------------------

class IAttributeList : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4);
  virtual tresult VST3_API setInt(AttrID id, int64 value) = 0;
  virtual tresult VST3_API getInt(AttrID id, int64& value) = 0;
  virtual tresult VST3_API setFloat(AttrID id, double value) = 0;
  virtual tresult VST3_API getFloat(AttrID id, double& value) = 0;
  virtual tresult VST3_API setString(AttrID id, const TChar* string) = 0;
  virtual tresult VST3_API getString(AttrID id, TChar* string, uint32 sizeInBytes) = 0;
  virtual tresult VST3_API setBinary(AttrID id, const void* data, uint32 sizeInBytes) = 0;
  virtual tresult VST3_API getBinary(AttrID id, const void*& data, uint32& sizeInBytes) = 0;
};

class IMessage : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613);
  virtual FIDString VST3_API getMessageID() = 0;
  virtual void VST3_API setMessageID(FIDString id) = 0;
  virtual IAttributeList* VST3_API getAttributes() = 0;
};

class IConnectionPoint : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
  virtual tresult VST3_API connect(IConnectionPoint* other) = 0;
  virtual tresult VST3_API disconnect(IConnectionPoint* other) = 0;
  virtual tresult VST3_API notify(IMessage* message) = 0;
};

// The host's context: its name, and the messages it makes for a connection.
class IHostApplication : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
  virtual tresult VST3_API getName(String128 name) = 0;
  virtual tresult VST3_API createInstance(TUID cid, TUID iid, void** object) = 0;
};

// ---- layout checks ---------------------------------------------------------------------------------

static_assert(sizeof(ParameterInfo) == 792 && offsetof(ParameterInfo, title) == 4 &&
              offsetof(ParameterInfo, shortTitle) == 260 && offsetof(ParameterInfo, units) == 516 &&
              offsetof(ParameterInfo, stepCount) == 772 && offsetof(ParameterInfo, defaultNormalizedValue) == 776 &&
              offsetof(ParameterInfo, unitId) == 784 && offsetof(ParameterInfo, flags) == 788);
static_assert(sizeof(UnitInfo) == 268 && offsetof(UnitInfo, name) == 8 && offsetof(UnitInfo, programListId) == 264);
static_assert(sizeof(ProgramListInfo) == 264 && offsetof(ProgramListInfo, programCount) == 260);
static_assert(IEditController::iid.word(0) == 0xDCD7BBE3 && IComponentHandler::iid.word(3) == 0xC1E46AC6);

}  // namespace vst3
