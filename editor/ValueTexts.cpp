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

int floorInt(float x) {
  if (!std::isfinite(x)) return 0;
  return static_cast<int>(std::nearbyint(static_cast<double>(x) - 0.4999999));
}

int roundEven(double x) {
  if (!std::isfinite(x)) return 0;
  return static_cast<int>(std::nearbyint(x));
}

float pow2(float x) { return static_cast<float>(std::exp(0.6931472 * static_cast<double>(x))); }

int choiceIndex(float value, int count) {
  if (!(value > 0.0f)) return 0;  // also not-a-number
  // The product is rounded to a 32-bit float before the floor, as the engine reads its choices.
  const int k = floorInt(static_cast<float>(static_cast<double>(value) * (count - 0.01)));
  return k < 0 ? 0 : (k > count - 1 ? count - 1 : k);
}

float choiceValue(int k, int count) { return static_cast<float>((k + 0.5) / (count - 0.01)); }

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
const char* const kWave[] = {"Saw", "Sqr", "Exp", "Tri", "SoftSaw", "SoftSqr", "Vox", "Bell"};
const char* const kFilterType[] = {"Off",    "Low12", "High12", "BP12", "BR12", "Low24",
                                   "High24", "BP24",  "BR24",   "Ring", "Comb"};
const char* const kArpRate[] = {"1/16", "1/12", "1/8", "1/6", "1/4", "1/3", "1/2", "2/3", "1", "3/2", "2"};
const char* const kFilterTrack[] = {"FTrack:Off", "FTrack:On"};
const char* const kVelocity[] = {"Vel>Vol Off", "Vel>Vol On"};
const char* const kEnvelopeMode[] = {"Same Env", "Indp Env"};
const char* const kVoiceCount[] = {"8 Poly", "16 Poly"};
const char* const kPlayMode[] = {"Poly", "Legato", "Arp"};
const char* const kGateTempo[] = {"1/4xTmp", "1/2xTmp", "Tempo", "2xTmp", "4xTmp"};
const char* const kGateLength[] = {"1 Step",   "2 Steps",  "3 Steps",  "4 Steps",  "5 Steps",  "6 Steps",
                                   "7 Steps",  "8 Steps",  "9 Steps",  "10 Steps", "11 Steps", "12 Steps",
                                   "13 Steps", "14 Steps", "15 Steps", "16 Steps"};

template <int N>
constexpr NameList listOf(const char* const (&names)[N]) {
  return NameList{names, N};
}

}  // namespace

const NameList kTimeNames = listOf(kTime);
const NameList kWaveNames = listOf(kWave);
const NameList kFilterTypeNames = listOf(kFilterType);
const NameList kArpRateNames = listOf(kArpRate);
const NameList kFilterTrackNames = listOf(kFilterTrack);
const NameList kVelocityNames = listOf(kVelocity);
const NameList kEnvelopeModeNames = listOf(kEnvelopeMode);
const NameList kVoiceCountNames = listOf(kVoiceCount);
const NameList kPlayModeNames = listOf(kPlayMode);
const NameList kGateTempoNames = listOf(kGateTempo);
const NameList kGateLengthNames = listOf(kGateLength);

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
    case ValueFormat::Percent:
      return percentText(v, separator);
    case ValueFormat::Decibel:
      return decibelText(v, separator);
    case ValueFormat::Semitones:
      return semitoneText(v);
    case ValueFormat::Rate:
      return rateText(v, separator);
    case ValueFormat::Cutoff:
      return cutoffText(v, separator);
    case ValueFormat::OscMix:
      return oscMixText(v);
    case ValueFormat::Time:
      return timeText(v);
  }
  return {};
}

namespace {

using F = ValueFormat;
// The controller numbers are part of the texts; five of them name a neighbour's controller.
const LabelEntry kLabels[] = {
    {0, "Volume (cc7) ", F::Decibel},
    {1, "Port (cc65) ", F::Percent},
    {2, "Osc 1..2 Attack (cc73) ", F::Time},
    {3, "Osc 1..2 Release (cc72) ", F::Time},
    {4, "Osc 1..2 Sustain Level (cc64) ", F::Percent},
    {5, "Osc 1..2 Decay (cc66) ", F::Time},
    {8, "Tune 1 (cc85) ", F::Semitones},
    {9, "Tune 2 (cc86) ", F::Semitones},
    {10, "Tune 3 (cc87) ", F::Semitones},
    {11, "Tune 4 (cc88) ", F::Semitones},
    {14, "Osc Mix (cc67) ", F::OscMix},
    {15, "Osc 3..3 Attack (cc91)", F::Time},
    {16, "Osc 3..4 Release (cc94)", F::Time},
    {17, "Osc 3..4 Sustain Level (cc93)", F::Percent},
    {18, "Osc 3..4 Decay (cc92)", F::Time},
    {20, "Unison Amount (cc75) ", F::Percent},
    {21, "Unsion Spread ", F::Percent},
    {22, "Unison Speed (cc76) ", F::Rate},
    {23, "Unsion Phase Spread ", F::Percent},
    {24, "Tremolo Amount (cc77) ", F::Percent},
    {25, "Tremolo Speed (cc78) ", F::Rate},
    {26, "Filter Mod Amount (cc84) ", F::Percent},
    {27, "Filter Mod Speed (cc83) ", F::Rate},
    {28, "Vibrato Amount (cc80) ", F::Percent},
    {29, "Vibrato Speed (cc79) ", F::Rate},
    {31, "Filter Freq (cc74) ", F::Cutoff},
    {32, "Filter Q  (cc71) ", F::Percent},
    {33, "Filter Env Amt ", F::Percent},
    {34, "Filter Release ", F::Time},
    {35, "Filter Attack ", F::Time},
    {36, "Stereo Amount (cc81) ", F::Percent},
    {37, "Stereo Width (cc82) ", F::Percent},
    {38, "Stereo Speed ", F::Rate},
    {39, "Filter > Vel ", F::Percent},
    {40, "PWM 1..2 Amount", F::Percent},
    {41, "PWM 1..2 Speed ", F::Rate},
    {42, "PWM 3..4 Amount", F::Percent},
    {43, "PWM 3..4 Speed ", F::Rate},
    {57, "Pan Amount (cc68) ", F::Percent},
    {58, "Pan Speed (cc69) ", F::Rate},
    {94, "Gate to Volume", F::Percent},
    {95, "Gate to Filter", F::Percent},
    {97, "Gate Smooth", F::Percent},
};

}  // namespace

const LabelEntry* labelFor(int index) {
  for (const LabelEntry& entry : kLabels) {
    if (entry.index == index) return &entry;
  }
  return nullptr;
}

std::string choiceBoxText(int index, float value) {
  switch (index) {
    case 6:
      return "Osc 1..2 : " + std::string(kWaveNames.at(value));
    case 7:
      return "Osc 3..4 : " + std::string(kWaveNames.at(value));
    case 30:
      return "Filter " + std::string(kFilterTypeNames.at(value));
    case 19:
      return std::string(kFilterTrackNames.at(value));
    case 79:
      return std::string(kVelocityNames.at(value));
    case 80:
      return std::string(kEnvelopeModeNames.at(value));
    case 81:
      return std::string(kVoiceCountNames.at(value));
    case 78:
      return std::string(kPlayModeNames.at(value));
    case 59:
      return "Arp x " + std::string(kArpRateNames.at(value));
    case 96:
      return std::string(kGateTempoNames.at(value));
    case 98:
      return std::string(kGateLengthNames.at(value));
    default:
      return {};
  }
}

std::string_view filterMenuText(int item) {
  static const char* const kItems[kFilterMenuItems] = {"Bypass ", "Low12 ", "High12 ", "Bp12 ",
                                                       "Br12 ",   "Low24 ", "High24 ", "Bp24 ",
                                                       "Br24 ",   "Ring ",  "Comb "};
  return item >= 0 && item < kFilterMenuItems ? kItems[item] : std::string_view();
}

std::string gateMenuText(int item) {
  if (item < 0 || item >= kGateMenuItems) return {};
  return "TGate Len : " + std::to_string(item + 1) + " step";
}

}  // namespace tamblin::texts
