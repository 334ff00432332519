// The file list, and the checks that make sure every entry can be created as listed.
#include "package/package.h"

namespace zv {
namespace {

std::uint64_t ReadFileTime(ByteView bytes) {
  std::uint64_t time = 0;
  for (std::size_t i = kFileTimeSize; i-- > 0;)
    time = (time << 8) | static_cast<unsigned char>(bytes[i]);
  return time;
}

// A path unit as Windows compares paths: without case, by its own upper-case table (of which
// the ASCII and Latin-1 letters are taken here), and "/" as "\\".
TextUnit KeyUnit(TextUnit c) {
  if (c == u'/') return u'\\';
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  return c;
}

bool SameKey(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (KeyUnit(a[i]) != KeyUnit(b[i])) return false;
  return true;
}

bool HasLongComponent(TextView path) {
  std::size_t length = 0;
  for (const TextUnit c : path) {
    length = KeyUnit(c) == u'\\' ? 0 : length + 1;
    if (length > kMaxNameLength) return true;
  }
  return false;
}

}  // namespace

std::optional<std::size_t> FindClashingEntry(const std::vector<FileListEntry>& entries) {
  // The paths seen so far in an open-addressing table of entry numbers: in list order, each
  // entry is checked against the ones before it in constant time, with little code.
  std::size_t slots = 16;
  while (slots < 2 * entries.size()) slots *= 2;
  constexpr std::uint32_t kFree = 0xFFFFFFFF;
  std::vector<std::uint32_t> table(slots, kFree);
  // The slot that holds path (as Windows compares paths), or the free slot where it would go.
  const auto slot = [&](TextView path) {
    std::uint32_t hash = 2166136261u;
    for (const TextUnit c : path) hash = (hash ^ KeyUnit(c)) * 16777619u;
    std::size_t at = hash & (slots - 1);
    while (table[at] != kFree && !SameKey(entries[table[at]].Path, path)) at = (at + 1) & (slots - 1);
    return at;
  };
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const TextView path = entries[i].Path;
    const std::size_t at = slot(path);
    if (table[at] != kFree || HasLongComponent(path)) return i;  // the same path again
    // The folder it lies in must be made by an earlier folder entry (which also keeps files
    // out of paths below a file).
    const std::size_t cut = path.find_last_of(ZV_TEXT("\\/"));
    if (cut != TextView::npos) {
      const std::uint32_t parent = table[slot(path.substr(0, cut))];
      if (parent == kFree || !entries[parent].IsFolder) return i;
    }
    table[at] = static_cast<std::uint32_t>(i);
  }
  return std::nullopt;
}

std::optional<std::size_t> FindUnsafeEntry(const std::vector<FileListEntry>& entries) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    // As IsUnsafePath(PathUtf8), on the path already converted.
    const ByteView raw = entries[i].PathUtf8;
    if (!IsValidUtf8(raw) || raw.find('\0') != ByteView::npos ||
        IsUnsafePath(TextView(entries[i].Path)))
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
