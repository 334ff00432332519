// The pumping wait and the thread test.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/modal/test_windows.h"
#include "win/handles.h"
#include "ui/modal.h"

namespace zv {
namespace {

using namespace zv::test;

DWORD WINAPI SendCounts(void* target) noexcept {
  for (int i = 0; i < 5; ++i) {
    ::SendMessageW(static_cast<HWND>(target), kCount, 0, 0);
    ::Sleep(30);
  }
  return 0;
}

class PumpingWait : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog = WindowLog{};
    window_ = MakeWindow(WS_OVERLAPPEDWINDOW);
    ASSERT_TRUE(window_);
  }
  void TearDown() override {
    if (::IsWindow(window_)) ::DestroyWindow(window_);
    MSG m;
    while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  HWND window_ = nullptr;
};

TEST_F(PumpingWait, DispatchesWhatIsPendingAndWaitsTheTime) {
  ::PostMessageW(window_, kCount, 0, 0);
  ::PostMessageW(window_, kCount, 0, 0);
  const ULONGLONG start = ::GetTickCount64();
  WaitPumping(200);
  const ULONGLONG elapsed = ::GetTickCount64() - start;
  EXPECT_EQ(gLog.count, 2);
  EXPECT_GE(elapsed, 180u);  // tick resolution allows a little less
}

TEST_F(PumpingWait, ZeroAndNegativeTimesStillDispatch) {
  for (int ms : {0, -1, -100000}) {
    gLog.count = 0;
    ::PostMessageW(window_, kCount, 0, 0);
    const ULONGLONG start = ::GetTickCount64();
    WaitPumping(ms);
    EXPECT_EQ(gLog.count, 1) << ms;
    EXPECT_LT(::GetTickCount64() - start, 5000u) << ms;
  }
}

TEST_F(PumpingWait, WithoutAWorkingTimerTheClockEndsTheWait) {
  // No timer at all, and a handle that cannot be waited on.
  for (HANDLE timer : {static_cast<HANDLE>(nullptr), reinterpret_cast<HANDLE>(0x7FF0)}) {
    gLog.count = 0;
    ::PostMessageW(window_, kCount, 0, 0);
    const ULONGLONG start = ::GetTickCount64();
    WaitPumpingOn(timer, 200);
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    EXPECT_EQ(gLog.count, 1);
    EXPECT_GE(elapsed, 180u);
    EXPECT_LT(elapsed, 5000u);
  }
}

// The installer waits for its worker in steps of 100 ms: the worker's end must end the step at
// once, with the messages sent meanwhile dispatched.
TEST_F(PumpingWait, AHandleItWaitsForEndsTheWaitEarly) {
  KernelHandle thread(::CreateThread(nullptr, 0, SendCounts, window_, 0, nullptr));
  ASSERT_TRUE(thread);
  const ULONGLONG start = ::GetTickCount64();
  while (IsThreadRunning(thread.get())) WaitPumping(20000, thread.get());
  EXPECT_EQ(gLog.count, 5);
  EXPECT_LT(::GetTickCount64() - start, 10000u);  // the thread's end, not the 20 s
}

TEST_F(PumpingWait, EndsEvenWhenAHandlerKeepsPosting) {
  // The queue never runs dry; the wait must still come back (late, but it comes back).
  gLog.repost = true;
  ::PostMessageW(window_, kRepost, 0, 0);
  const ULONGLONG start = ::GetTickCount64();
  WaitPumping(50);
  const ULONGLONG elapsed = ::GetTickCount64() - start;
  gLog.repost = false;
  EXPECT_GT(gLog.count, 1);
  EXPECT_LT(elapsed, 30000u);
}

TEST_F(PumpingWait, ButtonClickReachesItsHandler) {
  ::ShowWindow(window_, SW_SHOWNORMAL);
  const HWND button = ::CreateWindowExW(0, L"Button", L"下一步", WS_CHILD | WS_VISIBLE, 10, 10, 80,
                                        24, window_, reinterpret_cast<HMENU>(111),
                                        ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(button);
  ::PostMessageW(button, BM_CLICK, 0, 0);
  WaitPumping(50);
  EXPECT_EQ(gLog.lastCommand, 111);
}

TEST_F(PumpingWait, DispatchesMessagesAsTheyArrive) {
  // Another thread posts a little after the wait began; the message must be handled then, not
  // when the wait ends.
  std::thread poster([this] {
    ::Sleep(100);
    ::PostMessageW(window_, kCount, 0, 0);
  });
  WaitPumping(1500);
  const ULONGLONG returned = ::GetTickCount64();
  poster.join();
  ASSERT_EQ(gLog.count, 1);
  EXPECT_GT(returned - gLog.countTick, 500u);
}

TEST_F(PumpingWait, NestedWaitsEachKeepTheirOwnTime) {
  gLog.nestedMs = 300;
  ::PostMessageW(window_, kNestedWait, 0, 0);
  // Arrives while the inner wait runs: the inner wait dispatches it.
  std::thread poster([this] {
    ::Sleep(100);
    ::PostMessageW(window_, kCount, 0, 0);
  });
  const ULONGLONG start = ::GetTickCount64();
  WaitPumping(50);
  const ULONGLONG elapsed = ::GetTickCount64() - start;
  poster.join();
  EXPECT_EQ(gLog.nestedDone, 1);
  EXPECT_EQ(gLog.count, 1);
  EXPECT_GE(elapsed, 280u);
}

TEST_F(PumpingWait, ConcurrentWaitsDoNotShareATimer) {
  // Were the two waits to share one timer, the short one would cut the long one short.
  std::atomic<ULONGLONG> longElapsed{0};
  std::thread longWait([&] {
    const ULONGLONG start = ::GetTickCount64();
    WaitPumping(600);
    longElapsed = ::GetTickCount64() - start;
  });
  ::Sleep(50);
  for (int i = 0; i < 3; ++i) WaitPumping(30);
  longWait.join();
  EXPECT_GE(longElapsed.load(), 580u);
}

TEST_F(PumpingWait, KeepsAQuitRequestForTheOuterLoop) {
  ::PostMessageW(window_, kCount, 0, 0);
  ::PostQuitMessage(7);
  WaitPumping(20);
  EXPECT_EQ(gLog.count, 1);
  MSG m{};
  bool quit = false;
  while (::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      quit = true;
      EXPECT_EQ(m.wParam, 7u);
    }
  }
  EXPECT_TRUE(quit);
}

TEST_F(PumpingWait, KeepsTheWindowResponsiveWhileAThreadRuns) {
  // The install action's pattern: wait in slices while the worker runs; the worker's messages
  // are handled meanwhile.
  KernelHandle worker(::CreateThread(nullptr, 0, SendCounts, window_, 0, nullptr));
  ASSERT_TRUE(worker);
  int slices = 0;
  while (IsThreadRunning(worker.get()) && slices < 200) {
    WaitPumping(100);
    ++slices;
  }
  EXPECT_FALSE(IsThreadRunning(worker.get()));
  EXPECT_EQ(gLog.count, 5);
}

DWORD WINAPI WaitForEvent(void* event) noexcept {
  ::WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
  return 0;
}

DWORD WINAPI ExitWithStillActive(void*) noexcept { return STILL_ACTIVE; }

TEST(ThreadRunning, FollowsTheThreadsLife) {
  KernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  KernelHandle thread(::CreateThread(nullptr, 0, WaitForEvent, release.get(), 0, nullptr));
  ASSERT_TRUE(thread);
  EXPECT_TRUE(IsThreadRunning(thread.get()));
  ::SetEvent(release.get());
  ASSERT_EQ(::WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
  EXPECT_FALSE(IsThreadRunning(thread.get()));
}

TEST(ThreadRunning, ThreadEndingWithTheActiveCodeHasEnded) {
  KernelHandle thread(::CreateThread(nullptr, 0, ExitWithStillActive, nullptr, 0, nullptr));
  ASSERT_TRUE(thread);
  ASSERT_EQ(::WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(::GetExitCodeThread(thread.get(), &code));
  ASSERT_EQ(code, STILL_ACTIVE);
  EXPECT_FALSE(IsThreadRunning(thread.get()));
}

TEST(ThreadRunning, InvalidHandlesAreNotRunning) {
  EXPECT_FALSE(IsThreadRunning(nullptr));
  EXPECT_FALSE(IsThreadRunning(reinterpret_cast<HANDLE>(0x7FF0)));  // never opened
  // A handle of another kind.
  KernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  EXPECT_FALSE(IsThreadRunning(event.get()));
}

}  // namespace
}  // namespace zv
