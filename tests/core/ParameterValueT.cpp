// Parameter values given as text: numbers, choices by name in any case, and what is refused.
#include <gtest/gtest.h>

#include <string>

#include "ParameterTable.h"
#include "ParameterValue.h"

TEST(ParameterValue, ReadsNumbersAndChoicesByName) {
  struct Case {
    const char* text;
    int index;
    float value;
  };
  const Case cases[] = {
      {"30=Low12", 30, tamblin::choiceValue(1, 11)},
      {"30=low12", 30, tamblin::choiceValue(1, 11)},
      {"30=COMB", 30, tamblin::choiceValue(10, 11)},
      {"6=SoftSqr", 6, tamblin::choiceValue(5, 8)},
      {"78=arp", 78, tamblin::choiceValue(2, 3)},
      {"98=16 steps", 98, tamblin::choiceValue(15, 16)},
      {"59=1/16", 59, tamblin::choiceValue(0, 11)},
      {"31=0.25", 31, 0.25f},
      {"30=1", 30, 1.0f},  // a number, also where a choice is named "1"
      {"0=0", 0, 0.0f},
      {"0=-0", 0, 0.0f},
      {"99=1e-3", 99, 0.001f},
  };
  for (const Case& c : cases) {
    std::string problem;
    const auto setting = tamblin::parseParameterSetting(c.text, problem);
    ASSERT_TRUE(setting) << c.text << ": " << problem;
    EXPECT_EQ(setting->index, c.index) << c.text;
    EXPECT_EQ(setting->value, c.value) << c.text;
    EXPECT_FALSE(std::signbit(setting->value)) << c.text;
  }
  // A named choice reads back as that choice.
  std::string problem;
  EXPECT_EQ(tamblin::choiceIndex(tamblin::kFilterType, *tamblin::parseParameterValue(30, "BR24", problem)), 8);
}

TEST(ParameterValue, RefusesSayingWhyAndListingTheChoices) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"30=Low36",
       "'Low36' is not a choice of parameter 30 (Filter Type); its choices are Off, Low12, High12, BP12, BR12, "
       "Low24, High24, BP24, BR24, Ring, Comb (or a number from 0 to 1)"},
      {"31=Low12", "'Low12' is not a number from 0 to 1, and parameter 31 (Filter Frequency) has no named choices"},
      {"31=1.5", "value 1.5 for parameter 31 (Filter Frequency) is out of range (0 to 1)"},
      {"31=nan", "value nan for parameter 31 (Filter Frequency) is out of range (0 to 1)"},
      {"100=0", "parameter 100 does not exist (0 to 99)"},
      {"-1=0", "parameter -1 does not exist"},
      {"x=0", "'x' is not a parameter index (a whole number)"},
      {"=0", "'' is not a parameter index"},
      {"30", "'30' is not INDEX=VALUE"},
      {"30=", "'' is not a choice of parameter 30"},
      {"92=Low12", "parameter 92 (TranceGate: Volume Steps) has no named choices"},
  };
  for (const Case& c : cases) {
    std::string problem;
    EXPECT_FALSE(tamblin::parseParameterSetting(c.text, problem)) << c.text;
    EXPECT_NE(problem.find(c.message), std::string::npos) << c.text << ": " << problem;
  }
}
