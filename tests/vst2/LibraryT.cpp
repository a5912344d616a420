// The built library, loaded as a host loads it: exported entries, the record and independent instances.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "support/RecordingHost.h"

using tamblin::test::dispatch;
using tamblin::test::RecordingHost;

namespace {

using Entry = AEffect* (*)(audioMasterCallback);

class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle = dlopen(TAMBLIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle) dlclose(handle);
  }
  Entry entry(const char* name) { return reinterpret_cast<Entry>(dlsym(handle, name)); }

  void* handle = nullptr;
};

}  // namespace

TEST_F(LibraryTest, ExportsExactlyTheTwoEntryNames) {
  FILE* pipe = popen("nm -D --defined-only " TAMBLIN_LIBRARY, "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> symbols;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    const auto space = s.rfind(' ');
    symbols.insert(s.substr(space + 1));
  }
  pclose(pipe);
  EXPECT_EQ(symbols, (std::set<std::string>{"VSTPluginMain", "main"}));
}

TEST_F(LibraryTest, BothEntriesMakeTheInstrument) {
  RecordingHost host;
  for (const char* name : {"VSTPluginMain", "main"}) {
    Entry make = entry(name);
    ASSERT_NE(make, nullptr) << name;
    AEffect* effect = make(RecordingHost::callback);
    ASSERT_NE(effect, nullptr) << name;
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->flags, 281);
    EXPECT_EQ(effect->uniqueID, fourChars('T', 'm', 'b', 'l'));
    EXPECT_EQ(effect->numPrograms, 16);
    EXPECT_EQ(effect->numParams, 100);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    char text[64] = {};
    dispatch(effect, effGetEffectName, 0, 0, text);
    EXPECT_STREQ(text, "Tamblin");
    dispatch(effect, effGetVendorString, 0, 0, text);
    EXPECT_STREQ(text, "Brightmoor");
    EXPECT_EQ(dispatch(effect, effClose), 1);
  }
  EXPECT_EQ(host.requestsWith(audioMasterVersion).size(), 2u);
  EXPECT_EQ(host.requestsWith(audioMasterVersion)[0].effect, nullptr);
}

TEST_F(LibraryTest, InstancesFromTheLibraryAreIndependent) {
  RecordingHost host;
  Entry make = entry("VSTPluginMain");
  ASSERT_NE(make, nullptr);
  AEffect* a = make(RecordingHost::callback);
  AEffect* b = make(RecordingHost::callback);
  ASSERT_TRUE(a && b);
  dispatch(a, effSetProgram, 0, 6);
  a->setParameter(a, 0, 0.1f);
  EXPECT_EQ(dispatch(b, effGetProgram), 0);
  EXPECT_EQ(b->getParameter(b, 0), 0.75f);
  EXPECT_EQ(a->getParameter(a, 0), 0.1f);
  dispatch(a, effClose);
  dispatch(b, effClose);
}

TEST_F(LibraryTest, HostThatAnswersNoVersionGetsNothing) {
  RecordingHost host;
  host.versionAnswer = 0;
  EXPECT_EQ(entry("main")(RecordingHost::callback), nullptr);
  EXPECT_EQ(entry("VSTPluginMain")(nullptr), nullptr);
}
