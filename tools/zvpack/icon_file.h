// Icons: a publisher's .ico file, and the icon group resource made of its images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/text.h"
#include "tools/zvpack/pe_resources.h"

namespace zv::pack {

// One image of an icon, with the fields its directory entry states (the group repeats them).
struct IconImage {
  std::uint8_t width = 0;   // 0 stands for 256
  std::uint8_t height = 0;
  std::uint8_t colors = 0;
  std::uint8_t reserved = 0;
  std::uint16_t planes = 0;
  std::uint16_t bitCount = 0;
  Bytes data;  // a PNG file, or a bitmap (BITMAPINFOHEADER, colours, pixels, mask)
  bool operator==(const IconImage& other) const;
};

inline constexpr std::size_t kMaxIconImages = 64;
inline constexpr std::size_t kMaxIconImageBytes = std::size_t{1} << 20;

// The images of an .ico file, or nullopt with the reason it is not a usable icon: cut short,
// no images, more than kMaxIconImages, an image that is empty, larger than kMaxIconImageBytes,
// runs past the end of the file, or is neither PNG nor a bitmap.
std::optional<std::vector<IconImage>> ParseIcon(ByteView file, std::string* problem);

// An icon group resource (GRPICONDIR) listing the images under the icon resource numbers ids.
Bytes BuildIconGroup(const std::vector<IconImage>& images, const std::vector<std::uint16_t>& ids);

// The icon resource numbers a group lists, in its order.
std::vector<std::uint16_t> IconGroupIds(ByteView group);

// The images a group lists, with their data from the icon resources (nullopt when one is
// missing or the group is malformed).
std::optional<std::vector<IconImage>> IconGroupImages(ByteView group, const std::vector<Resource>& resources);

}  // namespace zv::pack
