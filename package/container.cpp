// Finding the package behind the installer image and walking its records.
#include "package/container.h"

#include <algorithm>

#include "package/format.h"

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

}  // namespace zv

