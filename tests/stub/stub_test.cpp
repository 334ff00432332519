// The built installer stub: the DLLs its import table names, its size, and its resources.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "base/file.h"
#include "tests/version_block.h"
#include "win/wide.h"

namespace {

std::wstring StubPath() {
  const std::string utf8 = ZV_STUB_PATH;
  return zv::ToWide(zv::Utf8ToWide(utf8));
}

zv::Bytes StubBytes() { return zv::ReadWholeFile(zv::FromWide(StubPath())); }

template <typename T>
T At(const zv::Bytes& bytes, size_t offset) {
  T value{};
  if (offset + sizeof(T) <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

// The DLL names of the import table, read from the file (lower case).
std::set<std::string> ImportedDlls(const zv::Bytes& image) {
  std::set<std::string> dlls;
  const auto dos = At<IMAGE_DOS_HEADER>(image, 0);
  const auto nt = At<IMAGE_NT_HEADERS32>(image, dos.e_lfanew);
  const IMAGE_DATA_DIRECTORY imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  const size_t sections = dos.e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
  auto fileOffset = [&](DWORD rva) -> size_t {
    for (int i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
      const auto s = At<IMAGE_SECTION_HEADER>(image, sections + i * sizeof(IMAGE_SECTION_HEADER));
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData)) {
        return rva - s.VirtualAddress + s.PointerToRawData;
      }
    }
    return 0;
  };
  for (size_t at = fileOffset(imports.VirtualAddress);; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    const auto descriptor = At<IMAGE_IMPORT_DESCRIPTOR>(image, at);
    if (descriptor.Name == 0) break;
    std::string name(image.data() + fileOffset(descriptor.Name));
    name = name.c_str();
    std::transform(name.begin(), name.end(), name.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
    dlls.insert(name);
  }
  return dlls;
}

TEST(Stub, ImportsOnlyDllsThatWindowsTakesFromSystem32) {
  // The installer runs elevated from a downloads folder: every DLL it loads at start must be a
  // Known DLL (always taken from System32) or comctl32 (redirected by the manifest). Everything
  // else, gdiplus.dll in particular, is loaded later, from System32 only.
  const std::set<std::string> allowed = {"kernel32.dll", "user32.dll", "gdi32.dll",   "advapi32.dll",
                                         "shell32.dll",  "ole32.dll",  "oleaut32.dll", "comdlg32.dll",
                                         "shlwapi.dll",  "msvcrt.dll", "imm32.dll",    "comctl32.dll"};
  const zv::Bytes image = StubBytes();
  ASSERT_FALSE(image.empty());
  const std::set<std::string> dlls = ImportedDlls(image);
  EXPECT_TRUE(dlls.count("kernel32.dll")) << "the import table was not read";
  for (const std::string& dll : dlls) EXPECT_TRUE(allowed.count(dll)) << dll << " is imported at start";
  EXPECT_FALSE(dlls.count("gdiplus.dll"));
}

TEST(Stub, StaysWithinItsLimit) {
  // 103,424 bytes: the 98,304 of the x86 Unicode LZMA stub of the common installer system we
  // compare with; 4 KiB for what a wizard made of standard dialogs gets from the system (the
  // keyboard's default button, the screen reader's tree, a change of monitor) and for starting
  // the program as the signed-in user; and 1 KiB of the 3 KiB the lanes take, which decode
  // large files on every processor (the rest was found by trimming).
  const zv::Bytes image = StubBytes();
  ASSERT_FALSE(image.empty());
  EXPECT_LE(image.size(), 103424u);
}

TEST(Stub, VersionBlockAndLanguage) {
  const std::wstring path = StubPath();
  const std::vector<BYTE> block = test::FileVersionBlock(path);
  ASSERT_FALSE(block.empty());
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(1, 3));
  EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(75, 3));
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(1, 3));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  for (const wchar_t* name : {L"FileDescription", L"ProductName", L"InternalName", L"Comments"}) {
    EXPECT_EQ(test::VersionString(block, name), L"Zelv软件安装") << name;
  }
  EXPECT_EQ(test::VersionString(block, L"FileVersion"), L"3.1.3.75");
  EXPECT_EQ(test::VersionString(block, L"ProductVersion"), L"3.1.3.75");
  EXPECT_EQ(test::VersionString(block, L"OriginalFilename"), L"Zelv软件安装.exe");
  for (const wchar_t* name : {L"CompanyName", L"LegalCopyright", L"LegalTrademarks"}) {
    EXPECT_EQ(test::VersionString(block, name), L"Zelv软件开发小组 www.zelv.example") << name;
  }
  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  EXPECT_EQ(translation[0], 0x0804);
  EXPECT_EQ(translation[1], 0x04E4);
}

TEST(Stub, IconGroupAndManifestInChinesePrc) {
  HMODULE stub = LoadLibraryExW(StubPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(stub, nullptr);
  const WORD prc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
  ASSERT_EQ(prc, 2052);
  HRSRC group = FindResourceExW(stub, RT_GROUP_ICON, L"AAAAA_APPICON", prc);
  ASSERT_NE(group, nullptr);
  // GRPICONDIR: reserved, type, count, then 14-byte entries (width, height, ..., bit count at 6).
  const auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(stub, group)));
  const WORD count = *reinterpret_cast<const WORD*>(dir + 4);
  ASSERT_EQ(count, 3);
  std::set<int> sizes;
  for (int i = 0; i < count; ++i) {
    const BYTE* entry = dir + 6 + 14 * i;
    sizes.insert(entry[0]);
    EXPECT_EQ(*reinterpret_cast<const WORD*>(entry + 6), 32) << "entry " << i << " is not 32-bit";
  }
  EXPECT_EQ(sizes, (std::set<int>{64, 32, 16}));
  HICON icon = static_cast<HICON>(LoadImageW(stub, L"AAAAA_APPICON", IMAGE_ICON, 48, 48, 0));
  EXPECT_NE(icon, nullptr);
  if (icon) DestroyIcon(icon);

  HRSRC manifest = FindResourceExW(stub, RT_MANIFEST, MAKEINTRESOURCEW(1), prc);
  ASSERT_NE(manifest, nullptr);
  const std::string text(static_cast<const char*>(LockResource(LoadResource(stub, manifest))), SizeofResource(stub, manifest));
  EXPECT_NE(text.find("level=\"requireAdministrator\" uiAccess=\"false\""), std::string::npos);
  EXPECT_NE(text.find(">PerMonitorV2<"), std::string::npos);
  EXPECT_NE(text.find(">true</dpiAware>"), std::string::npos);
  EXPECT_NE(text.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(text.find("version=\"3.1.3.75\" name=\"Zelv软件安装\""), std::string::npos);
  for (const char* os : {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                         "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78"}) {
    EXPECT_NE(text.find(os), std::string::npos) << os;
  }
  FreeLibrary(stub);
}

}  // namespace
