// Numbers in and out of text without the C runtime's formatting and parsing.
#include <cmath>
#include <limits>

#include "base/text.h"

namespace zv {
namespace {

// A decimal number as read from text: its significant digits (leading zeros dropped) and where
// the decimal point lies among them. Kept as digits so that rounding can be exact.
struct Decimal {
  bool negative = false;
  std::string digits;
  long long point = 0;
};

template <typename Char>
bool IsDigit(Char c) {
  return c >= Char('0') && c <= Char('9');
}

// The one parser: leading spaces, sign, digits, fraction, exponent. Nothing that reads as a
// number (no digit before or after the point) gives an empty Decimal.
template <typename Char>
Decimal ParseDecimal(std::basic_string_view<Char> text) {
  Decimal d;
  std::size_t i = 0;
  while (i < text.size() && text[i] == Char(' ')) ++i;
  if (i < text.size() && (text[i] == Char('+') || text[i] == Char('-')))
    d.negative = text[i++] == Char('-');
  bool any = false;
  auto take = [&](Char c, bool beforePoint) {
    any = true;
    if (d.digits.empty() && c == Char('0')) {
      if (!beforePoint) --d.point;
      return;
    }
    d.digits += static_cast<char>(c);
    if (beforePoint) ++d.point;
  };
  while (i < text.size() && IsDigit(text[i])) take(text[i++], true);
  if (i < text.size() && text[i] == Char('.'))
    for (++i; i < text.size() && IsDigit(text[i]);) take(text[i++], false);
  if (!any) return {};
  if (i < text.size() && (text[i] == Char('e') || text[i] == Char('E'))) {
    std::size_t j = i + 1;
    bool negativeExponent = false;
    if (j < text.size() && (text[j] == Char('+') || text[j] == Char('-')))
      negativeExponent = text[j++] == Char('-');
    long long exponent = 0;
    for (; j < text.size() && IsDigit(text[j]); ++j)
      if (exponent < 100000) exponent = exponent * 10 + (text[j] - Char('0'));
    d.point += negativeExponent ? -exponent : exponent;
  }
  return d;
}

double ToDouble(const Decimal& d) {
  double value = 0;
  for (const char c : d.digits) value = value * 10 + (c - '0');
  // Scaled step by step: pow would bring the C runtime's maths into the installer.
  for (long long shift = d.point - static_cast<long long>(d.digits.size()); shift != 0;) {
    if (shift > 0) value *= 10, --shift;
    else value /= 10, ++shift;
  }
  return d.negative ? -value : value;
}

std::int32_t ToInt32(const Decimal& d) {
  const auto count = static_cast<long long>(d.digits.size());
  const long long point = d.point;
  long long whole = 0;
  if (count > 0 && point > 10) {
    whole = 1LL << 32;  // beyond the range either way
  } else {
    for (long long k = 0; k < point; ++k) whole = whole * 10 + (k < count ? d.digits[k] - '0' : 0);
    // Round on the first dropped digit; a 5 with only zeros after it is a half: to even.
    if (point >= 0 && point < count) {
      const int dropped = d.digits[point] - '0';
      bool rest = false;
      for (long long k = point + 1; k < count; ++k) rest = rest || d.digits[k] != '0';
      if (dropped > 5 || (dropped == 5 && (rest || whole % 2 != 0))) ++whole;
    }
  }
  const long long value = d.negative ? -whole : whole;
  constexpr long long kMax = std::numeric_limits<std::int32_t>::max();
  constexpr long long kMin = std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value > kMax ? kMax : value < kMin ? kMin : value);
}

}  // namespace

int RoundHalfEven(double value) { return static_cast<int>(std::lrint(value)); }

double LeadingNumber(TextView text) { return ToDouble(ParseDecimal(text)); }
#if !defined(_WIN32)  // on Windows TextView is the wide view
double LeadingNumber(std::wstring_view text) { return ToDouble(ParseDecimal(text)); }
#endif
std::int32_t LeadingInt32(TextView text) { return ToInt32(ParseDecimal(text)); }

std::wstring DecimalText(int value) {
  wchar_t digits[12];
  int n = 0;
  unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
  do {
    digits[n++] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  std::wstring text = value < 0 ? L"-" : L"";
  while (n) text += digits[--n];
  return text;
}

[[gnu::noinline]] std::wstring Join(std::initializer_list<std::wstring_view> parts) {
  size_t length = 0;
  for (std::wstring_view part : parts) length += part.size();
  std::wstring text;
  text.reserve(length);
  for (std::wstring_view part : parts) text.append(part);
  return text;
}

}  // namespace zv
