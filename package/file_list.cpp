// The file list, and the checks that make sure every entry can be created as listed.
#include "package/file_list.h"

#include "package/case_fold.h"
#include "package/format.h"
#include "package/names.h"
#include "package/stream_decode.h"

namespace zv {
namespace {

std::uint64_t ReadFileTime(ByteView bytes) {
  std::uint64_t time = 0;
  for (std::size_t i = kFileTimeSize; i-- > 0;)
    time = (time << 8) | static_cast<unsigned char>(bytes[i]);
  return time;
}

// A path unit as Windows compares paths: folded, and "/" as "\\".
TextUnit KeyUnit(TextUnit c) { return c == u'/' ? u'\\' : FoldCase(c); }

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

Text PathKey(TextView path) {
  Text key(path);
  for (TextUnit& c : key) c = KeyUnit(c);
  return key;
}

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

bool FileListReader::Add(ByteView line) {
  if (line.empty() || entries_.size() == kMaxFileListEntries) return false;
  FileListEntry entry;
  if (line.substr(0, kFolderPrefix.size()) == kFolderPrefix) {
    entry.IsFolder = true;
    entry.PathUtf8 = line.substr(kFolderPrefix.size());
  } else {
    if (line.size() <= kFileTimeSize) return false;  // a time without a name
    entry.FileTime = ReadFileTime(line);
    entry.PathUtf8 = line.substr(kFileTimeSize);
  }
  entry.Path = Utf8ToWide(entry.PathUtf8);
  entries_.push_back(std::move(entry));
  return true;
}

bool FileListReader::Put(ByteView piece) {
  size_ += piece.size();
  if (size_ > kMaxTextBlockSize) corrupt_ = true;
  // Line by line: an entry ends at a CR LF, which may be split between pieces.
  while (!corrupt_ && !piece.empty()) {
    const std::size_t lf = piece.find('\n');
    line_.append(piece.substr(0, lf));
    if (lf == ByteView::npos) break;
    piece.remove_prefix(lf + 1);
    // An entry followed by a CR LF is not the last one: an empty one is damage.
    if (!line_.empty() && line_.back() == '\r') {
      line_.pop_back();
      corrupt_ = !Add(line_);
      line_.clear();
    } else {
      line_ += '\n';
    }
  }
  return !corrupt_;
}

std::optional<std::vector<FileListEntry>> FileListReader::Finish() {
  // The last entry has no CR LF; a list that ends with one has none (and nothing is added).
  if (corrupt_ || (!line_.empty() && !Add(line_))) return std::nullopt;
  return std::move(entries_);
}

}  // namespace zv
