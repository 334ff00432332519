// UTF-8 <-> UTF-16 for the packer's Windows side.
#pragma once

#include <string>
#include <string_view>

namespace zv::pack {

std::wstring Utf8ToWideText(std::string_view utf8);
std::string WideToUtf8Text(std::wstring_view wide);
// False when the text holds a lone surrogate (no UTF-8 form); *utf8 then holds a lossy form.
bool WideToUtf8Strict(std::wstring_view wide, std::string* utf8);
// GetFullPathNameW's absolute form of a path; empty when it fails.
std::wstring FullPathW(const std::wstring& path);
// A path for the wide file API: long absolute paths get the "\\?\" prefix, so trees deeper
// than MAX_PATH can be packed and unpacked.
std::wstring WidePath(const std::string& utf8);

}  // namespace zv::pack
