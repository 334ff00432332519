// The packer's system layer on Windows: the wide (UTF-16) file API throughout, so names in any
// script work whatever the ANSI code page is, and "\\?\" paths, so trees deeper than MAX_PATH
// can be packed and unpacked. std::filesystem does not serve here: libstdc++ reaches the files
// through the C runtime, whose folder listing stops at MAX_PATH and which sees no reparse
// points, and its absolute() takes "\\server\share" for a folder on the current drive.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "tools/zvpack/platform.h"
#include "win/handles.h"
#include "win/wide.h"

namespace zv::pack {
namespace {

std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length && buffer ? std::wstring(buffer, length) : std::wstring();
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L'.')) {
    text.pop_back();
  }
  if (text.empty()) {
    char number[32];
    std::snprintf(number, sizeof number, "system error %lu", static_cast<unsigned long>(code));
    return number;
  }
  return WideStringToUtf8(text);
}

bool Fail(std::string* error, const std::string& reason = LastSystemError()) {
  if (error) *error = reason;
  return false;
}

// GetFullPathNameW's absolute form of a path; empty when it fails.
std::wstring FullPath(const std::wstring& path) {
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return {};
  full.resize(length);
  return full;
}

// A path for the wide file API: long paths get the "\\?\" prefix (which needs an absolute
// path without "." and ".." pieces).
std::wstring WidePath(const std::string& utf8) {
  std::wstring wide = Utf8ToWideString(utf8);
  if (wide.size() < MAX_PATH - 12 || wide.starts_with(L"\\\\?\\")) return wide;
  const std::wstring full = FullPath(wide);
  if (full.empty()) return wide;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

HANDLE Handle(const Owned<SystemFileTraits>& file) { return reinterpret_cast<HANDLE>(file.get()); }

std::uint64_t Ticks(const FILETIME& time) {
  return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

Node NodeFromAttributes(DWORD attributes, std::uint64_t size, const FILETIME& lastWrite) {
  Node node;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    node.kind = NodeKind::kLink;
  } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    node.kind = NodeKind::kFolder;
  } else if (attributes & FILE_ATTRIBUTE_DEVICE) {
    node.kind = NodeKind::kOther;
  } else {
    node.kind = NodeKind::kFile;
    node.size = size;
  }
  node.lastWrite = Ticks(lastWrite);
  return node;
}

void WriteStream(DWORD which, std::string_view text) {
  HANDLE handle = ::GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  DWORD done = 0;
  if (::GetConsoleMode(handle, &mode)) {
    const std::wstring wide = Utf8ToWideString(text);
    ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr);
  } else {
    ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
  }
}

}  // namespace

std::string LastSystemError() { return SystemMessage(::GetLastError()); }

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '\\' && path.back() != '/' && path.back() != ':') {
    path += '\\';
  }
  path += name;
  return path;
}

Node Inspect(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data)) return {};
  return NodeFromAttributes(data.dwFileAttributes,
                            (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                            data.ftLastWriteTime);
}

bool ListFolder(const std::string& path, std::vector<DirItem>* items, std::string* error) {
  WIN32_FIND_DATAW data{};
  FindHandle search(::FindFirstFileW(WidePath(JoinPath(path, "*")).c_str(), &data));
  if (!search) return Fail(error);
  items->clear();
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    DirItem item;
    item.name = WideStringToUtf8(name);
    item.convertible = !HasLoneSurrogate(name);
    item.node = NodeFromAttributes(data.dwFileAttributes,
                                   (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                                   data.ftLastWriteTime);
    items->push_back(std::move(item));
  } while (::FindNextFileW(search.get(), &data));
  return ::GetLastError() == ERROR_NO_MORE_FILES || Fail(error);
}

bool InputFile::Open(const std::string& path, std::string* error) {
  if (reader_.Open(FromWide(WidePath(path)), /*allowWriters=*/true)) return true;
  return Fail(error, LastSystemError());
}

bool InputFile::OpenScanned(const std::string& path, const Node& scanned, std::string* error) {
  (void)scanned;  // no cheap identity from the folder listing: the link check is what holds
  Owned<SystemFileTraits> file(reinterpret_cast<std::intptr_t>(::CreateFileW(
      WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr)));
  if (!file) return Fail(error);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(Handle(file), &info)) return Fail(error);
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
    return Fail(error, "it became a link or a folder after the folder was read");
  }
  reader_.Adopt(std::move(file), (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  return true;
}

bool OutputFile::Create(const std::string& path, std::string* error) {
  const std::wstring wide = WidePath(path);
  // A link at the path is removed first, so the write never lands where the link points.
  if (Inspect(path).kind == NodeKind::kLink && !::DeleteFileW(wide.c_str())) return Fail(error);
  Owned<SystemFileTraits> file(reinterpret_cast<std::intptr_t>(::CreateFileW(
      wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!file) return Fail(error);
  file_ = std::move(file);
  hasTime_ = false;
  return true;
}

bool OutputFile::Write(ByteView bytes, std::string* error) {
  while (!bytes.empty()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(Handle(file_), bytes.data(), want, &written, nullptr)) return Fail(error);
    bytes.remove_prefix(written);
  }
  return true;
}

bool OutputFile::Close(std::string* error) {
  if (hasTime_) {
    const FILETIME time{static_cast<DWORD>(lastWrite_), static_cast<DWORD>(lastWrite_ >> 32)};
    if (!::SetFileTime(Handle(file_), nullptr, nullptr, &time)) return Fail(error);
  }
  return ::CloseHandle(reinterpret_cast<HANDLE>(file_.release())) || Fail(error);
}

std::string PathLengthProblem(const std::string& path) {
  // The system's form of the path: the "\\?\" prefix and the folder it lies in for a long one.
  constexpr std::size_t kMaxWidePath = 32767;  // what a UNICODE_STRING holds
  constexpr std::size_t kMaxName = 255;
  const std::wstring wide = WidePath(path);
  if (wide.size() > kMaxWidePath) {
    return "the path has " + std::to_string(wide.size()) + " UTF-16 units; Windows takes at most " +
           std::to_string(kMaxWidePath);
  }
  for (std::size_t start = 0; start < wide.size();) {
    const std::size_t end = std::min(wide.find_first_of(L"\\/", start), wide.size());
    if (end - start > kMaxName) {
      return "a name in it has " + std::to_string(end - start) + " UTF-16 units; Windows takes at most " +
             std::to_string(kMaxName);
    }
    start = end + 1;
  }
  return {};
}

bool CreateFolders(const std::string& path, std::string* error) {
  for (std::size_t at = path.find_first_of("\\/", 1); at != std::string::npos;
       at = path.find_first_of("\\/", at + 1)) {
    const std::string level = path.substr(0, at);
    if (level.empty() || level.back() == ':') continue;  // "C:" names a drive, not a folder
    if (Inspect(level).kind != NodeKind::kFolder) {
      ::CreateDirectoryW(WidePath(level).c_str(), nullptr);
    }
  }
  if (::CreateDirectoryW(WidePath(path).c_str(), nullptr)) return true;
  const DWORD code = ::GetLastError();
  return (code == ERROR_ALREADY_EXISTS && Inspect(path).kind == NodeKind::kFolder) ||
         Fail(error, SystemMessage(code));
}

bool RemoveFile(const std::string& path) { return ::DeleteFileW(WidePath(path).c_str()) != 0; }

bool OverwriteAt(const std::string& path, std::uint64_t offset, ByteView bytes, std::string* error) {
  Owned<SystemFileTraits> file(reinterpret_cast<std::intptr_t>(::CreateFileW(
      WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!file) return Fail(error);
  while (!bytes.empty()) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    if (!::WriteFile(Handle(file), bytes.data(), want, &written, &at) || written == 0) return Fail(error);
    bytes.remove_prefix(written);
    offset += written;
  }
  return true;
}

// Console control events arrive on a thread of their own, where converting a path is fine.
void RemoveFileNow(const char* path) { ::DeleteFileW(WidePath(path).c_str()); }

BOOL WINAPI OnConsoleControl(DWORD) {
  RemoveRegisteredFiles();
  return FALSE;  // and let the default handler end the program
}

void RemoveFilesOnInterrupt() { ::SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

bool MoveFileOver(const std::string& from, const std::string& to, std::string* error) {
  return ::MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) ||
         Fail(error);
}

std::string AbsolutePath(const std::string& path) {
  const std::wstring full = FullPath(Utf8ToWideString(path));
  return full.empty() ? path : WideStringToUtf8(full);
}

std::string SelfExecutable() {
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return WideStringToUtf8(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string TodayLocal() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
  return text;
}

bool GetEnvironment(const char* name, std::string* value) {
  const std::wstring wideName = Utf8ToWideString(name);
  const DWORD needed = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (needed == 0) return false;
  std::wstring text(needed, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), text.data(), needed);
  text.resize(length);
  *value = WideStringToUtf8(text);
  return true;
}

bool StderrIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}
void WriteStdout(std::string_view text) { WriteStream(STD_OUTPUT_HANDLE, text); }
void WriteStderr(std::string_view text) { WriteStream(STD_ERROR_HANDLE, text); }

}  // namespace zv::pack
