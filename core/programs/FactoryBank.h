// The factory bank: names and non-zero values of the sixteen programs a new instance starts with.
#pragma once

#include <cstddef>
#include <iterator>

#include "ParameterTable.h"

namespace tamblin {

struct FactoryValue {
  ParamId index;
  float value;  // the exact 32-bit value a program stores
};

struct FactoryProgram {
  const char* name;
  const FactoryValue* values;  // every index not listed is 0
  std::size_t count;
};

constexpr int kFactoryProgramCount = 16;
extern const FactoryProgram kFactoryBank[kFactoryProgramCount];

// The value a factory program stores for index 0..100: the listed value, else 0.
float factoryValue(const FactoryProgram& program, int index);

}  // namespace tamblin
