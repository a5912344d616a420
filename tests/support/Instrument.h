// Test fixture: one instrument made through the entry, as a host makes it, and closed at the end.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "Entry.h"
#include "support/RecordingHost.h"
#include "uPlugin.h"

namespace tamblin::test {

class InstrumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    effect = tamblinCreateEffect(RecordingHost::callback);
    ASSERT_NE(effect, nullptr);
    plugin = static_cast<APlugin*>(effect->object);
    host.requests.clear();
  }
  void TearDown() override {
    if (effect) dispatch(effect, effClose);
  }

  VstIntPtr request(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0) {
    return dispatch(effect, opcode, index, value, ptr, opt);
  }
  std::string text(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0) {
    char buffer[256];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    request(opcode, index, value, buffer);
    buffer[255] = '\0';
    return buffer;
  }
  float parameter(VstInt32 index) { return effect->getParameter(effect, index); }
  void setParameter(VstInt32 index, float value) { effect->setParameter(effect, index, value); }

  RecordingHost host;
  AEffect* effect = nullptr;
  APlugin* plugin = nullptr;
};

}  // namespace tamblin::test
