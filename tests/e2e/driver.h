// Drives a real installer process from a test: builds installers from packages made with our
// writer, starts them, finds their windows and message boxes, presses buttons, reads texts and
// takes screenshots.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "package/writer.h"

namespace e2e {

// Control IDs of the installer's window.
inline constexpr int kCheck2 = 103;  // desktop shortcut
inline constexpr int kCheck1 = 104;  // start the program
inline constexpr int kBrowse = 105;
inline constexpr int kFolder = 106;
inline constexpr int kProgress = 108;
inline constexpr int kBack = 109;
inline constexpr int kCancel = 110;
inline constexpr int kNext = 111;

// One entry of a test package. Folders carry no content; a file's time is a FILETIME.
struct Entry {
  std::string path;  // UTF-8, "\" between levels
  std::string content;
  std::uint64_t time = 0;
  bool folder = false;
};

zv::InfoFields Info(const std::string& name, const std::string& program, int number = 0);
// A package as the packer would write it.
zv::Bytes BuildPackage(const zv::InfoFields& info, const std::vector<Entry>& entries);
// A package from hand-made blocks (for damaged and unsafe packages).
zv::Bytes BuildPackageFromBlocks(const zv::Bytes& infoBlock, const zv::Bytes& listBlock,
                                 const std::vector<zv::Bytes>& contentBlocks);
// The raw file list bytes for entries, without any check (unsafe paths included).
zv::Bytes RawFileList(const std::vector<Entry>& entries);

// The test's scratch folder: %TEMP%\zve2e\ (ends in "\").
std::wstring ScratchRoot();
std::wstring Scratch(const std::wstring& name);  // a fresh, empty sub-folder of it
// Writes the stub followed by the package bytes to path.
void WriteInstaller(const std::wstring& path, const zv::Bytes& package);
zv::Bytes StubBytes();
std::wstring RecorderPath();  // the recording test program (see recorder.cpp)
std::wstring DpiProbePath();  // the DLL the DPI test loads into an installer (dpi_probe.cpp)
std::wstring DesktopFolder();  // the current user's desktop, where shortcuts go (ends in "\")

std::wstring Widen(const std::string& utf8);
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::uint64_t LastWriteTime(const std::wstring& path);
bool IsFolder(const std::wstring& path);
bool Exists(const std::wstring& path);
void RemoveTree(const std::wstring& path);

struct MessageBoxView {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
  int defaultButton = 0;  // ID of the button with BS_DEFPUSHBUTTON
  bool HasButton(int id) const { return GetDlgItem(window, id) != nullptr; }
};

// A started installer. The destructor kills it if it is still running.
class Installer {
 public:
  // arguments: what follows the quoted path on the command line.
  explicit Installer(const std::wstring& exePath, const std::wstring& arguments = L"");
  ~Installer();
  Installer(const Installer&) = delete;
  Installer& operator=(const Installer&) = delete;

  bool started() const { return process_.hProcess != nullptr; }
  // The main window, once it exists (null after the timeout).
  HWND Form(int timeoutMs = 20000);
  HWND Item(int id);
  bool Visible(int id);
  bool Enabled(int id);
  std::wstring Text(int id);
  void SetText(int id, const std::wstring& text);
  bool Checked(int id);
  void SetChecked(int id, bool checked);
  void Click(int id);  // posted: the handler may run a long modal loop
  void PostToForm(UINT message, WPARAM wParam, LPARAM lParam);
  std::wstring Title();

  // 1 welcome (package loaded), 2 folder, 3 extraction, 4 finish; 0 otherwise.
  int Page();
  bool WaitForPage(int page, int timeoutMs = 30000);
  // From the welcome page to the folder page, with folder typed in; false when a page never came.
  bool GoToFolderPage(const std::wstring& folder);

  // A message box of this process, once one is shown.
  std::optional<MessageBoxView> WaitForMessageBox(int timeoutMs = 30000);
  // Presses a button of a message box (IDOK, IDYES, IDRETRY …) and waits until it is gone.
  bool Answer(const MessageBoxView& box, int buttonId);

  // The exit code, or nullopt when the process did not end in time.
  std::optional<DWORD> WaitForExit(int timeoutMs = 30000);
  DWORD ProcessId() const { return process_.dwProcessId; }

  // The window of this installer that has the keyboard focus (null when none has).
  HWND Focus();
  // Loads the DLL (a full path) into the installer and runs its export `function` on a thread
  // there with `argument`; the function's result, or nullopt when it could not be run.
  std::optional<DWORD> RunInProcess(const std::wstring& dll, const char* function, DWORD argument);

  // Saves name.png of the window (with its frame; the main window by default) in the
  // screenshot folder.
  bool Screenshot(const std::wstring& name, HWND window = nullptr);

 private:
  PROCESS_INFORMATION process_{};
  HWND form_ = nullptr;
};

// A part of the screen (screen coordinates) as 0x00RRGGBB pixels, rows top first.
struct ScreenPixels {
  int width = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
ScreenPixels ReadScreen(const RECT& rect);

// Where Screenshot saves: build/screens/ unless a program chooses another folder (made when
// a screenshot is saved).
void SetScreenshotFolder(const std::wstring& folder);

// Types through the X server, as a person does: `xdotoolArguments` are handed to xdotool (for
// example "key Return" or "key alt+h") by the key feeder tests/e2e/run-e2e runs beside the
// test. False when there is no feeder or it did not answer.
bool TypeKeys(const std::string& xdotoolArguments);

// Polls pred every 50 ms until it holds or the time is up.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs);

}  // namespace e2e
