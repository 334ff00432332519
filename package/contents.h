// Opening a package: everything an extractor needs before it writes anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "package/codec.h"
#include "package/container.h"
#include "package/file_list.h"
#include "package/info.h"

namespace zv {

enum class PackageStatus {
  Ok,
  NoMagic,      // not our package
  NoFileList,   // the file list is missing, empty or does not decode
  BadFileList,  // the file list is malformed (an empty entry, a time without a name) or beyond
                // its bounds (kMaxTextBlockSize, kMaxFileListEntries)
  UnsafePath,   // an entry would leave the target folder, or Windows cannot create it (BadEntry)
  Clash,        // an entry the tree cannot hold beside the others (BadEntry; FindClashingEntry)
  UnsafeInfo,   // the information names a place outside the installer's own (FindInfoFault)
  OutOfMemory,  // no room to decode the file list
};

// Everything an extractor needs before it writes anything: magic, information, file list and
// the checks of every entry, in that order. The installer's worker and zvpack read packages
// through it, so they accept and refuse the same ones. Extraction walks Entries with a
// RecordWalker from ContentOffset: each file entry takes the next record, folder entries none.
struct PackageContents {
  PackageStatus Status = PackageStatus::Ok;
  BlockStatus InfoStatus = BlockStatus::Empty;  // a broken information block leaves Info empty
  PackageInfo Info;
  std::vector<FileListEntry> Entries;
  std::size_t BadEntry = 0;
  std::uint64_t ContentOffset = 0;
};
// Without withInfo the information block is stepped over (Info stays empty, and is not judged):
// for readers that took it already, or read it their own way; they call FindInfoFault. The
// file list is judged as it is decoded.
PackageContents ReadContents(const PackageSource& package, bool withInfo = true);

// Number of file entries (the number of content records a package carries).
std::size_t CountFiles(const std::vector<FileListEntry>& entries);

}  // namespace zv
