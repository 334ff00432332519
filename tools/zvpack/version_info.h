// The version block resource (VS_VERSIONINFO): read for "zvpack list", and rewritten with the
// publisher's version and strings.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/text.h"

namespace zv::pack {

using VersionNumbers = std::array<std::uint16_t, 4>;

// "a.b.c.d" or fewer parts (missing ones are 0), each 0 to 65535 in decimal digits; nullopt for
// any other text.
std::optional<VersionNumbers> ParseVersionNumbers(std::string_view text);
std::string FormatVersionNumbers(const VersionNumbers& numbers);

struct VersionEdit {
  std::optional<VersionNumbers> numbers;  // file and product version of the fixed part
  std::vector<std::pair<std::string, std::string>> strings;  // key, UTF-8 value: set in every table
};

// The block with the edits applied: a string is replaced where its table has it and added at
// the table's end otherwise; everything else stays as it is. nullopt (with the reason) when the
// block is malformed.
std::optional<Bytes> EditVersionBlock(ByteView block, const VersionEdit& edit, std::string* problem);

struct VersionSummary {
  std::string fileVersion;     // of the fixed part, "a.b.c.d"
  std::string productVersion;
  std::vector<std::pair<std::string, std::string>> strings;  // of the first string table, UTF-8
};
std::optional<VersionSummary> ReadVersionBlock(ByteView block);

}  // namespace zv::pack
