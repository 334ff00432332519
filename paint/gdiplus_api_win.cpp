// Run-time loading of gdiplus.dll from the system folder.
#include "paint/gdiplus_api.h"

#include <array>
#include <cstddef>
#include <cstring>

#include "win/system_library.h"

namespace zv {
namespace {

// The exported names in the order of the table's fields, each ended by its NUL, without the
// "Gdip" every one of them starts with: one loop resolves them all (a call per function would be
// a lot of installer, and so would the prefix sixty times over).
#define ZV_GDIPLUS_NAME(name) #name "\0"
constexpr char kFullNames[] = ZV_GDIPLUS_FUNCTIONS(ZV_GDIPLUS_NAME) "GdiplusStartup\0GdiplusShutdown";
#undef ZV_GDIPLUS_NAME
#define ZV_GDIPLUS_COUNT(name) +1
constexpr std::size_t kFunctions = 0 ZV_GDIPLUS_FUNCTIONS(ZV_GDIPLUS_COUNT) + 2;
#undef ZV_GDIPLUS_COUNT
static_assert(sizeof(GdiplusApi) == kFunctions * sizeof(FARPROC), "the table holds only the functions");
constexpr char kPrefix[] = "Gdip";
constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;
constexpr bool EveryNameHasThePrefix() {
  for (std::size_t in = 0; in < sizeof kFullNames; ++in) {
    for (std::size_t i = 0; i < kPrefixLength; ++i, ++in) {
      if (kFullNames[in] != kPrefix[i]) return false;
    }
    while (kFullNames[in] != '\0') ++in;
  }
  return true;
}
static_assert(EveryNameHasThePrefix());
constexpr auto kNames = [] {
  std::array<char, sizeof kFullNames - kFunctions * kPrefixLength> names{};
  std::size_t out = 0;
  for (std::size_t in = 0; in < sizeof kFullNames; ++in) {
    in += kPrefixLength;
    while (kFullNames[in] != '\0') names[out++] = kFullNames[in++];
    names[out++] = '\0';
  }
  return names;
}();

const GdiplusApi* LoadTable() {
  static ModuleHandle gModule;
  static GdiplusApi gTable;
  gModule.reset(LoadSystemLibrary(L"gdiplus.dll"));
  if (!gModule) return nullptr;
  char full[64] = "Gdip";
  const char* name = kNames.data();
  for (std::size_t i = 0; i < kFunctions; ++i) {
    char* end = full + kPrefixLength;
    while ((*end++ = *name++) != '\0') {
    }
    const FARPROC proc = ::GetProcAddress(gModule.get(), full);
    if (!proc) {
      gTable = GdiplusApi{};
      gModule.reset();
      return nullptr;
    }
    std::memcpy(reinterpret_cast<char*>(&gTable) + i * sizeof proc, &proc, sizeof proc);
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
