// The parameter table against the window: every row that names a control has one, and the controller
// numbers the labels show agree with the controller map except for the five labels that name a
// neighbour's controller.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "Layout.h"
#include "ParameterTable.h"

using namespace tamblin;

TEST(ParameterTable, RowsAndWindowControlsAgree) {
  // The labels of these parameters name a neighbour's controller.
  const std::map<int, int> labelledWithNeighbour = {{kFilterModAmount, 84},
                                                    {kFilterModSpeed, 83},
                                                    {kVibratoAmount, 80},
                                                    {kVibratoSpeed, 79},
                                                    {kStereoWidth, 82}};
  int controls = 0, boxes = 0, mapped = 0;
  for (int i = 0; i < kNumParams; ++i) {
    const ParameterInfo& row = parameterInfo(i);
    EXPECT_EQ(row.id, i);
    const int image = controlFor(i);
    const bool hasControl = row.caption[0] != '\0';
    const bool hasBox = row.format == ValueFormat::Choice;
    EXPECT_EQ(image >= 0, hasControl || hasBox) << i;
    if (image >= 0 && hasControl) {
      ++controls;
      EXPECT_TRUE(isDragControl(windowImages()[image].role)) << i;
      EXPECT_NE(row.label[0], '\0') << i;
    }
    if (image >= 0 && hasBox) {
      ++boxes;
      EXPECT_EQ(windowImages()[image].role, ImageRole::ChoiceBox) << i;
      EXPECT_NE(row.boxInput, BoxInput::None) << i;
      for (int k = 0; k < row.choices.count; ++k)
        EXPECT_EQ(choiceIndex(choiceValue(k, row.choices.count), row.choices.count), k);
    }
    if (row.controller >= 0) {
      ++mapped;
      EXPECT_EQ(parameterForController(row.controller), i);
    }
    const char* cc = std::strstr(row.label, "(cc");
    const auto neighbour = labelledWithNeighbour.find(i);
    if (cc == nullptr) {
      EXPECT_TRUE(row.controller < 0 || i == kStereoSpeed) << i;  // Stereo Speed's label names none
    } else {
      EXPECT_EQ(std::atoi(cc + 3),
                neighbour == labelledWithNeighbour.end() ? row.controller : neighbour->second)
          << i;
    }
  }
  EXPECT_EQ(controls, 43);
  EXPECT_EQ(boxes, 11);
  EXPECT_EQ(mapped, 29);
  EXPECT_EQ(parameterForController(-1), -1);
  EXPECT_EQ(parameterForController(128), -1);
  EXPECT_STREQ(parameterInfo(kNumParams).hostName, "");
}
