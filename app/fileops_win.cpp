// File and folder operations on top of kernel32. Every search handle and file handle is owned
// by a scoped owner, so no return path leaks one.

#include "app/fileops.h"
#include "base/text.h"
#include "package/names.h"

#include "win/handles.h"

namespace zv {
namespace {

constexpr wchar_t kSeparator = L'\\';

// "X:" or "X:\": a drive root. The directory search cannot find a root by its name, so roots are
// tested through their attributes instead.
bool IsDriveRoot(const std::wstring& path) {
  if (path.size() != 2 && !(path.size() == 3 && path[2] == kSeparator)) return false;
  const wchar_t letter = path[0];
  const bool isLetter = (letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z');
  return isLetter && path[1] == L':';
}

// The directory search treats "*" and "?" as wildcards, so "C:\*" would report whatever entry
// happens to match first. No file or folder name can contain either character, so a path that
// holds one names nothing and the existence tests reject it outright. The "\\?\" prefix of long
// paths is not part of the name and is not looked at.
bool HasWildcard(const std::wstring& path) {
  std::wstring_view name = path;
  if (name.starts_with(L"\\\\?\\")) name.remove_prefix(4);
  return name.find_first_of(L"*?") != std::wstring_view::npos;
}

// The attributes of the entry the path names, or INVALID_FILE_ATTRIBUTES when there is none.
DWORD EntryAttributes(const std::wstring& path) {
  if (path.empty() || HasWildcard(path)) return INVALID_FILE_ATTRIBUTES;
  if (IsDriveRoot(path)) {
    std::wstring root = path.substr(0, 2) + kSeparator;
    return ::GetFileAttributesW(root.c_str());
  }
  WIN32_FIND_DATAW found{};
  FindHandle search(::FindFirstFileW(path.c_str(), &found));
  if (!search) return INVALID_FILE_ATTRIBUTES;
  return found.dwFileAttributes;
}

// Sets or clears the mark that removes the file when its handle closes. The mark stays with the
// open file, not with the process: a process that ends before clearing it, killed or crashed,
// has its handles closed by the system, and the file goes with them.
bool MarkForRemoval(const FileHandle& file, bool remove) {
  FILE_DISPOSITION_INFO disposition{remove};
  return ::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

}  // namespace

bool DirExists(const std::wstring& path) {
  const DWORD attributes = EntryAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = EntryAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY)) == 0;
}

bool CreateFolder(const std::wstring& path) {
  return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool MakeFolderTree(const std::wstring& path) {
  std::wstring whole = path;
  if (!whole.empty() && whole.back() == kSeparator) whole.pop_back();

  // The first piece is the drive ("D:"); every further level is created when it is missing. An
  // empty piece (a doubled separator) keeps its separator in the path but creates nothing.
  size_t end = whole.find(kSeparator);
  while (end != std::wstring::npos) {
    const size_t start = end + 1;
    end = whole.find(kSeparator, start);
    const size_t length = (end == std::wstring::npos ? whole.size() : end) - start;
    if (length == 0) continue;
    const std::wstring sofar = whole.substr(0, start + length);
    if (!DirExists(sofar)) CreateFolder(sofar);  // a failure shows in the final test
  }
  return DirExists(whole);
}

std::wstring FindFirstMatch(const std::wstring& pattern, DWORD mask, DWORD* attributes) {
  WIN32_FIND_DATAW found{};
  FindHandle search(::FindFirstFileW(pattern.c_str(), &found));
  if (!search) return {};
  const bool skipDots = (mask & FILE_ATTRIBUTE_DIRECTORY) != 0;
  do {
    if ((found.dwFileAttributes & mask) == 0) continue;
    const std::wstring_view name = found.cFileName;
    if (skipDots && (name == L"." || name == L"..")) continue;
    if (attributes) *attributes = found.dwFileAttributes;
    return std::wstring(name);
  } while (::FindNextFileW(search.get(), &found));
  return {};
}

namespace {

// Creates file.temporary as disposition says and marks it for removal until it is whole, so
// that a killed install leaves neither a torn file under a name of the package nor a temporary
// one. Every file system that deletes files takes the mark (deleting is setting it); one that
// did not would get the file unmarked.
bool CreateMarked(PartialFile& file, DWORD disposition) {
  file.handle.reset(::CreateFileW(file.temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.handle) return false;
  file.marked = MarkForRemoval(file.handle, true);
  return true;
}

}  // namespace

bool BeginPartialFile(const std::wstring& path, PartialFile& file) {
  DropPartialFile(file);
  // Two tries. First the final name, where nothing has it yet: nothing can be torn or written
  // through there, and writing in place spares a move per file, which is most of a small file's
  // cost. Then one fixed name per folder: files are written one after the other, and a name left
  // behind is simply taken over by the next one.
  for (file.inPlace = true;; file.inPlace = false) {
    file.temporary = file.inPlace ? path
                                  : Join({std::wstring_view(path).substr(0, path.rfind(kSeparator) + 1), kPartialFileName});
    if (CreateMarked(file, file.inPlace ? CREATE_NEW : CREATE_ALWAYS)) return true;
    if (!file.inPlace) {
      file.temporary.clear();
      return false;
    }
  }
}

bool BeginFileAside(const std::wstring& temporary, PartialFile& file) {
  DropPartialFile(file);
  file.inPlace = false;
  file.temporary = temporary;
  if (CreateMarked(file, CREATE_NEW)) return true;
  file.temporary.clear();
  return false;
}

bool AppendPartialFile(const PartialFile& file, std::string_view bytes) {
  // A valid buffer even for zero bytes: some systems reject a null one.
  static const char kNothing = 0;
  const char* data = bytes.empty() ? &kNothing : bytes.data();
  const DWORD size = static_cast<DWORD>(bytes.size());
  DWORD written = 0;
  return ::WriteFile(file.handle.get(), data, size, &written, nullptr) != FALSE && written == size;
}

int FinishPartialFile(PartialFile& file, const std::wstring& path, const FILETIME& lastWrite) {
  // Only the last-write time is given; creation and access times (zero: unchanged) stay as the
  // system set them. Set through the call that sets the mark: one import, not two.
  FILE_BASIC_INFO times{};
  times.LastWriteTime.LowPart = lastWrite.dwLowDateTime;
  times.LastWriteTime.HighPart = static_cast<LONG>(lastWrite.dwHighDateTime);
  ::SetFileInformationByHandle(file.handle.get(), FileBasicInfo, &times, sizeof times);
  // Whole: the mark comes off before the handle closes (a file whose mark stays goes as it closes).
  const bool kept = !file.marked || MarkForRemoval(file.handle, false);
  file.handle.reset();
  if (kept && (file.inPlace || ::MoveFileExW(file.temporary.c_str(), path.c_str(),
                                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))) {
    file.temporary.clear();
    return kWriteOk;
  }
  DropPartialFile(file);
  return kWriteOpenFailed;
}

void DropPartialFile(PartialFile& file) {
  file.handle.reset();
  if (!file.temporary.empty()) ::DeleteFileW(file.temporary.c_str());
  file.temporary.clear();
}

int WriteFileWithTime(const std::wstring& path, std::string_view bytes, const FILETIME& lastWrite) {
  PartialFile file;
  if (!BeginPartialFile(path, file)) return kWriteOpenFailed;
  if (!AppendPartialFile(file, bytes)) {
    DropPartialFile(file);
    return kWriteFailed;
  }
  return FinishPartialFile(file, path, lastWrite);
}

bool ChangeCurrentFolder(const std::wstring& path) {
  return ::SetCurrentDirectoryW(path.c_str()) != FALSE;
}

}  // namespace zv
