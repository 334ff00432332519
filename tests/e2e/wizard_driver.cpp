// wizard-driver: clicks a real installer through its wizard to the end, accepting what a person
// would, and saves a screenshot of each page on the way. scripts/demo runs it under Xvfb when
// there is no display to show the installer on; a test can run it on any installer too.
//
//   wizard-driver INSTALLER TARGET_FOLDER SCREENSHOT_FOLDER
//
// Windows paths (under Wine, Z: plus the Unix path). The folder page gets TARGET_FOLDER; should
// the folder hold the files already, the overwrite question is answered Yes. On the finish page
// "start the program" is cleared (nobody is there to use it), the desktop shortcut is left as
// proposed. Prints one line per page; exit code 0 when the installer closed with 0 after Finish,
// 1 otherwise, with the reason on stderr and a screenshot stuck.png of where it stopped.
#include <windows.h>

#include <optional>
#include <string>

#include "tests/e2e/driver.h"
#include "tools/zvpack/platform.h"
#include "win/wide.h"

namespace {

constexpr int kExtractionTimeoutMs = 120000;  // a large package under an emulated Wine

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

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return Fail(L"usage: wizard-driver INSTALLER TARGET_FOLDER SCREENSHOT_FOLDER");
  e2e::SetScreenshotFolder(argv[3]);
  return Drive(argv[1], argv[2]);
}
