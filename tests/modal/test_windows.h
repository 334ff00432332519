// Helpers of the modal-loop and dialog tests: a window class whose procedure records what it
// sees, and a thread that finds a dialog of this process and answers it.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "ui/modal.h"

namespace zv::test {

// Messages the test window understands.
inline constexpr UINT kCount = WM_APP + 2;       // counts, remembers the time
inline constexpr UINT kProbe = WM_APP + 3;       // records whether the watched windows are enabled
inline constexpr UINT kQuit = WM_APP + 4;        // posts WM_QUIT
inline constexpr UINT kDestroy = WM_APP + 5;     // destroys itself without WM_CLOSE
inline constexpr UINT kNestedWait = WM_APP + 6;  // runs WaitPumping(nestedMs)
inline constexpr UINT kRepost = WM_APP + 7;      // counts and posts itself again while `repost`

// What the test windows saw; reset by each test.
struct WindowLog {
  int count = 0;
  ULONGLONG countTick = 0;
  HWND watchOwner = nullptr;  // the window whose enabled state kProbe and WM_DESTROY record
  HWND watchChild = nullptr;
  int ownerEnabledDuringRun = -1;
  int childEnabledDuringRun = -1;
  int ownerEnabledAtDestroy = -1;
  WORD lastCommand = 0;
  HWND wheelReceiver = nullptr;
  int nestedMs = 0;
  int nestedDone = 0;
  bool repost = false;
};
inline WindowLog gLog;

inline int EnabledState(HWND window) {
  return window ? (::IsWindowEnabled(window) ? 1 : 0) : -1;
}

inline LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept {
  switch (message) {
    case kCount:
      ++gLog.count;
      gLog.countTick = ::GetTickCount64();
      return 0;
    case kProbe:
      gLog.ownerEnabledDuringRun = EnabledState(gLog.watchOwner);
      gLog.childEnabledDuringRun = EnabledState(gLog.watchChild);
      return 0;
    case kQuit:
      ::PostQuitMessage(0);
      return 0;
    case kDestroy:
      ::DestroyWindow(window);
      return 0;
    case kNestedWait:
      WaitPumping(gLog.nestedMs);
      ++gLog.nestedDone;
      return 0;
    case kRepost:
      ++gLog.count;
      if (gLog.repost) ::PostMessageW(window, kRepost, 0, 0);
      return 0;
    case WM_COMMAND:
      gLog.lastCommand = LOWORD(wParam);
      return 0;
    case WM_MOUSEWHEEL:
      gLog.wheelReceiver = window;
      return 0;
    case WM_CLOSE:
      ReenableOwner(window);
      break;
    case WM_DESTROY:
      gLog.ownerEnabledAtDestroy = EnabledState(gLog.watchOwner);
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

inline const wchar_t* TestClass() {
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TestWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"ZvTestWindow";
    return ::RegisterClassW(&wc);
  }();
  return atom ? L"ZvTestWindow" : nullptr;
}

inline HWND MakeWindow(DWORD style, HWND ownerOrParent = nullptr, int x = 50, int y = 50,
                       int width = 300, int height = 200, DWORD exStyle = 0) {
  return ::CreateWindowExW(exStyle, TestClass(), L"test", style, x, y, width, height,
                           ownerOrParent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

// Ends a loop that does not end by itself: after `ms` it records the fact and posts WM_QUIT to
// the thread that armed it.
class Watchdog {
 public:
  explicit Watchdog(UINT ms) : id_(::SetTimer(nullptr, 0, ms, &Watchdog::Fire)) { fired_ = false; }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;
  ~Watchdog() { ::KillTimer(nullptr, id_); }
  static bool Fired() { return fired_; }

 private:
  static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) noexcept {
    ::KillTimer(nullptr, id);
    fired_ = true;
    ::PostQuitMessage(0);
  }
  static inline bool fired_ = false;
  UINT_PTR id_;
};

inline std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

inline std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(window, text, 512);
  return text;
}

struct DialogSearch {
  HWND except;
  HWND found = nullptr;
};

inline BOOL CALLBACK MatchDialog(HWND window, LPARAM data) noexcept {
  auto* search = reinterpret_cast<DialogSearch*>(data);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process != ::GetCurrentProcessId() || window == search->except ||
      !::IsWindowVisible(window) || ClassOf(window) != L"#32770") {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

// A visible dialog ("#32770") of this process that is not `except`, or null.
inline HWND FindDialog(HWND except = nullptr) {
  DialogSearch search{except};
  ::EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Presses a dialog button the way a click does.
inline void Press(HWND dialog, int id) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

// A thread that waits (up to 30 s) for a dialog of this process to appear and hands it to
// `answer`, which reads what it needs and presses a button. The test thread meanwhile opens
// the dialog and blocks in it.
class DialogDriver {
 public:
  explicit DialogDriver(std::function<void(HWND)> answer)
      : thread_([this, answer = std::move(answer)] {
          for (int i = 0; i < 1500 && !found_; ++i) {
            if (HWND dialog = FindDialog()) {
              found_ = dialog;
              try {
                answer(dialog);
              } catch (...) {
              }
              return;
            }
            ::Sleep(20);
          }
        }) {}
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;
  ~DialogDriver() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  HWND Found() const { return found_; }

 private:
  std::atomic<HWND> found_{nullptr};
  std::thread thread_;
};

}  // namespace zv::test
