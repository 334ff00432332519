// The packer's system layer on Windows: the wide (UTF-16) file API throughout, so names in any
// script work whatever the ANSI code page is.
#include <windows.h>

#include <cstdio>

#include "tools/zvpack/platform.h"
#include "tools/zvpack/wide_win.h"
#include "win/handles.h"

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
  return WideToUtf8Text(text);
}

bool Fail(std::string* error, DWORD code = ::GetLastError()) {
  if (error) *error = SystemMessage(code);
  return false;
}

// SystemFile keeps a HANDLE as an integer; INVALID_HANDLE_VALUE is -1 there too.
std::intptr_t AsValue(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }
HANDLE AsHandle(const SystemFile& file) { return reinterpret_cast<HANDLE>(file.Get()); }

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
    const std::wstring wide = Utf8ToWideText(text);
    ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &done, nullptr);
  } else {
    ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
  }
}

}  // namespace

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
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    DirItem item;
    item.convertible = WideToUtf8Strict(name, &item.name);
    item.node = NodeFromAttributes(data.dwFileAttributes,
                                   (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                                   data.ftLastWriteTime);
    items->push_back(std::move(item));
  } while (::FindNextFileW(search.get(), &data));
  const DWORD code = ::GetLastError();
  if (code != ERROR_NO_MORE_FILES) return Fail(error, code);
  return true;
}

bool CloseSystemFile(std::intptr_t value) {
  return ::CloseHandle(reinterpret_cast<HANDLE>(value)) != 0;
}

bool InputFile::Open(const std::string& path, std::string* error) {
  SystemFile file(AsValue(::CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)));
  if (!file.Valid()) return Fail(error);
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(AsHandle(file), &size)) return Fail(error);
  size_ = static_cast<std::uint64_t>(size.QuadPart);
  file_ = std::move(file);
  return true;
}

bool InputFile::ReadAt(std::uint64_t offset, std::size_t count, Bytes* out, std::string* error) const {
  out->resize(count);
  std::size_t done = 0;
  while (done < count) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
    if (!::ReadFile(AsHandle(file_), out->data() + done, want, &got, &at)) {
      const DWORD code = ::GetLastError();
      if (code == ERROR_HANDLE_EOF) break;
      out->clear();
      return Fail(error, code);
    }
    if (got == 0) break;
    done += got;
  }
  out->resize(done);
  return true;
}

bool OutputFile::Create(const std::string& path, std::string* error) {
  const std::wstring wide = WidePath(path);
  // A link at the path is removed first, so the write never lands where the link points.
  if (Inspect(path).kind == NodeKind::kLink && !::DeleteFileW(wide.c_str())) return Fail(error);
  SystemFile file(AsValue(::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!file.Valid()) return Fail(error);
  file_ = std::move(file);
  hasTime_ = false;
  return true;
}

bool OutputFile::Write(ByteView bytes, std::string* error) {
  while (!bytes.empty()) {
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(AsHandle(file_), bytes.data(), want, &written, nullptr)) return Fail(error);
    bytes.remove_prefix(written);
  }
  return true;
}

bool OutputFile::Close(std::string* error) {
  if (hasTime_) {
    const FILETIME time{static_cast<DWORD>(lastWrite_), static_cast<DWORD>(lastWrite_ >> 32)};
    if (!::SetFileTime(AsHandle(file_), nullptr, nullptr, &time)) return Fail(error);
  }
  if (!file_.Close()) return Fail(error);
  return true;
}

bool CreateFolder(const std::string& path, std::string* error) {
  if (::CreateDirectoryW(WidePath(path).c_str(), nullptr)) return true;
  const DWORD code = ::GetLastError();
  if (code == ERROR_ALREADY_EXISTS && Inspect(path).kind == NodeKind::kFolder) return true;
  return Fail(error, code);
}

bool CreateFolderTree(const std::string& path, std::string* error) {
  for (std::size_t at = path.find_first_of("\\/", 1); at != std::string::npos;
       at = path.find_first_of("\\/", at + 1)) {
    const std::string level = path.substr(0, at);
    if (level.empty() || level.back() == ':') continue;  // "C:" names a drive, not a folder
    if (Inspect(level).kind != NodeKind::kFolder) CreateFolder(level, nullptr);
  }
  return CreateFolder(path, error);
}

bool RemoveFile(const std::string& path) { return ::DeleteFileW(WidePath(path).c_str()) != 0; }

bool MoveFileOver(const std::string& from, const std::string& to, std::string* error) {
  if (!::MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    return Fail(error);
  }
  return true;
}

std::string AbsolutePath(const std::string& path) {
  const std::wstring full = FullPathW(Utf8ToWideText(path));
  return full.empty() ? path : WideToUtf8Text(full);
}

std::string SelfExecutable() {
  std::wstring buffer(MAX_PATH, L'\0');
  while (true) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return WideToUtf8Text(buffer);
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
  const std::wstring wideName = Utf8ToWideText(name);
  const DWORD needed = ::GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (needed == 0) return false;
  std::wstring text(needed, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), text.data(), needed);
  text.resize(length);
  *value = WideToUtf8Text(text);
  return true;
}

bool StderrIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}
void WriteStdout(std::string_view text) { WriteStream(STD_OUTPUT_HANDLE, text); }
void WriteStderr(std::string_view text) { WriteStream(STD_ERROR_HANDLE, text); }

}  // namespace zv::pack
