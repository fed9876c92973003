#pragma once

#include <condition_variable>
#include <mutex>

// Who may touch what, in terms that Clang's -Wthread-safety checks at compile time: a member
// GUARDED_BY(m) is read and written only with m held, a function that REQUIRES(m) is called only
// with it held. Other compilers take the marks for comments.
#if defined(__clang__)
#define QUADRELO_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define QUADRELO_THREAD_ATTRIBUTE(x)
#endif
#define CAPABILITY(x) QUADRELO_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY QUADRELO_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) QUADRELO_THREAD_ATTRIBUTE(guarded_by(x))
#define REQUIRES(...) QUADRELO_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) QUADRELO_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) QUADRELO_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) QUADRELO_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))

namespace quadrelo {

// A std::mutex the analysis knows as one.
class CAPABILITY("mutex") Mutex {
 private:
  friend class MutexLock;
  std::mutex mutex_;
};

// Holds a Mutex from its construction to its destruction or unlock(); waits on a condition
// variable with it, as std::unique_lock does.
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : lock_(mutex.mutex_) {}
  ~MutexLock() RELEASE() {}
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  void unlock() RELEASE() { lock_.unlock(); }
  // Gives the mutex up until `changed` is notified, and holds it again before it returns.
  void wait(std::condition_variable& changed) { changed.wait(lock_); }

 private:
  std::unique_lock<std::mutex> lock_;
};

}  // namespace quadrelo
