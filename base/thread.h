// A thread that runs one function and is waited for. The interface is portable; each system has
// its half: base/thread_posix.cpp (POSIX threads) and base/thread_win.cpp (Win32 threads, so that
// the installer takes no threading library in with it).
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

}  // namespace zv
