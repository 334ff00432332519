#include "app/install_rules.h"

#include "package/path_length.h"

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
  if (text.size() < kShortestTargetFolder) {
    if (text.size() >= 2 && text[1] == u':') return {FolderCheck::kBareDrive, Text()};
    return {FolderCheck::kBadPath, Text()};
  }
  if (text[1] != u':' || text[2] != u'\\') return {FolderCheck::kBadPath, Text()};
  return {FolderCheck::kOk, WithTrailingSeparator(text)};
}

bool IsBatchProgram(TextView programFile) { return programFile.ends_with(ZV_TEXT(".bat")); }

CommandSwitches ReadCommandSwitches(TextView line) {
  // The program's path: up to its closing quote, or to the first space.
  size_t at = 0;
  if (!line.empty() && line[0] == u'"') {
    at = line.find(u'"', 1);
    at = at == TextView::npos ? line.size() : at + 1;
  }
  CommandSwitches switches;
  for (;;) {
    at = line.find_first_not_of(u' ', line.find(u' ', at));
    if (at == TextView::npos) return switches;
    TextView word = line.substr(at);
    if (word.substr(0, 3) == ZV_TEXT("/D=")) {
      switches.folder = word.substr(3);
      return switches;
    }
    size_t end = word.find(u' ');
    if (word.substr(0, 6) == ZV_TEXT("/LOG=\"")) {
      end = word.find(u'"', 6);
      switches.log = word.substr(6, end - 6);
      if (end != TextView::npos) ++end;
    } else if (word.substr(0, 5) == ZV_TEXT("/LOG=")) {
      switches.log = word.substr(5, end - 5);
    }
    word = word.substr(0, end);
    switches.silent |= word == ZV_TEXT("/S");
    switches.shortcut |= word == ZV_TEXT("/SHORTCUT");
    switches.run |= word == ZV_TEXT("/RUN");
    at += word.size();
  }
}

}  // namespace zv
