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

}  // namespace zv
