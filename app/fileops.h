// The file and folder operations the installer's logic is written against. None shows a
// message; results are plain booleans or small codes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

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
int WriteFileWithTime(const std::wstring& path, std::string_view bytes, const FILETIME& lastWrite);
bool ChangeCurrentFolder(const std::wstring& path);

}  // namespace zv
