#include "base/file.h"

#include "base/try_alloc.h"

namespace zv {

Bytes ReadWholeFile(const Text& path) {
  FileReader file;
  if (!file.Open(path, false)) return {};
  const std::uint64_t size = file.Size();
  Bytes bytes;
  if (size == 0 || size > bytes.max_size() || !TryResize(bytes, static_cast<std::size_t>(size)))
    return {};
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::size_t got = 0;
    if (!file.ReadAt(done, bytes.data() + done, bytes.size() - done, &got)) return {};
    if (got == 0) break;  // the file shrank meanwhile
    done += got;
  }
  bytes.resize(done);
  return bytes;
}

}  // namespace zv
