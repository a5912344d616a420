// The component's process call never waits: with notes, parameter changes on every kind of frame,
// mapped controllers, pitch bend, program selections and the host's tempo, it makes no call to the
// allocator, to a lock or to a system call that may block (the validator's real-time guard catches
// them in the loaded module too).
#include <gtest/gtest.h>

#include <cmath>

#include "RealtimeGuard.h"
#include "Vst3Host.h"

namespace tamblin::test {
namespace {

using namespace vst3host;

TEST(Vst3Realtime, ProcessingNotesChangesControllersAndProgramsNeverWaits) {
  Module module(TAMBLIN_VST3_MODULE);
  ASSERT_NE(module.factory, nullptr) << module.error;
  Instance instance(module.factory);
  ASSERT_TRUE(instance.start(48000.0, 1024));
  ParamID cc74 = 0, bend = 0;
  ASSERT_TRUE(instance.mapped(74, cc74) && instance.mapped(kPitchBend, bend));
  const ParamID selector = programParameter(instance.controller);

  // Every block's host objects are made before the guarded section, with room for what the component
  // writes into them.
  constexpr int kBlocks = 300;
  std::vector<EventList> events(kBlocks);
  std::vector<ParameterChanges> changes(kBlocks), outputs(kBlocks);
  for (int block = 0; block < kBlocks; ++block) {
    const int32 frames = 1 + (block * 97) % 1024;
    events[block].noteOn(block % frames, block % 16, 30 + block % 60, 0.8f);
    events[block].noteOff(frames - 1, 0, 30 + (block + 40) % 60, 0.0f);
    events[block].events.reserve(4);
    changes[block].add(static_cast<ParamID>(block % 100), block % frames, (block % 11) / 10.0);
    changes[block].add(31, frames / 2, std::nan(""));
    changes[block].add(cc74, frames / 3, (block % 128) / 127.0);
    changes[block].add(bend, 0, (block % 64) / 63.0);
    if (block % 50 == 7) changes[block].add(selector, frames - 1, (block % 16) / 15.0);
    for (ParamID id = 0; id < 100; ++id) {
      int32 index = 0;
      static_cast<ValueQueue*>(outputs[block].addParameterData(id, index))->points.reserve(64);
    }
  }
  std::vector<float> left(1024), right(1024);
  realtimeGuardReset();
  {
    check::RealtimeSection section;
    for (int block = 0; block < kBlocks; ++block) {
      const int32 frames = 1 + (block * 97) % 1024;
      instance.block(frames, left.data(), right.data(), &events[block], &changes[block], 90.0 + block % 50,
                     &outputs[block]);
    }
  }
  EXPECT_EQ(realtimeGuardViolations(), 0) << "first call made: " << realtimeGuardFirstCaught();
  EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](float x) { return std::isfinite(x); }));

  // The guard sees into the module: reading a state there allocates.
  MemoryStream state;
  ASSERT_EQ(instance.component->getState(&state), kResultOk);
  state.rewind();
  realtimeGuardReset();
  {
    check::RealtimeSection section;
    EXPECT_EQ(instance.controller->setComponentState(&state), kResultOk);
  }
  EXPECT_GT(realtimeGuardViolations(), 0);
}

}  // namespace
}  // namespace tamblin::test
