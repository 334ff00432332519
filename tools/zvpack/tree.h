// The source folder of a build, walked into the order the package lists it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/zvpack/platform.h"

namespace zv::pack {

struct TreeEntry {
  bool folder = false;
  std::string path;    // package form, relative, "\" between levels (UTF-8)
  std::string source;  // the native path to read
  std::uint64_t size = 0;
  std::uint64_t lastWrite = 0;  // FILETIME ticks, as the source file has it
  Node scanned;                 // files: what the scan saw, for the check when it is read
};

struct SourceTree {
  std::vector<TreeEntry> entries;  // a folder comes before everything inside it
  std::size_t files = 0;
  std::size_t folders = 0;
  std::uint64_t bytes = 0;  // total size of the files
};

// Walks root depth first, names sorted bytewise in every folder, so the order never depends on
// how the system lists a folder. Empty folders are kept. Throws PackError (exit code 1),
// naming the path, for: a name a package cannot carry or Windows cannot create (NameProblem);
// a symbolic link or other non-regular entry; two names in a folder that Windows would take
// for one; a file too large for one block; a folder that cannot be listed.
SourceTree ScanTree(const std::string& root);

}  // namespace zv::pack
