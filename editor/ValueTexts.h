// Value texts and labels of the editor: number format, name lists, choice box texts, label line texts.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "ParameterTable.h"

namespace tamblin::texts {

// The engine's floorInt (x - 0.4999999 rounded to the nearest integer, ties to even) and pow2
// (e^(x * 0.6931472) as a 32-bit float), so that a text comes out the same on every platform.
using tamblin::floorInt;
using tamblin::pow2;
// Nearest integer, ties to even; 0 for not-a-number, held to the int range.
int roundEven(double x);

// Entry k = floorInt(v * (count - 0.01)) of a list of count entries, always 0..count - 1 for v in 0..1
// (values outside 0..1 and not-a-number are kept inside the list as well). The product is taken wide
// and rounded to a float once, which at a few values a hair below a boundary names the next entry.
int choiceIndex(float value, int count);
// The value that writes choice k of count: (k + 0.5) / (count - 0.01).
using tamblin::choiceValue;

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

// Envelope times in quarter beats.
extern const NameList kTimeNames;

// How the label line writes a parameter's value (each parameter's format is in its table row).
using tamblin::ValueFormat;

std::string percentText(float v, std::string_view separator);
std::string decibelText(float v, std::string_view separator);
std::string semitoneText(float v);
std::string rateText(float v, std::string_view separator);
std::string cutoffText(float v, std::string_view separator);
std::string oscMixText(float v);
std::string timeText(float v);
std::string valueText(ValueFormat format, float v, std::string_view separator);

// The row of the drag control bound to index, with its label and value format; nullptr for an index
// without a drag control.
const ParameterInfo* labelFor(int index);

// Text of the choice box bound to index from its value; empty for an index without a box.
std::string choiceBoxText(int index, float value);

// Texts of the two pop-up menus' items: one per filter type, one per gate length.
constexpr int kFilterMenuItems = kFilterTypeCount;
int gateMenuItems();
std::string_view filterMenuText(int item);
std::string gateMenuText(int item);

// The label line's start text.
constexpr std::string_view kStartLabel = "Corvalith";
constexpr std::string_view kStartValue = "Brmx2004";

}  // namespace tamblin::texts
