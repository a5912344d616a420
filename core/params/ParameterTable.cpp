// The parameter table: one row per parameter, and the lookups built from it.
#include "ParameterTable.h"

#include <array>

namespace tamblin {

namespace {

constexpr const char* const kWaves[] = {"Saw", "Sqr", "Exp", "Tri", "SoftSaw", "SoftSqr", "Vox", "Bell"};
constexpr const char* const kFilterTypes[] = {"Off",    "Low12", "High12", "BP12", "BR12", "Low24",
                                              "High24", "BP24",  "BR24",   "Ring", "Comb"};
constexpr const char* const kFilterMenuItems[] = {"Bypass ", "Low12 ", "High12 ", "Bp12 ", "Br12 ", "Low24 ",
                                                  "High24 ", "Bp24 ",  "Br24 ",   "Ring ", "Comb "};
constexpr const char* const kArpRates[] = {"1/16", "1/12", "1/8", "1/6", "1/4", "1/3",
                                           "1/2",  "2/3",  "1",   "3/2", "2"};
constexpr const char* const kTrackingNames[] = {"FTrack:Off", "FTrack:On"};
constexpr const char* const kVelocityNames[] = {"Vel>Vol Off", "Vel>Vol On"};
constexpr const char* const kEnvelopeModes[] = {"Same Env", "Indp Env"};
constexpr const char* const kVoiceCounts[] = {"8 Poly", "16 Poly"};
constexpr const char* const kPlayModes[] = {"Poly", "Legato", "Arp"};
constexpr const char* const kGateTempos[] = {"1/4xTmp", "1/2xTmp", "Tempo", "2xTmp", "4xTmp"};
constexpr const char* const kGateLengths[] = {
    "1 Step",  "2 Steps",  "3 Steps",  "4 Steps",  "5 Steps",  "6 Steps",  "7 Steps",  "8 Steps",
    "9 Steps", "10 Steps", "11 Steps", "12 Steps", "13 Steps", "14 Steps", "15 Steps", "16 Steps"};
static_assert(std::size(kFilterTypes) == kFilterTypeCount && std::size(kFilterMenuItems) == kFilterTypeCount);
// A choice of N is read with the factor N - 0.01 rounded once to float: 1.99 for two choices, 10.99
// for the eleven filter types, 65535.99 for a gate pattern word.
static_assert(choiceFactor(2) == 1.99f && choiceFactor(3) == 2.99f && choiceFactor(5) == 4.99f &&
              choiceFactor(8) == 7.99f && choiceFactor(11) == 10.99f && choiceFactor(16) == 15.99f &&
              choiceFactor(kPatternWords) == 65535.99f);
static_assert(kFilterTypeCount - 0.01 == 10.99 && 16 - 0.01 == 15.99 && kPatternWords - 0.01 == 65535.99);

template <int N>
constexpr ChoiceList listOf(const char* const (&names)[N]) {
  return ChoiceList{names, N};
}

using S = Section;
using F = ValueFormat;
using B = BoxInput;

// A dial or slider: host name, section, caption, label line text, value format, controller, default.
constexpr ParameterInfo control(ParamId id, const char* hostName, Section section, const char* caption,
                                const char* label, ValueFormat format, int32_t controller = -1,
                                float defaultValue = 0.0f) {
  return ParameterInfo{id,         hostName, section, caption, label,       format,
                       controller, {},       "",      B::None, defaultValue, ""};
}
// A choice box: host name, section, choices, the text before the choice's name, what a press does, and
// its title.
constexpr ParameterInfo choice(ParamId id, const char* hostName, Section section, ChoiceList choices,
                               const char* prefix, BoxInput input, const char* title) {
  return ParameterInfo{id, hostName, section, "", "", F::Choice, -1, choices, prefix, input, 0.0f, title};
}
constexpr ParameterInfo pattern(ParamId id, const char* title) {
  return ParameterInfo{id, "",      S::TranceGate, "",   "",  F::StepPattern, -1, {nullptr, kPatternWords},
                       "", B::None, 0.0f,          title};
}

// The controller numbers inside the label texts are part of the texts: five of them name a neighbour's
// controller (cc84 for 26, cc83 for 27, cc80 for 28, cc79 for 29, cc82 for 37). "Filter Enveleope" is
// the name hosts know the parameter by.
constexpr ParameterInfo kRows[] = {
    control(kVolume, "Volume", S::Main, "Volume", "Volume (cc7) ", F::Decibel, 7, 0.75f),
    control(kPortamento, "Port", S::VibratoPortamento, "Port", "Port (cc65) ", F::Percent, 65),
    control(kOsc12Attack, "Osc 1..2 Attack", S::Main, "Osc 1..2: Attack", "Osc 1..2 Attack (cc73) ", F::Time,
            73),
    control(kOsc12Release, "Osc 1..2 Release", S::Main, "Osc 1..2: Release", "Osc 1..2 Release (cc72) ",
            F::Time, 72),
    control(kOsc12Sustain, "Osc 1..2 Sustain", S::Main, "Osc 1..2: Sustain", "Osc 1..2 Sustain Level (cc64) ",
            F::Percent, 64, 1.0f),
    control(kOsc12Decay, "Osc 1..2 Decay", S::Main, "Osc 1..2: Decay", "Osc 1..2 Decay (cc66) ", F::Time, 66),
    choice(kWaveType1, "Wave Type 1", S::Main, listOf(kWaves), "Osc 1..2 : ", B::StepOnClick, "Wave Type 1"),
    choice(kWaveType2, "Wave Type 2", S::Main, listOf(kWaves), "Osc 3..4 : ", B::StepOnClick, "Wave Type 2"),
    control(kTune1, "Tune 1", S::Main, "Tune 1", "Tune 1 (cc85) ", F::Semitones, 85, 0.5f),
    control(kTune2, "Tune 2", S::Main, "Tune 2", "Tune 2 (cc86) ", F::Semitones, 86, 0.5f),
    control(kTune3, "Tune 3", S::Main, "Tune 3", "Tune 3 (cc87) ", F::Semitones, 87, 0.5f),
    control(kTune4, "Tune 4", S::Main, "Tune 4", "Tune 4 (cc88) ", F::Semitones, 88, 0.5f),
    control(kOscMix, "Osc 1..2/3..4 Mix", S::Main, "Osc Mix", "Osc Mix (cc67) ", F::OscMix, 67, 0.5f),
    control(kOsc34Attack, "Osc 3..4 Attack", S::Main, "Osc 3..4: Attack", "Osc 3..3 Attack (cc91)", F::Time,
            91),
    control(kOsc34Release, "Osc 3..4 Release", S::Main, "Osc 3..4: Release", "Osc 3..4 Release (cc94)",
            F::Time, 94),
    control(kOsc34Sustain, "Osc 3..4 Sustain", S::Main, "Osc 3..4: Sustain", "Osc 3..4 Sustain Level (cc93)",
            F::Percent, 93, 1.0f),
    control(kOsc34Decay, "Osc 3..4 Decay", S::Main, "Osc 3..4: Decay", "Osc 3..4 Decay (cc92)", F::Time, 92),
    choice(kFilterTracking, "", S::Main, listOf(kTrackingNames), "", B::StepOnPress, "Filter Tracking"),
    control(kUnisonAmount, "Unison Amount", S::Unison, "Amt", "Unison Amount (cc75) ", F::Percent, 75),
    control(kUnisonSpread, "Unison Spread", S::Unison, "Spread", "Unsion Spread ", F::Percent),
    control(kUnisonSpeed, "Unison Speed", S::Unison, "Speed", "Unison Speed (cc76) ", F::Rate, 76),
    control(kUnisonPhase, "Unison Phase", S::Unison, "Phase", "Unsion Phase Spread ", F::Percent),
    control(kTremoloAmount, "Tremolo Amount", S::TremoloPan, "Trem Amt", "Tremolo Amount (cc77) ", F::Percent,
            77),
    control(kTremoloSpeed, "Tremolo Speed", S::TremoloPan, "Speed", "Tremolo Speed (cc78) ", F::Rate, 78),
    control(kFilterModAmount, "Filter Mod Amount", S::Filter, "Mod Amt", "Filter Mod Amount (cc84) ",
            F::Percent, 83),
    control(kFilterModSpeed, "Filter Mod Speed", S::Filter, "Mod Spd", "Filter Mod Speed (cc83) ", F::Rate,
            84),
    control(kVibratoAmount, "Vibrato Amount", S::VibratoPortamento, "Vib Amt", "Vibrato Amount (cc80) ",
            F::Percent, 79),
    control(kVibratoSpeed, "Vibrato Speed", S::VibratoPortamento, "Vib Spd", "Vibrato Speed (cc79) ", F::Rate,
            80),
    choice(kFilterType, "Filter Type", S::Main, {kFilterTypes, kFilterTypeCount, kFilterMenuItems}, "Filter ",
           B::FilterMenu, "Filter Type"),
    control(kFilterFrequency, "Filter Frequency", S::Filter, "Freq", "Filter Freq (cc74) ", F::Cutoff, 74,
            1.0f),
    control(kFilterQ, "Filter Q", S::Filter, "Q", "Filter Q  (cc71) ", F::Percent, 71),
    control(kFilterEnvelope, "Filter Enveleope", S::Filter, "Env", "Filter Env Amt ", F::Percent),
    control(kFilterRelease, "Filter Release", S::Filter, "Rel", "Filter Release ", F::Time),
    control(kFilterAttack, "Filter Attack", S::Filter, "Att", "Filter Attack ", F::Time),
    control(kStereoAmount, "Stereo Amount", S::StereoWidener, "Amt", "Stereo Amount (cc81) ", F::Percent, 81),
    control(kStereoWidth, "Stereo Width", S::StereoWidener, "Width", "Stereo Width (cc82) ", F::Percent),
    control(kStereoSpeed, "Stereo Speed", S::StereoWidener, "Speed", "Stereo Speed ", F::Rate, 82),
    control(kFilterVelocity, "", S::Filter, "> Vel", "Filter > Vel ", F::Percent),
    control(kPwm12Amount, "Osc 1..2 PWM Amount", S::Pwm, "1..2 Amt", "PWM 1..2 Amount", F::Percent),
    control(kPwm12Speed, "Osc 1..2 PWM Speed", S::Pwm, "1..2 Spd", "PWM 1..2 Speed ", F::Rate),
    control(kPwm34Amount, "Osc 3..4 PWM Amount", S::Pwm, "3..4 Amt", "PWM 3..4 Amount", F::Percent),
    control(kPwm34Speed, "Osc 3..4 PWM Speed", S::Pwm, "3..4 Spd", "PWM 3..4 Speed ", F::Rate),
    control(kPanAmount, "Pan Amount", S::TremoloPan, "Pan Amt", "Pan Amount (cc68) ", F::Percent, 68),
    control(kPanSpeed, "Pan Speed", S::TremoloPan, "Speed", "Pan Speed (cc69) ", F::Rate, 69),
    choice(kArpRate, "", S::Main, listOf(kArpRates), "Arp x ", B::StepOnClick, "Arp Rate"),
    choice(kPlayMode, "", S::Main, listOf(kPlayModes), "", B::StepOnClick, "Play Mode"),
    choice(kVelocityToVolume, "", S::Main, listOf(kVelocityNames), "", B::StepOnClick, "Velocity to Volume"),
    choice(kEnvelopeMode, "", S::Main, listOf(kEnvelopeModes), "", B::StepOnClick, "Envelope Mode"),
    choice(kVoiceCount, "", S::Main, listOf(kVoiceCounts), "", B::StepOnClick, "Voice Count"),
    pattern(kGatePatternVolume, "Volume Steps"),
    pattern(kGatePatternFilter, "Filter Steps"),
    control(kGateToVolume, "Gate > Vol", S::TranceGate, "To Vol", "Gate to Volume", F::Percent),
    control(kGateToFilter, "Gate > Filter", S::TranceGate, "To Filt", "Gate to Filter", F::Percent),
    choice(kGateTempo, "", S::TranceGate, listOf(kGateTempos), "", B::StepOnClick, "Gate Tempo"),
    control(kGateSmooth, "Gate Smooth", S::TranceGate, "Smooth", "Gate Smooth", F::Percent),
    choice(kGateLength, "", S::TranceGate, listOf(kGateLengths), "", B::GateMenu, "Gate Length"),
};

// Rows by index; indices without a row are blank (no name, no control, no controller).
struct Table {
  std::array<ParameterInfo, kNumParams> rows;
  ParameterInfo blank;
  std::array<int8_t, 128> byController;
};

constexpr Table buildTable() {
  Table table{};
  table.blank = ParameterInfo{kSpare99, "", S::None, "", "", F::None, -1, {}, "", B::None, 0.0f, ""};
  for (int i = 0; i < kNumParams; ++i) {
    table.rows[i] = table.blank;
    table.rows[i].id = static_cast<ParamId>(i);
  }
  table.byController.fill(-1);
  for (const ParameterInfo& row : kRows) {
    table.rows[row.id] = row;
    if (row.controller >= 0) table.byController[row.controller] = static_cast<int8_t>(row.id);
  }
  return table;
}

constexpr Table kTable = buildTable();

}  // namespace

const ParameterInfo& parameterInfo(int index) {
  return index >= 0 && index < kNumParams ? kTable.rows[index] : kTable.blank;
}

const char* parameterName(int index) { return parameterInfo(index).hostName; }

const char* sectionName(Section section) {
  switch (section) {
    case Section::Main:
      return "Main";
    case Section::Unison:
      return "Unison";
    case Section::StereoWidener:
      return "Stereo Widener";
    case Section::TremoloPan:
      return "Tremolo / Pan";
    case Section::Pwm:
      return "PWM";
    case Section::VibratoPortamento:
      return "Vibrato / Portamento";
    case Section::Filter:
      return "Filter";
    case Section::TranceGate:
      return "TranceGate";
    case Section::None:
      break;
  }
  return "";
}

std::string parameterTitle(int index) {
  const ParameterInfo& info = parameterInfo(index);
  if (info.hostName[0] != '\0') return info.hostName;
  const char* control = info.caption[0] != '\0' ? info.caption : info.title;
  if (control[0] == '\0' || info.section == Section::None) return "Spare " + std::to_string(index);
  return std::string(sectionName(info.section)) + ": " + control;
}

int32_t parameterForController(int controller) {
  return controller >= 0 && controller < 128 ? kTable.byController[controller] : -1;
}

}  // namespace tamblin
