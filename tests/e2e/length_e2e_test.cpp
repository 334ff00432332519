// End-to-end: a target folder too long for the package's deepest path is refused on the folder
// page (and by an unattended install) before anything is written; a shorter one installs.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/e2e/driver.h"

namespace e2e {
namespace {

constexpr std::uint64_t kTime = 133000000000000000ull;
constexpr wchar_t kPathTooLong[] =
    L"目标文件夹路径太长！！！\r\n\r\n软件中的文件路径较长，请选择较短的目标文件夹\r\n\r\n　　　－－－－感谢你使用【Zelv软件】";

// Windows holds a plain path to 259 units. The package's nested folders and the file in them are
// made to end exactly there below `fits` (typed without its final "\"): that folder installs,
// one character more does not.
TEST(Length, TooLongAFolderIsRefusedOnTheFolderPageAndAShorterOneInstalls) {
  const std::wstring fits = Scratch(L"length") + L"fits";
  const std::wstring tooLong = fits + L"x";
  const std::size_t below = 259 - (fits.size() + 1);  // units left after "fits\"
  const std::string outer(100, 'd');
  const std::string inner = outer + "\\" + std::string(below - 101 - 21, 'e');
  const std::string file = inner + "\\" + std::string(20, 'f');
  ASSERT_EQ(file.size(), below);
  const std::vector<Entry> entries = {{outer, "", 0, true}, {inner, "", 0, true}, {file, "深处的文件", kTime}};
  const std::wstring exe = ScratchRoot() + L"length.exe";
  WriteInstaller(exe, BuildPackage(Info("长路径软件", "app.exe"), entries));

  Installer setup(exe);
  ASSERT_TRUE(setup.GoToFolderPage(tooLong));
  setup.Click(kNext);
  const auto box = setup.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->caption, L"Zelv软件安装");
  EXPECT_EQ(box->text, kPathTooLong);
  setup.Screenshot(L"box-path-too-long", box->window);
  setup.Answer(*box, IDOK);
  EXPECT_EQ(setup.Page(), 2);
  EXPECT_FALSE(Exists(tooLong));  // not even the folder itself

  setup.SetText(kFolder, fits);
  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(4, 60000));
  setup.SetChecked(kCheck1, false);
  setup.SetChecked(kCheck2, false);
  setup.Click(kNext);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  EXPECT_EQ(ReadFileBytes(fits + L"\\" + Widen(file)), "深处的文件");

  // Unattended: the same check, exit code 1 (the folder), and the text in the log.
  const std::wstring log = Scratch(L"length-log") + L"install.log";
  Installer silent(exe, L"/S /LOG=\"" + log + L"\" /D=" + tooLong);
  EXPECT_EQ(silent.WaitForExit(60000), std::optional<DWORD>(1));
  EXPECT_FALSE(Exists(tooLong));
  std::wstring logged = kPathTooLong;
  for (std::size_t at; (at = logged.find(L"\r\n")) != std::wstring::npos;) logged.replace(at, 2, L" ");
  EXPECT_EQ(Widen(ReadFileBytes(log)), logged + L"\r\n");
}

}  // namespace
}  // namespace e2e
