#include "tools/zvpack/names.h"

#include <array>

#include "tools/zvpack/platform.h"

namespace zv::pack {
namespace {

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is not valid.
std::size_t SequenceLength(std::string_view text, std::size_t i, char32_t* codePoint) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    *codePoint = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(k) & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *codePoint = value;
  return length;
}

bool IsReservedDeviceName(std::string_view name) {
  // The part before the first dot, trailing spaces ignored, compared without case.
  std::string stem = FoldCase(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static constexpr std::array<std::string_view, 4> kPlain{"con", "prn", "aux", "nul"};
  for (std::string_view reserved : kPlain) {
    if (stem == reserved) return true;
  }
  if (stem.size() == 4 && (stem.starts_with("com") || stem.starts_with("lpt")) &&
      stem[3] >= '1' && stem[3] <= '9') {
    return true;
  }
  return false;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    char32_t codePoint = 0;
    const std::size_t length = SequenceLength(text, i, &codePoint);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t codePoint = 0;
    const std::size_t length = SequenceLength(utf8, i, &codePoint);
    if (length == 0) {  // counted as one replacement character, as a converter would
      ++units, ++i;
      continue;
    }
    units += codePoint >= 0x10000 ? 2 : 1;
    i += length;
  }
  return units;
}

std::string NameProblem(std::string_view name) {
  if (name.empty()) return "empty name";
  if (name.find_first_of("\r\n") != std::string_view::npos) return "the name holds a line break";
  if (!IsValidUtf8(name)) return "the name is not valid UTF-8";
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20) return "the name holds a control character";
    if (c == '\\' || c == '/') return "the name holds a path separator (\\ or /)";
    if (std::string_view("<>:\"|?*").find(c) != std::string_view::npos) {
      return std::string("Windows cannot create a name holding '") + c + "'";
    }
  }
  if (name == "." || name == "..") return "\".\" and \"..\" are not names";
  if (name.back() == '.' || name.back() == ' ') {
    return "Windows cannot create a name ending in a dot or space";
  }
  if (IsReservedDeviceName(name)) return "the name is reserved for a device on Windows";
  return {};
}

std::string PackagePathProblem(std::string_view path) {
  if (path.empty()) return "empty path";
  std::size_t start = 0;
  while (true) {
    const std::size_t end = path.find('\\', start);
    const std::string_view piece =
        path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (piece.empty()) return "the path has an empty piece";
    if (std::string problem = NameProblem(piece); !problem.empty()) return problem;
    if (end == std::string_view::npos) return {};
    start = end + 1;
  }
}

std::string FoldCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string NormalisePackagePath(std::string_view path) {
  std::string result;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view piece = path.substr(start, end - start);
    if (!piece.empty() && piece != ".") {
      if (!result.empty()) result += '\\';
      result += piece;
    }
    start = end + 1;
  }
  return result;
}

std::string NativeRelativePath(std::string_view packagePath) {
  std::string native(packagePath);
  for (char& c : native) {
    if (c == '\\') c = kPathSeparator;
  }
  return native;
}

}  // namespace zv::pack
