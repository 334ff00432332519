// Finding the package behind the installer image and walking its records.
#include <algorithm>

#include "package/package.h"

namespace zv {

std::optional<std::size_t> FindMarker(ByteView bytes) {
  const Bytes marker = AssembleMarker();
  const std::size_t at = bytes.find(marker);
  if (at == ByteView::npos) return std::nullopt;
  return at;
}

std::optional<ByteView> FindPackage(ByteView installer) {
  const auto at = FindMarker(installer);
  if (!at) return std::nullopt;
  return installer.substr(*at + kMarkerSize);
}

bool HasMagic(ByteView package) { return package.substr(0, kMagic.size()) == kMagic; }

ByteView MemorySource::Read(std::uint64_t offset, std::size_t length, Bytes&) const {
  if (offset >= bytes_.size()) return {};
  return bytes_.substr(static_cast<std::size_t>(offset), length);
}

RecordSpan LocateRecord(const PackageSource& source, std::uint64_t offset) {
  RecordSpan span;
  const std::uint64_t size = source.Size();
  span.BlockOffset = offset + kRecordLengthSize;
  if (offset <= size && size - offset >= kRecordLengthSize) {
    Bytes buffer;
    const ByteView field = source.Read(offset, kRecordLengthSize, buffer);
    if (field.size() == kRecordLengthSize) {
      for (std::size_t i = kRecordLengthSize; i-- > 0;)
        span.StatedLength = (span.StatedLength << 8) | static_cast<unsigned char>(field[i]);
    }
  }
  span.Next = span.BlockOffset + span.StatedLength;
  if (span.BlockOffset < size) {
    span.BlockLength = static_cast<std::size_t>(
        std::min<std::uint64_t>(span.StatedLength, size - span.BlockOffset));
  }
  return span;
}

ByteView RecordWalker::Next(Bytes& buffer) {
  const RecordSpan span = LocateRecord(*source_, offset_);
  offset_ = span.Next;
  if (span.BlockLength == 0) return {};
  return source_->Read(span.BlockOffset, span.BlockLength, buffer);
}

Record ReadRecord(ByteView package, std::uint64_t offset) {
  const MemorySource source(package);
  Bytes unused;  // a memory source hands out views of the package itself
  RecordWalker walker(source, offset);
  Record record;
  record.Block = walker.Next(unused);
  record.Next = walker.Offset();
  return record;
}

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

