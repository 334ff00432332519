#include "win/system_library.h"

namespace zv {

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
  // LOAD_LIBRARY_SEARCH_SYSTEM32 needs Windows 8 or an updated Windows 7; where the flag is not
  // understood, name the file in the system folder in full instead.
  HMODULE module = ::LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module) return module;
  wchar_t path[MAX_PATH + 32];
  UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  path[length++] = L'\\';
  for (size_t i = 0; i < 31 && fileName[i]; ++i, ++length) path[length] = fileName[i];
  path[length] = L'\0';
  return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace zv
