// The information block: "key=value" lines.
#include <limits>

#include "package/package.h"

namespace zv {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The number at the start of text after leading spaces: optional sign, digits, optional
// fraction and exponent, rounded to the nearest integer (halves to even) and held to the
// 32-bit range. No digits give 0. Worked on the decimal digits, so rounding is exact.
std::int32_t ReadNumber(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';

  std::u16string digits;  // significant digits, leading zeros dropped
  long long point = 0;    // where the decimal point lies within digits
  bool any = false;
  auto take = [&](char16_t c, bool beforePoint) {
    any = true;
    if (digits.empty() && c == u'0') {
      if (!beforePoint) --point;
      return;
    }
    digits += c;
    if (beforePoint) ++point;
  };
  while (i < text.size() && IsDigit(text[i])) take(text[i++], true);
  if (i < text.size() && text[i] == u'.')
    for (++i; i < text.size() && IsDigit(text[i]);) take(text[i++], false);
  if (!any) return 0;
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    std::size_t j = i + 1;
    bool negativeExponent = false;
    if (j < text.size() && (text[j] == u'+' || text[j] == u'-'))
      negativeExponent = text[j++] == u'-';
    long long exponent = 0;
    for (; j < text.size() && IsDigit(text[j]); ++j)
      if (exponent < 100000) exponent = exponent * 10 + (text[j] - u'0');
    point += negativeExponent ? -exponent : exponent;
  }

  const auto count = static_cast<long long>(digits.size());
  long long whole = 0;
  if (count > 0 && point > 10) {
    whole = 1LL << 32;  // beyond the range either way
  } else {
    for (long long k = 0; k < point; ++k) whole = whole * 10 + (k < count ? digits[k] - u'0' : 0);
    // Round on the first dropped digit; a 5 with only zeros after it is a half: to even.
    if (point >= 0 && point < count) {
      const int dropped = digits[point] - u'0';
      bool rest = false;
      for (long long k = point + 1; k < count; ++k) rest = rest || digits[k] != u'0';
      if (dropped > 5 || (dropped == 5 && (rest || whole % 2 != 0))) ++whole;
    }
  }
  const long long value = negative ? -whole : whole;
  constexpr long long kMax = std::numeric_limits<std::int32_t>::max();
  constexpr long long kMin = std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value > kMax ? kMax : value < kMin ? kMin : value);
}

bool StartsWith(std::u16string_view line, std::u16string_view key) {
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
    const std::u16string_view line = text;
    auto value = [&](const InfoKey& key) { return Text(line.substr(key.Utf16.size())); };
    if (StartsWith(line, kKeyNumber.Utf16) || StartsWith(line, kKeyNumberAlt)) {
      result.PackageNumber = ReadNumber(line.substr(kKeyNumberAlt.size()));
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
  result.VersionLine = u"版本：" + result.Version + u"   发布日期：" + result.ReleaseDate;
  return result;
}

}  // namespace zv
