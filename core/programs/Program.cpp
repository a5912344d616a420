// A program's name and values, and how a factory program fills them.
#include "Program.h"

#include <cstring>

namespace tamblin {

Program::Program() {
  for (auto& v : values) v.store(0.0f, std::memory_order_relaxed);
  setName("Init");
}

void Program::setName(const char* text) {
  std::size_t length = 0;
  while (length < kNameSize - 1 && text[length] != '\0') ++length;
  std::memmove(name, text, length);
  std::memset(name + length, 0, kNameSize - length);
}

void Program::loadFactory(const FactoryProgram& factory) {
  for (int i = 0; i < kNumStoredValues; ++i) setValue(i, factoryValue(factory, i));
  setName(factory.name);
}

}  // namespace tamblin
