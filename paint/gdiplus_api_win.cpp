// Run-time loading of gdiplus.dll from the system folder.
#include "paint/gdiplus_api.h"

namespace zv {
namespace {

HMODULE LoadFromSystemFolder() {
  // LOAD_LIBRARY_SEARCH_SYSTEM32 needs Windows 8 or an updated Windows 7; where the flag is not
  // understood, name the file in the system folder in full instead.
  HMODULE module = ::LoadLibraryExW(L"gdiplus.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module) return module;
  wchar_t path[MAX_PATH + 16];
  UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const wchar_t kName[] = L"\\gdiplus.dll";
  for (size_t i = 0; i < sizeof(kName) / sizeof(kName[0]); ++i) path[length + i] = kName[i];
  return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

template <typename F>
bool Resolve(HMODULE module, const char* name, F& out) {
  FARPROC proc = ::GetProcAddress(module, name);
  out = reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
  return proc != nullptr;
}

const GdiplusApi* LoadTable() {
  static ModuleHandle gModule;
  static GdiplusApi gTable;
  gModule.reset(LoadFromSystemFolder());
  if (!gModule) return nullptr;
  bool complete = true;
#define ZV_GDIPLUS_RESOLVE(name) complete &= Resolve(gModule.get(), #name, gTable.name);
  ZV_GDIPLUS_FUNCTIONS(ZV_GDIPLUS_RESOLVE)
#undef ZV_GDIPLUS_RESOLVE
  complete &= Resolve(gModule.get(), "GdiplusStartup", gTable.GdiplusStartup);
  complete &= Resolve(gModule.get(), "GdiplusShutdown", gTable.GdiplusShutdown);
  if (!complete) {
    gTable = GdiplusApi{};
    gModule.reset();
    return nullptr;
  }
  return &gTable;
}

}  // namespace

const GdiplusApi* GdiplusLibrary() {
  static const GdiplusApi* gApi = LoadTable();
  return gApi;
}

ULONG_PTR StartGdiplus() {
  const GdiplusApi* api = GdiplusLibrary();
  if (!api) return 0;
  Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, background thread on
  input.GdiplusVersion = 1;
  ULONG_PTR token = 0;
  if (api->GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 0;
  return token;
}

void ShutdownGdiplus(ULONG_PTR token) {
  if (token == 0) return;
  if (const GdiplusApi* api = GdiplusLibrary()) api->GdiplusShutdown(token);
}

}  // namespace zv
