// The extraction worker: turns the package into folders and files below the target folder.
// It runs on its own thread and reaches the window only through messages: the text box and the
// progress bar's range through the control setters (sent messages), the bar's position and the
// label through a message the window's thread handles (see ReportProgress), and message boxes
// owned by Form1.
#include <windows.h>

#include <new>

#include "app/fileops.h"
#include "app/installer_win.h"
#include "app/texts.h"
#include "package/extraction.h"
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

FILETIME LastWriteOf(const FileListEntry& entry) {
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(entry.FileTime);
  time.dwHighDateTime = static_cast<DWORD>(entry.FileTime >> 32);
  return time;
}

// A large file a lane decodes before its turn: a file of its own in the target folder.
struct AsideHolder final : AsideFile {
  bool Write(ByteView piece) override { return AppendPartialFile(file, piece); }
  PartialFile file;
};

// Writes the entries below the target folder and asks the user about a file that cannot be
// written or does not decode: Abort stops, Retry tries the whole file again, Ignore leaves it
// out. Each file goes to a partial file first and keeps its name only when its content is
// complete: a block that does not decode, a failed write or a killed install leaves no empty or
// torn file, and nothing of it behind.
class WorkerSink final : public ExtractSink {
 public:
  WorkerSink(HWND form, const std::vector<FileListEntry>& entries, const std::wstring& folder)
      : form_(form), entries_(entries), folder_(folder) {}

  bool Entry(std::size_t index) override {
    const FileListEntry& entry = entries_[index];
    path_ = Join({folder_, entry.Path});
    ReportProgress(form_, static_cast<int>(index), entry.IsFolder ? nullptr : &entry.Path, false);
    if (entry.IsFolder && (DirExists(path_) || CreateFolder(path_))) Log(Join({path_, L"\\"}));
    return true;
  }
  bool Open(std::size_t) override { return BeginPartialFile(path_, partial_); }
  bool Write(ByteView piece) override { return AppendPartialFile(partial_, piece); }
  bool Close(std::size_t index) override {
    return FinishPartialFile(partial_, path_, LastWriteOf(entries_[index])) == kWriteOk;
  }
  void Drop() override { DropPartialFile(partial_); }
  // On a lane's thread. The holder's file lies in the target folder under a name that no entry
  // of the list has (nor any file there: it must be new), marked for removal like a partial
  // file until it is kept; at its turn it is moved to its place, a rename on the same volume.
  AsideFile* Aside(std::size_t index) override {
    const std::wstring path = Join({folder_, L"~zvsetup.", DecimalText(static_cast<int>(index)), L".partial"});
    // The name is ASCII: compared without case as any system compares such names.
    const wchar_t* name = path.c_str() + folder_.size();
    for (const FileListEntry& entry : entries_) {
      if (::lstrcmpiW(entry.Path.c_str(), name) == 0) return nullptr;
    }
    auto* holder = new (std::nothrow) AsideHolder;
    if (holder && !BeginFileAside(path, holder->file)) {
      delete holder;
      holder = nullptr;
    }
    return holder;
  }
  bool Keep(std::size_t index, AsideFile& file) override {
    auto* holder = static_cast<AsideHolder*>(&file);
    const bool kept = FinishPartialFile(holder->file, path_, LastWriteOf(entries_[index])) == kWriteOk;
    delete holder;
    return kept;
  }
  void Discard(AsideFile& file) override {
    auto* holder = static_cast<AsideHolder*>(&file);
    DropPartialFile(holder->file);
    delete holder;
  }
  FaultAnswer Failed(std::size_t index, FileFault fault) override {
    ReportProgress(form_, static_cast<int>(index), nullptr, true);  // the page shows the file the box names
    if (fault == FileFault::OutOfMemory) {
      Fail(form_, text::kOutOfMemory, kExitWrite);
      return FaultAnswer::Abort;
    }
    const bool corrupt = fault == FileFault::Corrupt;
    const std::wstring message = Join({corrupt ? text::kCorruptHead : text::kWriteFailedHead, path_,
                                       corrupt ? text::kCorruptTail : text::kWriteFailedTail});
    const int answer = Tell(form_, message, MB_ABORTRETRYIGNORE | MB_ICONERROR, corrupt ? kExitPackage : kExitWrite);
    return answer == IDABORT ? FaultAnswer::Abort : answer == IDIGNORE ? FaultAnswer::Ignore : FaultAnswer::Retry;
  }
  bool Done(std::size_t, bool written) override {
    if (written) Log(path_);
    return !gCancelRequested;
  }

 private:
  HWND form_;
  const std::vector<FileListEntry>& entries_;
  const std::wstring& folder_;
  std::wstring path_;  // of the entry at hand
  PartialFile partial_;
};

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
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  Extraction extraction(gPackage, contents, static_cast<int>(system.dwNumberOfProcessors));
  // The integrity check began with the welcome page: the first files decode (into memory) while
  // it ends, and nothing is written before its verdict.
  extraction.Begin();
  gIntegrityCheck.Join();
  if (gIntegrity == Integrity::Damaged) return Fail(form, text::kPackageDamaged, kExitPackage);

  std::wstring folder = gTargetFolder;
  folder.pop_back();  // the "\" the folder check appended
  if (!MayWriteInto(form, folder)) return kWorkerFailed;
  folder += L'\\';

  const int count = static_cast<int>(contents.Entries.size());
  SetProgressMin(gForm1.progressBar1, 0);
  SetProgressMax(gForm1.progressBar1, count - 1);
  WorkerSink sink(form, contents.Entries, folder);
  if (!extraction.Run(sink)) return kWorkerFailed;
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
