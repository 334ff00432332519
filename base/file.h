// Reading files by offset and whole. The interface is portable; each system has its half:
// base/file_posix.cpp and base/file_win.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/owned.h"
#include "base/text.h"

namespace zv {

// A system file: a POSIX descriptor or a Win32 HANDLE (INVALID_HANDLE_VALUE is -1 as well).
struct SystemFileTraits {
  using Value = std::intptr_t;
  static Value Invalid() { return -1; }
  static void Release(Value v);  // close() or CloseHandle, in the system's half
};

// A file opened for reading at any offset, 64-bit throughout.
class FileReader {
 public:
  // Opens an existing file. With writers allowed, others may keep the file open for writing
  // or deleting; without, a file that someone is writing does not open (it would be read
  // half-written). False when it cannot be opened, or is not a regular file.
  bool Open(const Text& path, bool allowWriters);
  bool IsOpen() const { return static_cast<bool>(file_); }
  // Takes a file the caller opened its own way (a regular file of the given size).
  void Adopt(Owned<SystemFileTraits> file, std::uint64_t size) {
    file_ = std::move(file);
    size_ = size;
  }
  std::uint64_t Size() const { return size_; }
  // Reads up to length bytes at offset into data; *got is how many were read (fewer at the
  // end of the file, none past it). False on a read error.
  bool ReadAt(std::uint64_t offset, char* data, std::size_t length, std::size_t* got) const;

 private:
  Owned<SystemFileTraits> file_;
  std::uint64_t size_ = 0;
};

// The whole file, read with read sharing only; empty when the file is missing, empty, open for
// writing elsewhere, or larger than memory holds.
Bytes ReadWholeFile(const Text& path);

}  // namespace zv
