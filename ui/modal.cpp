// The modal loop of a form, the owner re-enabling on WM_CLOSE, and the message-pumping wait.

#include "ui/modal.h"

#include <optional>

#include "win/handles.h"

namespace zv {
namespace {

// A pass over the queue normally takes every message in it. Only a queue that never runs dry (a
// handler that keeps posting to itself) makes a pass outlast its wait by this much; the pass then
// leaves the rest for the next loop so that the wait still ends.
constexpr ULONGLONG kPumpOverrunMs = 1000;
// The longest single wait for the timer or input; the loop goes round again afterwards.
constexpr DWORD kWaitSliceMs = 65535;

DWORD WindowStyle(HWND window) { return static_cast<DWORD>(::GetWindowLongW(window, GWL_STYLE)); }
DWORD WindowExStyle(HWND window) {
  return static_cast<DWORD>(::GetWindowLongW(window, GWL_EXSTYLE));
}

// Removes and handles every queued message: keyboard navigation of the active dialog first,
// otherwise the usual translation and dispatch. Stops early only when the pass has overrun
// `deadline` by kPumpOverrunMs. A WM_QUIT belongs to the loop that runs the program: it is kept
// in *quitCode and not dispatched.
void PumpPending(ULONGLONG deadline, std::optional<int>* quitCode) {
  const HWND active = ::GetActiveWindow();
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      *quitCode = static_cast<int>(message.wParam);
      continue;
    }
    if (!active || !::IsDialogMessageW(active, &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    if (::GetTickCount64() > deadline + kPumpOverrunMs) return;
  }
}

}  // namespace

HWND DisabledOwnerOf(HWND owner) {
  HWND window = owner;
  while (::IsWindow(window) && (WindowStyle(window) & WS_CHILD) != 0) {
    const HWND parent = ::GetParent(window);
    if (!::IsWindow(parent) || (WindowExStyle(parent) & WS_EX_MDICHILD) != 0) break;
    window = parent;
  }
  return ::IsWindow(window) ? window : nullptr;
}

int ModalLoopVersion() {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!::GetVersionExW(&info) || info.dwPlatformId != VER_PLATFORM_WIN32_NT) return 0;
  return static_cast<int>(info.dwMajorVersion * 10 + info.dwMinorVersion);
}

void HandleModalMessage(FormWindow& form, MSG& message, int mdiFlag, int versionValue) {
  if (form.accelerators && ::GetForegroundWindow() == form.window &&
      ::TranslateAcceleratorW(form.window, form.accelerators.get(), &message)) {
    return;
  }
  if (mdiFlag == -1 && ::TranslateMDISysAccel(form.window, &message)) return;
  // Before Windows 8 the wheel goes to the focus window; send it to the window under the cursor
  // instead, as later systems do.
  if (versionValue < 62 && message.message == WM_MOUSEWHEEL) {
    POINT cursor{};
    const HWND under = ::GetCursorPos(&cursor) ? ::WindowFromPoint(cursor) : nullptr;
    if (under && under != message.hwnd) {
      ::PostMessageW(under, WM_MOUSEWHEEL, message.wParam, message.lParam);
      return;
    }
  }
  if (::IsDialogMessageW(form.window, &message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

LRESULT RunModal(FormWindow& form, int mode, HWND window, HWND owner, int showCommand, int mdiFlag) {
  const DWORD exStyle = WindowExStyle(window);
  int command = showCommand;
  if ((exStyle & WS_EX_NOACTIVATE) != 0 && showCommand == SW_SHOWNORMAL) command = SW_SHOWNOACTIVATE;

  if ((exStyle & WS_EX_MDICHILD) != 0 || mode != kModal) {
    ::ShowWindow(window, command);
    return reinterpret_cast<LRESULT>(window);
  }

  // EnableWindow(FALSE) reports whether the window was disabled already.
  const HWND disabled = DisabledOwnerOf(owner);
  const bool weDisabled = disabled && !::EnableWindow(disabled, FALSE);

  ::ShowWindow(window, command);
  ::UpdateWindow(window);

  const int version = ModalLoopVersion();
  MSG message;
  // GetMessageW gives -1 on an error: that ends the loop as WM_QUIT does, instead of spinning.
  while (::IsWindow(window) && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
    HandleModalMessage(form, message, mdiFlag, version);
  }

  // The form re-enables its owner on WM_CLOSE. A form destroyed without being closed (or a loop
  // ended by WM_QUIT) would leave the owner disabled for good, so the owner that this run
  // disabled is enabled again here in any case.
  if (weDisabled && ::IsWindow(disabled) && !::IsWindowEnabled(disabled)) {
    ::EnableWindow(disabled, TRUE);
  }
  return 0;
}

void ReenableOwner(HWND form) {
  // GetParent gives the owner only for pop-up windows; an owned overlapped window reports its
  // owner through GW_OWNER alone.
  const HWND up = (WindowStyle(form) & WS_CHILD) != 0 ? ::GetParent(form)
                                                      : ::GetWindow(form, GW_OWNER);
  if (!up) return;
  if (const HWND owner = DisabledOwnerOf(up)) ::EnableWindow(owner, TRUE);
}

namespace {

DWORD WaitTime(int milliseconds) { return milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 1; }

}  // namespace

void WaitPumpingOn(HANDLE timer, int milliseconds, HANDLE until) {
  const ULONGLONG deadline = ::GetTickCount64() + WaitTime(milliseconds);
  std::optional<int> quitCode;
  for (;;) {
    bool dueNow;
    if (timer) {
      const HANDLE handles[2] = {timer, until};
      const DWORD count = until ? 2 : 1;
      const DWORD result = ::MsgWaitForMultipleObjects(count, handles, FALSE, kWaitSliceMs, QS_ALLINPUT);
      if (result == WAIT_FAILED) {
        timer = nullptr;  // go on by the clock
        dueNow = ::GetTickCount64() >= deadline;
      } else {
        dueNow = result < WAIT_OBJECT_0 + count;
      }
    } else {
      // Without a timer the clock decides; a failing wait still sleeps a little, so this never
      // spins and always ends once the time is up.
      const ULONGLONG now = ::GetTickCount64();
      const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
      if (::MsgWaitForMultipleObjects(0, nullptr, FALSE, left, QS_ALLINPUT) == WAIT_FAILED) {
        ::Sleep(left < 10 ? left : 10);
      }
      dueNow = ::GetTickCount64() >= deadline;
    }
    PumpPending(deadline, &quitCode);
    if (dueNow) break;
  }
  if (quitCode) ::PostQuitMessage(*quitCode);  // for the loop around this wait
}

void WaitPumping(int milliseconds, HANDLE until) {
  // Each wait has its own unnamed timer, so nested or concurrent waits never share one.
  KernelHandle timer(::CreateWaitableTimerW(nullptr, TRUE, nullptr));
  LARGE_INTEGER due;
  due.QuadPart = -10000LL * static_cast<LONGLONG>(WaitTime(milliseconds));
  if (timer && !::SetWaitableTimer(timer.get(), &due, 0, nullptr, nullptr, FALSE)) timer.reset();
  WaitPumpingOn(timer.get(), milliseconds, until);
}

bool IsThreadRunning(HANDLE thread) {
  DWORD code = 0;
  if (!::GetExitCodeThread(thread, &code) || code != STILL_ACTIVE) return false;
  // A thread may also end with the code 259 itself; its handle is signalled then. A handle
  // without wait rights fails the test and the exit code has the last word.
  return ::WaitForSingleObject(thread, 0) != WAIT_OBJECT_0;
}

}  // namespace zv
