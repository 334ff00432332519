// Libraries loaded after start-up come from the system folder only: the installer runs elevated
// from a downloads folder, where a planted DLL of the same name must never be taken.
#pragma once

#include <windows.h>

namespace zv {

// fileName: a plain file name such as L"gdiplus.dll". Null when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

}  // namespace zv
