// The POSIX half of base/thread.h (the Win32 half is base/thread_win.cpp).
#ifndef _WIN32

#include <pthread.h>

#include "base/thread.h"

namespace zv {

bool JoinableThread::Start(void (*run)(void*), void* argument) {
  Join();
  run_ = run;
  argument_ = argument;
  pthread_t thread;
  const auto entry = [](void* self) -> void* {
    Run(self);
    return nullptr;
  };
  if (pthread_create(&thread, nullptr, entry, this) != 0) return false;
  handle_ = static_cast<std::uintptr_t>(thread);
  running_ = true;
  return true;
}

void JoinableThread::Join() {
  if (!running_) return;
  pthread_join(static_cast<pthread_t>(handle_), nullptr);
  running_ = false;
}

}  // namespace zv

#endif  // _WIN32
