// The file list: its entries, read as it is decoded, and the checks of the tree they make.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/text.h"

namespace zv {

struct FileListEntry {
  bool IsFolder = false;
  std::uint64_t FileTime = 0;  // file entries: FILETIME, 100 ns ticks since 1601 (UTC)
  Bytes PathUtf8;              // the path bytes as stored
  Text Path;                   // Utf8ToWide(PathUtf8)
};

// The most entries a file list may hold (and kMaxTextBlockSize its decoded bytes), far above
// any real package: a list beyond it is taken as damaged, so that a few bytes stating millions
// of entries cost little.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr std::size_t kMaxFileListEntries = 4096;
#else
inline constexpr std::size_t kMaxFileListEntries = std::size_t{1} << 18;  // 262,144
#endif

// Reads a file list as it is decoded, entry by entry, holding no more of its text than the
// entry being read. An empty entry at the very end is ignored; any other empty entry, a file
// entry of 1 to 8 bytes, or a list beyond the bounds makes the list corrupt.
class FileListReader {
 public:
  // Takes the next decoded bytes; false once the list is corrupt (nothing more is needed).
  bool Put(ByteView piece);
  // After the last piece: the entries, or nullopt for a corrupt list.
  std::optional<std::vector<FileListEntry>> Finish();

 private:
  bool Add(ByteView line);
  Bytes line_;  // the entry being read, without its CR LF yet
  std::vector<FileListEntry> entries_;
  std::size_t size_ = 0;  // decoded bytes so far
  bool corrupt_ = false;
};

// A path as Windows compares paths: folded, "/" as "\\". Equal keys name the same file.
Text PathKey(TextView path);

// Index of the first entry that the tree cannot hold beside the others, as Windows sees paths
// (PathKey): the same path again (also as a file and a folder), a path in a folder that no
// earlier folder entry makes (also below a file), or a name longer than kMaxNameLength units.
// A package with one would not install as listed.
inline constexpr std::size_t kMaxNameLength = 255;
std::optional<std::size_t> FindClashingEntry(const std::vector<FileListEntry>& entries);
// Index of the first entry whose path is unsafe (IsUnsafePath of its bytes), if any.
std::optional<std::size_t> FindUnsafeEntry(const std::vector<FileListEntry>& entries);

}  // namespace zv
