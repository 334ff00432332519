// The file list.
#include "package/package.h"

namespace zv {
namespace {

std::uint64_t ReadFileTime(ByteView bytes) {
  std::uint64_t time = 0;
  for (std::size_t i = kFileTimeSize; i-- > 0;)
    time = (time << 8) | static_cast<unsigned char>(bytes[i]);
  return time;
}

}  // namespace

std::optional<std::size_t> FindUnsafeEntry(const std::vector<FileListEntry>& entries) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    // Both forms: the raw bytes (a NUL there would cut the converted path short) and the
    // path that is actually opened.
    if (IsUnsafePath(ByteView(entries[i].PathUtf8)) ||
        IsUnsafePath(std::u16string_view(entries[i].Path)))
      return i;
  }
  return std::nullopt;
}

std::optional<std::vector<FileListEntry>> SplitFileList(ByteView list) {
  std::vector<ByteView> lines;
  const std::size_t count = SplitLines(list, kLineBreak, lines);
  std::vector<FileListEntry> entries;
  entries.reserve(count);
  for (std::size_t n = 0; n < count; ++n) {
    const ByteView line = lines[n];
    if (line.empty()) {
      if (n + 1 == count) break;  // a CR LF after the last entry
      return std::nullopt;
    }
    FileListEntry entry;
    if (line.substr(0, kFolderPrefix.size()) == kFolderPrefix) {
      entry.IsFolder = true;
      entry.PathUtf8 = line.substr(kFolderPrefix.size());
    } else {
      if (line.size() <= kFileTimeSize) return std::nullopt;  // a time without a name
      entry.FileTime = ReadFileTime(line);
      entry.PathUtf8 = line.substr(kFileTimeSize);
    }
    entry.Path = Utf8ToWide(entry.PathUtf8);
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace zv
