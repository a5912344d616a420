// The library loaded with dlopen, used and closed with dlclose a hundred times in one process, with and
// without its editor opened in an X server: afterwards the process has as many threads and open files
// as the first load did, its heap has not grown, and the library is really gone from the process each time.
#include <dirent.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdlib>
#include <vector>

#include "DAEffectX.h"
#include "support/EventBatch.h"
#include "support/QuietHost.h"
#include "support/XvfbServer.h"

// Xlib's macros (None, Bool, ...) come after every other header.
#include <X11/Xlib.h>

namespace {

using Xvfb = tamblin::test::XvfbServer;

::testing::Environment* const xvfb = ::testing::AddGlobalTestEnvironment(new Xvfb);

int entriesIn(const char* folder) {
  int count = 0;
  if (DIR* dir = opendir(folder)) {
    while (const dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
  }
  return count - 1;  // the folder's own descriptor while it is read, for /proc/self/fd
}

struct Usage {
  int threads, files;
  size_t heap;
};
Usage usage() { return {entriesIn("/proc/self/task") + 1, entriesIn("/proc/self/fd"), mallinfo2().uordblks}; }

// One host session: load, make an instrument, play, maybe open the editor, close, unload.
void session(Window parent) {
  void* library = dlopen(TAMBLIN_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library, "VSTPluginMain"));
  ASSERT_NE(entry, nullptr);
  AEffect* e = entry(tamblin::test::QuietHost::callback);
  ASSERT_NE(e, nullptr);
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  if (parent) {
    ASSERT_EQ(e->dispatcher(e, effEditOpen, 0, 0, reinterpret_cast<void*>(parent), 0.0f), 1);
  }
  tamblin::test::EventBatch batch(1);
  batch.add(0x90, 60, 100);
  batch.send(e);
  std::vector<float> left(256), right(256);
  float* outs[2] = {left.data(), right.data()};
  for (int b = 0; b < 4; ++b) {
    e->processReplacing(e, nullptr, outs, 256);
    if (parent) e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
  }
  if (parent) e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
  ASSERT_EQ(dlclose(library), 0);
  EXPECT_EQ(dlopen(TAMBLIN_LIBRARY, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the library stayed loaded";
}

TEST(LoadUnload, AHundredTimesLeavesNothingBehind) {
  Display* display = nullptr;
  Window parent = 0;
  if (Xvfb::ready() && (display = XOpenDisplay(nullptr))) {
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 600, 600, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
  }
  if (!parent) std::printf("Xvfb is not available: only the cycles without the editor run\n");
  for (Window editorParent : {Window{0}, parent}) {
    for (int warmUp = 0; warmUp < 3; ++warmUp) session(editorParent);
    const Usage before = usage();
    for (int cycle = 0; cycle < 100 && !HasFatalFailure(); ++cycle) session(editorParent);
    const Usage after = usage();
    const char* with = editorParent ? "with the editor" : "without the editor";
    std::printf("100 cycles %s: threads %d -> %d, open files %d -> %d, heap in use %zu -> %zu bytes\n", with,
                before.threads, after.threads, before.files, after.files, before.heap, after.heap);
    EXPECT_EQ(after.threads, before.threads) << with;
    EXPECT_EQ(after.files, before.files) << with;
    // Not one allocation per cycle left behind (the allocator's own bookkeeping may move a little).
    EXPECT_LT(after.heap, before.heap + 100 * 64) << with;
    if (!parent) break;
  }
  if (display) {
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
  }
}

}  // namespace
