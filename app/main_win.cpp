// Process entry of the installer stub.
#include <windows.h>

#include "app/installer_win.h"
#include "paint/gdiplus_api.h"

extern "C" int WinMainCRTStartup();

namespace {

// The installer runs elevated from a downloads folder where anyone may have dropped a DLL. Before
// anything else can load one, DLL search is limited to System32. Windows 7 without its security
// update lacks the call, so it is looked up.
void RestrictDllSearch() {
  using SetDirs = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  auto setDirs = kernel ? reinterpret_cast<SetDirs>(reinterpret_cast<void*>(
                              GetProcAddress(kernel, "SetDefaultDllDirectories")))
                        : nullptr;
  if (setDirs) setDirs(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");  // also drops the current folder where the call above is missing
}

}  // namespace

// The real entry point: the DLL restriction comes before the C runtime starts.
extern "C" int zvEntry() {
  RestrictDllSearch();
  return WinMainCRTStartup();
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  zv::InitAppInfo();
  {
    zv::GdiplusSession gdiplus;  // started before the window exists, shut down after it is gone
    zv::OpenForm1(nullptr, true);
  }
  return 0;
}
