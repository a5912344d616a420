// The audio thread never waits: while the instrument renders, takes events, and has its parameters set
// and read (with the editor closed and open), it makes no call to the allocator, to a lock or to a
// system call that may block. The guard itself is shown to catch each kind of call first.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>

#include "Harness.h"
#include "RealtimeGuard.h"

using namespace tamblin::check;

namespace {

// Runs `work` in an armed section; answers the number of calls caught and the name of the first.
std::pair<int, std::string> caughtIn(const std::function<void()>& work) {
  realtimeGuardReset();
  {
    RealtimeSection section;
    work();
  }
  return {realtimeGuardViolations(), realtimeGuardFirstCaught()};
}

TEST(Realtime, TheGuardCatchesEachKindOfCall) {
  struct Case {
    const char* name;
    std::function<void()> work;
  };
  static std::mutex mutex;
  const Case cases[] = {
      {"malloc", [] {
         void* volatile p = std::malloc(16);  // volatile: the pair is not optimised away
         std::free(p);
       }},
      {"malloc", [] {
         int* volatile p = new int(3);
         delete p;
       }},
      {"pthread_mutex_lock", [] { std::lock_guard lock(mutex); }},
      {"write", [] { EXPECT_EQ(::write(-1, "x", 1), -1); }},
      {"usleep", [] { ::usleep(1); }},
  };
  for (const Case& c : cases) {
    const auto [count, first] = caughtIn(c.work);
    EXPECT_GE(count, 1) << c.name;
    EXPECT_EQ(first, c.name);
  }
  EXPECT_EQ(caughtIn([] { volatile int x = 1; x = x + 1; }).first, 0);
}

TEST(Realtime, ProcessingEventsAndParametersNeverWait) {
  for (bool editorOpen : {false, true}) {
    AEffect* e = startInstrument(48000, 1024);
    ASSERT_NE(e, nullptr);
    useHeadlessEditor(e);
    if (editorOpen) {
      ASSERT_EQ(dispatch(e, effEditOpen, 0, 0, fakeParentWindow()), 1);
    }
    Outputs out(1024);
    EventBatch batch;
    struct {
      VstInt32 type, byteSize, deltaFrames, flags, dumpBytes;
      VstIntPtr reserved1;
      char* sysexDump;
    } sysex{6, 40, 0, 0, 3, 0, nullptr};
    char sysexBytes[] = {'\xf0', 0x7e, '\xf7'};
    sysex.sysexDump = sysexBytes;
    char text[256];
    bool clean = true;
    const auto [count, first] = caughtIn([&] {
      for (int block = 0; block < 400; ++block) {
        const int frames = 1 + (block * 97) % 1024;
        batch.add(0x90, static_cast<uint8_t>(30 + block % 60), 100, block % frames);
        batch.add(0x80, static_cast<uint8_t>(30 + (block + 40) % 60), 0, frames - 1);
        batch.add(0xB0, static_cast<uint8_t>(block % 128), static_cast<uint8_t>(block % 128));
        batch.add(0xE0, 0, static_cast<uint8_t>(block % 128));
        batch.add(reinterpret_cast<VstEvent*>(&sysex));
        batch.send(e);
        const VstInt32 index = block % e->numParams;
        e->setParameter(e, index, static_cast<float>(block % 11) / 10.0f);
        volatile float read = e->getParameter(e, (index * 7) % e->numParams);
        (void)read;
        dispatch(e, effGetParamName, index, 0, text);
        dispatch(e, effCanBeAutomated, index);
        clean = out.render(e, frames, block % 2 == 0) && clean;
      }
    });
    EXPECT_EQ(count, 0) << "first call made: " << first << (editorOpen ? " (editor open)" : "");
    EXPECT_TRUE(clean);
    if (editorOpen) dispatch(e, effEditClose);
    closeInstrument(e);
  }
}

}  // namespace
