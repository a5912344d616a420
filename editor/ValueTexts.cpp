// Value texts and labels of the editor: number format, name lists, choice box texts, label line texts.
#include "ValueTexts.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <langinfo.h>
#include <locale.h>
#endif

#include <charconv>
#include <cmath>
#include <cstring>

namespace tamblin::texts {

int roundEven(double x) {
  if (x != x) return 0;
  if (!(std::fabs(x) < 2147483520.0)) return x > 0.0 ? INT32_MAX : INT32_MIN;
  return static_cast<int>(roundHalfEven(x));
}

int choiceIndex(float value, int count) {
  if (!(value > 0.0f)) return 0;  // also not-a-number
  // The product is rounded to a 32-bit float before the floor, as the engine reads its choices.
  const int k = floorInt(static_cast<float>(static_cast<double>(value) * (count - 0.01)));
  return k < 0 ? 0 : (k > count - 1 ? count - 1 : k);
}

std::string userDecimalSeparator() {
  char separator = '.';
#if defined(_WIN32)
  char radix[8] = {};
  // The answer counts the terminating zero: 2 for a one-character separator.
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, radix, sizeof radix) == 2 && radix[0] > ' ' &&
      radix[0] < 127)
    separator = radix[0];
  return std::string(1, separator);
#else
  locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (user == static_cast<locale_t>(nullptr)) return std::string(1, separator);
  const char* radix = nl_langinfo_l(RADIXCHAR, user);
  if (radix != nullptr && std::strlen(radix) == 1 && radix[0] > ' ' && radix[0] < 127) separator = radix[0];
  freelocale(user);
  return std::string(1, separator);
#endif
}

std::string formatNumber(double x, std::string_view decimalSeparator) {
  if (!std::isfinite(x)) x = 0.0;
  if (x == 0.0) x = 0.0;  // no "-0"
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general, 15);
  std::string text(buffer, error == std::errc() ? end : buffer);
  if (text.find('e') != std::string::npos) {
    // Too small or too large for the plain form: write the digits out.
    auto [fixedEnd, fixedError] =
        std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, 15);
    text.assign(buffer, fixedError == std::errc() ? fixedEnd : buffer);
    if (text.find('.') != std::string::npos) {
      while (!text.empty() && text.back() == '0') text.pop_back();
      if (!text.empty() && text.back() == '.') text.pop_back();
    }
  }
  const auto point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, decimalSeparator);
  return text;
}

namespace {

const char* const kTime[] = {
    "Off",    "1/32 qb", "1/16 qb", "1/12 qb", "1/8 qb", "1/6 qb", "1/4 qb", "1/3 qb", "3/8 qb", "1/2 qb",
    "5/8 qb", "2/3 qb",  "3/4 qb",  "7/8 qb",  "1 qb",   "5/4 qb", "4/3 qb", "3/2 qb", "5/3 qb", "7/4 qb",
    "2 qb",   "5/2 qb",  "3 qb",    "7/2 qb",  "4 qb",   "5 qb",   "6 qb",   "7 qb",   "8 qb",   "9 qb",
    "10 qb",  "12 qb",   "14 qb",   "16 qb",   "20 qb",  "24 qb",  "28 qb",  "32 qb",  "36 qb",  "40 qb",
    "44 qb",  "48 qb",   "56 qb",   "64 qb",   "80 qb",  "96 qb",  "128 qb", "192 qb", "256 qb", "Always On"};
template <int N>
constexpr NameList listOf(const char* const (&names)[N]) {
  return NameList{names, N};
}

}  // namespace

const NameList kTimeNames = listOf(kTime);

std::string percentText(float v, std::string_view separator) {
  return formatNumber(roundEven(1000.0 * v) / 10.0, separator) + "%";
}

std::string decibelText(float v, std::string_view separator) {
  const float x = static_cast<float>(40.0 * v - 40.0);  // one rounding, not two
  return formatNumber(floorInt(10.0f * x) / 10.0, separator) + "dB";
}

std::string semitoneText(float v) {
  return std::to_string(floorInt(static_cast<float>(72.99 * v - 36.0))) + " semi";
}

std::string rateText(float v, std::string_view separator) {
  if (v == 0.0f) return "Off";
  const float f = pow2(10.0f * v) * 55.0f / 2048.0f;
  const double shown = f < 10.0f ? floorInt(100.0f * f) / 100.0 : floorInt(10.0f * f) / 10.0;
  return formatNumber(shown, separator) + "Hz";
}

std::string cutoffText(float v, std::string_view separator) {
  const float f = 20.0f * pow2(10.0f * v);
  if (f < 1000.0f) return formatNumber(roundEven(f), separator) + "Hz";
  return formatNumber(roundEven(f / 100.0) / 10.0, separator) + "KHz";
}

std::string oscMixText(float v) {
  std::string first = "100%";
  std::string second = "100";
  if (v < 0.5f) {
    first = std::to_string(floorInt(200.0f * v)) + "%";
  } else {
    // Rounded once: with float steps 200 x 0.99 becomes 198 and the part would read 2, not 1.
    second = std::to_string(floorInt(static_cast<float>(200.0 - 200.0 * v)));
  }
  return "1..2 / 3..4  : " + first + "/" + second;
}

std::string timeText(float v) { return std::string(kTimeNames.at(v)); }

std::string valueText(ValueFormat format, float v, std::string_view separator) {
  switch (format) {
    case ValueFormat::Percent: return percentText(v, separator);
    case ValueFormat::Decibel: return decibelText(v, separator);
    case ValueFormat::Semitones: return semitoneText(v);
    case ValueFormat::Rate: return rateText(v, separator);
    case ValueFormat::Cutoff: return cutoffText(v, separator);
    case ValueFormat::OscMix: return oscMixText(v);
    case ValueFormat::Time: return timeText(v);
    case ValueFormat::None:
    case ValueFormat::Choice:
    case ValueFormat::StepPattern: break;  // no label line text
  }
  return {};
}

const ParameterInfo* labelFor(int index) {
  const ParameterInfo& row = parameterInfo(index);
  return row.label[0] != '\0' ? &row : nullptr;
}

std::string choiceBoxText(int index, float value) {
  const ParameterInfo& row = parameterInfo(index);
  if (row.format != ValueFormat::Choice) return {};
  return row.choicePrefix + std::string(row.choices.names[choiceIndex(value, row.choices.count)]);
}

std::string_view filterMenuText(int item) {
  const ChoiceList& types = parameterInfo(kFilterType).choices;
  return item >= 0 && item < types.count ? types.menuNames[item] : std::string_view();
}

int gateMenuItems() { return parameterInfo(kGateLength).choices.count; }

std::string gateMenuText(int item) {
  if (item < 0 || item >= gateMenuItems()) return {};
  return "TGate Len : " + std::to_string(item + 1) + " step";
}

}  // namespace tamblin::texts
