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

namespace {

struct MonitorObjects {
  pthread_mutex_t lock;
  pthread_cond_t condition;
};
MonitorObjects& Objects(unsigned char* room) { return *reinterpret_cast<MonitorObjects*>(room); }

}  // namespace

static_assert(sizeof(MonitorObjects) <= sizeof(Monitor));

Monitor::Monitor() {
  pthread_mutex_init(&Objects(objects_).lock, nullptr);
  pthread_cond_init(&Objects(objects_).condition, nullptr);
}
Monitor::~Monitor() {
  pthread_cond_destroy(&Objects(objects_).condition);
  pthread_mutex_destroy(&Objects(objects_).lock);
}
void Monitor::Lock() { pthread_mutex_lock(&Objects(objects_).lock); }
void Monitor::Unlock() { pthread_mutex_unlock(&Objects(objects_).lock); }
void Monitor::Wait() { pthread_cond_wait(&Objects(objects_).condition, &Objects(objects_).lock); }
void Monitor::Wake() { pthread_cond_broadcast(&Objects(objects_).condition); }

}  // namespace zv

#endif  // _WIN32
