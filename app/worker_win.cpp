// The extraction worker: turns the package into folders and files below the target folder.
// It runs on its own thread and reaches the window only through messages: the text box and the
// progress bar's range through the control setters (sent messages), the bar's position and the
// label through a message the window's thread handles (see ReportProgress), and message boxes
// owned by Form1.
#include <windows.h>

#include "app/fileops.h"
#include "app/installer_win.h"
#include "app/texts.h"
#include "package/decode_ahead.h"
#include "package/stream_decode.h"
#include "ui/dialogs.h"
#include "ui/properties.h"

namespace zv {

namespace {

int Fail(HWND form, const wchar_t* message, int exitCode) {
  Tell(form, message, MB_ICONERROR, exitCode);
  return kWorkerFailed;
}

// Hands where the worker stands to the window: posted at most once until the window has taken
// it; with wait, sent, so that it is on the screen when this returns.
void ReportProgress(HWND form, int position, const std::wstring* label, bool wait) {
  if (!form) return;  // nobody is watching an unattended install
  gWorkerPosition = position;
  if (label) delete gWorkerLabel.exchange(new std::wstring(*label));
  if (wait) {
    SendMessageW(form, kMsgWorkerProgress, 0, 0);
  } else if (!gWorkerProgressPosted.exchange(true)) {
    PostMessageW(form, kMsgWorkerProgress, 0, 0);
  }
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
  return Tell(form, text::kOverwrite, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, kExitInstalled) != IDNO;
}

// What became of one file.
enum class Written { kDone, kCorrupt, kWriteFailed, kOutOfMemory };

// Writes one file into its partial file: the bytes a decoder made ahead in one piece, or, for a
// file left to the writer, decoded straight from the package piece by piece (one dictionary and
// one input piece of memory, whatever the file's size). The file keeps its name only when its
// content is complete: a block that does not decode, a failed write or a killed install leaves
// no empty or torn file, and nothing of it behind.
Written WriteOne(const AheadFile& file, const std::wstring& path, const FILETIME& time, PartialFile& partial) {
  if (file.Decoded && file.Status == BlockStatus::Corrupt) return Written::kCorrupt;
  if (!BeginPartialFile(path, partial)) return Written::kWriteFailed;
  const auto append = [&](ByteView piece) { return AppendPartialFile(partial, piece); };
  StreamedBlock block;
  if (file.Decoded) {
    block.Stopped = !append(file.Data);
  } else {
    block = DecodeRecordStream(gPackage, file.Record, append);
  }
  if (block.Stopped || block.Status == BlockStatus::Corrupt || block.Status == BlockStatus::OutOfMemory) {
    DropPartialFile(partial);
    if (block.Stopped) return Written::kWriteFailed;
    return block.Status == BlockStatus::Corrupt ? Written::kCorrupt : Written::kOutOfMemory;
  }
  return FinishPartialFile(partial, path, time) == kWriteOk ? Written::kDone : Written::kWriteFailed;
}

}  // namespace

int ExtractPackage(HWND form) {
  // Everything is checked before a single file is written: a package that could not be
  // installed as listed (malformed list, a path leaving the target folder or clashing with
  // another) stops here.
  const PackageContents& contents = Contents();
  switch (contents.Status) {
    case PackageStatus::Ok:
      break;
    case PackageStatus::NoFileList:
      return Fail(form, text::kNoFileList, kExitPackage);
    case PackageStatus::OutOfMemory:
      return Fail(form, text::kOutOfMemory, kExitWrite);
    default:
      return Fail(form, text::kDataError, kExitPackage);
  }
  const std::vector<FileListEntry>& entries = contents.Entries;
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  DecodeAhead ahead(gPackage, contents.ContentOffset, CountFiles(entries),
                    static_cast<int>(system.dwNumberOfProcessors));
  // The integrity check began with the welcome page: the first files decode (into memory) while
  // it ends, and nothing is written before its verdict.
  ahead.Begin();
  gIntegrityCheck.Join();
  if (gIntegrity == Integrity::Damaged) return Fail(form, text::kPackageDamaged, kExitPackage);

  std::wstring folder = gTargetFolder;
  folder.pop_back();  // the "\" the folder check appended
  if (!MayWriteInto(form, folder)) return kWorkerFailed;
  folder += L'\\';

  const int count = static_cast<int>(entries.size());
  SetProgressMin(gForm1.progressBar1, 0);
  SetProgressMax(gForm1.progressBar1, count - 1);
  PartialFile partial;
  for (int i = 0; i < count; ++i) {
    ReportProgress(form, i, nullptr, false);
    const FileListEntry& entry = entries[i];
    const std::wstring& name = entry.Path;
    const std::wstring path = Join({folder, name});
    if (entry.IsFolder) {
      if (DirExists(path) || CreateFolder(path)) Log(Join({path, L"\\"}));
      continue;
    }
    ReportProgress(form, i, &name, false);
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(entry.FileTime);
    time.dwHighDateTime = static_cast<DWORD>(entry.FileTime >> 32);
    AheadFile& file = ahead.Next();
    // The user decides on a file that cannot be written or does not decode: Abort stops,
    // Retry tries the whole file again, Ignore leaves it out.
    Written result;
    while ((result = WriteOne(file, path, time, partial)) != Written::kDone) {
      ReportProgress(form, i, nullptr, true);  // the page shows the file the box names
      if (result == Written::kOutOfMemory) return Fail(form, text::kOutOfMemory, kExitWrite);
      const bool corrupt = result == Written::kCorrupt;
      const std::wstring message = Join({corrupt ? text::kCorruptHead : text::kWriteFailedHead, path,
                                         corrupt ? text::kCorruptTail : text::kWriteFailedTail});
      const int answer = Tell(form, message, MB_ABORTRETRYIGNORE | MB_ICONERROR, corrupt ? kExitPackage : kExitWrite);
      if (answer == IDABORT) return kWorkerFailed;
      if (answer == IDIGNORE) break;
    }
    if (result == Written::kDone) Log(path);
    if (gCancelRequested) return kWorkerFailed;
  }
  ReportProgress(form, count - 1, nullptr, true);
  return kWorkerDone;
}

std::atomic<int> gWorkerPosition{0};
std::atomic<std::wstring*> gWorkerLabel{nullptr};
std::atomic<bool> gWorkerProgressPosted{false};

void ShowWorkerProgress() {
  gWorkerProgressPosted = false;  // first: a change made from here on posts again
  SetProgressPos(gForm1.progressBar1, gWorkerPosition);
  if (std::wstring* label = gWorkerLabel.exchange(nullptr)) {
    SetWindowlessCaption(gForm1.label1, *label);
    delete label;
  }
}

DWORD WINAPI ExtractionWorker(void* form) {
  gWorkerStatus = ExtractPackage(static_cast<HWND>(form));
  return 0;
}

}  // namespace zv
