// The resources of a Windows program image (PE), read and written without the Windows API: the
// packer gives an installer the publisher's icon and version block by rebuilding the stub's
// resource section, which must be the image's last section, so that nothing else moves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/text.h"

namespace zv::pack {

// Little-endian fields of the PE and resource formats (reads past the end give 0).
std::uint16_t Get16(ByteView bytes, std::size_t at);
std::uint32_t Get32(ByteView bytes, std::size_t at);
void Put16(Bytes& bytes, std::size_t at, std::uint16_t value);
void Put32(Bytes& bytes, std::size_t at, std::uint32_t value);
void Append16(Bytes& bytes, std::uint16_t value);
void Append32(Bytes& bytes, std::uint32_t value);

inline constexpr std::uint16_t kTypeIcon = 3;        // RT_ICON
inline constexpr std::uint16_t kTypeGroupIcon = 14;  // RT_GROUP_ICON
inline constexpr std::uint16_t kTypeVersion = 16;    // RT_VERSION

// A resource type or name: a number, or (when text is not empty) a name.
struct ResourceId {
  std::uint16_t number = 0;
  Text text;
  bool operator==(const ResourceId& other) const { return number == other.number && text == other.text; }
};

// One resource: the leaf of the type / name / language tree.
struct Resource {
  ResourceId type;
  ResourceId name;
  std::uint16_t language = 0;
  std::uint32_t codePage = 0;
  Bytes data;
};

// Where a PE image keeps what a new resource section changes.
struct PeLayout {
  std::size_t sectionHeader = 0;   // file offset of the resource section's header
  std::uint32_t virtualAddress = 0;  // of the resource section (where its directory starts)
  std::uint32_t rawOffset = 0;     // file offset of its data
  std::uint32_t rawSize = 0;
  std::uint32_t fileAlignment = 0;
  std::uint32_t sectionAlignment = 0;
  std::size_t optionalHeader = 0;  // file offset
  std::size_t resourceDirectory = 0;  // file offset of the resource data directory entry
  std::size_t checksum = 0;        // file offset of the optional header's checksum
};

// The first bytes of an image that ReadPeLayout needs: headers and section table.
inline constexpr std::size_t kPeHeadBytes = 4096;

// Reads the layout of an image of imageSize bytes from its first bytes (at least its headers).
// The reason it cannot be rebuilt otherwise: not a PE image, no resources, the resource section
// not the last section, or not holding the resources alone, or data after the last section.
std::optional<PeLayout> ReadPeLayout(ByteView head, std::uint64_t imageSize, std::string* problem);

// The resources of a resource section at the layout's virtual address, in tree order; nullopt
// (with the reason) when the tree is malformed or a resource lies outside the section.
std::optional<std::vector<Resource>> ReadResources(ByteView section, std::uint32_t virtualAddress,
                                                  std::string* problem);

// A resource section holding the resources, for the virtual address: directories (names
// first, in order of their UTF-16 units, then numbers in ascending order), name strings, data
// entries, then each resource's data at an 8-byte boundary, the whole a multiple of 8 bytes.
// Deterministic: the same resources give the same bytes, whatever order they come in.
Bytes BuildResourceSection(std::vector<Resource> resources, std::uint32_t virtualAddress);

// The image with its resource section replaced by section (padded to the file alignment), the
// section table, SizeOfImage, SizeOfInitializedData and the resource data directory updated,
// and the checksum field set to 0 (PeChecksum computes it over the finished file).
Bytes ReplaceResourceSection(ByteView image, const PeLayout& layout, ByteView section);

// The checksum of the optional header as the system computes it (CheckSumMappedFile): the
// 16-bit words of the file summed with their carries folded back in, plus the file's length.
// The file's bytes are added in order, as they are written; the checksum field must be 0.
class PeChecksum {
 public:
  void Add(ByteView bytes);
  // Bytes already added at offset are now other bytes of the same length.
  void Replace(std::uint64_t offset, ByteView before, ByteView after);
  std::uint32_t Value() const;

 private:
  std::uint64_t sum_ = 0;  // every word added as it is, carries not yet folded
  std::uint64_t length_ = 0;
};

}  // namespace zv::pack
