// Text at the Win32 boundary: on Windows Text is a wchar_t string, so these are plain copies or
// views, kept so that the code reads the same at every boundary.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "base/text.h"

namespace zv {

static_assert(std::is_same_v<Text, std::wstring>);
inline const wchar_t* AsWide(const Text& text) { return text.c_str(); }
// The same string: no copy is made. Bind the result to a value, not to a reference, when the
// argument is a temporary.
inline const std::wstring& ToWide(const Text& text) { return text; }
inline std::wstring&& ToWide(Text&& text) { return static_cast<std::wstring&&>(text); }
inline const Text& FromWide(const std::wstring& text) { return text; }
inline Text&& FromWide(std::wstring&& text) { return static_cast<Text&&>(text); }
// UTF-8 to and from wchar_t text through the one converter (base/text.h).
inline std::wstring Utf8ToWideString(ByteView utf8) { return Utf8ToWide(utf8); }
inline Bytes WideStringToUtf8(std::wstring_view text) { return WideToUtf8(text); }

}  // namespace zv
