// The file and folder operations the installer's logic is written against. None shows a
// message; results are plain booleans or small codes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "win/handles.h"

namespace zv {

// WriteFileWithTime results.
inline constexpr int kWriteOk = 0;
inline constexpr int kWriteOpenFailed = 1;
inline constexpr int kWriteFailed = 2;

bool DirExists(const std::wstring& path);   // no trailing "\"
bool FileExists(const std::wstring& path);  // an entry that is neither a folder nor temporary
bool CreateFolder(const std::wstring& path);  // one level
bool MakeFolderTree(const std::wstring& path);  // true when the folder exists afterwards
// Name of the first entry matching the pattern whose attributes share a bit with the mask
// (attributes in *attributes), or empty.
std::wstring FindFirstMatch(const std::wstring& pattern, DWORD mask, DWORD* attributes);
// Writes the whole file as one piece through the steps below: 0 written, 1 the file could not be
// created or put in place, 2 a write failed.
int WriteFileWithTime(const std::wstring& path, std::string_view bytes, const FILETIME& lastWrite);

// A file written in pieces under a temporary name in its folder and moved over its final name
// only when complete and stamped: a write that stops half way (an error, an abort, the process
// killed) leaves the earlier file as it was, never a torn one, and a hard or symbolic link at
// the final name is replaced, not written through. A file new to its folder is written under
// its final name (there is nothing to keep or write through). Until it is complete the file
// carries the system's mark for removal on close: dropped, or left open by a process that is
// killed or crashes, it is gone. (The mark lives in the running system: a power cut can still
// leave the file being written.)
struct PartialFile {
  FileHandle handle;
  std::wstring temporary;  // empty once moved or removed
  bool inPlace = false;    // no file had the final name: temporary is the final name
  bool marked = false;     // to be removed when its handle closes, until finished
};
// Creates the file at path when nothing has that name, else the temporary file beside it, and
// marks it; false when it cannot be created.
bool BeginPartialFile(const std::wstring& path, PartialFile& file);
// Creates a new file at temporary, which nothing may have yet (a file to be moved over its final
// name later), and marks it; false when it cannot be created.
bool BeginFileAside(const std::wstring& temporary, PartialFile& file);
bool AppendPartialFile(const PartialFile& file, std::string_view bytes);
// Sets the last-write time, clears the mark, closes the file and moves it over path (replacing,
// written through). kWriteOk, or kWriteOpenFailed when it cannot take the final name (a locked
// or read-only file there, a mark that does not come off); the file is removed then.
int FinishPartialFile(PartialFile& file, const std::wstring& path, const FILETIME& lastWrite);
// Closes and removes the temporary file of an unfinished write; nothing when there is none.
void DropPartialFile(PartialFile& file);
bool ChangeCurrentFolder(const std::wstring& path);

}  // namespace zv
