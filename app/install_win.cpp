// The folder page's Next: check and create the target folder, run the extraction worker while
// the window stays responsive, then go on to the finish page or close.
#include <windows.h>
#include <shellapi.h>

#include "app/fileops.h"
#include "app/install_rules.h"
#include "app/installer_win.h"
#include "app/texts.h"
#include "package/contents.h"
#include "package/path_length.h"
#include "ui/dialogs.h"
#include "ui/modal.h"
#include "ui/properties.h"

namespace zv {

int gWorkerStatus = kWorkerRunning;
std::atomic<bool> gCancelRequested{false};
std::atomic<bool> gWorkerRunning{false};

namespace {

void ShowPage(int state, const wchar_t* title, const wchar_t* head, const wchar_t* tail) {
  gPageTitle = title;
  gPageSubtitle = Join({head, gWelcomeName, tail});
  gWizardState = state;
  ApplyWizardState();
  Refresh(gForm1.window);
}

void EnableButtons(bool next, bool cancel, bool back) {
  SetEnabled(gForm1.command1, next);
  SetEnabled(gForm1.command2, cancel);
  SetEnabled(gForm1.command3, back);
}

}  // namespace

std::wstring gTargetFolder;

const PackageContents& Contents() {
  // Never destroyed (the process ends with it), so no copy is made and nothing is freed.
  static const PackageContents contents = ReadContents(gPackage, /*withInfo=*/false);  // read at start-up
  return contents;
}

std::wstring ProposedFolder() {
  return gSwitches.folder.empty() ? Join({gDefaultFolder, gWelcomeName}) : std::wstring(gSwitches.folder);
}

bool PrepareTargetFolder(HWND form, const std::wstring& typed) {
  const FolderVerdict verdict = CheckTargetFolder(typed);
  if (verdict.check == FolderCheck::kBareDrive) {
    Tell(form, text::kBareDrive, MB_ICONERROR, kExitFolder);
    SetText(gForm1.text1, Join({gDefaultFolder, gWelcomeName}));
    return false;
  }
  if (verdict.check == FolderCheck::kBadPath) {
    Tell(form, text::kBadPath, MB_ICONERROR, kExitFolder);
    return false;
  }
  gTargetFolder = verdict.folder;
  SetText(gForm1.text1, gTargetFolder);
  // Every path the worker will write below the folder must fit: judged before the folder is
  // made, so that nothing is written and a shorter folder can be chosen. (A list that cannot
  // be read leaves the target alone here: the worker says what is wrong with it.)
  if (gTargetFolder.size() + PlainPathRoom(Contents().Entries) > kMaxPlainPath) {
    Tell(form, text::kPathTooLong, MB_ICONERROR, kExitFolder);
    return false;
  }
  if (!MakeFolderTree(gTargetFolder)) {
    Tell(form, text::kCannotCreate, MB_ICONERROR, kExitFolder, text::kSoftwareCaption);
    return false;
  }
  return true;
}

// Package number 1 with a batch program: the batch file runs now and the program to link and
// start becomes QQGame.exe, inside Hall.57507\ when the folder lacks QQGameHall.exe.
void RunSpecialHandling() {
  if (gPackageInfo.PackageNumber != 1) return;
  if (!IsBatchProgram(gPackageInfo.ProgramFile)) return;
  const std::wstring& folder = gTargetFolder;  // replaced last, by a path made from it
  ShellExecuteW(nullptr, L"open", Join({folder, gPackageInfo.ProgramFile}).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  gPackageInfo.ProgramFile = text::kRedirectProgram;
  if (!FileExists(Join({folder, text::kHallProgram}))) {
    gTargetFolder = Join({folder, text::kHallFolder});
    SetText(gForm1.text1, gTargetFolder);
  }
}

void InstallAction(HWND form) {
  if (!PrepareTargetFolder(form, GetText(gForm1.text1))) return;

  SetWindowlessCaption(gForm1.label1, text::kStartExtracting);
  ShowPage(3, text::kTitleExtract, text::kSubtitleExtractHead, text::kSubtitleExtractTail);
  ChangeCurrentFolder(gAppInfo.folder);
  EnableButtons(false, false, false);

  gWorkerStatus = kWorkerRunning;
  gCancelRequested = false;
  KernelHandle thread(CreateThread(nullptr, 0, ExtractionWorker, form, 0, nullptr));
  if (!thread) {
    // Nothing was written: back to the folder page so the user can try again.
    Tell(form, text::kThreadFailed, MB_ICONERROR, kExitWrite);
    ShowPage(2, text::kTitleFolder, text::kSubtitleFolderHead, text::kSubtitleFolderTail);
    EnableButtons(true, true, true);
    return;
  }
  gWorkerRunning = true;
  // The worker's end also ends a wait: the finish page follows the last file at once.
  while (IsThreadRunning(thread.get())) WaitPumping(100, thread.get());
  thread.reset();
  gWorkerRunning = false;

  if (gWorkerStatus != kWorkerDone || gCancelRequested) {
    PostClose(form);
    return;
  }
  SetEnabled(gForm1.command1, true);
  SetEnabled(gForm1.command2, true);
  RunSpecialHandling();
  SetWindowlessCaption(gForm1.label1, text::kExtractDone);
  SetText(gForm1.command1, text::kFinish);
  ShowPage(4, text::kTitleFinish, text::kSubtitleFinishHead, text::kSubtitleFinishTail);
}

}  // namespace zv
