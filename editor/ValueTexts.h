// Value texts and labels of the editor: number format, name lists, choice box texts, label line texts.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tamblin::texts {

// x - 0.4999999 rounded to the nearest integer, ties to even: the floor of ordinary values.
int floorInt(float x);
// Nearest integer, ties to even.
int roundEven(double x);
// e^(x * 0.6931472) as a 32-bit float.
float pow2(float x);

// Entry k = floorInt(v * (count - 0.01)) of a list of count entries, always 0..count - 1 for v in 0..1
// (values outside 0..1 and not-a-number are kept inside the list as well).
int choiceIndex(float value, int count);
// The value that writes choice k of count: (k + 0.5) / (count - 0.01).
float choiceValue(int k, int count);

// The decimal separator of the user's locale (LC_ALL, LC_NUMERIC, LANG), "." when it cannot be
// read or is not a single printable character. Reads the environment: call at window creation.
std::string userDecimalSeparator();

// Shortest general decimal form with up to 15 significant digits, no exponent, no trailing zeros.
std::string formatNumber(double x, std::string_view decimalSeparator);

// A name list of the choice boxes and the label line.
struct NameList {
  const char* const* names;
  int count;
  std::string_view at(float value) const { return names[choiceIndex(value, count)]; }
};

extern const NameList kTimeNames;
extern const NameList kWaveNames;
extern const NameList kFilterTypeNames;
extern const NameList kArpRateNames;
extern const NameList kFilterTrackNames;
extern const NameList kVelocityNames;
extern const NameList kEnvelopeModeNames;
extern const NameList kVoiceCountNames;
extern const NameList kPlayModeNames;
extern const NameList kGateTempoNames;
extern const NameList kGateLengthNames;

// How the label line writes a parameter's value.
enum class ValueFormat { Percent, Decibel, Semitones, Rate, Cutoff, OscMix, Time };

std::string percentText(float v, std::string_view separator);
std::string decibelText(float v, std::string_view separator);
std::string semitoneText(float v);
std::string rateText(float v, std::string_view separator);
std::string cutoffText(float v, std::string_view separator);
std::string oscMixText(float v);
std::string timeText(float v);
std::string valueText(ValueFormat format, float v, std::string_view separator);

// The label line entry of a drag control: its label and value format.
struct LabelEntry {
  int index;
  const char* label;
  ValueFormat format;
};
// Nullptr for an index without a drag control.
const LabelEntry* labelFor(int index);

// Text of the choice box bound to index from its value; empty for an index without a box.
std::string choiceBoxText(int index, float value);

// Texts of the two pop-up menus' items.
constexpr int kFilterMenuItems = 11;
constexpr int kGateMenuItems = 16;
std::string_view filterMenuText(int item);
std::string gateMenuText(int item);

// The label line's start text.
constexpr std::string_view kStartLabel = "Corvalith";
constexpr std::string_view kStartValue = "Brmx2004";

}  // namespace tamblin::texts
