// The container: finding the package behind the installer image, where its bytes come from,
// and walking its records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/text.h"

namespace zv {

// Offset of the first marker in bytes (the byte where the marker starts), if any.
std::optional<std::size_t> FindMarker(ByteView bytes);
// Everything after the first marker: the package bytes.
std::optional<ByteView> FindPackage(ByteView installer);
// True when the package bytes begin with "zvzip".
bool HasMagic(ByteView package);

// Where a package's bytes come from. Today a view of the installer in memory; the interface
// lets a reader fetch records from the file by offset instead.
class PackageSource {
 public:
  virtual ~PackageSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Up to length bytes at offset (fewer at the end, none past it). The view stays valid until
  // buffer changes or the source goes; sources that copy put the bytes into buffer.
  virtual ByteView Read(std::uint64_t offset, std::size_t length, Bytes& buffer) const = 0;
};

class MemorySource final : public PackageSource {
 public:
  explicit MemorySource(ByteView bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  ByteView Read(std::uint64_t offset, std::size_t length, Bytes& buffer) const override;

 private:
  ByteView bytes_;
};

// One record located without reading its block. A length field that does not lie wholly
// inside the source reads as 0; a block that runs past the end is cut to what is there.
struct RecordSpan {
  std::uint32_t StatedLength = 0;  // L as stored (0 when the field is not wholly inside)
  std::uint64_t BlockOffset = 0;
  std::size_t BlockLength = 0;  // L, cut at the end of the source
  std::uint64_t Next = 0;       // offset + 4 + L
};
RecordSpan LocateRecord(const PackageSource& source, std::uint64_t offset);

// Walks records one after the other from an offset (the first record is at offset 5).
class RecordWalker {
 public:
  RecordWalker(const PackageSource& source, std::uint64_t offset)
      : source_(&source), offset_(offset) {}
  // The next record's block, stepping over it. See PackageSource::Read for buffer.
  ByteView Next(Bytes& buffer);
  std::uint64_t Offset() const { return offset_; }

 private:
  const PackageSource* source_;
  std::uint64_t offset_;
};

// The record at offset of in-memory package bytes: its block and the offset after it.
struct Record {
  ByteView Block;
  std::uint64_t Next = 0;
};
Record ReadRecord(ByteView package, std::uint64_t offset);

}  // namespace zv
