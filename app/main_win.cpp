// Process entry of the installer stub.
#include <windows.h>

#include "app/installer_win.h"
#include "paint/gdiplus_api.h"

namespace {

// The static constructors, listed by the linker between the two markers of __CTOR_LIST__: a
// count (or -1), the functions, then a null entry. They run last to first.
using Constructor = void (*)();
extern "C" Constructor __CTOR_LIST__[];

void RunStaticConstructors() {
  size_t count = reinterpret_cast<size_t>(__CTOR_LIST__[0]);
  if (count == static_cast<size_t>(-1)) {
    for (count = 0; __CTOR_LIST__[count + 1]; ++count) {
    }
  }
  for (size_t i = count; i >= 1; --i) __CTOR_LIST__[i]();
}

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

// The process entry. The stub needs none of the C runtime's start-up (command line, environment
// arrays, locale, exit handlers): msvcrt initialises itself when it is loaded. The DLL
// restriction comes first, then the static constructors, then the installer. Static
// destructors are left to the process's end.
extern "C" [[noreturn]] void zvEntry() {
  RestrictDllSearch();
  RunStaticConstructors();
  ExitProcess(static_cast<UINT>(wWinMain(GetModuleHandleW(nullptr), nullptr, GetCommandLineW(), SW_SHOWNORMAL)));
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  zv::InitAppInfo();
  zv::ReadSwitches(GetCommandLineW());
  if (zv::gSwitches.silent) return zv::RunSilently();
  {
    zv::GdiplusSession gdiplus;  // started before the window exists, shut down after it is gone
    zv::OpenForm1(nullptr, true);
  }
  return 0;
}
