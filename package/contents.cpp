// Opening a package: the magic, the information, the file list and the checks of every entry.
#include "package/contents.h"

#include <algorithm>

#include "package/format.h"
#include "package/names.h"
#include "package/stream_decode.h"

namespace zv {

std::size_t CountFiles(const std::vector<FileListEntry>& entries) {
  return static_cast<std::size_t>(std::count_if(
      entries.begin(), entries.end(), [](const FileListEntry& e) { return !e.IsFolder; }));
}

PackageContents ReadContents(const PackageSource& package, bool withInfo) {
  PackageContents contents;
  Bytes buffer;
  if (!HasMagic(package.Read(0, kMagic.size(), buffer))) {
    contents.Status = PackageStatus::NoMagic;
    return contents;
  }
  const RecordSpan infoRecord = LocateRecord(package, kFirstRecordOffset);
  if (withInfo) {
    Bytes decoded;
    contents.InfoStatus = DecodeRecordText(package, infoRecord, decoded).Status;
    contents.Info = ParseInfo(decoded);
  }

  // The list is judged as it is decoded: its text is never held whole, and one that is
  // malformed or too large is refused as soon as that shows.
  const RecordSpan listRecord = LocateRecord(package, infoRecord.Next);
  contents.ContentOffset = listRecord.Next;
  FileListReader reader;
  const StreamedBlock list = DecodeRecordStream(
      package, listRecord, [&](ByteView piece) { return reader.Put(piece); }, /*padZeros=*/false);
  auto entries = reader.Finish();
  if (list.Stopped || (list.Status == BlockStatus::Ok && (list.ZeroTail > 0 || !entries))) {
    // Zeros at the end would put NULs into the last entry (or make it a time without a name):
    // never a list that installs, so they are judged without being made.
    contents.Status = PackageStatus::BadFileList;
    return contents;
  }
  if (list.Status != BlockStatus::Ok) {
    contents.Status = list.Status == BlockStatus::OutOfMemory ? PackageStatus::OutOfMemory
                                                              : PackageStatus::NoFileList;
    return contents;
  }
  contents.Entries = std::move(*entries);
  if (const auto bad = FindUnsafeEntry(contents.Entries)) {
    contents.Status = PackageStatus::UnsafePath;
    contents.BadEntry = *bad;
  } else if (const auto clash = FindClashingEntry(contents.Entries)) {
    contents.Status = PackageStatus::Clash;
    contents.BadEntry = *clash;
  } else if (withInfo && FindInfoFault(contents.Info) != InfoFault::None) {
    contents.Status = PackageStatus::UnsafeInfo;
  }
  return contents;
}

}  // namespace zv
