// End-to-end: while the installer shows a box, clicks that reach its buttons (posted, as
// automation and accessibility tools send them) move nothing; and a package refused at start
// stays refused, whatever arrives at the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/driver.h"

namespace e2e {
namespace {

constexpr std::uint64_t kTime = 133000000000000000ull;

std::wstring MakeInstaller(const std::wstring& name, const zv::InfoFields& info, const std::vector<Entry>& entries) {
  const std::wstring path = ScratchRoot() + name + L".exe";
  WriteInstaller(path, BuildPackage(info, entries));
  return path;
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t full[MAX_PATH] = {};
  GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  return full;
}

// Waits until the installer's window thread has handled everything posted to it so far,
// whatever loop runs there (the wizard's, a box's, the extraction's wait): the posted messages of
// one thread come in order, so a check-box change posted now shows that they have been dispatched.
void Settle(Installer& setup) {
  if (!setup.Form(0)) return;  // the installer has ended
  const HWND check = setup.Item(kCheck1);
  const bool was = setup.Checked(kCheck1);
  PostMessageW(check, BM_SETCHECK, was ? BST_UNCHECKED : BST_CHECKED, 0);
  WaitUntil([&] { return setup.Checked(kCheck1) != was; }, 10000);
  PostMessageW(check, BM_SETCHECK, was ? BST_CHECKED : BST_UNCHECKED, 0);
  WaitUntil([&] { return setup.Checked(kCheck1) == was; }, 10000);
}

// A click on a button, as a tool posts it.
void ClickAndSettle(Installer& setup, int id) {
  if (!setup.Form(0)) return;
  setup.Click(id);
  Settle(setup);
}

// The command the button would send, posted to the window itself.
void CommandAndSettle(Installer& setup, int id) {
  if (!setup.Form(0)) return;
  setup.PostToForm(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(setup.Item(id)));
  Settle(setup);
}

struct CountBoxes {
  DWORD pid;
  int count = 0;
};

BOOL CALLBACK CountBoxesProc(HWND window, LPARAM param) {
  auto* boxes = reinterpret_cast<CountBoxes*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (pid == boxes->pid && IsWindowVisible(window) && std::wstring(name) == L"#32770") ++boxes->count;
  return TRUE;
}

// The box is still up, and no other box or picker came up beside it.
bool StillTheOnlyBox(Installer& setup, const MessageBoxView& box) {
  CountBoxes boxes{setup.ProcessId()};
  EnumWindows(CountBoxesProc, reinterpret_cast<LPARAM>(&boxes));
  return boxes.count == 1 && IsWindowVisible(box.window);
}

// A package whose name and program lead outside (refused at start with "安装文件数据错误"):
// Next, Back, Browse and Cancel clicked while the box is up, and Next sent as a command, move
// nothing: the page stays the welcome page, no file is extracted, no shortcut made, no program
// started; answering the box closes the installer.
TEST(Refusal, ARefusedPackageStaysRefusedWhateverArrivesAtTheWindow) {
  const std::wstring scratch = Scratch(L"refused");
  const std::wstring target = scratch + L"one\\two";  // the folder the wizard would propose
  // Where the package's program leads from there: a program that records being started.
  const std::wstring outside = scratch + L"outside\\";
  ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
  ASSERT_TRUE(WriteFileBytes(outside + L"runme.exe", ReadFileBytes(RecorderPath())));
  const std::wstring recorded = ScratchRoot() + L"recorder.txt";
  const std::wstring link = FullPath(DesktopFolder() + L"..\\..\\..\\evilname.lnk");
  DeleteFileW(recorded.c_str());
  DeleteFileW(link.c_str());
  const std::wstring exe = MakeInstaller(L"refused", Info("..\\..\\..\\evilname", "..\\..\\outside\\runme.exe"),
                                         {{"a.txt", "a", kTime}});

  Installer setup(exe, L"/D=" + target);
  auto box = setup.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, L"安装文件数据错误");
  for (int step = 0; step < 3; ++step) {
    ClickAndSettle(setup, kNext);
    // An install that got going is given the time to end, so that the checks below see it.
    if (setup.Page() != 1) setup.WaitForPage(4, 30000);
  }
  CommandAndSettle(setup, kNext);
  ClickAndSettle(setup, kBack);
  ClickAndSettle(setup, kBrowse);
  ClickAndSettle(setup, kCancel);
  EXPECT_EQ(setup.Page(), 1);
  EXPECT_TRUE(StillTheOnlyBox(setup, *box));
  EXPECT_FALSE(Exists(target));

  // The answer, and two clicks right behind it: they come once the box has gone, before the
  // window has closed.
  const HWND ok = GetDlgItem(box->window, IDOK);
  PostMessageW(box->window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  setup.Click(kNext);
  setup.Click(kNext);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  Sleep(1000);  // a program started at the end would have written its record by now
  EXPECT_FALSE(Exists(target));
  EXPECT_FALSE(Exists(link));
  EXPECT_FALSE(Exists(recorded));
  DeleteFileW(link.c_str());
}

// A folder error on the folder page: while its box is up, the folder box is given a good folder
// and Next, Back and Browse are clicked. Nothing is installed, the page stays, no picker comes
// up; after the answer the wizard goes on from where it was.
TEST(Refusal, ClicksWhileAFolderErrorIsUpMoveNothing) {
  const std::vector<Entry> entries = {{"app.exe", "x", kTime}};
  const std::wstring exe = MakeInstaller(L"boxed", Info("目录软件", "app.exe"), entries);
  const std::wstring target = Scratch(L"boxed-target") + L"目录软件";
  Installer setup(exe);
  ASSERT_TRUE(setup.GoToFolderPage(L"Soft"));  // relative: "目标文件夹路径错误！！！"
  setup.Click(kNext);
  auto box = setup.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text.substr(0, 12), L"目标文件夹路径错误！！！");

  setup.SetText(kFolder, target);
  ClickAndSettle(setup, kNext);
  if (setup.Page() != 2) setup.WaitForPage(4, 30000);
  ClickAndSettle(setup, kBack);
  ClickAndSettle(setup, kBrowse);
  EXPECT_EQ(setup.Page(), 2);
  EXPECT_TRUE(StillTheOnlyBox(setup, *box));
  EXPECT_FALSE(Exists(target));

  setup.Answer(*box, IDOK);
  EXPECT_EQ(setup.Page(), 2);
  EXPECT_EQ(setup.Text(kFolder), target);
  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(4, 60000));
  EXPECT_EQ(ReadFileBytes(target + L"\\app.exe"), "x");
  setup.Click(kCancel);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
}

// A question the extraction worker asks (on its own thread): Cancel sent to the window while it
// is up does not stack a second question on it; the answer alone decides.
TEST(Refusal, CancelWhileTheWorkerAsksIsIgnored) {
  const std::vector<Entry> entries = {{"app.exe", "new", kTime}};
  const std::wstring exe = MakeInstaller(L"asked", Info("覆盖软件", "app.exe"), entries);
  const std::wstring target = Scratch(L"asked-target");
  ASSERT_TRUE(WriteFileBytes(target + L"app.exe", "old"));
  Installer setup(exe);
  ASSERT_TRUE(setup.GoToFolderPage(target));
  setup.Click(kNext);
  auto question = setup.WaitForMessageBox();
  ASSERT_TRUE(question);
  EXPECT_EQ(question->text, L"安装的文件已经存在，是要覆盖安装吗？");

  CommandAndSettle(setup, kCancel);
  EXPECT_TRUE(StillTheOnlyBox(setup, *question));
  setup.Answer(*question, IDYES);
  ASSERT_TRUE(setup.WaitForPage(4, 60000));
  EXPECT_EQ(ReadFileBytes(target + L"app.exe"), "new");
  setup.Click(kCancel);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace e2e
