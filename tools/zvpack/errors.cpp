#include "tools/zvpack/errors.h"

#include <cstdio>

#include "base/text.h"

namespace zv::pack {

std::string Printable(std::string_view text) {
  std::string result;
  for (std::size_t i = 0; i < text.size();) {
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
      ++i;
      continue;
    }
    result.append(text.substr(i, length));
    i += length;
  }
  return result;
}

std::string Describe(std::string_view what, std::string_view reason) {
  if (what.empty()) return std::string(reason);
  return Printable(what) + ": " + std::string(reason);
}

}  // namespace zv::pack
