// Three threads on one instrument, as in a host: the audio thread renders with MIDI; a second thread
// automates every parameter, reads them back and switches programs; a third opens, edits, refreshes
// and closes the editor (without a display, then in an X server). Run under ThreadSanitizer (the tsan
// preset) it must report nothing; in every build the output stays finite and within [-1, 1].
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Harness.h"
#include "support/XvfbServer.h"

// Xlib's macros (None, Bool, ...) come after every other header.
#include <X11/Xlib.h>

using namespace tamblin;
using namespace tamblin::check;
using Xvfb = tamblin::test::XvfbServer;

namespace {

::testing::Environment* const xvfb = ::testing::AddGlobalTestEnvironment(new Xvfb);

void runThreeThreads(AEffect* e, void* parentWindow, std::chrono::milliseconds length) {
  std::atomic<bool> stop{false};
  std::atomic<bool> clean{true};
  std::atomic<int> blocks{0}, automations{0}, opens{0};
  std::thread audio([&] {
    Outputs out(512);
    EventBatch batch;
    for (int b = 0; !stop; ++b) {
      batch.add(0x90, static_cast<uint8_t>(36 + b % 48), 100, b % 256);
      batch.add(0x80, static_cast<uint8_t>(36 + (b + 30) % 48), 0, 300);
      batch.add(0xB0, static_cast<uint8_t>(64 + b % 32), static_cast<uint8_t>(b % 128));
      batch.add(0xE0, 0, static_cast<uint8_t>(b % 128));
      batch.send(e);
      if (!out.render(e, 64 + b % 449, b % 2)) clean = false;
      ++blocks;
    }
  });
  std::thread automation([&] {
    for (int round = 0; !stop; ++round) {
      for (int i = 0; i < e->numParams; ++i) {
        e->setParameter(e, i, static_cast<float>((i + round) % 10) / 9.0f);
        static_cast<void>(e->getParameter(e, (i * 13) % e->numParams));
        ++automations;
      }
      dispatch(e, effSetProgram, 0, round % 16);
      static_cast<void>(dispatch(e, effGetProgram));
    }
  });
  std::thread editor([&] {
    std::mt19937 rng(3);
    while (!stop) {
      ERect* rect = nullptr;
      dispatch(e, effEditGetRect, 0, 0, &rect);
      if (dispatch(e, effEditOpen, 0, 0, parentWindow) == 1) ++opens;
      for (int step = 0; step < 4 && !stop; ++step) {
        editAtRandom(e, rng, 2);
        dispatch(e, effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      dispatch(e, effEditClose);
    }
  });
  // At least the given time, and three whole editor sessions (a drawn window on a busy machine, or under
  // ThreadSanitizer, is slow).
  std::this_thread::sleep_for(length);
  for (int wait = 0; wait < 1800 && opens < 3; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  stop = true;
  audio.join();
  automation.join();
  editor.join();
  EXPECT_TRUE(clean);
  EXPECT_GT(blocks.load(), 10);
  EXPECT_GT(automations.load(), 1000);
  EXPECT_GE(opens.load(), 3);
}

TEST(Threads, RenderAutomateAndEditTheHeadlessWindow) {
  AEffect* e = startInstrument();
  useHeadlessEditor(e);
  runThreeThreads(e, fakeParentWindow(), std::chrono::seconds(4));
  closeInstrument(e);
}

TEST(Threads, RenderAutomateAndEditTheX11Window) {
  if (!Xvfb::ready()) GTEST_SKIP() << "Xvfb is not installed or did not start";
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  const Window host = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 600, 600, 0, 0, 0);
  XMapWindow(display, host);
  XSync(display, False);
  AEffect* e = startInstrument();
  runThreeThreads(e, reinterpret_cast<void*>(host), std::chrono::seconds(4));
  closeInstrument(e);
  XDestroyWindow(display, host);
  XCloseDisplay(display);
}

// A program change or play-mode store from another thread than the audio thread leaves the keys the audio
// thread is playing alone; the next block lets them go before its first frame.
TEST(Threads, ResetsFromAnotherThreadWaitForTheNextBlock) {
  AEffect* e = startInstrument();
  Outputs out(256);
  sendChord(e, 48, 3);
  ASSERT_TRUE(out.render(e, 256));
  ASSERT_EQ(soundingVoices(e), 3);
  const tamblin::EngineRecord& r = instrumentOf(e)->soundEngine().record;
  auto held = [&r] {
    int keys = 0;
    for (uint8_t h : r.voiceHeld) keys += h;
    return keys;
  };
  for (int request = 0; request < 2; ++request) {
    std::thread([&] {
      if (request == 0) dispatch(e, effSetProgram, 0, 3);
      if (request == 1) e->setParameter(e, kPlayMode, 0.0f);
    }).join();
    EXPECT_EQ(held(), 3) << "request " << request;
    ASSERT_TRUE(out.render(e, 256));
    EXPECT_EQ(held(), 0) << "request " << request;
    sendChord(e, 48, 3);
    ASSERT_TRUE(out.render(e, 256));
  }
  closeInstrument(e);
}

}  // namespace
