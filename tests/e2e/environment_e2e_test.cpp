// Installer behaviour that depends on the machine: the user's language and drive D: for the
// default folder, and the screen DPI. tests/e2e/run-e2e prepares the Wine prefix for each mode
// and names it in ZV_E2E_MODE; each run selects the one test of its mode.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/e2e/driver.h"

namespace e2e {
namespace {

std::string Mode() {
  const char* mode = std::getenv("ZV_E2E_MODE");
  return mode ? mode : "";
}

void ExpectDefaultParent(const std::wstring& parent) {
  const std::wstring exe = ScratchRoot() + L"language.exe";
  WriteInstaller(exe, BuildPackage(Info("语言软件", "app.exe"), {{"app.exe", "x", 133000000000000000ull}}));
  RemoveTree(parent);
  Installer setup(exe);
  ASSERT_TRUE(setup.WaitForPage(1));
  EXPECT_TRUE(IsFolder(parent)) << "the default parent folder is made at start-up";
  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(2));
  EXPECT_EQ(setup.Text(kFolder), parent + L"语言软件");
  setup.Click(kCancel);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
}

TEST(Environment, ChineseUserWithDriveD) {
  ASSERT_EQ(Mode(), "zh-d");
  ASSERT_EQ(GetUserDefaultLangID(), 2052);
  ExpectDefaultParent(L"D:\\Zelv软件\\");
}

TEST(Environment, OtherLanguageWithDriveD) {
  ASSERT_EQ(Mode(), "c-d");
  ASSERT_NE(GetUserDefaultLangID(), 2052);
  ExpectDefaultParent(L"D:\\Zelv\\");
}

TEST(Environment, NoDriveDFallsBackToTheHomeDrive) {
  ASSERT_EQ(Mode(), "nod");
  ASSERT_EQ(GetDriveTypeW(L"D:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  wchar_t home[16] = {};
  GetEnvironmentVariableW(L"HOMEDRIVE", home, 16);
  ExpectDefaultParent(std::wstring(home) + L"\\Zelv\\");
}

TEST(Environment, HighDpiScalesTheWindowAndThePage) {
  ASSERT_EQ(Mode(), "dpi144");
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(dpi, 144) << "the prefix should report 144 DPI in this mode";
  const std::wstring exe = ScratchRoot() + L"dpi.exe";
  WriteInstaller(exe, BuildPackage(Info("高分辨率软件", "app.exe"), {{"app.exe", "x", 133000000000000000ull}}));
  Installer setup(exe);
  ASSERT_TRUE(setup.WaitForPage(1));
  RECT rect{};
  GetWindowRect(setup.Form(), &rect);
  EXPECT_EQ(rect.right - rect.left, 676);  // 451 x 1.5 = 676.5, to even
  EXPECT_EQ(rect.bottom - rect.top, 471);  // 314 x 1.5
  RECT next{};
  GetWindowRect(setup.Item(kNext), &next);
  EXPECT_EQ(next.right - next.left, 94);  // 63 x 1.5 = 94.5, to even
  EXPECT_EQ(next.bottom - next.top, 36);
  setup.Screenshot(L"dpi144-page1-welcome");
  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(2));
  setup.Screenshot(L"dpi144-page2-folder");
  setup.Click(kCancel);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace e2e
