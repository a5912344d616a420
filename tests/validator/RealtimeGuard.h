// A guard for real-time sections of the test program: while one is armed on a thread, every call that
// thread makes to the allocator, to a mutex, condition variable or semaphore, or to a system call that
// may block is counted and its name kept. Functions of the same names defined in the test program
// (RealtimeGuard.c) catch the calls, then hand them on to the C library.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

void realtimeGuardArm(int armed);           /* this thread only */
int realtimeGuardViolations(void);          /* calls caught since the last reset, all threads */
const char* realtimeGuardFirstCaught(void); /* the name of the first one, "" when none */
void realtimeGuardReset(void);

#ifdef __cplusplus
}

namespace tamblin::check {
// Arms the guard on this thread for its lifetime.
struct RealtimeSection {
  RealtimeSection() { realtimeGuardArm(1); }
  ~RealtimeSection() { realtimeGuardArm(0); }
  RealtimeSection(const RealtimeSection&) = delete;
  RealtimeSection& operator=(const RealtimeSection&) = delete;
};
}  // namespace tamblin::check
#endif
