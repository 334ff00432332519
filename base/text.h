// Text and byte strings as the whole project passes them, and a few helpers that keep the C
// runtime's formatting and parsing (and its size) out of the installer. Portable: no system
// headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace zv {

using ByteView = std::string_view;  // counted bytes; may hold NUL bytes
using Bytes = std::string;
// UTF-16 text. On Windows its unit is wchar_t, which is 16 bits there: the installer then carries
// one string type, not two, and hands Text to the system as it is. ZV_TEXT makes a literal of it.
#if defined(_WIN32)
using TextUnit = wchar_t;
#define ZV_TEXT(literal) L##literal
#else
using TextUnit = char16_t;
#define ZV_TEXT(literal) u##literal
#endif
static_assert(sizeof(TextUnit) == 2);
using Text = std::basic_string<TextUnit>;
using TextView = std::basic_string_view<TextUnit>;

// UTF-8 to UTF-16 exactly as MultiByteToWideChar(CP_UTF8, 0, ...) converts it: invalid
// sequences become U+FFFD, and the text ends at the first NUL byte.
Text Utf8ToWide(ByteView utf8);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
Bytes WideToUtf8(TextView text);
// True when text holds an unpaired surrogate, which has no UTF-8 form.
bool HasLoneSurrogate(TextView text);
// Strict UTF-8: every sequence decodes (no overlong forms, surrogates or values above
// U+10FFFF). NUL bytes are valid here.
bool IsValidUtf8(ByteView utf8);
// Number of UTF-16 units the text converts to (a NUL byte counts like any other character).
std::size_t Utf16Length(ByteView utf8);

// Rounds to nearest with halves to even (the default floating-point rounding mode).
int RoundHalfEven(double value);

// The number at the start of a text: leading spaces, an optional sign, digits, an optional
// fraction and exponent. LeadingNumber gives it as a double (0 when there is none);
// LeadingInt32 rounds it to the nearest integer, halves to even, exactly on the decimal
// digits, and holds it to the 32-bit range.
double LeadingNumber(TextView text);
#if !defined(_WIN32)
double LeadingNumber(std::wstring_view text);
#endif
std::int32_t LeadingInt32(TextView text);

// A plain decimal.
std::wstring DecimalText(int value);
// The parts one after the other. (One call instead of a chain of operator+ keeps the installer
// small: each "+" is code of its own.)
std::wstring Join(std::initializer_list<std::wstring_view> parts);

}  // namespace zv
