// The parts of the system layer that need no system calls of their own.
#include "tools/zvpack/platform.h"

namespace zv::pack {

bool InputFile::ReadInto(std::uint64_t offset, char* data, std::size_t count, std::size_t* got,
                         std::string* error) const {
  if (reader_.ReadAt(offset, data, count, got)) return true;
  if (error) *error = LastSystemError();  // FileReader leaves the failed call's reason
  return false;
}

bool InputFile::ReadAt(std::uint64_t offset, std::size_t count, Bytes* out, std::string* error) const {
  out->resize(count);
  std::size_t got = 0;
  if (!ReadInto(offset, out->data(), count, &got, error)) {
    out->clear();
    return false;
  }
  out->resize(got);
  return true;
}

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
