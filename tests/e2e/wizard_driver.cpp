// wizard-driver: clicks a real installer through its wizard to the end, accepting what a person
// would, and saves a screenshot of each page on the way. scripts/demo runs it under Xvfb when
// there is no display to show the installer on; a test can run it on any installer too.
// scripts/bench-install uses its timing modes.
//
//   wizard-driver INSTALLER TARGET_FOLDER SCREENSHOT_FOLDER
//   wizard-driver --time INSTALLER TARGET_FOLDER
//   wizard-driver --time-welcome INSTALLER
//   wizard-driver --time-window TITLE PROGRAM [ARGUMENT...]
//   wizard-driver --time-run PROGRAM [ARGUMENT...]
//
// Windows paths (under Wine, Z: plus the Unix path). The folder page gets TARGET_FOLDER; should
// the folder hold the files already, the overwrite question is answered Yes. On the finish page
// "start the program" is cleared (nobody is there to use it), the desktop shortcut is left as
// proposed. Prints one line per page; exit code 0 when the installer closed with 0 after Finish,
// 1 otherwise, with the reason on stderr and a screenshot stuck.png of where it stopped.
//
// --time drives the same wizard as fast as it answers: no screenshots, no pauses for painting,
// both boxes of the finish page cleared (only the unpacking is measured), and any message box
// is a failure (the target is expected to be new). It prints
//   welcome_ms=N                      as soon as it is known (so a failed install still has it)
//   extraction_ms=N total_ms=N        at the end
// welcome: from starting the installer until its welcome page shows the package's name (the
// name's blue text is on the screen); extraction: from pressing Next on the folder page until the
// finish page shows; total: from starting the installer until it has exited.
// --time-welcome prints welcome_ms=N alone and ends the installer there.
// For another installer, on the same clock and with the same start (CreateProcess from a Wine
// program that is already running):
//   --time-window prints "window_ms=N": until a visible top-level window of PROGRAM has TITLE in
//     its title; then PROGRAM is ended.
//   --time-run prints "run_ms=N exit=N": until PROGRAM exits; exit code 0 only if PROGRAM's was 0.
// The ARGUMENTs are passed as written, unquoted (a silent installer's "/D=C:\x y" must be).
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "tests/e2e/driver.h"
#include "tools/zvpack/platform.h"
#include "win/wide.h"

namespace {

constexpr int kExtractionTimeoutMs = 120000;  // a large package under an emulated Wine
constexpr int kTimedRunTimeoutMs = 900000;    // a 1 GB package in a benchmark
constexpr int kTimedPageTimeoutMs = 60000;
constexpr DWORD kTimedPollMs = 5;             // the resolution of the start-up timings
constexpr DWORD kTimedSlowPollMs = 20;        // for the extraction: seconds long, polled less

void Say(const std::wstring& line) { zv::pack::WriteStdout(zv::WideStringToUtf8(line + L"\n")); }

int Fail(const std::wstring& reason) {
  zv::pack::WriteStderr(zv::WideStringToUtf8(L"wizard-driver: " + reason + L"\n"));
  return 1;
}

// Fail, with a screenshot of where the installer stands (its main window unless one is named).
int Stuck(e2e::Installer& setup, const std::wstring& reason, HWND window = nullptr) {
  return Fail(setup.Screenshot(L"stuck", window) ? reason + L" (see stuck.png)" : reason);
}

int Drive(const std::wstring& installer, const std::wstring& target) {
  e2e::Installer setup(installer);
  if (!setup.started()) return Fail(L"cannot start " + installer);
  if (!setup.WaitForPage(1)) return Stuck(setup, L"the welcome page never appeared");
  setup.Screenshot(L"page1-welcome");
  Say(L"welcome page: window \"" + setup.Title() + L"\"  (page1-welcome.png)");

  setup.Click(e2e::kNext);
  if (!setup.WaitForPage(2)) return Stuck(setup, L"Next did not lead to the folder page");
  setup.SetText(e2e::kFolder, target);
  // The box repaints when the installer gets round to it; the screenshot should show the text.
  RedrawWindow(setup.Item(e2e::kFolder), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  setup.Screenshot(L"page2-folder");
  Say(L"folder page: " + target + L"  (page2-folder.png)");

  setup.Click(e2e::kNext);
  std::optional<e2e::MessageBoxView> box;
  e2e::WaitUntil([&] {
    box = setup.WaitForMessageBox(0);
    return box || setup.Page() == 4;
  }, kExtractionTimeoutMs);
  if (box) {
    // The overwrite question is the one message that asks; any other reports a fault.
    if (!box->HasButton(IDYES)) return Stuck(setup, L"the installer said: " + box->text, box->window);
    Say(L"question \"" + box->text + L"\": Yes");
    setup.Answer(*box, IDYES);
  }
  if (!setup.WaitForPage(4, kExtractionTimeoutMs)) return Stuck(setup, L"the finish page did not come");
  setup.Screenshot(L"page4-finish");
  Say(L"finish page: installed into " + setup.Text(e2e::kFolder) + L"  (page4-finish.png)");

  setup.SetChecked(e2e::kCheck1, false);
  setup.Click(e2e::kNext);
  const std::optional<DWORD> code = setup.WaitForExit();
  if (!code) return Stuck(setup, L"the installer did not close after Finish");
  if (*code != 0) return Fail(L"the installer closed with exit code " + std::to_wstring(*code));
  Say(L"Finish (desktop shortcut as proposed, program not started): the installer closed with 0");
  return 0;
}

// Milliseconds since the driver started, from the performance counter.
long long NowMs() {
  static LARGE_INTEGER frequency{}, origin{};
  if (!frequency.QuadPart) {
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&origin);
  }
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return (now.QuadPart - origin.QuadPart) * 1000 / frequency.QuadPart;
}

// e2e::WaitUntil polls every 50 ms, too coarse for a start-up of a few hundred; this polls
// every few milliseconds (each poll is a handful of calls to the window server).
bool Poll(const std::function<bool()>& pred, int timeoutMs, DWORD intervalMs = kTimedPollMs) {
  const long long end = NowMs() + timeoutMs;
  for (;;) {
    if (pred()) return true;
    if (NowMs() >= end) return false;
    Sleep(intervalMs);
  }
}

// Whether the welcome page shows the package's name: the page paints the name in pure blue,
// centred in the box 120,60 to 445,110 (design units, one a pixel at 96 DPI), and nothing else
// blue above the version line at 104, which is blue too; before the package is read the name is
// empty. So the screen is read where a person would look, not a variable of the installer.
bool NameShown(HWND form) {
  HDC screen = GetDC(nullptr);
  const double scale = GetDeviceCaps(screen, LOGPIXELSY) / 96.0;
  ReleaseDC(nullptr, screen);
  RECT client{};
  GetClientRect(form, &client);
  POINT origin{0, 0};
  ClientToScreen(form, &origin);
  const RECT box{origin.x + static_cast<LONG>(120 * scale), origin.y + static_cast<LONG>(60 * scale),
                 origin.x + client.right, origin.y + static_cast<LONG>(102 * scale)};
  if (box.right <= box.left) return false;
  int blue = 0;
  for (std::uint32_t pixel : e2e::ReadScreen(box).pixels) {  // 0x00RRGGBB
    if ((pixel & 0xFF) >= 192 && ((pixel >> 8) & 0xFF) <= 64 && (pixel >> 16) <= 64) ++blue;
  }
  return blue >= 20;  // a few glyphs' worth, not a stray pixel
}

// Why an installer that should still be running has gone, in the driver's words.
std::wstring Ended(DWORD code) {
  wchar_t hex[16] = {};
  wsprintfW(hex, L"0x%08lX", code);
  return L"the installer ended on its own, exit code " + std::wstring(hex);
}

// An empty target: only the welcome is timed, and the installer is ended there.
int TimeWizard(const std::wstring& installer, const std::wstring& target) {
  const long long start = NowMs();
  e2e::Installer setup(installer);
  if (!setup.started()) return Fail(L"cannot start " + installer);
  // Every wait also ends when the installer does: a crash is reported at once, not at the
  // time limit.
  std::optional<DWORD> ended;
  auto gone = [&] { return (ended = setup.WaitForExit(0)).has_value(); };

  if (!Poll([&] { return (setup.Page() == 1 && NameShown(setup.Form(0))) || gone(); }, kTimedPageTimeoutMs) || ended) {
    return ended ? Fail(Ended(*ended)) : Stuck(setup, L"the welcome page with the package's name never appeared");
  }
  Say(L"welcome_ms=" + std::to_wstring(NowMs() - start));
  if (target.empty()) return 0;

  setup.Click(e2e::kNext);
  if (!Poll([&] { return setup.Page() == 2 || gone(); }, kTimedPageTimeoutMs) || ended) {
    return ended ? Fail(Ended(*ended)) : Stuck(setup, L"Next did not lead to the folder page");
  }
  setup.SetText(e2e::kFolder, target);
  const long long extractionStart = NowMs();
  setup.Click(e2e::kNext);
  std::optional<e2e::MessageBoxView> box;
  if (!Poll([&] {
        box = setup.WaitForMessageBox(0);
        return box || setup.Page() == 4 || gone();
      }, kTimedRunTimeoutMs, kTimedSlowPollMs) || ended) {
    return ended ? Fail(Ended(*ended) + L" while extracting") : Stuck(setup, L"the finish page did not come");
  }
  if (box) return Stuck(setup, L"the installer said: " + box->text, box->window);
  const long long extraction = NowMs() - extractionStart;

  setup.SetChecked(e2e::kCheck1, false);
  setup.SetChecked(e2e::kCheck2, false);
  setup.Click(e2e::kNext);
  const std::optional<DWORD> code = setup.WaitForExit(kTimedPageTimeoutMs);
  if (!code) return Stuck(setup, L"the installer did not close after Finish");
  const long long total = NowMs() - start;
  if (*code != 0) return Fail(L"the installer closed with exit code " + std::to_wstring(*code));
  Say(L"extraction_ms=" + std::to_wstring(extraction) + L" total_ms=" + std::to_wstring(total));
  return 0;
}

struct FindTitled {
  DWORD pid;
  const std::wstring* part;
  bool found;
};

BOOL CALLBACK FindTitledProc(HWND window, LPARAM param) {
  auto* find = reinterpret_cast<FindTitled*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != find->pid || !IsWindowVisible(window)) return TRUE;
  wchar_t title[512] = {};
  GetWindowTextW(window, title, 512);
  find->found = std::wstring(title).find(*find->part) != std::wstring::npos;
  return !find->found;
}

// Another program, started as the driver starts the installer; ended when the driver goes.
class Program {
 public:
  Program(int argc, wchar_t** argv) {
    std::wstring command = L"\"" + std::wstring(argv[0]) + L"\"";
    for (int i = 1; i < argc; ++i) command += L" " + std::wstring(argv[i]);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(argv[0], command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_)) {
      process_ = {};
    }
  }
  ~Program() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool started() const { return process_.hProcess != nullptr; }
  bool Exited(DWORD waitMs, DWORD* code) const {
    if (WaitForSingleObject(process_.hProcess, waitMs) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(process_.hProcess, code);
    return true;
  }
  // A visible top-level window of the program with titlePart in its title.
  bool HasWindow(const std::wstring& titlePart) const {
    FindTitled find{process_.dwProcessId, &titlePart, false};
    EnumWindows(FindTitledProc, reinterpret_cast<LPARAM>(&find));
    return find.found;
  }

 private:
  PROCESS_INFORMATION process_{};
};

int TimeWindow(const std::wstring& title, int argc, wchar_t** argv) {
  const long long start = NowMs();
  Program program(argc, argv);
  if (!program.started()) return Fail(L"cannot start " + std::wstring(argv[0]));
  DWORD code = 0;
  bool exited = false;
  if (!Poll([&] { return program.HasWindow(title) || (exited = program.Exited(0, &code)); }, kTimedPageTimeoutMs) ||
      exited) {
    return Fail(L"no window titled \"" + title + L"\" appeared");
  }
  Say(L"window_ms=" + std::to_wstring(NowMs() - start));
  return 0;
}

int TimeRun(int argc, wchar_t** argv) {
  const long long start = NowMs();
  Program program(argc, argv);
  if (!program.started()) return Fail(L"cannot start " + std::wstring(argv[0]));
  DWORD code = 0;
  if (!program.Exited(kTimedRunTimeoutMs, &code)) return Fail(L"the program did not end in time");
  Say(L"run_ms=" + std::to_wstring(NowMs() - start) + L" exit=" + std::to_wstring(code));
  return code == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  NowMs();  // the clock's origin
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"--time" && argc == 4) return TimeWizard(argv[2], argv[3]);
  if (mode == L"--time-welcome" && argc == 3) return TimeWizard(argv[2], L"");
  if (mode == L"--time-window" && argc >= 4) return TimeWindow(argv[2], argc - 3, argv + 3);
  if (mode == L"--time-run" && argc >= 3) return TimeRun(argc - 2, argv + 2);
  if (argc != 4 || mode.rfind(L"--", 0) == 0) {
    return Fail(L"usage: wizard-driver INSTALLER TARGET_FOLDER SCREENSHOT_FOLDER\n"
                L"       wizard-driver --time INSTALLER TARGET_FOLDER\n"
                L"       wizard-driver --time-welcome INSTALLER\n"
                L"       wizard-driver --time-window TITLE PROGRAM [ARGUMENT...]\n"
                L"       wizard-driver --time-run PROGRAM [ARGUMENT...]");
  }
  e2e::SetScreenshotFolder(argv[3]);
  return Drive(argv[1], argv[2]);
}
