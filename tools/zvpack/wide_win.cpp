#include "tools/zvpack/wide_win.h"

#include <windows.h>

namespace zv::pack {
namespace {

std::string Convert(std::wstring_view wide, DWORD flags, bool* ok) {
  *ok = true;
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int needed = ::WideCharToMultiByte(CP_UTF8, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) {
    *ok = false;
    return {};
  }
  std::string utf8(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_UTF8, flags, wide.data(), size, utf8.data(), needed, nullptr, nullptr);
  return utf8;
}

}  // namespace

std::wstring Utf8ToWideText(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int needed = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), needed);
  return wide;
}

std::string WideToUtf8Text(std::wstring_view wide) {
  bool ok = true;
  return Convert(wide, 0, &ok);
}

bool WideToUtf8Strict(std::wstring_view wide, std::string* utf8) {
  bool ok = true;
  *utf8 = Convert(wide, WC_ERR_INVALID_CHARS, &ok);
  if (!ok) *utf8 = WideToUtf8Text(wide);
  return ok;
}

std::wstring FullPathW(const std::wstring& path) {
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return {};
  full.resize(length);
  return full;
}

std::wstring WidePath(const std::string& utf8) {
  std::wstring wide = Utf8ToWideText(utf8);
  if (wide.size() < MAX_PATH - 12 || wide.starts_with(L"\\\\?\\")) return wide;
  const std::wstring full = FullPathW(wide);
  if (full.empty()) return wide;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace zv::pack
