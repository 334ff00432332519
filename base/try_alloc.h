// Growing a byte string without letting a failed allocation escape. With exceptions the failure
// is caught. The installer stub is built without exceptions (its operator new ends the process
// instead of throwing), so there the memory is tried first: a package can state sizes the
// 32-bit address space cannot hold, and that must read as "out of memory", not as a crash.
#pragma once

#include <cstdlib>
#include <new>

#include "base/text.h"

namespace zv {

inline bool TryResize(Bytes& bytes, std::size_t size) {
#if defined(__cpp_exceptions)
  try {
    bytes.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
#else
  if (size > bytes.capacity()) {
    void* probe = std::malloc(size + 1);
    if (!probe) return false;
    std::free(probe);
  }
  bytes.resize(size);
  return true;
#endif
}

inline bool TryAppend(Bytes& bytes, const char* data, std::size_t size) {
  const std::size_t old = bytes.size();
  if (!TryResize(bytes, old + size)) return false;
  bytes.replace(old, size, data, size);
  return true;
}

}  // namespace zv
