// The information block: "key=value" lines.
#include "package/info.h"

#include "package/codec.h"
#include "package/format.h"

namespace zv {
namespace {

bool StartsWith(TextView line, TextView key) {
  return line.substr(0, key.size()) == key;
}

}  // namespace

PackageInfo ParseInfo(ByteView info) {
  PackageInfo result;
  std::vector<ByteView> lines;
  const std::size_t count = SplitLines(info, kLineBreak, lines);
  for (std::size_t n = 0; n < count; ++n) {
    Text text = Utf8ToWide(lines[n]);
    if (text.size() > kInfoLineLimit) {
      text.resize(kInfoLineLimit);
      // Do not keep half of a surrogate pair that the cut split.
      if (text.back() >= 0xD800 && text.back() <= 0xDBFF) text.pop_back();
    }
    const TextView line = text;
    auto value = [&](const InfoKey& key) { return Text(line.substr(key.Utf16.size())); };
    if (StartsWith(line, kKeyNumber.Utf16) || StartsWith(line, kKeyNumberAlt)) {
      result.PackageNumber = LeadingInt32(line.substr(kKeyNumberAlt.size()));
    } else if (StartsWith(line, kKeyName.Utf16)) {
      result.DisplayName = value(kKeyName);
    } else if (StartsWith(line, kKeyProgramFile.Utf16)) {
      result.ProgramFile = value(kKeyProgramFile);
    } else if (StartsWith(line, kKeyVersion.Utf16)) {
      result.Version = value(kKeyVersion);
    } else if (StartsWith(line, kKeyDate.Utf16)) {
      result.ReleaseDate = value(kKeyDate);
    } else if (StartsWith(line, kKeyDescription.Utf16)) {
      result.Description = value(kKeyDescription);
    }
  }
  result.VersionLine = ZV_TEXT("版本：") + result.Version + ZV_TEXT("   发布日期：") + result.ReleaseDate;
  return result;
}

}  // namespace zv
