#include "app/install_rules.h"

namespace zv {

ModulePath SplitModulePath(const Text& path) {
  constexpr size_t kFolderMax = 259;
  constexpr size_t kNameMax = 99;
  const size_t sep = path.find_last_of(ZV_TEXT(":/\\"));
  ModulePath result;
  if (sep == Text::npos) {
    result.name = path.substr(0, kNameMax);
  } else {
    result.folder = path.substr(0, sep + 1).substr(0, kFolderMax);
    result.name = path.substr(sep + 1, kNameMax);
  }
  return result;
}

Text TrimSpaces(const Text& text) {
  const size_t first = text.find_first_not_of(u' ');
  if (first == Text::npos) return Text();
  const size_t last = text.find_last_not_of(u' ');
  return text.substr(first, last - first + 1);
}

Text WithTrailingSeparator(const Text& text) {
  if (!text.empty() && text.back() == u'\\') return text;
  return text + ZV_TEXT('\\');
}

FolderVerdict CheckTargetFolder(const Text& boxText) {
  const Text text = TrimSpaces(boxText);
  if (text.size() < 4) {
    if (text.size() >= 2 && text[1] == u':') return {FolderCheck::kBareDrive, Text()};
    return {FolderCheck::kBadPath, Text()};
  }
  if (text[1] != u':' || text[2] != u'\\') return {FolderCheck::kBadPath, Text()};
  return {FolderCheck::kOk, WithTrailingSeparator(text)};
}

bool IsBatchProgram(const Text& programFile) {
  static const Text kSuffix = ZV_TEXT(".bat");
  return programFile.size() >= kSuffix.size() &&
         programFile.compare(programFile.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0;
}

}  // namespace zv
