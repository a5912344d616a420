// The VST 3 processing side at its published values: the component and its buses, the audio processor
// with its set-up, block and time records, note events and parameter changes.
#pragma once

#include "Base.h"

namespace vst3 {

using ParamID = uint32;
using ParamValue = double;
using SpeakerArrangement = uint64;
using Sample32 = float;
using Sample64 = double;

constexpr char kVstAudioEffectClass[] = "Audio Module Class";

enum MediaTypes : int32 { kAudio = 0, kEvent = 1 };
enum BusDirections : int32 { kInput = 0, kOutput = 1 };
enum BusTypes : int32 { kMain = 0, kAux = 1 };
enum IoModes : int32 { kSimple = 0, kAdvanced = 1, kOfflineProcessing = 2 };
constexpr uint32 kDefaultActive = 1;  // BusInfo flag
constexpr SpeakerArrangement kSpeakerL = 1, kSpeakerR = 2;
constexpr SpeakerArrangement kStereo = kSpeakerL | kSpeakerR;

struct BusInfo {
  int32 mediaType;
  int32 direction;
  int32 channelCount;
  String128 name;
  int32 busType;
  uint32 flags;
};

struct RoutingInfo {
  int32 mediaType;
  int32 busIndex;
  int32 channel;
};

class IComponent : public IPluginBase {
 public:
  static constexpr Uid iid = makeUid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
  virtual tresult VST3_API getControllerClassId(TUID classId) = 0;
  virtual tresult VST3_API setIoMode(int32 mode) = 0;
  virtual int32 VST3_API getBusCount(int32 type, int32 direction) = 0;
  virtual tresult VST3_API getBusInfo(int32 type, int32 direction, int32 index, BusInfo& bus) = 0;
  virtual tresult VST3_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
  virtual tresult VST3_API activateBus(int32 type, int32 direction, int32 index, TBool state) = 0;
  virtual tresult VST3_API setActive(TBool state) = 0;
  virtual tresult VST3_API setState(IBStream* state) = 0;
  virtual tresult VST3_API getState(IBStream* state) = 0;
};

// ---- events ----------------------------------------------------------------------------------------

struct NoteOnEvent {
  int16 channel;
  int16 pitch;
  float tuning;
  float velocity;  // 0..1
  int32 length;
  int32 noteId;
};

struct NoteOffEvent {
  int16 channel;
  int16 pitch;
  float velocity;  // 0..1
  int32 noteId;
  float tuning;
};

struct DataEvent {
  uint32 size;
  uint32 type;
  const uint8_t* bytes;
};

// The largest member of the event union (a note expression text): it sets the union's size.
struct NoteExpressionTextEvent {
  uint32 typeId;
  int32 noteId;
  uint32 textLen;
  const TChar* text;
};

struct Event {
  enum EventTypes : uint16 { kNoteOnEvent = 0, kNoteOffEvent = 1, kDataEvent = 2, kPolyPressureEvent = 3,
                             kNoteExpressionValueEvent = 4, kNoteExpressionTextEvent = 5, kChordEvent = 6,
                             kScaleEvent = 7, kLegacyMIDICCOutEvent = 65535 };
  int32 busIndex;
  int32 sampleOffset;
  double ppqPosition;
  uint16 flags;
  uint16 type;
  union {
    NoteOnEvent noteOn;
    NoteOffEvent noteOff;
    DataEvent data;
    NoteExpressionTextEvent noteExpressionText;
  };
};

class IEventList : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
  virtual int32 VST3_API getEventCount() = 0;
  virtual tresult VST3_API getEvent(int32 index, Event& event) = 0;
  virtual tresult VST3_API addEvent(Event& event) = 0;
};

// ---- parameter changes -----------------------------------------------------------------------------

class IParamValueQueue : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
  virtual ParamID VST3_API getParameterId() = 0;
  virtual int32 VST3_API getPointCount() = 0;
  virtual tresult VST3_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) = 0;
  virtual tresult VST3_API addPoint(int32 sampleOffset, ParamValue value, int32& index) = 0;
};

class IParameterChanges : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
  virtual int32 VST3_API getParameterCount() = 0;
  virtual IParamValueQueue* VST3_API getParameterData(int32 index) = 0;
  virtual IParamValueQueue* VST3_API addParameterData(const ParamID& id, int32& index) = 0;
};

// ---- the audio processor ---------------------------------------------------------------------------

enum ProcessModes : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 };
enum SymbolicSampleSizes : int32 { kSample32 = 0, kSample64 = 1 };

struct ProcessSetup {
  int32 processMode;
  int32 symbolicSampleSize;
  int32 maxSamplesPerBlock;
  double sampleRate;
};

struct AudioBusBuffers {
  int32 numChannels;
  uint64 silenceFlags;
  union {
    Sample32** channelBuffers32;
    Sample64** channelBuffers64;
  };
};

struct FrameRate {
  uint32 framesPerSecond;
  uint32 flags;
};

struct Chord {
  uint8_t keyNote;
  uint8_t rootNote;
  int16 chordMask;
};

struct ProcessContext {
  enum StatesAndFlags : uint32 { kPlaying = 1 << 1, kTempoValid = 1 << 10 };
  uint32 state;
  double sampleRate;
  int64 projectTimeSamples;
  int64 systemTime;
  int64 continousTimeSamples;
  double projectTimeMusic;
  double barPositionMusic;
  double cycleStartMusic;
  double cycleEndMusic;
  double tempo;  // beats per minute
  int32 timeSigNumerator;
  int32 timeSigDenominator;
  Chord chord;
  int32 smpteOffsetSubframes;
  FrameRate frameRate;
  int32 samplesToNextClock;
};

struct ProcessData {
  int32 processMode;
  int32 symbolicSampleSize;
  int32 numSamples;
  int32 numInputs;
  int32 numOutputs;
  AudioBusBuffers* inputs;
  AudioBusBuffers* outputs;
  IParameterChanges* inputParameterChanges;
  IParameterChanges* outputParameterChanges;
  IEventList* inputEvents;
  IEventList* outputEvents;
  ProcessContext* processContext;
};

class IAudioProcessor : public FUnknown {
 public:
  static constexpr Uid iid = makeUid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
  virtual tresult VST3_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                              SpeakerArrangement* outputs, int32 numOuts) = 0;
  virtual tresult VST3_API getBusArrangement(int32 direction, int32 index, SpeakerArrangement& arrangement) = 0;
  virtual tresult VST3_API canProcessSampleSize(int32 symbolicSampleSize) = 0;
  virtual uint32 VST3_API getLatencySamples() = 0;
  virtual tresult VST3_API setupProcessing(ProcessSetup& setup) = 0;
  virtual tresult VST3_API setProcessing(TBool state) = 0;
  virtual tresult VST3_API process(ProcessData& data) = 0;
  virtual uint32 VST3_API getTailSamples() = 0;
};

// ---- layout checks ---------------------------------------------------------------------------------

static_assert(sizeof(BusInfo) == 276 && offsetof(BusInfo, name) == 12 && offsetof(BusInfo, busType) == 268 &&
              offsetof(BusInfo, flags) == 272);
static_assert(sizeof(RoutingInfo) == 12);
static_assert(sizeof(NoteOnEvent) == 20 && offsetof(NoteOnEvent, velocity) == 8 && offsetof(NoteOnEvent, noteId) == 16);
static_assert(sizeof(NoteOffEvent) == 16 && offsetof(NoteOffEvent, velocity) == 4 && offsetof(NoteOffEvent, tuning) == 12);
static_assert(sizeof(Event) == 48 && offsetof(Event, sampleOffset) == 4 && offsetof(Event, ppqPosition) == 8 &&
              offsetof(Event, flags) == 16 && offsetof(Event, type) == 18 && offsetof(Event, noteOn) == 24);
static_assert(sizeof(ProcessSetup) == 24 && offsetof(ProcessSetup, sampleRate) == 16);
static_assert(sizeof(AudioBusBuffers) == 24 && offsetof(AudioBusBuffers, silenceFlags) == 8 &&
              offsetof(AudioBusBuffers, channelBuffers32) == 16);
static_assert(sizeof(ProcessContext) == 112 && offsetof(ProcessContext, sampleRate) == 8 &&
              offsetof(ProcessContext, tempo) == 72 && offsetof(ProcessContext, timeSigNumerator) == 80 &&
              offsetof(ProcessContext, chord) == 88 && offsetof(ProcessContext, frameRate) == 96 &&
              offsetof(ProcessContext, samplesToNextClock) == 104);
static_assert(sizeof(ProcessData) == 80 && offsetof(ProcessData, inputs) == 24 &&
              offsetof(ProcessData, inputParameterChanges) == 40 && offsetof(ProcessData, inputEvents) == 56 &&
              offsetof(ProcessData, processContext) == 72);
static_assert(IComponent::iid.word(0) == 0xE831FF31 && IAudioProcessor::iid.word(3) == 0x9AAEC33D);

}  // namespace vst3
