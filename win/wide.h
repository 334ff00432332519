// Text at the Win32 boundary: Text and wchar_t strings share their 16-bit representation.
#pragma once

#include <string>
#include <string_view>

#include "base/text.h"

namespace zv {

static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline const wchar_t* AsWide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::wstring ToWide(std::u16string_view text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}
inline Text FromWide(std::wstring_view text) {
  return Text(reinterpret_cast<const char16_t*>(text.data()), text.size());
}
// UTF-8 to and from wchar_t text through the one converter (base/text.h).
inline std::wstring Utf8ToWideString(ByteView utf8) { return ToWide(Utf8ToWide(utf8)); }
inline Bytes WideStringToUtf8(std::wstring_view text) { return WideToUtf8(FromWide(text)); }

}  // namespace zv
