#include "tools/zvpack/icon_file.h"

namespace zv::pack {
namespace {

constexpr std::size_t kIconHeader = 6;    // reserved, type (1 = icon), image count
constexpr std::size_t kFileEntry = 16;    // ICONDIRENTRY: fields, size, file offset
constexpr std::size_t kGroupEntry = 14;   // GRPICONDIRENTRY: fields, size, resource number
constexpr ByteView kPngSignature{"\x89PNG\r\n\x1A\n", 8};
constexpr std::uint32_t kBitmapHeaderSize = 40;  // BITMAPINFOHEADER; later versions are larger

std::string Numbered(std::size_t index) { return "image " + std::to_string(index + 1); }

IconImage Fields(ByteView entry) {
  IconImage image;
  image.width = static_cast<std::uint8_t>(entry[0]);
  image.height = static_cast<std::uint8_t>(entry[1]);
  image.colors = static_cast<std::uint8_t>(entry[2]);
  image.reserved = static_cast<std::uint8_t>(entry[3]);
  image.planes = Get16(entry, 4);
  image.bitCount = Get16(entry, 6);
  return image;
}

void AppendFields(Bytes& out, const IconImage& image) {
  out += static_cast<char>(image.width);
  out += static_cast<char>(image.height);
  out += static_cast<char>(image.colors);
  out += static_cast<char>(image.reserved);
  Append16(out, image.planes);
  Append16(out, image.bitCount);
  Append32(out, static_cast<std::uint32_t>(image.data.size()));
}

}  // namespace

bool IconImage::operator==(const IconImage& other) const {
  return width == other.width && height == other.height && colors == other.colors &&
         reserved == other.reserved && planes == other.planes && bitCount == other.bitCount &&
         data == other.data;
}

std::optional<std::vector<IconImage>> ParseIcon(ByteView file, std::string* problem) {
  const auto fail = [&](const std::string& reason) -> std::optional<std::vector<IconImage>> {
    if (problem) *problem = reason;
    return std::nullopt;
  };
  if (file.size() < kIconHeader) {
    return fail("not a valid icon: cut short (" + std::to_string(file.size()) + " bytes, less than an icon's header)");
  }
  if (Get16(file, 0) != 0 || Get16(file, 2) != 1) return fail("not a valid icon: no icon header (not an .ico file)");
  const std::size_t count = Get16(file, 4);
  if (count == 0) return fail("not a valid icon: it holds no images");
  if (count > kMaxIconImages) {
    return fail("not a valid icon: it holds " + std::to_string(count) + " images, more than " +
                std::to_string(kMaxIconImages));
  }
  if (kIconHeader + count * kFileEntry > file.size()) {
    return fail("not a valid icon: cut short (the directory of " + std::to_string(count) +
                " images runs past the end of the file)");
  }
  std::vector<IconImage> images;
  for (std::size_t i = 0; i < count; ++i) {
    const ByteView entry = file.substr(kIconHeader + i * kFileEntry, kFileEntry);
    const std::uint32_t size = Get32(entry, 8);
    const std::uint32_t offset = Get32(entry, 12);
    if (size == 0) return fail("not a valid icon: " + Numbered(i) + " is empty");
    if (size > kMaxIconImageBytes) {
      return fail("not a valid icon: " + Numbered(i) + " is " + std::to_string(size) +
                  " bytes, more than " + std::to_string(kMaxIconImageBytes) + " (1 MiB)");
    }
    if (std::uint64_t{offset} + size > file.size()) {
      return fail("not a valid icon: " + Numbered(i) + " (" + std::to_string(size) + " bytes at offset " +
                  std::to_string(offset) + ") runs past the end of the file (" +
                  std::to_string(file.size()) + " bytes)");
    }
    IconImage image = Fields(entry);
    image.data = Bytes(file.substr(offset, size));
    const bool png = image.data.substr(0, kPngSignature.size()) == kPngSignature;
    const std::uint32_t header = Get32(image.data, 0);
    if (!png && (header < kBitmapHeaderSize || header > image.data.size())) {
      return fail("not a valid icon: " + Numbered(i) + " is neither a PNG image nor a bitmap");
    }
    images.push_back(std::move(image));
  }
  return images;
}

Bytes BuildIconGroup(const std::vector<IconImage>& images, const std::vector<std::uint16_t>& ids) {
  Bytes out;
  Append16(out, 0);
  Append16(out, 1);
  Append16(out, static_cast<std::uint16_t>(images.size()));
  for (std::size_t i = 0; i < images.size(); ++i) {
    AppendFields(out, images[i]);
    Append16(out, ids[i]);
  }
  return out;
}

std::vector<std::uint16_t> IconGroupIds(ByteView group) {
  std::vector<std::uint16_t> ids;
  const std::size_t count = Get16(group, 4);
  for (std::size_t i = 0; i < count && kIconHeader + (i + 1) * kGroupEntry <= group.size(); ++i) {
    ids.push_back(Get16(group, kIconHeader + i * kGroupEntry + 12));
  }
  return ids;
}

std::optional<std::vector<IconImage>> IconGroupImages(ByteView group, const std::vector<Resource>& resources) {
  const std::vector<std::uint16_t> ids = IconGroupIds(group);
  if (ids.size() != Get16(group, 4) || Get16(group, 2) != 1) return std::nullopt;
  std::vector<IconImage> images;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const Resource* icon = nullptr;
    for (const Resource& r : resources) {
      if (r.type == ResourceId{kTypeIcon, {}} && r.name == ResourceId{ids[i], {}}) icon = &r;
    }
    if (!icon) return std::nullopt;
    IconImage image = Fields(group.substr(kIconHeader + i * kGroupEntry, kGroupEntry));
    image.data = icon->data;
    images.push_back(std::move(image));
  }
  return images;
}

}  // namespace zv::pack
