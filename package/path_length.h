// Path lengths on Windows.
#pragma once

#include <cstddef>
#include <vector>

#include "package/file_list.h"

namespace zv {

// The installer makes folders and files by plain paths (no "\\?\" prefix, and its manifest does
// not ask for long paths), so Windows holds each whole path to MAX_PATH: a file's at most
// kMaxPlainPath units, a folder's at most kMaxPlainFolderPath (CreateDirectoryW keeps room in it
// for an 8.3 name), and a file may first be written as kPartialFileName in its folder.
inline constexpr std::size_t kMaxPlainPath = 259;        // MAX_PATH less the terminating NUL
inline constexpr std::size_t kMaxPlainFolderPath = 247;  // MAX_PATH less 12, less the NUL
inline constexpr std::size_t kShortestTargetFolder = 4;  // "C:\a": the installer takes no less
// The units the entries need after a target folder that ends in "\": the installer can write
// them below a target folder T (the target itself included) when T.size() + room <=
// kMaxPlainPath.
std::size_t PlainPathRoom(const std::vector<FileListEntry>& entries);

}  // namespace zv
