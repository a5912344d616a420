// Value texts of the label line and the choice boxes at the edges of their ranges.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

#include "ValueTexts.h"

namespace tamblin::texts {
namespace {

TEST(ValueTexts, NumbersAreShortestDecimalsWithTheGivenSeparator) {
  EXPECT_EQ(formatNumber(-10.0, "."), "-10");
  EXPECT_EQ(formatNumber(0.85, "."), "0.85");
  EXPECT_EQ(formatNumber(27.5, ","), "27,5");
  EXPECT_EQ(formatNumber(100.0, ","), "100");
  EXPECT_EQ(formatNumber(-0.0, "."), "0");
  EXPECT_EQ(formatNumber(0.00001, "."), "0.00001");  // never an exponent
}

TEST(ValueTexts, DecibelsTakeTheTenthTowardMinusInfinity) {
  EXPECT_EQ(decibelText(0.75f, "."), "-10dB");
  EXPECT_EQ(decibelText(0.123f, "."), "-35.1dB");
  EXPECT_EQ(decibelText(0.123f, ","), "-35,1dB");
  EXPECT_EQ(decibelText(0.0f, "."), "-40dB");
  EXPECT_EQ(decibelText(1.0f, "."), "0dB");
}

TEST(ValueTexts, PercentRatesAndCutoffs) {
  EXPECT_EQ(percentText(0.1234f, "."), "12.3%");
  EXPECT_EQ(percentText(0.5f, "."), "50%");
  EXPECT_EQ(percentText(1.0f, "."), "100%");
  EXPECT_EQ(rateText(0.0f, "."), "Off");
  EXPECT_EQ(rateText(0.5f, "."), "0.85Hz");
  EXPECT_EQ(rateText(1.0f, "."), "27.5Hz");
  EXPECT_EQ(rateText(0.1f, "."), "0.05Hz");
  EXPECT_EQ(cutoffText(0.0f, "."), "20Hz");
  EXPECT_EQ(cutoffText(0.5f, "."), "640Hz");
  EXPECT_EQ(cutoffText(1.0f, "."), "20.5KHz");
}

TEST(ValueTexts, SemitonesOscMixAndTimes) {
  EXPECT_EQ(semitoneText(0.5f), "0 semi");
  EXPECT_EQ(semitoneText(1.0f), "36 semi");
  EXPECT_EQ(semitoneText(0.0f), "-36 semi");
  EXPECT_EQ(oscMixText(0.25f), "1..2 / 3..4  : 50%/100");
  EXPECT_EQ(oscMixText(0.5f), "1..2 / 3..4  : 100%/100");
  EXPECT_EQ(oscMixText(1.0f), "1..2 / 3..4  : 100%/0");
  EXPECT_EQ(oscMixText(0.0f), "1..2 / 3..4  : 0%/100");
  EXPECT_EQ(timeText(0.0f), "Off");
  EXPECT_EQ(timeText(1.0f), "Always On");
  EXPECT_EQ(timeText(0.5f), "4 qb");
}

TEST(ValueTexts, ChoiceListsStayInsideForEveryValue) {
  EXPECT_EQ(choiceBoxText(kGateLength, 1.0f), "16 Steps");
  EXPECT_EQ(choiceBoxText(kFilterType, 1.0f), "Filter Comb");
  EXPECT_EQ(choiceBoxText(kWaveType1, 0.0f), "Osc 1..2 : Saw");
  EXPECT_EQ(choiceBoxText(kArpRate, 0.5f), "Arp x 1/3");
  // Values a host should never send still name an entry of the list.
  EXPECT_EQ(choiceBoxText(kPlayMode, 7.0f), "Arp");
  EXPECT_EQ(choiceBoxText(kPlayMode, -3.0f), "Poly");
  EXPECT_EQ(choiceBoxText(kPlayMode, std::numeric_limits<float>::quiet_NaN()), "Poly");
  EXPECT_EQ(choiceBoxText(12, 0.5f), "");
  // Every written choice reads back as itself.
  for (int count : {2, 3, 5, 8, 11, 16, 50}) {
    for (int k = 0; k < count; ++k) EXPECT_EQ(choiceIndex(choiceValue(k, count), count), k);
  }
  EXPECT_FLOAT_EQ(choiceValue(0, 2), 0.2512563f);
  EXPECT_FLOAT_EQ(choiceValue(1, 2), 0.7537688f);
}

// Each scaled value is rounded to a 32-bit float once, where the unit's formula ends, and pow2 is
// e^(0.6931472 x) taken wide: at these values a float step too many, or too few, moves the text.
TEST(ValueTexts, ScaledValuesAreRoundedOnceBeforeTheFloor) {
  // 200 x 0.99f is 198.0000019: 200 - 198.0000019 floors to 1, not to 2.
  EXPECT_EQ(oscMixText(0.99f), "1..2 / 3..4  : 100%/1");
  EXPECT_EQ(oscMixText(0.98f), "1..2 / 3..4  : 100%/3");
  EXPECT_EQ(decibelText(0.0174999721f, "."), "-39.3dB");
  EXPECT_EQ(rateText(0.0159746557f, "."), "0.03Hz");
  EXPECT_EQ(cutoffText(0.00356239616f, "."), "21Hz");
  // List entries too: 49.99 x 0.160032004 is 7.99999989, 8 as a float; 1.99 x 0.502512515 is
  // 0.99999990, which the floor's tolerance would take to 1, but as a float it is 0.99999988.
  EXPECT_EQ(timeText(0.160032004f), "3/8 qb");
  EXPECT_EQ(choiceBoxText(kVelocityToVolume, 0.502512515f), "Vel>Vol Off");
  EXPECT_EQ(choiceIndex(0.750938654f, 8), 6);
}

TEST(ValueTexts, LabelsKeepTheirControllerNumbersAsWritten) {
  ASSERT_NE(labelFor(kFilterModAmount), nullptr);
  EXPECT_STREQ(labelFor(kFilterModAmount)->label, "Filter Mod Amount (cc84) ");
  EXPECT_STREQ(labelFor(kOsc34Attack)->label, "Osc 3..3 Attack (cc91)");
  EXPECT_EQ(labelFor(kFilterFrequency)->format, ValueFormat::Cutoff);
  EXPECT_EQ(labelFor(12), nullptr);
  EXPECT_EQ(labelFor(kFilterType), nullptr);  // a choice box, not a drag control
  int withLabel = 0;
  for (int i = 0; i < 101; ++i) withLabel += labelFor(i) != nullptr;
  EXPECT_EQ(withLabel, 43);
}

TEST(ValueTexts, SeparatorComesFromTheUsersLocale) {
  // The C locale always exists; a locale that is not installed falls back to the point.
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(userDecimalSeparator(), ".");
  ::setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);
  EXPECT_EQ(userDecimalSeparator(), ".");
  ::unsetenv("LC_ALL");
}

}  // namespace
}  // namespace tamblin::texts
