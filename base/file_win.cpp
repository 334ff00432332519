// The Win32 half of file reading (the POSIX half is base/file_posix.cpp).
#include <windows.h>

#include <algorithm>

#include "base/file.h"
#include "base/last_error_win.h"

namespace zv {

void SystemFileTraits::Release(Value v) {
  const LastErrorKeeper keep;
  ::CloseHandle(reinterpret_cast<HANDLE>(v));
}

bool FileReader::Open(const Text& path, bool allowWriters) {
  const DWORD share = allowWriters ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                                   : FILE_SHARE_READ;
  Owned<SystemFileTraits> file(reinterpret_cast<std::intptr_t>(::CreateFileW(
      path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
  if (!file) return false;
  const HANDLE handle = reinterpret_cast<HANDLE>(file.get());
  LARGE_INTEGER size;
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::SetLastError(ERROR_INVALID_FUNCTION);  // a pipe or a device: the caller can still say why
    return false;
  }
  if (!::GetFileSizeEx(handle, &size)) return false;
  size_ = static_cast<std::uint64_t>(size.QuadPart);
  file_ = std::move(file);
  return true;
}

bool FileReader::ReadAt(std::uint64_t offset, char* data, std::size_t length,
                        std::size_t* got) const {
  *got = 0;
  while (*got < length) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + *got);
    at.OffsetHigh = static_cast<DWORD>((offset + *got) >> 32);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(length - *got, 1u << 30));
    DWORD read = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(file_.get()), data + *got, want, &read, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      return false;
    }
    if (read == 0) break;
    *got += read;
  }
  return true;
}

}  // namespace zv
