// One program: a name and the 101 values the instrument stores for it.
#pragma once

#include <atomic>

#include "FactoryBank.h"
#include "ParameterTable.h"

namespace tamblin {

class Program {
 public:
  static constexpr int kNameSize = 64;  // 63 characters and the terminating zero

  // Every value 0, named "Init".
  Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // [any thread] Values are written and read whole, without a lock.
  float value(int index) const { return values[index].load(std::memory_order_relaxed); }
  void setValue(int index, float v) { values[index].store(v, std::memory_order_relaxed); }
  // [main thread]
  const char* getName() const { return name; }
  // Stores at most 63 characters of `text`, always zero-terminated.
  void setName(const char* text);

  // The factory program's name and values; every value it does not list is 0.
  void loadFactory(const FactoryProgram& factory);

 private:
  std::atomic<float> values[kNumStoredValues];
  char name[kNameSize];
};

}  // namespace tamblin
