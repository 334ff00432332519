// The SDK's thread interface (Threads.h beside this file) on the C++ library's threads.
#include "Threads.h"

#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

struct ZvSdkThread {
  std::thread Thread;
};

// Set until a wait takes it (auto-reset) or until reset (manual reset).
struct ZvSdkEvent {
  std::mutex Mutex;
  std::condition_variable Changed;
  bool Signaled;
  bool ManualReset;
};

struct ZvSdkSemaphore {
  std::mutex Mutex;
  std::condition_variable Changed;
  UInt32 Count;
  UInt32 Max;
};

struct ZvSdkLock {
  std::mutex Mutex;
};

namespace {

constexpr WRes kFailed = 1;

template <typename T>
WRes Release(T** object) {
  delete *object;
  *object = nullptr;
  return 0;
}

WRes CreateEvent(CEvent* p, bool manualReset, bool signaled) {
  *p = new (std::nothrow) ZvSdkEvent{{}, {}, signaled, manualReset};
  return *p ? 0 : kFailed;
}

}  // namespace

extern "C" {

WRes Thread_Create(CThread* p, THREAD_FUNC_TYPE func, void* param) {
  *p = new (std::nothrow) ZvSdkThread;
  if (!*p) return kFailed;
  try {
    (*p)->Thread = std::thread([func, param] { func(param); });
  } catch (const std::system_error&) {
    return Release(p), kFailed;
  }
  return 0;
}

WRes Thread_Wait(CThread* p) {
  if ((*p)->Thread.joinable()) (*p)->Thread.join();
  return 0;
}

WRes Thread_Close(CThread* p) {
  if (*p && (*p)->Thread.joinable()) (*p)->Thread.join();
  return Release(p);
}

WRes ManualResetEvent_Create(CManualResetEvent* p, int signaled) {
  return CreateEvent(p, true, signaled != 0);
}
WRes ManualResetEvent_CreateNotSignaled(CManualResetEvent* p) { return CreateEvent(p, true, false); }
WRes AutoResetEvent_Create(CAutoResetEvent* p, int signaled) {
  return CreateEvent(p, false, signaled != 0);
}
WRes AutoResetEvent_CreateNotSignaled(CAutoResetEvent* p) { return CreateEvent(p, false, false); }

WRes Event_Set(CEvent* p) {
  {
    const std::lock_guard lock((*p)->Mutex);
    (*p)->Signaled = true;
  }
  (*p)->Changed.notify_all();
  return 0;
}

WRes Event_Reset(CEvent* p) {
  const std::lock_guard lock((*p)->Mutex);
  (*p)->Signaled = false;
  return 0;
}

WRes Event_Wait(CEvent* p) {
  ZvSdkEvent& event = **p;
  std::unique_lock lock(event.Mutex);
  event.Changed.wait(lock, [&event] { return event.Signaled; });
  if (!event.ManualReset) event.Signaled = false;
  return 0;
}

WRes Event_Close(CEvent* p) { return Release(p); }

WRes Semaphore_Create(CSemaphore* p, UInt32 initCount, UInt32 maxCount) {
  *p = new (std::nothrow) ZvSdkSemaphore{{}, {}, initCount, maxCount};
  return *p ? 0 : kFailed;
}

WRes Semaphore_ReleaseN(CSemaphore* p, UInt32 num) {
  ZvSdkSemaphore& semaphore = **p;
  {
    const std::lock_guard lock(semaphore.Mutex);
    if (num > semaphore.Max - semaphore.Count) return kFailed;
    semaphore.Count += num;
  }
  semaphore.Changed.notify_all();
  return 0;
}

WRes Semaphore_Release1(CSemaphore* p) { return Semaphore_ReleaseN(p, 1); }

WRes Semaphore_Wait(CSemaphore* p) {
  ZvSdkSemaphore& semaphore = **p;
  std::unique_lock lock(semaphore.Mutex);
  semaphore.Changed.wait(lock, [&semaphore] { return semaphore.Count > 0; });
  --semaphore.Count;
  return 0;
}

WRes Semaphore_Close(CSemaphore* p) { return Release(p); }

WRes CriticalSection_Init(CCriticalSection* p) {
  *p = new (std::nothrow) ZvSdkLock;
  return *p ? 0 : kFailed;
}
void CriticalSection_Delete(CCriticalSection* p) { Release(p); }
void CriticalSection_Enter(CCriticalSection* p) { (*p)->Mutex.lock(); }
void CriticalSection_Leave(CCriticalSection* p) { (*p)->Mutex.unlock(); }

}  // extern "C"
