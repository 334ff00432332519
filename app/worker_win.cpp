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

// What became of one file.
enum class Written { kDone, kCorrupt, kWriteFailed, kOutOfMemory };

// Decodes a file's block straight into its partial file, piece by piece, so that memory stays
// one dictionary and one input piece whatever the file's size. The file takes its name only
// when its content is complete: a block that does not decode is never written as an empty or
// torn file, and nothing of it is left behind.
Written ExtractFile(const RecordSpan& record, const std::wstring& path, const FILETIME& time,
                    PartialFile& file) {
  if (!BeginPartialFile(path, file)) return Written::kWriteFailed;
  const StreamedBlock block =
      DecodeRecordStream(gPackage, record, [&](ByteView piece) { return AppendPartialFile(file, piece); });
  if (block.Stopped || block.Status == BlockStatus::Corrupt || block.Status == BlockStatus::OutOfMemory) {
    DropPartialFile(file);
    if (block.Stopped) return Written::kWriteFailed;
    return block.Status == BlockStatus::Corrupt ? Written::kCorrupt : Written::kOutOfMemory;
  }
  return FinishPartialFile(file, path, time) == kWriteOk ? Written::kDone : Written::kWriteFailed;
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
  std::uint64_t offset = contents.ContentOffset;
  PartialFile file;
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
    const RecordSpan record = LocateRecord(gPackage, offset);
    offset = record.Next;
    // The user decides on a file that cannot be written or does not decode: Abort stops,
    // Retry tries the whole file again, Ignore leaves it out.
    for (Written result; (result = ExtractFile(record, path, time, file)) != Written::kDone;) {
      if (result == Written::kOutOfMemory) return Fail(form, text::kOutOfMemory);
      const bool corrupt = result == Written::kCorrupt;
      const std::wstring message = Join({corrupt ? text::kCorruptHead : text::kWriteFailedHead, path,
                                         corrupt ? text::kCorruptTail : text::kWriteFailedTail});
      const int answer = MessageBoxAppTitle(form, message, MB_ABORTRETRYIGNORE | MB_ICONERROR);
      if (answer == IDABORT) return kWorkerFailed;
      if (answer == IDIGNORE) break;
    }
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
