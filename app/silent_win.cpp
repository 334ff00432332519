// The command line's switches: the log, the messages that become exit codes when nobody is at
// the screen, and the unattended install itself.
#include <windows.h>

#include "app/fileops.h"
#include "app/installer_win.h"
#include "ui/dialogs.h"

namespace zv {

constinit CommandSwitches gSwitches;
int gExitCode = kExitInstalled;

namespace {

FileHandle gLog;

}  // namespace

void ReadSwitches(const wchar_t* commandLine) {
  gSwitches = ReadCommandSwitches(commandLine);
  if (!gSwitches.log.empty()) {
    // Appended to (each line in one write), so that a deployment tool may keep one log for
    // many installs, even at once; a log that cannot be opened does not stop the install.
    gLog.reset(CreateFileW(std::wstring(gSwitches.log).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  }
}

void Log(std::wstring_view line) {
  if (!gLog) return;  // no copy of the line when there is no log: the worker logs every file
  // A message of several lines is one line here.
  std::wstring text;
  for (const wchar_t c : line) {
    if (c != L'\r') text += c == L'\n' ? L' ' : c;
  }
  text += L"\r\n";
  const Bytes utf8 = WideStringToUtf8(text);
  DWORD written = 0;
  WriteFile(gLog.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

int Tell(HWND form, const std::wstring& text, UINT flags, int exitCode, const wchar_t* caption) {
  if (exitCode != kExitInstalled) {
    Log(text);
    gExitCode = exitCode;
  }
  if (!gSwitches.silent) {
    return caption ? MessageBoxCaption(form, text, caption, flags) : MessageBoxAppTitle(form, text, flags);
  }
  // Nobody to ask: overwrite, stop at a file that fails, do not try again.
  switch (flags & MB_TYPEMASK) {
    case MB_YESNO:
      return IDYES;
    case MB_ABORTRETRYIGNORE:
      return IDABORT;
    case MB_RETRYCANCEL:
      return IDCANCEL;
    default:
      return IDOK;
  }
}

int RunSilently() {
  SetDefaultFolder();
  LoadPackageInfo(nullptr);
  if (gExitCode != kExitInstalled) return gExitCode;
  if (!PrepareTargetFolder(nullptr, ProposedFolder())) return gExitCode;
  // Each way of failing says why through Tell; a failure that did not is still one.
  if (ExtractPackage(nullptr) != kWorkerDone) return gExitCode != kExitInstalled ? gExitCode : kExitWrite;
  RunSpecialHandling();
  FinishInstall(gSwitches.shortcut, gSwitches.run);
  return gExitCode;  // the finish step refuses an unsafe name or program with its code
}

}  // namespace zv
