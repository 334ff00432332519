#include "tools/zvpack/errors.h"

#include <cstdio>

#include "base/text.h"

namespace zv::pack {

std::string Printable(std::string_view text, std::size_t limit) {
  std::string result;
  std::size_t units = 0;  // UTF-16 units shown so far, as Windows would count them
  for (std::size_t i = 0; i < text.size();) {
    if (units >= limit) {
      result += "\u2026";  // "…": a package can state a name of any length
      break;
    }
    // One UTF-8 sequence, its length told by the lead byte.
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                         : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || i + length > text.size() || !IsValidUtf8(text.substr(i, length))) {
      length = 0;
    }
    const auto byte = static_cast<unsigned char>(text[i]);
    if (length == 0 || (length == 1 && (byte < 0x20 || byte == 0x7F))) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      result += escaped;
      units += 4;
      ++i;
      continue;
    }
    result.append(text.substr(i, length));
    units += length == 4 ? 2 : 1;
    i += length;
  }
  return result;
}

std::string Describe(std::string_view what, std::string_view reason) {
  if (what.empty()) return std::string(reason);
  return Printable(what, kShownUnits * 4) + ": " + std::string(reason);
}

}  // namespace zv::pack
