#include "tools/zvpack/errors.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"

namespace zv::pack {
namespace {

// The valid UTF-8 sequence at text[i]: its length in bytes, and its code point in *c; 0 when
// the bytes there are not one.
std::size_t Sequence(std::string_view text, std::size_t i, char32_t* c) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                             : (lead & 0xF8) == 0xF0 ? 4 : 0;
  if (length == 0 || i + length > text.size() || !IsValidUtf8(text.substr(i, length))) return 0;
  *c = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) *c = (*c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  return length;
}

// What a terminal acts on instead of showing it: C0 controls, DEL and the C1 controls, and the
// bidirectional overrides and isolates.
bool IsTerminalControl(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string Printable(std::string_view text, std::size_t limit) {
  std::string result;
  std::size_t units = 0;  // UTF-16 units shown so far, as Windows would count them
  for (std::size_t i = 0; i < text.size();) {
    if (units >= limit) {
      result += "\u2026";  // "…": a package can state a name of any length
      break;
    }
    char32_t c = 0;
    const std::size_t length = Sequence(text, i, &c);
    if (length == 0 || IsTerminalControl(c)) {
      // A byte that is no character, or a control: shown by its number.
      char escaped[8];
      const int shown = length <= 1 ? std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[i]))
                                    : std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
      result += escaped;
      units += static_cast<std::size_t>(shown);
    } else {
      result.append(text.substr(i, length));
      units += length == 4 ? 2 : 1;
    }
    i += std::max<std::size_t>(length, 1);
  }
  return result;
}

std::string_view CutToUnits(std::string_view text, std::size_t limit) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    char32_t c = 0;
    const std::size_t length = std::max<std::size_t>(Sequence(text, i, &c), 1);
    units += length == 4 ? 2 : 1;
    if (units > limit) return text.substr(0, i);
    i += length;
  }
  return text;
}

std::string EscapeTerminalControls(std::string_view json) {
  std::string result;
  result.reserve(json.size());
  for (std::size_t i = 0; i < json.size();) {
    char32_t c = 0;
    const std::size_t length = std::max<std::size_t>(Sequence(json, i, &c), 1);
    // JSON writes C0 controls escaped already; the others can only stand inside its strings.
    if (IsTerminalControl(c) && c >= 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      result += escaped;
    } else {
      result.append(json.substr(i, length));
    }
    i += length;
  }
  return result;
}

std::string Describe(std::string_view what, std::string_view reason) {
  if (what.empty()) return std::string(reason);
  return Printable(what, kShownUnits * 4) + ": " + std::string(reason);
}

}  // namespace zv::pack
