// Which names and paths a package may create: the one rule for the packer and every extractor.
#include "package/names.h"

#include "package/info.h"

namespace zv {
namespace {

bool IsSeparator(TextUnit c) { return c == u'\\' || c == u'/'; }

TextUnit Upper(TextUnit c) { return c >= u'a' && c <= u'z' ? c - (u'a' - u'A') : c; }

// Equal but for the case of ASCII letters.
bool SameLetters(TextView text, TextView other) {
  if (text.size() != other.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (Upper(text[i]) != Upper(other[i])) return false;
  return true;
}

// Windows opens the device even with an extension ("nul.txt") or trailing spaces ("nul .txt").
bool IsDeviceName(TextView name) {
  auto base = name.substr(0, name.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
  for (const TextView device : {ZV_TEXT("CON"), ZV_TEXT("PRN"), ZV_TEXT("AUX"), ZV_TEXT("NUL"),
                                ZV_TEXT("CONIN$"), ZV_TEXT("CONOUT$")})
    if (SameLetters(base, device)) return true;
  if (base.size() != 4 || !(SameLetters(base.substr(0, 3), ZV_TEXT("COM")) ||
                            SameLetters(base.substr(0, 3), ZV_TEXT("LPT"))))
    return false;
  const TextUnit digit = base[3];
  return (digit >= u'0' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' ||
         digit == u'\u00B3';
}

}  // namespace

NameFault FindNameFault(TextView name) {
  if (name.empty()) return NameFault::Empty;
  for (const TextUnit c : name)
    if (c < 0x20 || c == 0x7F) return NameFault::ControlCharacter;
  for (const TextUnit c : name)
    if (IsSeparator(c)) return NameFault::Separator;
  if (name.find_first_of(ZV_TEXT("<>:\"|?*")) != TextView::npos)
    return NameFault::ReservedCharacter;
  if (name.find_first_not_of(ZV_TEXT(". ")) == TextView::npos) return NameFault::OnlyDots;
  if (name.back() == u'.' || name.back() == u' ') return NameFault::TrailingDotOrSpace;
  if (IsDeviceName(name)) return NameFault::DeviceName;
  if (SameLetters(name, kPartialFileName)) return NameFault::PartialFileName;
  return NameFault::None;
}

bool IsUnsafePath(TextView path) {
  if (path.empty() || IsSeparator(path[0])) return true;  // rooted, UNC, "\\?\", "\\.\"
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      if (FindNameFault(path.substr(start, i - start)) != NameFault::None) return true;
      start = i + 1;
    }
  }
  return false;
}

bool IsUnsafePath(ByteView utf8Path) {
  // Bytes that do not decode would give the file another name than the package lists; a NUL
  // would cut the converted path short.
  return !IsValidUtf8(utf8Path) || utf8Path.find('\0') != ByteView::npos ||
         IsUnsafePath(TextView(Utf8ToWide(utf8Path)));
}

InfoFault FindInfoFault(const PackageInfo& info) {
  if (IsUnsafeName(info.DisplayName)) return InfoFault::DisplayName;
  if (IsUnsafePath(TextView(info.ProgramFile))) return InfoFault::ProgramFile;
  return InfoFault::None;
}

bool IsUnsafeName(TextView name) { return FindNameFault(name) != NameFault::None; }

}  // namespace zv
