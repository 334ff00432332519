// The parts of the system layer that need no system calls of their own.
#include "tools/zvpack/platform.h"

namespace zv::pack {

SystemFile& SystemFile::operator=(SystemFile&& other) noexcept {
  if (this != &other) {
    Close();
    value_ = other.Release();
  }
  return *this;
}

std::intptr_t SystemFile::Release() {
  const std::intptr_t value = value_;
  value_ = -1;
  return value;
}

bool SystemFile::Close() { return !Valid() || CloseSystemFile(Release()); }

bool ReadWholeFileAt(const std::string& path, Bytes* out, std::string* error) {
  InputFile file;
  if (!file.Open(path, error)) return false;
  out->clear();
  out->reserve(static_cast<std::size_t>(file.Size()));
  constexpr std::size_t kChunk = std::size_t{8} << 20;
  Bytes chunk;
  for (std::uint64_t offset = 0;; offset += chunk.size()) {
    if (!file.ReadAt(offset, kChunk, &chunk, error)) return false;
    if (chunk.empty()) return true;
    out->append(chunk);
  }
}

}  // namespace zv::pack
