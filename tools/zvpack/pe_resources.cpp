#include "tools/zvpack/pe_resources.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace zv::pack {
namespace {

// IMAGE_DIRECTORY_ENTRY_*: the data directories that matter here.
constexpr std::size_t kDirectoryResource = 2;
constexpr std::size_t kDirectorySecurity = 4;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint32_t kSectionInitializedData = 0x40;  // IMAGE_SCN_CNT_INITIALIZED_DATA
constexpr std::uint32_t kSubdirectory = 0x80000000u;     // high bit of an entry's offset or name
constexpr std::size_t kDirectoryHeader = 16;
constexpr std::size_t kDirectoryEntry = 8;
constexpr std::size_t kDataEntry = 16;
// A tree that names more leaves than this is not a program's resources.
constexpr std::size_t kMaxResources = 65536;

std::uint32_t AlignUp(std::uint64_t value, std::uint32_t alignment) {
  return static_cast<std::uint32_t>((value + alignment - 1) / alignment * alignment);
}

void PadTo(Bytes& bytes, std::size_t alignment) { bytes.resize((bytes.size() + alignment - 1) / alignment * alignment, '\0'); }

bool IsPowerOfTwo(std::uint32_t value) { return value && !(value & (value - 1)); }

// Resource names sort before numbers; names by their UTF-16 units, numbers ascending.
bool Before(const ResourceId& a, const ResourceId& b) {
  if (a.text.empty() != b.text.empty()) return !a.text.empty();
  if (!a.text.empty()) return a.text < b.text;
  return a.number < b.number;
}

class TreeReader {
 public:
  TreeReader(ByteView section, std::uint32_t virtualAddress, std::string* problem)
      : section_(section), virtualAddress_(virtualAddress), problem_(problem) {}

  bool Read(std::vector<Resource>* out) {
    out_ = out;
    return Directory(0, 0, Resource());
  }

 private:
  bool Fail(const char* reason) {
    if (problem_) *problem_ = reason;
    return false;
  }

  bool Directory(std::uint32_t offset, int level, const Resource& path) {
    if (offset + kDirectoryHeader > section_.size()) return Fail("a resource directory lies outside the section");
    const std::size_t count = std::size_t{Get16(section_, offset + 12)} + Get16(section_, offset + 14);
    if (offset + kDirectoryHeader + count * kDirectoryEntry > section_.size()) {
      return Fail("a resource directory runs past the end of the section");
    }
    // A tree whose directories share entries could name far more than the section holds.
    entries_ += count;
    if (entries_ > section_.size() / kDirectoryEntry) return Fail("the resource directories repeat each other");
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t entry = offset + kDirectoryHeader + i * kDirectoryEntry;
      const std::uint32_t name = Get32(section_, entry);
      const std::uint32_t target = Get32(section_, entry + 4);
      ResourceId id;
      if (name & kSubdirectory) {
        if (!Name(name & ~kSubdirectory, &id.text)) return false;
      } else {
        if (name > 0xFFFF) return Fail("a resource number is out of range");
        id.number = static_cast<std::uint16_t>(name);
      }
      Resource next = path;
      const bool leafLevel = level == 2;
      if (level == 0) next.type = id;
      if (level == 1) next.name = id;
      if (leafLevel) {
        if (!id.text.empty()) return Fail("a resource language is a name, not a number");
        next.language = id.number;
      }
      if (((target & kSubdirectory) != 0) == leafLevel) return Fail("the resource tree is not three levels deep");
      if (leafLevel ? !Leaf(target, std::move(next)) : !Directory(target & ~kSubdirectory, level + 1, next)) {
        return false;
      }
    }
    return true;
  }

  bool Name(std::uint32_t offset, Text* text) {
    const std::size_t length = Get16(section_, offset);
    if (std::uint64_t{offset} + 2 + 2 * length > section_.size() || length == 0) {
      return Fail("a resource name lies outside the section");
    }
    for (std::size_t i = 0; i < length; ++i) text->push_back(static_cast<TextUnit>(Get16(section_, offset + 2 + 2 * i)));
    return true;
  }

  bool Leaf(std::uint32_t offset, Resource resource) {
    if (std::uint64_t{offset} + kDataEntry > section_.size()) return Fail("a resource entry lies outside the section");
    const std::uint32_t rva = Get32(section_, offset);
    const std::uint32_t size = Get32(section_, offset + 4);
    if (rva < virtualAddress_ || std::uint64_t{rva} - virtualAddress_ + size > section_.size()) {
      return Fail("a resource's data lies outside the resource section");
    }
    // Each leaf's data is copied: a tree whose leaves share data could otherwise state far
    // more than the section holds.
    dataBytes_ += size;
    if (out_->size() >= kMaxResources || dataBytes_ > section_.size()) {
      return Fail("the resources state more data than the section holds");
    }
    resource.codePage = Get32(section_, offset + 8);
    resource.data = Bytes(section_.substr(rva - virtualAddress_, size));
    out_->push_back(std::move(resource));
    return true;
  }

  ByteView section_;
  std::uint32_t virtualAddress_;
  std::string* problem_;
  std::vector<Resource>* out_ = nullptr;
  std::uint64_t dataBytes_ = 0;
  std::uint64_t entries_ = 0;
};

}  // namespace

std::uint16_t Get16(ByteView bytes, std::size_t at) {
  if (at > bytes.size() || bytes.size() - at < 2) return 0;
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t Get32(ByteView bytes, std::size_t at) {
  if (at > bytes.size() || bytes.size() - at < 4) return 0;
  return Get16(bytes, at) | std::uint32_t{Get16(bytes, at + 2)} << 16;
}

void Put16(Bytes& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  Put16(bytes, at, static_cast<std::uint16_t>(value & 0xFFFF));
  Put16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

void Append16(Bytes& bytes, std::uint16_t value) {
  bytes.append(2, '\0');
  Put16(bytes, bytes.size() - 2, value);
}

void Append32(Bytes& bytes, std::uint32_t value) {
  bytes.append(4, '\0');
  Put32(bytes, bytes.size() - 4, value);
}

std::optional<PeLayout> ReadPeLayout(ByteView head, std::uint64_t imageSize, std::string* problem) {
  const auto fail = [&](const std::string& reason) -> std::optional<PeLayout> {
    if (problem) *problem = reason;
    return std::nullopt;
  };
  if (head.substr(0, 2) != "MZ") return fail("not a Windows program (no MZ header)");
  const std::size_t pe = Get32(head, 0x3C);
  if (pe > head.size() || head.substr(pe, 4) != ByteView("PE\0\0", 4)) {
    return fail("not a Windows program (no PE header)");
  }
  PeLayout layout;
  const std::size_t sections = Get16(head, pe + 6);
  const std::size_t optional = pe + 24;
  const std::uint16_t magic = Get16(head, optional);
  if (magic != 0x10B && magic != 0x20B) return fail("not a Windows program (unknown optional header)");
  const std::size_t directories = optional + (magic == 0x10B ? 96 : 112);
  const std::uint32_t directoryCount = Get32(head, directories - 4);
  const std::size_t table = optional + Get16(head, pe + 20);
  if (table + sections * kSectionHeaderSize > head.size() || directories + 8 * std::size_t{directoryCount} > table) {
    return fail("the program's headers are cut short or malformed");
  }
  layout.optionalHeader = optional;
  layout.sectionAlignment = Get32(head, optional + 32);
  layout.fileAlignment = Get32(head, optional + 36);
  layout.checksum = optional + 64;
  layout.resourceDirectory = directories + 8 * kDirectoryResource;
  if (!IsPowerOfTwo(layout.fileAlignment) || !IsPowerOfTwo(layout.sectionAlignment)) {
    return fail("the program's headers state an alignment that is not a power of two");
  }
  if (directoryCount > kDirectorySecurity && Get32(head, directories + 8 * kDirectorySecurity + 4)) {
    return fail("the program is signed, and new resources would break its signature (sign the "
                "installer after zvpack has built it)");
  }
  const std::uint32_t resources = directoryCount > kDirectoryResource ? Get32(head, layout.resourceDirectory) : 0;
  if (!resources) return fail("the program has no resources");

  // The section that holds the resource directory, and the one that ends the image.
  std::size_t found = sections, last = 0;
  std::uint64_t lastEnd = 0, lastAddress = 0;
  for (std::size_t i = 0; i < sections; ++i) {
    const std::size_t at = table + i * kSectionHeaderSize;
    const std::uint32_t address = Get32(head, at + 12);
    const std::uint32_t span = std::max(Get32(head, at + 8), Get32(head, at + 16));
    if (resources >= address && resources - address < span) found = i;
    const std::uint64_t end = std::uint64_t{Get32(head, at + 20)} + Get32(head, at + 16);
    if (Get32(head, at + 16) && end >= lastEnd) lastEnd = end;
    if (address >= lastAddress) {
      lastAddress = address;
      last = i;
    }
  }
  if (found == sections) return fail("the program's resource directory lies in no section");
  const std::size_t header = table + found * kSectionHeaderSize;
  const std::string name(head.substr(header, 8).substr(0, head.substr(header, 8).find('\0')));
  layout.sectionHeader = header;
  layout.virtualAddress = Get32(head, header + 12);
  layout.rawOffset = Get32(head, header + 20);
  layout.rawSize = Get32(head, header + 16);
  if (found != sections - 1 || last != found || layout.rawOffset + std::uint64_t{layout.rawSize} < lastEnd) {
    return fail("the resource section (" + name + ") is not the program's last section; zvpack "
                "rewrites the resources only where they end the image, so that nothing else moves");
  }
  if (resources != layout.virtualAddress) {
    return fail("the resource section (" + name + ") holds more than the resources");
  }
  for (std::size_t i = 0; i < directoryCount && i < 16; ++i) {
    const std::uint32_t address = Get32(head, directories + 8 * i);
    if (i != kDirectoryResource && i != kDirectorySecurity && address >= layout.virtualAddress &&
        Get32(head, directories + 8 * i + 4)) {
      return fail("the resource section (" + name + ") also holds other data of the program");
    }
  }
  if (layout.rawOffset + std::uint64_t{layout.rawSize} != imageSize) {
    return fail("the program carries data after its last section");
  }
  return layout;
}

std::optional<std::vector<Resource>> ReadResources(ByteView section, std::uint32_t virtualAddress,
                                                  std::string* problem) {
  std::vector<Resource> resources;
  if (!TreeReader(section, virtualAddress, problem).Read(&resources)) return std::nullopt;
  return resources;
}

Bytes BuildResourceSection(std::vector<Resource> resources, std::uint32_t virtualAddress) {
  std::sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
    if (!(a.type == b.type)) return Before(a.type, b.type);
    if (!(a.name == b.name)) return Before(a.name, b.name);
    return a.language < b.language;
  });
  // The tree: type -> name -> the resources' indexes, in sorted order.
  struct NameNode {
    ResourceId id;
    std::vector<std::size_t> leaves;
  };
  struct TypeNode {
    ResourceId id;
    std::vector<NameNode> names;
  };
  std::vector<TypeNode> types;
  for (std::size_t i = 0; i < resources.size(); ++i) {
    const Resource& r = resources[i];
    if (types.empty() || !(types.back().id == r.type)) types.push_back({r.type, {}});
    auto& names = types.back().names;
    if (names.empty() || !(names.back().id == r.name)) names.push_back({r.name, {}});
    names.back().leaves.push_back(i);
  }
  const auto directorySize = [](std::size_t entries) { return kDirectoryHeader + entries * kDirectoryEntry; };

  // Offsets: the root, each type's directory followed by its names' language directories, then
  // the name strings, the data entries and the data.
  std::size_t size = directorySize(types.size());
  std::vector<std::size_t> typeAt, nameAt;
  for (const TypeNode& type : types) {
    typeAt.push_back(size);
    size += directorySize(type.names.size());
    for (const NameNode& name : type.names) {
      nameAt.push_back(size);
      size += directorySize(name.leaves.size());
    }
  }
  std::map<Text, std::size_t> stringAt;
  const auto placeString = [&](const ResourceId& id) {
    if (!id.text.empty() && !stringAt.count(id.text)) {
      stringAt[id.text] = size;
      size += 2 + 2 * id.text.size();
    }
  };
  for (const TypeNode& type : types) {
    placeString(type.id);
    for (const NameNode& name : type.names) placeString(name.id);
  }
  size = (size + 7) / 8 * 8;
  const std::size_t entriesAt = size;
  size += kDataEntry * resources.size();

  Bytes out(size, '\0');
  const auto writeDirectory = [&](std::size_t at, const auto& ids) {
    std::uint16_t named = 0;
    for (const ResourceId& id : ids) named += !id.text.empty();
    Put16(out, at + 12, named);
    Put16(out, at + 14, static_cast<std::uint16_t>(ids.size() - named));
  };
  const auto writeEntry = [&](std::size_t at, const ResourceId& id, std::uint32_t target) {
    Put32(out, at, id.text.empty() ? id.number : static_cast<std::uint32_t>(stringAt[id.text]) | kSubdirectory);
    Put32(out, at + 4, target);
  };
  std::vector<ResourceId> ids;
  for (const TypeNode& type : types) ids.push_back(type.id);
  writeDirectory(0, ids);
  std::size_t nameIndex = 0;
  for (std::size_t t = 0; t < types.size(); ++t) {
    writeEntry(kDirectoryHeader + t * kDirectoryEntry, types[t].id, static_cast<std::uint32_t>(typeAt[t]) | kSubdirectory);
    ids.clear();
    for (const NameNode& name : types[t].names) ids.push_back(name.id);
    writeDirectory(typeAt[t], ids);
    for (std::size_t n = 0; n < types[t].names.size(); ++n, ++nameIndex) {
      const NameNode& name = types[t].names[n];
      const std::size_t at = nameAt[nameIndex];
      writeEntry(typeAt[t] + kDirectoryHeader + n * kDirectoryEntry, name.id, static_cast<std::uint32_t>(at) | kSubdirectory);
      ids.assign(name.leaves.size(), ResourceId());
      writeDirectory(at, ids);
      for (std::size_t l = 0; l < name.leaves.size(); ++l) {
        const std::size_t leaf = name.leaves[l];
        writeEntry(at + kDirectoryHeader + l * kDirectoryEntry, ResourceId{resources[leaf].language, {}},
                   static_cast<std::uint32_t>(entriesAt + kDataEntry * leaf));
      }
    }
  }
  for (const auto& [text, at] : stringAt) {
    Put16(out, at, static_cast<std::uint16_t>(text.size()));
    for (std::size_t i = 0; i < text.size(); ++i) Put16(out, at + 2 + 2 * i, static_cast<std::uint16_t>(text[i]));
  }
  for (std::size_t i = 0; i < resources.size(); ++i) {
    PadTo(out, 8);
    const std::size_t entry = entriesAt + kDataEntry * i;
    Put32(out, entry, virtualAddress + static_cast<std::uint32_t>(out.size()));
    Put32(out, entry + 4, static_cast<std::uint32_t>(resources[i].data.size()));
    Put32(out, entry + 8, resources[i].codePage);
    out += resources[i].data;
  }
  PadTo(out, 8);
  return out;
}

Bytes ReplaceResourceSection(ByteView image, const PeLayout& layout, ByteView section) {
  Bytes out(image.substr(0, layout.rawOffset));
  out += section;
  PadTo(out, layout.fileAlignment);
  const std::uint32_t rawSize = static_cast<std::uint32_t>(out.size() - layout.rawOffset);
  const auto size = static_cast<std::uint32_t>(section.size());
  Put32(out, layout.sectionHeader + 8, size);      // VirtualSize
  Put32(out, layout.sectionHeader + 16, rawSize);  // SizeOfRawData
  if (Get32(out, layout.sectionHeader + 36) & kSectionInitializedData) {
    const std::size_t initialized = layout.optionalHeader + 8;
    Put32(out, initialized, Get32(out, initialized) - layout.rawSize + rawSize);
  }
  Put32(out, layout.optionalHeader + 56, AlignUp(std::uint64_t{layout.virtualAddress} + size, layout.sectionAlignment));
  Put32(out, layout.resourceDirectory + 4, size);
  Put32(out, layout.checksum, 0);
  return out;
}

void PeChecksum::Add(ByteView bytes) {
  for (const char c : bytes) {
    sum_ += std::uint64_t{static_cast<unsigned char>(c)} << (8 * (length_ & 1));
    ++length_;
  }
}

void PeChecksum::Replace(std::uint64_t offset, ByteView before, ByteView after) {
  for (std::size_t i = 0; i < after.size(); ++i) {
    const unsigned shift = 8 * ((offset + i) & 1);
    sum_ += std::uint64_t{static_cast<unsigned char>(after[i])} << shift;
    sum_ -= std::uint64_t{static_cast<unsigned char>(before[i])} << shift;
  }
}

std::uint32_t PeChecksum::Value() const {
  // Folding the carries back in leaves the sum modulo 0xFFFF, where a non-zero sum that is a
  // multiple of 0xFFFF stays 0xFFFF.
  const std::uint64_t folded = sum_ == 0 ? 0 : (sum_ - 1) % 0xFFFF + 1;
  return static_cast<std::uint32_t>(folded + length_);
}

}  // namespace zv::pack
