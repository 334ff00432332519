// Whole-file reading on Windows.
#include <windows.h>

#include <new>

#include "package/package.h"
#include "package/try_alloc.h"
#include "ui/handles.h"

namespace zv {

Bytes ReadWholeFile(const Text& path) {
  // Read sharing only: a file that someone is writing is not read half-written.
  const FileHandle file(::CreateFileW(AsWide(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.get(), &size) || size.LowPart == 0) return {};
  Bytes bytes;
  if (!TryResize(bytes, size.LowPart)) return {};
  DWORD read = 0;
  if (!::ReadFile(file.get(), bytes.data(), size.LowPart, &read, nullptr)) return {};
  bytes.resize(read);
  return bytes;
}

}  // namespace zv
