// The installer application: its process-wide records, the one form Form1 with its ten
// controls, and the wizard's steps. Everything here runs on the window's thread unless a
// comment says otherwise.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "app/install_rules.h"
#include "base/thread.h"
#include "package/contents.h"
#include "package/file_source.h"
#include "package/info.h"
#include "package/integrity.h"
#include "ui/form.h"
#include "win/wide.h"

namespace zv {

class PageCanvas;

// The application record, filled once before anything else runs.
struct AppInfo {
  HINSTANCE instance = nullptr;
  std::wstring folder;   // ends in its separator
  std::wstring exeName;
  std::wstring title;    // caption of the application's message boxes
  int version[4] = {};   // major, minor, revision, build
};
extern AppInfo gAppInfo;
void InitAppInfo();

// Control IDs of Form1.
inline constexpr int kIdLabel1 = 102;
inline constexpr int kIdCheck2 = 103;
inline constexpr int kIdCheck1 = 104;
inline constexpr int kIdCommand4 = 105;  // Browse
inline constexpr int kIdText1 = 106;
inline constexpr int kIdFrame1 = 107;
inline constexpr int kIdProgressBar1 = 108;
inline constexpr int kIdCommand3 = 109;  // Back
inline constexpr int kIdCommand2 = 110;  // Cancel
inline constexpr int kIdCommand1 = 111;  // Next

// Private messages of Form1.
inline constexpr UINT kMsgLoadPackage = 0x1000;        // wParam 0x1000: posted once at start
inline constexpr UINT kMsgWorkerProgress = WM_APP + 1;  // the worker's progress below is new

struct Form1Object {
  HWND window = nullptr;
  ControlHandle check2, check1, command4, text1, progressBar1, command3, command2, command1;
  WindowlessHandle label1, frame1;
};
extern Form1Object gForm1;

// Wizard state: the page (1 welcome, 2 folder, 3 extraction, 4 finish) and the header texts of
// pages 2 to 4.
extern int gWizardState;
extern std::wstring gPageTitle;
extern std::wstring gPageSubtitle;
void ApplyWizardState();

// Package information (empty until a package has been accepted: a refused one leaves nothing
// here), the default parent folder (ends in "\"), the package kept open for the
// worker, and the three page pictures.
extern PackageInfo gPackageInfo;
extern std::wstring gWelcomeName;  // DisplayName as the welcome page shows it
extern std::wstring gDefaultFolder;
extern FilePackageSource gPackage;  // the installer's own file, read by offset
extern std::string_view gPagePictures[3];  // empty: nothing painted
void SetDefaultFolder();
void LoadPackageInfo(HWND form);
// A name or program that leads outside the installer's places (FindInfoFault): says so, as a
// package error, and returns true.
bool RefuseUnsafeInfo(HWND form, const PackageInfo& info);

// The command line's switches, read once at start (before the window), and the exit code of an
// unattended install. The wizard ends with 0 whatever happened: the person saw the reason.
inline constexpr int kExitInstalled = 0;
inline constexpr int kExitFolder = 1;   // the target folder cannot be used or created
inline constexpr int kExitPackage = 2;  // the package is missing, damaged, unsafe or fails its check
inline constexpr int kExitWrite = 3;    // out of memory, or a file could not be written
extern CommandSwitches gSwitches;
extern int gExitCode;
void ReadSwitches(const wchar_t* commandLine);  // also opens the log
// One line in the log (when there is one), in UTF-8.
void Log(std::wstring_view line);
// A message box for the person at the screen. Each message with an exit code is an error: it goes
// to the log and becomes the exit code. In an unattended install nothing is shown and the answer
// is the one the switches stand for: Yes to overwrite, Abort at a file, Cancel, OK.
int Tell(HWND form, const std::wstring& text, UINT flags, int exitCode, const wchar_t* caption = nullptr);
// The install with no window: the exit code.
int RunSilently();

// The folder the files go into, ending in "\": set when the folder page's Next (or the unattended
// install) has checked and created it.
extern std::wstring gTargetFolder;
// The package's contents (without its information, read at start-up), read on first use: by
// the target folder's check, whose paths must fit below it, and then by the worker.
const PackageContents& Contents();
// The folder the folder page proposes: the one given on the command line (/D=), or the default
// parent folder and the package's name.
std::wstring ProposedFolder();
// Checks the typed folder and creates it; false after the message when it cannot be used.
bool PrepareTargetFolder(HWND form, const std::wstring& typed);
// Package number 1 with a batch program: see IsBatchProgram.
void RunSpecialHandling();
// The desktop shortcut and the program start, for the files in gTargetFolder. Nothing is made
// or started (the message: a package error) unless the package's name is one plain name and its
// program a safe path inside that folder.
void FinishInstall(bool shortcut, bool run);

// Extraction: 0 running, 1 failed or cancelled, 2 done. Written once by the worker before it
// ends; read only after it has ended.
inline constexpr int kWorkerRunning = 0;
inline constexpr int kWorkerFailed = 1;
inline constexpr int kWorkerDone = 2;
extern int gWorkerStatus;
// Set by the window's thread when the user confirms closing during extraction; the worker stops
// after the current file.
extern std::atomic<bool> gCancelRequested;
extern std::atomic<bool> gWorkerRunning;

// The check of the package's integrity line: started with the welcome page, on a thread of its
// own so that the page does not wait for it; the worker waits for it before it writes anything.
extern JoinableThread gIntegrityCheck;
extern IntegrityLine gIntegrityLine;
extern Integrity gIntegrity;  // written by that thread, read after it has been joined

// Where the worker stands, for Form1 to show: the position of the progress bar and a label text
// not shown yet (owned by whoever takes it). The worker posts kMsgWorkerProgress when none is
// pending, so the window takes the latest state at its own pace and the worker never waits on a
// repaint; before a question and at the end the worker sends it, so the window shows exactly
// where it stands.
extern std::atomic<int> gWorkerPosition;
extern std::atomic<std::wstring*> gWorkerLabel;
extern std::atomic<bool> gWorkerProgressPosted;
void ShowWorkerProgress();  // on the window's thread, for kMsgWorkerProgress
DWORD WINAPI ExtractionWorker(void* form);
int ExtractPackage(HWND form);  // the worker's work: kWorkerDone or kWorkerFailed

LRESULT OpenForm1(HWND owner, bool modal);
LRESULT CALLBACK Form1WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void OnNext(HWND form);
void OnBack(HWND form);
void OnCancel(HWND form);
void OnBrowse(HWND form);
void InstallAction(HWND form);
void FinishAction();
void CreateDesktopShortcut(const std::wstring& linkPath, const std::wstring& target,
                           const std::wstring& workingFolder, const std::wstring& description);

int PaintPage(HWND form, PageCanvas& canvas, COLORREF background);
// The texts the current page paints, in reading order (for screen readers).
void PaintedPageTexts(HWND form, std::vector<std::wstring>& texts);
void PaintWelcomeBackground(PageCanvas& canvas);
void PaintPageHeader(PageCanvas& canvas);

}  // namespace zv
