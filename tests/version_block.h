// Reading an executable's version block as the file's properties do, for the tests of the stub
// and of branded installers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace test {

// The whole version block of the file at path; empty when it has none or cannot be read.
inline std::vector<BYTE> FileVersionBlock(const std::wstring& path) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  std::vector<BYTE> block(size);
  if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, block.data())) block.clear();
  return block;
}

// A string of the block's one string table ("040904E4"), or "?" when it is missing.
inline std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name) {
  const std::wstring key = std::wstring(L"\\StringFileInfo\\040904E4\\") + name;
  wchar_t* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return L"?";
  return value;
}

}  // namespace test
