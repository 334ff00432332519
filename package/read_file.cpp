// Whole-file reading for POSIX systems (the Windows version is read_file_win.cpp).
#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <new>

#include "package/package.h"

namespace zv {

Bytes ReadWholeFile(const Text& path) {
  const Bytes name = WideToUtf8(path);
  if (name.empty() || name.find('\0') != Bytes::npos) return {};
  const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  Bytes bytes;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    try {
      bytes.resize(static_cast<std::size_t>(info.st_size));
      std::size_t done = 0;
      while (done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
          bytes.clear();
          break;
        }
        if (n == 0) break;  // the file shrank meanwhile
        done += static_cast<std::size_t>(n);
      }
      bytes.resize(done > bytes.size() ? 0 : done);
    } catch (const std::bad_alloc&) {
      Bytes().swap(bytes);
    }
  }
  ::close(fd);
  return bytes;
}

}  // namespace zv

#endif
