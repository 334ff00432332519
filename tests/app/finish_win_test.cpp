// The finish step checks the package's name and program again right where it makes the
// shortcut and starts the program: whatever state led there, nothing is made or started outside
// the desktop folder and the folder the files went into.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "app/installer_win.h"

namespace zv {
namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadAll(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(1 << 16, '\0');
  DWORD got = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH] = {};
  GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return full;
}

std::wstring DesktopFolder() {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, 0, path);
  return std::wstring(path) + L"\\";
}

// A program that leaves a mark beside itself when it is started: its own name + ".txt".
constexpr char kMarkingBatch[] = "@echo off\r\necho ran> \"%~dpn0.txt\"\r\n";

// An unattended install with /SHORTCUT /RUN that reached its finish step in
// <temp>\zvfinish\one\two\, with a program there and another two folders up, in outside\.
TEST(FinishInstall, MakesAndStartsNothingOutsideWhateverTheStateHolds) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring root = std::wstring(temp) + L"zvfinish\\";
  const std::wstring inside = root + L"one\\two\\";
  const std::wstring outside = root + L"outside\\";
  SHCreateDirectoryExW(nullptr, (root + L"one\\two").c_str(), nullptr);
  CreateDirectoryW(outside.c_str(), nullptr);
  for (const std::wstring& program : {inside + L"app", inside + L"named", outside + L"app"}) {
    WriteAll(program + L".bat", kMarkingBatch);
    DeleteFileW((program + L".txt").c_str());
  }
  const std::wstring log = root + L"finish.log";
  DeleteFileW(log.c_str());
  static std::wstring commandLine;
  commandLine = L"setup.exe /S /SHORTCUT /RUN /LOG=\"" + log + L"\"";
  ReadSwitches(commandLine.c_str());
  gTargetFolder = inside;

  const std::wstring evilLink = FullPath(DesktopFolder() + L"..\\..\\..\\evilname.lnk");
  const std::wstring goodLink = DesktopFolder() + L"好软件.lnk";
  DeleteFileW(evilLink.c_str());
  DeleteFileW(goodLink.c_str());
  struct Case {
    const wchar_t* name;
    const wchar_t* program;
  };
  for (const Case& evil : {Case{L"..\\..\\..\\evilname", L"named.bat"}, Case{L"好软件", L"..\\..\\outside\\app.bat"}}) {
    SCOPED_TRACE(std::wstring(evil.name) + L" " + evil.program);
    gExitCode = kExitInstalled;
    gPackageInfo = PackageInfo{};
    gPackageInfo.DisplayName = evil.name;
    gPackageInfo.ProgramFile = evil.program;
    FinishInstall(true, true);
    EXPECT_EQ(gExitCode, kExitPackage);
  }
  EXPECT_EQ(ReadAll(log), "安装文件数据错误\r\n安装文件数据错误\r\n");

  // The same step with a plain name and a program inside makes the link and starts the program,
  // and by the time it has run, the refused ones would have too.
  gExitCode = kExitInstalled;
  gPackageInfo.ProgramFile = L"app.bat";
  FinishInstall(true, true);
  EXPECT_EQ(gExitCode, kExitInstalled);
  EXPECT_TRUE(Exists(goodLink));
  const ULONGLONG end = GetTickCount64() + 30000;
  while (!Exists(inside + L"app.txt") && GetTickCount64() < end) Sleep(50);
  EXPECT_TRUE(Exists(inside + L"app.txt"));
  Sleep(500);
  EXPECT_FALSE(Exists(inside + L"named.txt"));
  EXPECT_FALSE(Exists(outside + L"app.txt"));
  EXPECT_FALSE(Exists(evilLink));
  DeleteFileW(evilLink.c_str());
  DeleteFileW(goodLink.c_str());
}

}  // namespace
}  // namespace zv
