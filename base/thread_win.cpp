// The Win32 half of base/thread.h (the POSIX half is base/thread_posix.cpp).
#include <windows.h>

#include "base/thread.h"

namespace zv {
namespace {

DWORD WINAPI ThreadEntry(void* self) {
  JoinableThread::Run(self);
  return 0;
}

}  // namespace

bool JoinableThread::Start(void (*run)(void*), void* argument) {
  Join();
  run_ = run;
  argument_ = argument;
  const HANDLE thread = ::CreateThread(nullptr, 0, ThreadEntry, this, 0, nullptr);
  if (!thread) return false;
  handle_ = reinterpret_cast<std::uintptr_t>(thread);
  running_ = true;
  return true;
}

void JoinableThread::Join() {
  if (!running_) return;
  const HANDLE thread = reinterpret_cast<HANDLE>(handle_);
  ::WaitForSingleObject(thread, INFINITE);
  ::CloseHandle(thread);
  running_ = false;
}

namespace {

struct MonitorObjects {
  SRWLOCK lock;
  CONDITION_VARIABLE condition;
};
MonitorObjects& Objects(unsigned char* room) { return *reinterpret_cast<MonitorObjects*>(room); }

}  // namespace

static_assert(sizeof(MonitorObjects) <= sizeof(Monitor));

// Both start as zero bytes (what their initialisers write), and neither needs freeing.
Monitor::Monitor() : objects_() {}
Monitor::~Monitor() = default;
void Monitor::Lock() { ::AcquireSRWLockExclusive(&Objects(objects_).lock); }
void Monitor::Unlock() { ::ReleaseSRWLockExclusive(&Objects(objects_).lock); }
void Monitor::Wait() { ::SleepConditionVariableSRW(&Objects(objects_).condition, &Objects(objects_).lock, INFINITE, 0); }
void Monitor::Wake() { ::WakeAllConditionVariable(&Objects(objects_).condition); }

}  // namespace zv
