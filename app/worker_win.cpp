// The extraction worker: turns the package into folders and files below the target folder.
// It runs on its own thread and reaches the window only through messages: the text box and the
// progress bar through the control setters (sent messages), the label through a message the
// window's thread handles, and message boxes owned by Form1.
#include <windows.h>

#include "app/fileops.h"
#include "app/installer_win.h"
#include "app/texts.h"
#include "ui/dialogs.h"
#include "ui/properties.h"

namespace zv {

namespace {

int Fail(HWND form, const wchar_t* message) {
  if (message) MessageBoxAppTitle(form, message, MB_ICONERROR);
  return kWorkerFailed;
}

void ShowCurrentFile(HWND form, const std::wstring& name) {
  SendMessageW(form, kMsgWorkerLabel, 0, reinterpret_cast<LPARAM>(&name));
}

// Asks once, before anything is written, when the target folder already holds files.
bool MayWriteInto(HWND form, const std::wstring& folder) {
  if (!DirExists(folder)) {
    CreateFolder(folder);
    return true;
  }
  DWORD attributes = 0;
  const std::wstring found =
      FindFirstMatch(Join({folder, L"\\*.*"}), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, &attributes);
  if (found.empty()) return true;
  return MessageBoxAppTitle(form, text::kOverwrite, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDNO;
}

enum class Outcome { kNext, kAbort };

// Decodes one content block. A block that states content but does not decode is not written as
// an empty file: the user chooses to abort, retry or leave the file out.
Outcome DecodeContent(HWND form, ByteView block, const std::wstring& path, Bytes& data, bool& skip) {
  skip = false;
  for (;;) {
    const BlockStatus status = DecodeBlockChecked(block, data);
    if (status == BlockStatus::Ok || status == BlockStatus::Empty) return Outcome::kNext;
    const std::wstring message = Join({text::kCorruptHead, path, text::kCorruptTail});
    const int answer = MessageBoxAppTitle(form, message, MB_ABORTRETRYIGNORE | MB_ICONERROR);
    if (answer == IDABORT) return Outcome::kAbort;
    if (answer == IDIGNORE) {
      skip = true;
      return Outcome::kNext;
    }
  }
}

Outcome WriteContent(HWND form, const std::wstring& path, ByteView data, const FILETIME& time) {
  while (WriteFileWithTime(path, data, time) != kWriteOk) {
    const std::wstring message = Join({text::kWriteFailedHead, path, text::kWriteFailedTail});
    const int answer = MessageBoxAppTitle(form, message, MB_ABORTRETRYIGNORE | MB_ICONERROR);
    if (answer == IDABORT) return Outcome::kAbort;
    if (answer == IDIGNORE) break;
  }
  return Outcome::kNext;
}

int Extract(HWND form) {
  // Everything is checked before a single file is written: a package that could not be
  // installed as listed (malformed list, a path leaving the target folder or clashing with
  // another) stops here.
  const PackageContents contents = ReadContents(gPackage, /*withInfo=*/false);  // read at start-up
  switch (contents.Status) {
    case PackageStatus::Ok:
      break;
    case PackageStatus::NoFileList:
      return Fail(form, text::kNoFileList);
    case PackageStatus::OutOfMemory:
      return Fail(form, text::kOutOfMemory);
    default:
      return Fail(form, text::kDataError);
  }
  const std::vector<FileListEntry>& entries = contents.Entries;

  std::wstring folder = GetText(gForm1.text1);
  if (!folder.empty()) folder.pop_back();  // the "\" the install action appended
  if (!MayWriteInto(form, folder)) return kWorkerFailed;
  folder += L'\\';

  const int count = static_cast<int>(entries.size());
  SetProgressMin(gForm1.progressBar1, 0);
  SetProgressMax(gForm1.progressBar1, count - 1);
  RecordWalker records(gPackage, contents.ContentOffset);
  Bytes block;  // one record's block at a time, read from the installer file
  Bytes data;
  for (int i = 0; i < count; ++i) {
    SetProgressPos(gForm1.progressBar1, i);
    const FileListEntry& entry = entries[i];
    const std::wstring name = ToWide(entry.Path);
    const std::wstring path = Join({folder, name});
    if (entry.IsFolder) {
      if (!DirExists(path)) CreateFolder(path);
      continue;
    }
    ShowCurrentFile(form, name);
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(entry.FileTime);
    time.dwHighDateTime = static_cast<DWORD>(entry.FileTime >> 32);
    const ByteView content = records.Next(block);
    bool skip = false;
    if (DecodeContent(form, content, path, data, skip) == Outcome::kAbort) return kWorkerFailed;
    if (!skip && WriteContent(form, path, data, time) == Outcome::kAbort) return kWorkerFailed;
    if (gCancelRequested) return kWorkerFailed;
  }
  return kWorkerDone;
}

}  // namespace

DWORD WINAPI ExtractionWorker(void* form) {
  gWorkerStatus = Extract(static_cast<HWND>(form));
  return 0;
}

}  // namespace zv
