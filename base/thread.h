// A thread that runs one function and is waited for, and a lock with a condition to wait on. The
// interface is portable; each system has its half: base/thread_posix.cpp (POSIX threads) and
// base/thread_win.cpp (Win32 threads, so that the installer takes no threading library in with
// it).
#pragma once

#include <cstdint>

namespace zv {

class JoinableThread {
 public:
  JoinableThread() = default;
  // Neither copied nor moved: the running thread refers to it.
  JoinableThread(const JoinableThread&) = delete;
  JoinableThread& operator=(const JoinableThread&) = delete;
  ~JoinableThread() { Join(); }

  // Runs run(argument) on a new thread; false when none could be made (then nothing runs).
  // One thread at a time: a running one is waited for first.
  bool Start(void (*run)(void*), void* argument);
  // Waits until the thread has ended and lets it go; nothing when none runs.
  void Join();

  // What the new thread runs: run(argument) of the JoinableThread at self.
  static void Run(void* self) {
    auto* me = static_cast<JoinableThread*>(self);
    me->run_(me->argument_);
  }

 private:
  void (*run_)(void*) = nullptr;
  void* argument_ = nullptr;
  std::uintptr_t handle_ = 0;
  bool running_ = false;
};

// A lock and one condition on it, for threads that wait for each other's progress. Neither
// copied nor moved: the system objects live in it.
class Monitor {
 public:
  Monitor();
  ~Monitor();
  Monitor(const Monitor&) = delete;
  Monitor& operator=(const Monitor&) = delete;

  void Lock();
  void Unlock();
  // Held: lets the lock go until a Wake (or, rarely, for no reason: test what is waited for
  // again), then holds it again.
  void Wait();
  // Wakes every thread in Wait.
  void Wake();

 private:
  // Room for the system's lock and condition (each half checks that they fit).
#ifdef _WIN32
  static constexpr unsigned kRoom = 2 * sizeof(void*);  // an SRW lock and a condition variable
#else
  static constexpr unsigned kRoom = 128;  // a mutex and a condition
#endif
  alignas(8) unsigned char objects_[kRoom];
};

// Holds a monitor's lock for a scope.
class MonitorLock {
 public:
  explicit MonitorLock(Monitor& monitor) : monitor_(monitor) { monitor_.Lock(); }
  ~MonitorLock() { monitor_.Unlock(); }
  MonitorLock(const MonitorLock&) = delete;
  MonitorLock& operator=(const MonitorLock&) = delete;

 private:
  Monitor& monitor_;
};

}  // namespace zv
