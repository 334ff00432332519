// The file list and the check that keeps every extracted path inside its target folder.
#include <type_traits>

#include "package/package.h"

namespace zv {
namespace {

// A path unit as an unsigned value: bytes above 0x7F must not turn negative.
template <typename Char>
char32_t Unit(Char c) {
  return static_cast<std::make_unsigned_t<Char>>(c);
}

bool IsSeparator(char32_t c) { return c == u'\\' || c == u'/'; }

char32_t Upper(char32_t c) { return c >= u'a' && c <= u'z' ? c - (u'a' - u'A') : c; }

// CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$: Windows opens the device even with an
// extension ("nul.txt") or trailing spaces.
template <typename Char>
bool IsDeviceName(std::basic_string_view<Char> name) {
  const std::size_t dot = name.find(Char('.'));
  auto base = name.substr(0, dot);
  while (!base.empty() && base.back() == Char(' ')) base.remove_suffix(1);
  auto is = [&](std::string_view device) {
    if (base.size() != device.size()) return false;
    for (std::size_t i = 0; i < base.size(); ++i)
      if (Upper(Unit(base[i])) != static_cast<char32_t>(device[i])) return false;
    return true;
  };
  if (is("CON") || is("PRN") || is("AUX") || is("NUL") || is("CONIN$") || is("CONOUT$"))
    return true;
  if (base.size() == 4 && base[3] >= Char('0') && base[3] <= Char('9')) {
    const auto prefix = base.substr(0, 3);
    auto three = [&](std::string_view p) {
      for (std::size_t i = 0; i < 3; ++i)
        if (Upper(Unit(prefix[i])) != static_cast<char32_t>(p[i])) return false;
      return true;
    };
    return three("COM") || three("LPT");
  }
  return false;
}

template <typename Char>
bool IsUnsafeComponent(std::basic_string_view<Char> name) {
  if (name.empty()) return true;  // doubled or trailing separator
  bool onlyDots = true;           // ".", "..", "..." and the like, also with spaces
  for (const Char c : name) onlyDots = onlyDots && (c == Char('.') || c == Char(' '));
  return onlyDots || IsDeviceName(name);
}

template <typename Char>
bool IsUnsafe(std::basic_string_view<Char> path) {
  if (path.empty() || IsSeparator(Unit(path[0]))) return true;  // rooted, UNC, "\\?\", "\\.\"
  for (const Char c : path) {
    const char32_t u = Unit(c);
    if (u < 0x20 || u == 0x7F || u == u':') return true;  // controls, drives, streams
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(Unit(path[i]))) {
      if (IsUnsafeComponent(path.substr(start, i - start))) return true;
      start = i + 1;
    }
  }
  return false;
}

std::uint64_t ReadFileTime(ByteView bytes) {
  std::uint64_t time = 0;
  for (std::size_t i = kFileTimeSize; i-- > 0;)
    time = (time << 8) | static_cast<unsigned char>(bytes[i]);
  return time;
}

}  // namespace

bool IsUnsafePath(ByteView utf8Path) { return IsUnsafe(utf8Path); }
bool IsUnsafePath(std::u16string_view path) { return IsUnsafe(path); }

bool IsUnsafeName(std::u16string_view name) {
  for (const char16_t c : name)
    if (IsSeparator(c)) return true;
  return IsUnsafe(name);
}

std::optional<std::size_t> FindUnsafeEntry(const std::vector<FileListEntry>& entries) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    // Both forms: the raw bytes (a NUL there would cut the converted path short) and the
    // path that is actually opened.
    if (IsUnsafePath(ByteView(entries[i].PathUtf8)) ||
        IsUnsafePath(std::u16string_view(entries[i].Path)))
      return i;
  }
  return std::nullopt;
}

std::optional<std::vector<FileListEntry>> SplitFileList(ByteView list) {
  std::vector<ByteView> lines;
  const std::size_t count = SplitLines(list, kLineBreak, lines);
  std::vector<FileListEntry> entries;
  entries.reserve(count);
  for (std::size_t n = 0; n < count; ++n) {
    const ByteView line = lines[n];
    if (line.empty()) {
      if (n + 1 == count) break;  // a CR LF after the last entry
      return std::nullopt;
    }
    FileListEntry entry;
    if (line.substr(0, kFolderPrefix.size()) == kFolderPrefix) {
      entry.IsFolder = true;
      entry.PathUtf8 = line.substr(kFolderPrefix.size());
    } else {
      if (line.size() <= kFileTimeSize) return std::nullopt;  // a time without a name
      entry.FileTime = ReadFileTime(line);
      entry.PathUtf8 = line.substr(kFileTimeSize);
    }
    entry.Path = Utf8ToWide(entry.PathUtf8);
    entries.push_back(std::move(entry));
  }
  return entries;
}

}  // namespace zv
