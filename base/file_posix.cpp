// The POSIX half of file reading (the Win32 half is base/file_win.cpp).
#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/file.h"

namespace zv {

void SystemFileTraits::Release(Value v) {
  const int saved = errno;  // a failed call's reason survives the cleanup after it
  ::close(static_cast<int>(v));
  errno = saved;
}

bool FileReader::Open(const Text& path, bool /*allowWriters: POSIX has no sharing modes*/) {
  const Bytes name = WideToUtf8(path);
  if (name.empty() || name.find('\0') != Bytes::npos) return false;
  Owned<SystemFileTraits> file(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) return false;
  struct stat info {};
  if (::fstat(static_cast<int>(file.get()), &info) != 0) return false;
  if (!S_ISREG(info.st_mode)) {
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;  // the caller can still say why
    return false;
  }
  size_ = static_cast<std::uint64_t>(info.st_size);
  file_ = std::move(file);
  return true;
}

bool FileReader::ReadAt(std::uint64_t offset, char* data, std::size_t length,
                        std::size_t* got) const {
  *got = 0;
  while (*got < length) {
    const ssize_t n = ::pread(static_cast<int>(file_.get()), data + *got, length - *got,
                              static_cast<off_t>(offset + *got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    *got += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace zv

#endif
