// The instrument's hundred parameters: their count, names and the indices other code acts on.
#pragma once

namespace tamblin {

constexpr int kNumParams = 100;       // host parameters 0..99
constexpr int kNumStoredValues = 101;  // programs also store value 100, which nothing reads
constexpr int kPlayModeParam = 78;

// The name a host sees for the parameter; "" for indices without one and outside 0..99.
const char* parameterName(int index);

}  // namespace tamblin
