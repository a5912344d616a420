/* Catches, on threads with an armed guard, the calls a real-time section must never make. The
   allocator hands on to the C library's own entry points (__libc_malloc and friends); everything else
   to the next definition found after this program's (RTLD_NEXT). */
#define _GNU_SOURCE
#include "RealtimeGuard.h"

#include <dlfcn.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <semaphore.h>
#include <stdarg.h>
#include <stddef.h>
#include <string.h>
#include <sys/select.h>
#include <time.h>
#include <unistd.h>

/* Exported from the program (it is linked with its symbols exported), so that the C++ library's
   operator new and every other library find these definitions first. */
#pragma GCC visibility push(default)

extern void* __libc_malloc(size_t);
extern void* __libc_calloc(size_t, size_t);
extern void* __libc_realloc(void*, size_t);
extern void* __libc_memalign(size_t, size_t);
extern void __libc_free(void*);

static _Thread_local int armed;
static int caught;
static const char* first = "";

void realtimeGuardArm(int on) { armed = on; }
int realtimeGuardViolations(void) { return __atomic_load_n(&caught, __ATOMIC_SEQ_CST); }
const char* realtimeGuardFirstCaught(void) { return __atomic_load_n(&first, __ATOMIC_SEQ_CST); }
void realtimeGuardReset(void) {
  __atomic_store_n(&caught, 0, __ATOMIC_SEQ_CST);
  __atomic_store_n(&first, "", __ATOMIC_SEQ_CST);
}

static void note(const char* name) {
  if (!armed) return;
  if (__atomic_fetch_add(&caught, 1, __ATOMIC_SEQ_CST) == 0) __atomic_store_n(&first, name, __ATOMIC_SEQ_CST);
}

/* The function pointer is copied bytewise: ISO C has no cast from dlsym's object pointer. */
#define NEXT(name)                                           \
  static __typeof__(&name) next_##name;                      \
  if (!next_##name) {                                        \
    void* found = dlsym(RTLD_NEXT, #name);                   \
    memcpy(&next_##name, &found, sizeof next_##name);        \
  }

void* malloc(size_t size) {
  note("malloc");
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
  note("calloc");
  return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
  note("realloc");
  return __libc_realloc(p, size);
}
void free(void* p) {
  if (p) note("free");
  __libc_free(p);
}
void* memalign(size_t alignment, size_t size) {
  note("memalign");
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
  note("aligned_alloc");
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
  note("posix_memalign");
  void* p = __libc_memalign(alignment, size);
  if (!p) return 12; /* ENOMEM */
  *out = p;
  return 0;
}

int pthread_mutex_lock(pthread_mutex_t* m) {
  note("pthread_mutex_lock");
  NEXT(pthread_mutex_lock);
  return next_pthread_mutex_lock(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
  note("pthread_mutex_trylock");
  NEXT(pthread_mutex_trylock);
  return next_pthread_mutex_trylock(m);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* l) {
  note("pthread_rwlock_rdlock");
  NEXT(pthread_rwlock_rdlock);
  return next_pthread_rwlock_rdlock(l);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* l) {
  note("pthread_rwlock_wrlock");
  NEXT(pthread_rwlock_wrlock);
  return next_pthread_rwlock_wrlock(l);
}
int pthread_cond_wait(pthread_cond_t* c, pthread_mutex_t* m) {
  note("pthread_cond_wait");
  NEXT(pthread_cond_wait);
  return next_pthread_cond_wait(c, m);
}
int pthread_cond_timedwait(pthread_cond_t* c, pthread_mutex_t* m, const struct timespec* t) {
  note("pthread_cond_timedwait");
  NEXT(pthread_cond_timedwait);
  return next_pthread_cond_timedwait(c, m, t);
}
int pthread_cond_signal(pthread_cond_t* c) {
  note("pthread_cond_signal");
  NEXT(pthread_cond_signal);
  return next_pthread_cond_signal(c);
}
int pthread_cond_broadcast(pthread_cond_t* c) {
  note("pthread_cond_broadcast");
  NEXT(pthread_cond_broadcast);
  return next_pthread_cond_broadcast(c);
}
int sem_wait(sem_t* s) {
  note("sem_wait");
  NEXT(sem_wait);
  return next_sem_wait(s);
}
int pthread_join(pthread_t t, void** result) {
  note("pthread_join");
  NEXT(pthread_join);
  return next_pthread_join(t, result);
}

ssize_t read(int fd, void* buffer, size_t size) {
  note("read");
  NEXT(read);
  return next_read(fd, buffer, size);
}
ssize_t write(int fd, const void* buffer, size_t size) {
  note("write");
  NEXT(write);
  return next_write(fd, buffer, size);
}
int nanosleep(const struct timespec* request, struct timespec* remaining) {
  note("nanosleep");
  NEXT(nanosleep);
  return next_nanosleep(request, remaining);
}
int clock_nanosleep(clockid_t clock, int flags, const struct timespec* request, struct timespec* remaining) {
  note("clock_nanosleep");
  NEXT(clock_nanosleep);
  return next_clock_nanosleep(clock, flags, request, remaining);
}
int usleep(useconds_t us) {
  note("usleep");
  NEXT(usleep);
  return next_usleep(us);
}
int poll(struct pollfd* fds, nfds_t count, int timeout) {
  note("poll");
  NEXT(poll);
  return next_poll(fds, count, timeout);
}
int select(int n, fd_set* r, fd_set* w, fd_set* x, struct timeval* t) {
  note("select");
  NEXT(select);
  return next_select(n, r, w, x, t);
}
int sched_yield(void) {
  note("sched_yield");
  NEXT(sched_yield);
  return next_sched_yield();
}
/* futex waits (std::atomic::wait, std::mutex contention) go through syscall(). */
long syscall(long number, ...) {
  note("syscall");
  NEXT(syscall);
  va_list args;
  va_start(args, number);
  long a[6];
  for (int i = 0; i < 6; ++i) a[i] = va_arg(args, long);
  va_end(args);
  return next_syscall(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

#pragma GCC visibility pop
