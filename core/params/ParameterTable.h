// The instrument's hundred parameters: their indices by name and one row each with everything the other
// parts of the system say about them (host name, editor caption and label, controller, value text,
// choices, default). Engine, editor, formats and tools read parameters only through this table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Numeric.h"

namespace tamblin {

constexpr int kNumParams = 100;        // host parameters 0..99
constexpr int kNumStoredValues = 101;  // programs also store value 100, which nothing reads

// Parameter indices. kWaveType1 shapes oscillators 1 and 2, kWaveType2 oscillators 3 and 4;
// kFilterVelocity is the velocity-to-filter amount taken at note-on; kArpRate the arpeggiator step
// length; kGateTempo the gate speed against the host tempo; the two gate patterns hold sixteen steps in
// 16 bits. Storing kPlayMode, with any value, releases every held key. The kSpare entries are stored,
// reported and saved like the others; nothing reads them.
enum ParamId : int32_t {
  // clang-format off
  kVolume = 0, kPortamento = 1,
  kOsc12Attack = 2, kOsc12Release = 3, kOsc12Sustain = 4, kOsc12Decay = 5,
  kWaveType1 = 6, kWaveType2 = 7,
  kTune1 = 8, kTune2 = 9, kTune3 = 10, kTune4 = 11,
  kSpare12 = 12, kSpare13 = 13,
  kOscMix = 14,
  kOsc34Attack = 15, kOsc34Release = 16, kOsc34Sustain = 17, kOsc34Decay = 18,
  kFilterTracking = 19,
  kUnisonAmount = 20, kUnisonSpread = 21, kUnisonSpeed = 22, kUnisonPhase = 23,
  kTremoloAmount = 24, kTremoloSpeed = 25,
  kFilterModAmount = 26, kFilterModSpeed = 27,
  kVibratoAmount = 28, kVibratoSpeed = 29,
  kFilterType = 30, kFilterFrequency = 31, kFilterQ = 32, kFilterEnvelope = 33, kFilterRelease = 34,
  kFilterAttack = 35,
  kStereoAmount = 36, kStereoWidth = 37, kStereoSpeed = 38,
  kFilterVelocity = 39,
  kPwm12Amount = 40, kPwm12Speed = 41, kPwm34Amount = 42, kPwm34Speed = 43,
  kSpare44 = 44, kSpare45 = 45, kSpare46 = 46, kSpare47 = 47, kSpare48 = 48, kSpare49 = 49, kSpare50 = 50,
  kSpare51 = 51, kSpare52 = 52, kSpare53 = 53, kSpare54 = 54, kSpare55 = 55, kSpare56 = 56,
  kPanAmount = 57, kPanSpeed = 58,
  kArpRate = 59,
  kSpare60 = 60, kSpare61 = 61, kSpare62 = 62, kSpare63 = 63, kSpare64 = 64, kSpare65 = 65, kSpare66 = 66,
  kSpare67 = 67, kSpare68 = 68, kSpare69 = 69, kSpare70 = 70, kSpare71 = 71, kSpare72 = 72, kSpare73 = 73,
  kSpare74 = 74, kSpare75 = 75, kSpare76 = 76, kSpare77 = 77,
  kPlayMode = 78, kVelocityToVolume = 79, kEnvelopeMode = 80, kVoiceCount = 81,
  kSpare82 = 82, kSpare83 = 83, kSpare84 = 84, kSpare85 = 85, kSpare86 = 86, kSpare87 = 87, kSpare88 = 88,
  kSpare89 = 89, kSpare90 = 90, kSpare91 = 91,
  kGatePatternVolume = 92, kGatePatternFilter = 93, kGateToVolume = 94, kGateToFilter = 95,
  kGateTempo = 96, kGateSmooth = 97, kGateLength = 98,
  kSpare99 = 99,
  // clang-format on
};

// The filter types, in the order of the filter type choice.
enum class FilterType : int32_t { Off, Low12, High12, BP12, BR12, Low24, High24, BP24, BR24, Ring, Comb };
constexpr int kFilterTypeCount = 11;

// How the editor writes a parameter's value as text.
enum class ValueFormat : uint8_t {
  None,        // no text
  Percent,     // 0 to 100 in steps of 0.1
  Decibel,     // -40 to 0 dB
  Semitones,   // -36 to 36
  Rate,        // LFO rate in Hz, "Off" at 0
  Cutoff,      // 20 Hz to 20.5 kHz
  OscMix,      // the balance of the two oscillator pairs
  Time,        // an envelope time from the list of times in quarter beats
  Choice,      // an entry of the row's choice list
  StepPattern  // sixteen on/off steps
};

// The window section a control stands in.
enum class Section : uint8_t {
  None,
  Main,
  Unison,
  StereoWidener,
  TremoloPan,
  Pwm,
  VibratoPortamento,
  Filter,
  TranceGate
};

// What a choice box does when it is pressed.
enum class BoxInput : uint8_t {
  None,
  StepOnClick,  // a left click (press and release inside) steps to the next choice
  StepOnPress,  // any button's press steps to the next choice
  FilterMenu,   // opens the filter type menu
  GateMenu,     // opens the gate length menu
};

// A parameter with `count` choices; names are null for the step patterns. menuNames: the items of the
// pop-up menu where the editor offers the choices in one, else null.
struct ChoiceList {
  const char* const* names = nullptr;
  int32_t count = 0;
  const char* const* menuNames = nullptr;
};

struct ParameterInfo {
  ParamId id;
  const char* hostName;  // what the host sees, "" for none
  Section section;
  const char* caption;  // caption of its dial or slider, "" for a choice box or no control
  const char* label;    // label line text of its dial or slider, exactly as shown, "" for none
  ValueFormat format;
  int32_t controller;  // the MIDI control change that sets it, -1 for none
  ChoiceList choices;
  const char* choicePrefix;  // choice box text before the choice's name
  BoxInput boxInput;
  float defaultValue;  // the value a reset (right press, double click) writes in the editor
  const char* title;   // a readable name for a choice box or step row, which carry no caption; else ""
};

// The row of index 0..99; a blank row for any other index.
const ParameterInfo& parameterInfo(int index);

// The host name of index; "" for indices without one and outside 0..99.
const char* parameterName(int index);

// The window section's heading, "" for none.
const char* sectionName(Section section);

// A readable name for every parameter, for hosts that show names beside values: the host name; else the
// section and the control's caption or title ("Filter: > Vel", "Main: Play Mode"); else "Spare N" for a
// parameter nothing reads.
std::string parameterTitle(int index);

// The parameter a MIDI control change sets, -1 for none (any number outside 0..127 included).
int32_t parameterForController(int controller);

// The factor N - 0.01 a value of a parameter with N choices is scaled by (1.99, 2.99, ..., 65535.99).
constexpr float choiceFactor(int32_t count) { return static_cast<float>(count - 0.01); }

// Choice k of N, as the engine reads it: floorInt(v x (N - 0.01)) in float, kept inside 0..N - 1.
inline int32_t choiceIndex(float value, int32_t count) {
  const int32_t k = choiceOf(value, choiceFactor(count));
  return k < 0 ? 0 : (k > count - 1 ? count - 1 : k);
}
inline int32_t choiceIndex(ParamId id, float value) {
  return choiceIndex(value, parameterInfo(id).choices.count);
}

// The value at the centre of choice k of N: (k + 0.5) / (N - 0.01).
inline float choiceValue(int32_t k, int32_t count) { return static_cast<float>((k + 0.5) / (count - 0.01)); }

// The sixteen gate steps of a pattern value: step s (0..15) is bit 15 - s of the pattern word, a set
// bit an open step.
constexpr int32_t kPatternSteps = 16;
constexpr int32_t kPatternWords = 65536;
inline int32_t patternWord(float value) { return choiceIndex(value, kPatternWords); }
inline bool patternStepOpen(int32_t word, int32_t step) { return ((word >> (15 - step)) & 1) != 0; }
inline float patternValue(int32_t word) { return choiceValue(word, kPatternWords); }

}  // namespace tamblin
