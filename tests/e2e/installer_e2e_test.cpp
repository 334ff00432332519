// End-to-end runs of the real installer: installers made from packages written by our writer
// (and one built by the packer with a publisher's icon and version block), started as separate
// processes and driven through their windows and message boxes.
#include <windows.h>
#include <imagehlp.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

#include "tests/e2e/driver.h"
#include "tests/package/helpers.h"
#include "tests/version_block.h"
#include "tools/zvpack/build.h"
#include "win/wide.h"

namespace e2e {
namespace {

constexpr std::uint64_t kTime1 = 133000000000000000ull;  // 2022-06-16
constexpr std::uint64_t kTime2 = 132500000000000123ull;  // 2020-11-19, odd ticks

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// A package with folders, Chinese names, an empty file and a multi-MB file.
std::vector<Entry> RichTree() {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + " 绿色软件\r\n";
  return {
      {"数据", "", 0, true},
      {"数据\\子目录", "", 0, true},
      {"app.exe", ReadFileBytes(RecorderPath()), kTime1},
      {"说明.txt", "这是说明文件。\r\n", kTime2},
      {"empty.dat", "", kTime1},
      {"数据\\big.bin", RandomBytes(3 * 1024 * 1024 + 17, 7), kTime2},
      {"数据\\子目录\\日志.log", text, kTime1 + 1},
  };
}

std::wstring InstallerPath(const std::wstring& name) { return ScratchRoot() + name + L".exe"; }

std::wstring MakeInstaller(const std::wstring& name, const zv::InfoFields& info, const std::vector<Entry>& entries) {
  const std::wstring path = InstallerPath(name);
  WriteInstaller(path, BuildPackage(info, entries));
  return path;
}

// Welcome page → folder page with `target` typed in.
void ExpectTreeInstalled(const std::wstring& target, const std::vector<Entry>& entries) {
  for (const Entry& e : entries) {
    const std::wstring path = target + Widen(e.path);
    if (e.folder) {
      EXPECT_TRUE(IsFolder(path)) << e.path;
      continue;
    }
    EXPECT_EQ(ReadFileBytes(path), e.content) << e.path;
    EXPECT_EQ(LastWriteTime(path), e.time) << e.path;
  }
}

// Runs an installer through to its finish page with both check boxes cleared, then closes it.
void InstallQuietly(Installer& setup, const std::wstring& target) {
  ASSERT_TRUE(setup.GoToFolderPage(target));
  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(4, 120000));
  setup.SetChecked(kCheck1, false);
  setup.SetChecked(kCheck2, false);
  setup.Click(kNext);
  ASSERT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
}

TEST(Wizard, HappyPathInstallsEveryFileWithItsTime) {
  const auto entries = RichTree();
  const std::wstring exe = MakeInstaller(L"happy", Info("绿色测试软件", "app.exe"), entries);
  const std::wstring target = Scratch(L"happy-target") + L"绿色测试软件";
  Installer setup(exe);
  ASSERT_TRUE(setup.started());
  ASSERT_TRUE(setup.WaitForPage(1));
  EXPECT_EQ(setup.Title(), L"安装Zelv软件 V3.1.3 _ 纯绿色，安装只是解压");
  EXPECT_FALSE(setup.Visible(kBack));
  setup.Screenshot(L"page1-welcome");

  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(2));
  EXPECT_TRUE(setup.Visible(kBack));
  EXPECT_TRUE(setup.Visible(kBrowse));
  setup.SetText(kFolder, L"  " + target + L"  ");
  setup.Screenshot(L"page2-folder");

  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(3));
  // Extraction of this small tree can end before any check could see page 3 still up: the
  // buttons of the running extraction are checked where the worker waits on a question.
  setup.Screenshot(L"page3-extracting");

  ASSERT_TRUE(setup.WaitForPage(4, 120000));
  EXPECT_EQ(setup.Text(kNext), L"完成");
  EXPECT_TRUE(setup.Enabled(kNext));
  EXPECT_TRUE(setup.Enabled(kCancel));
  EXPECT_FALSE(setup.Visible(kBack));
  EXPECT_TRUE(setup.Checked(kCheck1));
  EXPECT_TRUE(setup.Checked(kCheck2));
  EXPECT_EQ(setup.Text(kFolder), target + L"\\");
  setup.Screenshot(L"page4-finish");

  setup.SetChecked(kCheck1, false);
  setup.SetChecked(kCheck2, false);
  setup.Click(kNext);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  ExpectTreeInstalled(target + L"\\", entries);
  EXPECT_FALSE(Exists(target + L"\\数据\\~zvsetup.partial"));
}

// ---- The publisher's installer: icon and version block written by zvpack build --------------

// The .ico's bitmap image of size x size pixels as 0x00RRGGBB, rows top first (empty if none).
std::vector<std::uint32_t> IcoBitmapPixels(const std::string& ico, int size) {
  using zv::pack::Get16;
  using zv::pack::Get32;
  for (size_t i = 0; i < Get16(ico, 4); ++i) {
    const std::string data = ico.substr(Get32(ico, 6 + 16 * i + 12), Get32(ico, 6 + 16 * i + 8));
    if (static_cast<unsigned char>(ico[6 + 16 * i]) != size || Get32(data, 0) != 40) continue;
    std::vector<std::uint32_t> pixels;
    for (int y = size - 1; y >= 0; --y) {  // stored bottom row first
      for (int x = 0; x < size; ++x) pixels.push_back(Get32(data, 40 + 4 * (static_cast<size_t>(y) * size + x)) & 0xFFFFFF);
    }
    return pixels;
  }
  return {};
}

struct DrawnIcon {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

// What icon_probe.dll wrote: the big and the small icon as drawn.
std::vector<DrawnIcon> ReadDrawnIcons(const std::wstring& path) {
  const std::string bytes = ReadFileBytes(path);
  std::vector<DrawnIcon> icons;
  for (size_t at = 0; at + 8 <= bytes.size();) {
    DrawnIcon icon;
    icon.width = static_cast<int>(zv::pack::Get32(bytes, at));
    icon.height = static_cast<int>(zv::pack::Get32(bytes, at + 4));
    at += 8;
    for (int i = 0; i < icon.width * icon.height; ++i, at += 4) icon.pixels.push_back(zv::pack::Get32(bytes, at));
    icons.push_back(std::move(icon));
  }
  return icons;
}

std::wstring IconProbePath() {
  std::wstring path = Widen(ZV_ICON_PROBE_PATH);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

// Runs icon_probe.dll's ProbeWindowIcons in the installer's own process, where its window's
// icon handles can be drawn: a remote thread loads the DLL, another runs the entry. Empty when
// it ran, else what failed.
std::string ProbeWindowIcons(DWORD pid, HWND window) {
  const std::wstring dll = IconProbePath();
  HMODULE local = LoadLibraryW(dll.c_str());
  auto* entry = local ? reinterpret_cast<char*>(GetProcAddress(local, "ProbeWindowIcons")) : nullptr;
  HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  if (!entry || !process) return "the probe DLL or the installer's process cannot be opened";
  const auto run = [&](void* start, void* parameter) -> DWORD {
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start),
                                       parameter, 0, nullptr);
    DWORD code = 0;
    if (!thread) return 0;
    if (WaitForSingleObject(thread, 30000) != WAIT_OBJECT_0 || !GetExitCodeThread(thread, &code)) code = 0;
    CloseHandle(thread);
    return code;
  };
  const size_t bytes = (dll.size() + 1) * sizeof(wchar_t);
  void* name = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  std::string failure = "the DLL's name cannot be written into the installer's process";
  if (name && WriteProcessMemory(process, name, dll.c_str(), bytes, nullptr)) {
    // kernel32 lies at the same address in every process; the DLL's base is the thread's code.
    void* loadLibrary = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW"));
    const DWORD base = run(loadLibrary, name);
    failure = !base ? "the installer's process did not load the DLL"
              : run(reinterpret_cast<char*>(static_cast<uintptr_t>(base)) + (entry - reinterpret_cast<char*>(local)),
                    window) != 1
                  ? "the probe failed in the installer's process"
                  : "";
  }
  if (name) VirtualFreeEx(process, name, 0, MEM_RELEASE);
  CloseHandle(process);
  return failure;
}

TEST(Branding, TheInstallerCarriesThePublishersIconAndVersion) {
  // Built by the packer itself, with the sample program's icon: PNG images of 256 and 16 pixels,
  // bitmaps of 48 and 32 that the window's icons must show pixel for pixel.
  const std::wstring source = Scratch(L"brand-src");
  ASSERT_TRUE(WriteFileBytes(source + L"app.exe", ReadFileBytes(RecorderPath())));
  ASSERT_TRUE(WriteFileBytes(source + L"说明.txt", "你好\r\n"));
  const std::wstring stub = ScratchRoot() + L"zvsetup.exe";
  ASSERT_TRUE(WriteFileBytes(stub, StubBytes()));
  const std::wstring exe = InstallerPath(L"branded");
  zv::pack::BuildOptions options;
  options.source = zv::WideStringToUtf8(source.substr(0, source.size() - 1));
  options.output = zv::WideStringToUtf8(exe);
  options.stub = zv::WideStringToUtf8(stub);
  options.name = "你好示例";
  options.program = "app.exe";
  options.version = "1.0.0";
  options.date = "2024-05-01";
  options.threads = 1;
  options.branding.icon = ZV_HELLO_ICON;
  options.branding.productName = "你好示例";
  options.branding.company = "你好软件有限公司";
  options.branding.copyright = "© 2024 你好软件有限公司";
  options.branding.fileDescription = "你好示例 安装程序";
  zv::pack::BuildInstaller(options);
  const std::string ico = ReadFileBytes(Widen(ZV_HELLO_ICON));
  const std::vector<std::uint32_t> image48 = IcoBitmapPixels(ico, 48);
  const std::vector<std::uint32_t> image32 = IcoBitmapPixels(ico, 32);
  ASSERT_EQ(image48.size(), 48u * 48u);
  ASSERT_EQ(image32.size(), 32u * 32u);

  // The version block, as the file's properties read it.
  const std::vector<BYTE> block = test::FileVersionBlock(exe);
  ASSERT_FALSE(block.empty());
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(0, 1)));
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(MAKELONG(0, 1)));
  EXPECT_EQ(test::VersionString(block, L"ProductName"), L"你好示例");
  EXPECT_EQ(test::VersionString(block, L"CompanyName"), L"你好软件有限公司");
  EXPECT_EQ(test::VersionString(block, L"LegalCopyright"), L"© 2024 你好软件有限公司");
  EXPECT_EQ(test::VersionString(block, L"FileDescription"), L"你好示例 安装程序");
  EXPECT_EQ(test::VersionString(block, L"FileVersion"), L"1.0.0");
  EXPECT_EQ(test::VersionString(block, L"ProductVersion"), L"1.0.0");
  EXPECT_EQ(test::VersionString(block, L"OriginalFilename"), L"Zelv软件安装.exe");  // not set: the stub's

  // The checksum the system computes over the whole file is the one the header states.
  DWORD stated = 0, computed = 0;
  ASSERT_EQ(MapFileAndCheckSumW(exe.c_str(), &stated, &computed), static_cast<DWORD>(CHECKSUM_SUCCESS));
  EXPECT_NE(stated, 0u);
  EXPECT_EQ(stated, computed);

  // Explorer's icon: ExtractIconExW takes the group's 32 x 32 image.
  HICON large = nullptr, little = nullptr;
  ExtractIconExW(exe.c_str(), 0, &large, &little, 1);
  ASSERT_NE(large, nullptr);
  HMODULE probe = LoadLibraryW(IconProbePath().c_str());
  ASSERT_NE(probe, nullptr);
  const auto save = reinterpret_cast<BOOL (*)(HICON, HICON, const wchar_t*)>(
      reinterpret_cast<void*>(GetProcAddress(probe, "SaveIconPixels")));
  ASSERT_NE(save, nullptr);
  const std::wstring drawn = ScratchRoot() + L"icon-probe.bin";
  ASSERT_TRUE(save(large, little, drawn.c_str()));
  DestroyIcon(large);
  if (little) DestroyIcon(little);
  std::vector<DrawnIcon> icons = ReadDrawnIcons(drawn);
  ASSERT_EQ(icons.size(), 2u);
  EXPECT_EQ(icons[0].width, 32);
  EXPECT_TRUE(icons[0].pixels == image32) << "ExtractIconExW's icon is not the publisher's 32 x 32 image";

  // The running installer: its window's big (48 x 48) and small (32 x 32) icons are the
  // publisher's, and it installs as before.
  const std::wstring target = Scratch(L"brand-target") + L"你好示例";
  Installer setup(exe);
  ASSERT_TRUE(setup.started());
  ASSERT_TRUE(setup.WaitForPage(1));
  DeleteFileW(drawn.c_str());
  ASSERT_EQ(ProbeWindowIcons(setup.ProcessId(), setup.Form()), "");
  icons = ReadDrawnIcons(drawn);
  ASSERT_EQ(icons.size(), 2u);
  EXPECT_EQ(icons[0].width, 48);
  EXPECT_TRUE(icons[0].pixels == image48) << "the window's big icon is not the publisher's 48 x 48 image";
  EXPECT_EQ(icons[1].width, 32);
  EXPECT_TRUE(icons[1].pixels == image32) << "the window's small icon is not the publisher's 32 x 32 image";
  setup.Screenshot(L"page1-welcome-branded");
  InstallQuietly(setup, target);
  EXPECT_EQ(ReadFileBytes(target + L"\\说明.txt"), "你好\r\n");
  EXPECT_EQ(ReadFileBytes(target + L"\\app.exe"), ReadFileBytes(RecorderPath()));
}

TEST(Wizard, BackThenNextResetsTheFolderBox) {
  const std::wstring exe = MakeInstaller(L"back", Info("回退软件", "app.exe"), {{"app.exe", "x", kTime1}});
  Installer setup(exe);
  ASSERT_TRUE(setup.GoToFolderPage(L"C:\\somewhere\\else"));
  const std::wstring proposed_suffix = L"回退软件";
  setup.Click(kBack);
  ASSERT_TRUE(setup.WaitForPage(1));
  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(2));
  const std::wstring box = setup.Text(kFolder);
  ASSERT_GE(box.size(), proposed_suffix.size());
  EXPECT_EQ(box.substr(box.size() - proposed_suffix.size()), proposed_suffix);
  EXPECT_NE(box, L"C:\\somewhere\\else");
  setup.Click(kCancel);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));

  // A folder on the command line is what the folder page proposes, and proposes again.
  Installer given(exe, L"/D=C:\\Portable Apps\\回退");
  ASSERT_TRUE(given.GoToFolderPage(L"C:\\somewhere\\else"));
  given.Click(kBack);
  ASSERT_TRUE(given.WaitForPage(1));
  given.Click(kNext);
  ASSERT_TRUE(given.WaitForPage(2));
  EXPECT_EQ(given.Text(kFolder), L"C:\\Portable Apps\\回退");
  given.Click(kCancel);
  EXPECT_EQ(given.WaitForExit(), std::optional<DWORD>(0));
}

TEST(Wizard, FolderErrorsKeepTheFolderPage) {
  const std::wstring exe = MakeInstaller(L"folders", Info("目录软件", "app.exe"), {{"app.exe", "x", kTime1}});
  Installer setup(exe);
  ASSERT_TRUE(setup.GoToFolderPage(L"D:"));

  setup.Click(kNext);
  auto bare = setup.WaitForMessageBox();
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->caption, L"Zelv软件安装");
  EXPECT_EQ(bare->text,
            L"必须安装在文件夹中！！！\r\n\r\n已经你增加了文件夹，请查看\r\n\r\n   　　－－－－感谢你使用【Zelv软件】");
  setup.Screenshot(L"box-bare-drive", bare->window);
  setup.Answer(*bare, IDOK);
  EXPECT_EQ(setup.Page(), 2);
  const std::wstring box = setup.Text(kFolder);
  EXPECT_EQ(box.substr(box.size() - 4), L"目录软件");

  setup.SetText(kFolder, L"Soft");
  setup.Click(kNext);
  auto relative = setup.WaitForMessageBox();
  ASSERT_TRUE(relative);
  EXPECT_EQ(relative->text,
            L"目标文件夹路径错误！！！\r\n\r\n请检查输入完整的目标文件夹\r\n\r\n　　　－－－－感谢你使用【Zelv软件】");
  setup.Answer(*relative, IDOK);
  EXPECT_EQ(setup.Text(kFolder), L"Soft");

  setup.SetText(kFolder, L"\\\\server\\share\\soft");
  setup.Click(kNext);
  auto network = setup.WaitForMessageBox();
  ASSERT_TRUE(network);
  EXPECT_EQ(network->text, relative->text);
  setup.Answer(*network, IDOK);

  setup.SetText(kFolder, L"Q:\\没有这个盘\\soft");
  setup.Click(kNext);
  auto missing = setup.WaitForMessageBox();
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->caption, L"软件安装");
  EXPECT_EQ(missing->text,
            L"创建文件夹时出错，无法创建文件夹\r\n\r\n可能是以下原因造成的：\r\n\r\n1.磁盘已满，请换个盘安装！\r\n"
            L"2.此盘是光驱，请换个盘安装！\r\n3.没有此盘，请换个盘安装！\r\n4.文件夹名称有非法字符，请更名！\r\n\r\n"
            L"        　　　－－－－请自己检查后更正。");
  setup.Screenshot(L"box-cannot-create", missing->window);
  setup.Answer(*missing, IDOK);
  EXPECT_EQ(setup.Text(kFolder), L"Q:\\没有这个盘\\soft\\");
  EXPECT_EQ(setup.Page(), 2);
  setup.Click(kCancel);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
}

TEST(Wizard, OverwriteQuestionNoLeavesFilesAlone) {
  const std::vector<Entry> entries = {{"app.exe", "new content", kTime1}};
  const std::wstring exe = MakeInstaller(L"overwrite", Info("覆盖软件", "app.exe"), entries);
  const std::wstring target = Scratch(L"overwrite-target");
  ASSERT_TRUE(WriteFileBytes(target + L"app.exe", "changed by the user"));

  {
    Installer setup(exe);
    ASSERT_TRUE(setup.GoToFolderPage(target));
    setup.Click(kNext);
    auto question = setup.WaitForMessageBox();
    ASSERT_TRUE(question);
    EXPECT_EQ(question->text, L"安装的文件已经存在，是要覆盖安装吗？");
    EXPECT_EQ(question->caption, L"Zelv软件安装");
    EXPECT_TRUE(question->HasButton(IDYES));
    EXPECT_EQ(question->defaultButton, IDNO);
    setup.Screenshot(L"box-overwrite", question->window);
    setup.Answer(*question, IDNO);
    EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
    EXPECT_EQ(ReadFileBytes(target + L"app.exe"), "changed by the user");
  }
  {
    Installer setup(exe);
    ASSERT_TRUE(setup.GoToFolderPage(target));
    setup.Click(kNext);
    auto question = setup.WaitForMessageBox();
    ASSERT_TRUE(question);
    // The worker is running and waits on the question: the extraction page's buttons are off.
    EXPECT_FALSE(setup.Enabled(kNext));
    EXPECT_FALSE(setup.Enabled(kBack));
    setup.Answer(*question, IDYES);
    ASSERT_TRUE(setup.WaitForPage(4, 60000));
    EXPECT_EQ(ReadFileBytes(target + L"app.exe"), "new content");
    setup.Click(kCancel);
    EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  }
}

TEST(Wizard, LockedFileOffersAbortRetryIgnore) {
  const std::vector<Entry> entries = {{"a.txt", "first", kTime1}, {"locked.txt", "second", kTime1},
                                      {"c.txt", "third", kTime2}};
  const std::wstring exe = MakeInstaller(L"locked", Info("锁定软件", "a.txt"), entries);
  for (int answer : {IDRETRY, IDIGNORE, IDABORT}) {
    SCOPED_TRACE(answer);
    const std::wstring target = Scratch(L"locked-target");
    const std::wstring lockedPath = target + L"locked.txt";
    HANDLE lock = CreateFileW(lockedPath.c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    Installer setup(exe);
    ASSERT_TRUE(setup.GoToFolderPage(target));
    setup.Click(kNext);
    auto question = setup.WaitForMessageBox();  // the locked file is in the folder already
    ASSERT_TRUE(question);
    setup.Answer(*question, IDYES);
    auto failure = setup.WaitForMessageBox();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->text, L"写文件文件失败！\r\n" + lockedPath + L"\r\n请检查软件是否已经关闭！");
    EXPECT_TRUE(failure->HasButton(IDABORT) && failure->HasButton(IDRETRY) && failure->HasButton(IDIGNORE));
    if (answer == IDRETRY) {
      setup.Screenshot(L"box-write-failed", failure->window);
      CloseHandle(lock);
      lock = INVALID_HANDLE_VALUE;
    }
    setup.Answer(*failure, answer);
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
    if (answer == IDABORT) {
      EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
      EXPECT_FALSE(Exists(target + L"c.txt"));
      continue;
    }
    ASSERT_TRUE(setup.WaitForPage(4, 60000));
    EXPECT_EQ(ReadFileBytes(target + L"c.txt"), "third");
    EXPECT_EQ(ReadFileBytes(lockedPath), answer == IDRETRY ? "second" : "");
    setup.Click(kCancel);
    EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  }
}

TEST(Package, MissingMarkerOffersRetryThenCancel) {
  const std::wstring exe = InstallerPath(L"nomarker");
  ASSERT_TRUE(WriteFileBytes(exe, StubBytes()));
  {
    Installer setup(exe);
    auto box = setup.WaitForMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"Zelv软件安装");
    EXPECT_EQ(box->text, exe +
                             L"\r\n\r\n文件没有带安装数据！！！ \r\n\r\n请到Zelv网站重新下载试试\r\n\r\n"
                             L"   　－－－－感谢你使用【Zelv软件】");
    EXPECT_TRUE(box->HasButton(IDRETRY));
    setup.Screenshot(L"box-no-package", box->window);
    // Repair the file on disk as a new download would: a running program cannot be written,
    // but it can be renamed and a complete file put in its place. Retry then reads it anew.
    const std::wstring old = InstallerPath(L"nomarker-old");
    DeleteFileW(old.c_str());
    ASSERT_TRUE(MoveFileW(exe.c_str(), old.c_str()));
    WriteInstaller(exe, BuildPackage(Info("修复软件", "app.exe"), {{"app.exe", "x", kTime1}}));
    setup.Answer(*box, IDRETRY);
    ASSERT_TRUE(setup.WaitForPage(1));
    setup.Click(kCancel);
    EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  }
  ASSERT_TRUE(WriteFileBytes(exe, StubBytes()));
  {
    Installer setup(exe);
    auto box = setup.WaitForMessageBox();
    ASSERT_TRUE(box);
    setup.Answer(*box, IDCANCEL);
    EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  }
}

TEST(Package, WrongMagicCloses) {
  zv::Bytes package = BuildPackage(Info("魔数软件", "app.exe"), {{"app.exe", "x", kTime1}});
  const std::wstring exe = InstallerPath(L"badmagic");
  zv::Bytes bytes = StubBytes() + zv::AssembleMarker() + "zvzap" + package.substr(zv::kMarkerSize + 5);
  ASSERT_TRUE(WriteFileBytes(exe, bytes));
  Installer setup(exe);
  auto box = setup.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, L"不是Zelv压缩文件");
  EXPECT_EQ(box->caption, L"Zelv软件安装");
  setup.Answer(*box, IDOK);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
}

// Installs into target; the extraction must refuse the package as a whole with this message and
// end the installer.
void InstallExpectingRefusal(const std::wstring& exe, const std::wstring& target,
                             const std::wstring& message = L"安装文件数据错误") {
  Installer setup(exe);
  ASSERT_TRUE(setup.GoToFolderPage(target));
  setup.Click(kNext);
  auto box = setup.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, message);
  setup.Answer(*box, IDOK);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
}

// Starts an installer whose information it refuses: the box before any page, then the end.
void ExpectRefusedAtStart(const std::wstring& exe) {
  Installer setup(exe);
  auto box = setup.WaitForMessageBox();
  ASSERT_TRUE(box);
  EXPECT_EQ(box->text, L"安装文件数据错误");
  setup.Answer(*box, IDOK);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
}

// The installer runs elevated: a name or program that leads outside its folders is refused at
// start, before a page is shown or anything written.
TEST(Package, InformationLeadingOutsideIsRefusedAtStart) {
  for (const auto& [name, program] : {std::pair<std::string, std::string>{"..\\..\\..\\evilname", "a.txt"},
                                      {"好软件", "..\\..\\outside\\runme.exe"}}) {
    SCOPED_TRACE(name + " " + program);
    ExpectRefusedAtStart(MakeInstaller(L"evil-info", Info(name, program), {{"a.txt", "a", kTime1}}));
  }
}

TEST(Package, UnsafePathIsRefusedBeforeAnythingIsWritten) {
  const std::vector<Entry> entries = {{"good.txt", "fine", kTime1}, {"..\\escaped.txt", "evil", kTime1}};
  std::vector<zv::Bytes> blocks;
  for (const Entry& e : entries) blocks.push_back(zv::EncodeBlock(e.content));
  const std::wstring exe = InstallerPath(L"unsafe");
  WriteInstaller(exe, BuildPackageFromBlocks(zv::EncodeBlock(zv::BuildInfoBlock(Info("越界软件", "good.txt"))),
                                             zv::EncodeBlock(RawFileList(entries)), blocks));
  const std::wstring parent = Scratch(L"unsafe-parent");
  const std::wstring target = parent + L"target";
  InstallExpectingRefusal(exe, target);
  EXPECT_FALSE(Exists(parent + L"escaped.txt"));
  EXPECT_FALSE(Exists(target + L"\\good.txt"));
}

// Names that stay inside the folder but that Windows changes: it drops the trailing dot of
// "evil." and opens a serial port for "COM¹.txt" (it counts superscript digits as port
// numbers). BuildPackage writes them as given, the packer would refuse them.
TEST(Package, NamesWindowsChangesAreRefusedBeforeAnythingIsWritten) {
  struct Case {
    std::string packed;
    std::wstring written;  // the name Windows would give the file
  };
  for (const Case& bad : {Case{"evil.", L"evil"}, Case{"COM¹.txt", L"COM¹.txt"}}) {
    SCOPED_TRACE(bad.packed);
    const std::wstring exe = MakeInstaller(L"badname-" + bad.written, Info("改名软件", "good.txt"),
                                           {{"good.txt", "fine", kTime1}, {bad.packed, "evil", kTime1}});
    const std::wstring target = Scratch(L"badname-target");
    InstallExpectingRefusal(exe, target);
    EXPECT_FALSE(Exists(target + bad.written));
    EXPECT_FALSE(Exists(target + L"good.txt"));
  }
}

// A list the target folder cannot hold as listed: the last entry would overwrite an earlier one
// (one file to Windows, whatever the case, Greek letters too), or needs a folder that no entry
// makes.
TEST(Package, ClashingEntriesAreRefusedBeforeAnythingIsWritten) {
  for (const char* clash : {"GOOD.TXT", "sub\\x.txt", "Σ.txt"}) {
    SCOPED_TRACE(clash);
    const std::wstring exe = MakeInstaller(
        L"clash", Info("重名软件", "good.txt"),
        {{"good.txt", "fine", kTime1}, {"σ.txt", "sigma", kTime1}, {clash, "again", kTime1}});
    const std::wstring target = Scratch(L"clash-target");
    InstallExpectingRefusal(exe, target);
    EXPECT_FALSE(Exists(target + L"good.txt"));
  }
}

TEST(Package, CorruptBlockIsNotWrittenAsAnEmptyFile) {
  const std::vector<Entry> entries = {{"broken.bin", RandomBytes(5000, 3), kTime1}, {"ok.txt", "ok", kTime2}};
  std::vector<zv::Bytes> blocks = {zv::EncodeBlock(entries[0].content), zv::EncodeBlock(entries[1].content)};
  blocks[0].resize(blocks[0].size() / 3);  // cut: states 5000 bytes, cannot deliver them
  const std::wstring exe = InstallerPath(L"corrupt");
  WriteInstaller(exe, BuildPackageFromBlocks(zv::EncodeBlock(zv::BuildInfoBlock(Info("损坏软件", "ok.txt"))),
                                             zv::EncodeBlock(RawFileList(entries)), blocks));
  for (int answer : {IDIGNORE, IDABORT}) {
    SCOPED_TRACE(answer);
    const std::wstring target = Scratch(L"corrupt-target");
    WriteFileBytes(target + L"broken.bin", "earlier");
    Installer setup(exe);
    ASSERT_TRUE(setup.GoToFolderPage(target));
    setup.Click(kNext);
    auto question = setup.WaitForMessageBox();  // broken.bin is there already
    ASSERT_TRUE(question);
    setup.Answer(*question, IDYES);
    auto box = setup.WaitForMessageBox();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"解压文件失败，安装包数据已损坏！\r\n" + target + L"broken.bin\r\n请重新下载安装包。");
    EXPECT_TRUE(box->HasButton(IDABORT) && box->HasButton(IDRETRY) && box->HasButton(IDIGNORE));
    if (answer == IDIGNORE) setup.Screenshot(L"box-corrupt-block", box->window);
    setup.Answer(*box, answer);
    if (answer == IDIGNORE) {
      ASSERT_TRUE(setup.WaitForPage(4, 60000));
      setup.Click(kCancel);
      EXPECT_EQ(ReadFileBytes(target + L"ok.txt"), "ok");
    }
    EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
    // Neither emptied nor torn: the earlier file stays as it was, and nothing is left beside it.
    EXPECT_EQ(ReadFileBytes(target + L"broken.bin"), "earlier");
    EXPECT_FALSE(Exists(target + L"~zvsetup.partial"));
  }
}

// A package damaged after it was built: its integrity line no longer holds. The check runs
// while the welcome page shows; the worker waits for it and writes nothing.
TEST(Package, DamageTheIntegrityLineFindsStopsTheInstall) {
  const std::vector<Entry> entries = {{"a.bin", RandomBytes(20000, 5), kTime1}, {"b.txt", "b", kTime2}};
  std::vector<zv::Bytes> blocks = {zv::EncodeBlock(entries[0].content), zv::EncodeBlock(entries[1].content)};
  const zv::Bytes list = zv::EncodeBlock(RawFileList(entries));
  zv::InfoFields info = Info("校验软件", "b.txt");
  info.Crc32 = zv::Crc32(zv::IntegrityCrcStart(info),
                         zv::test::Record(list) + zv::test::Record(blocks[0]) + zv::test::Record(blocks[1]));
  for (const bool damaged : {false, true}) {
    SCOPED_TRACE(damaged);
    std::vector<zv::Bytes> stored = blocks;
    if (damaged) stored[0][stored[0].size() / 2] ^= 0x55;
    const std::wstring exe = InstallerPath(L"integrity");
    WriteInstaller(exe, BuildPackageFromBlocks(zv::EncodeBlock(zv::BuildInfoBlock(info)), list, stored));
    const std::wstring target = Scratch(L"integrity-target") + L"校验软件";
    if (!damaged) {
      Installer setup(exe);
      InstallQuietly(setup, target);
      ExpectTreeInstalled(target + L"\\", entries);
      continue;
    }
    InstallExpectingRefusal(exe, target, L"安装包数据已损坏，请重新下载安装包。");
    EXPECT_FALSE(Exists(target + L"\\a.bin"));
    EXPECT_FALSE(Exists(target + L"\\b.txt"));
  }
}

// One flipped bit in the information block of a package with the integrity line: here in its
// size field, stating one byte less, which cuts the line's last digit and used to install. The
// stream no longer ends where its data does: refused at start, before a page is shown.
TEST(Package, FlippedBitInTheInformationIsRefusedAtStart) {
  const std::vector<Entry> entries = {{"a.txt", "a", kTime1}};
  const zv::Bytes list = zv::EncodeBlock(RawFileList(entries));
  const zv::Bytes content = zv::EncodeBlock(entries[0].content);
  zv::InfoFields info = Info("翻转软件", "a.txt");
  info.Crc32 = 0;
  while (zv::BuildInfoBlock(info).size() % 2 == 0) info.Description += "x";  // odd: bit 2 is S's lowest
  info.Crc32 = zv::Crc32(zv::IntegrityCrcStart(info), zv::test::Record(list) + zv::test::Record(content));
  zv::Bytes block = zv::EncodeBlock(zv::BuildInfoBlock(info));
  block[0] ^= 4;
  const std::wstring exe = InstallerPath(L"flipped-info");
  WriteInstaller(exe, BuildPackageFromBlocks(block, list, {content}));
  ExpectRefusedAtStart(exe);
}

// While the worker waits on a question, the extraction page shows where it stands: the bar at the
// file's place and the label with the file's name. Both are painted on a timer, not on each
// change, so this also shows that the last change before the wait reached the screen.
TEST(Wizard, ExtractionPageShowsTheFileTheWorkerAsksAbout) {
  const std::string name = "第四个文件的名字很长很长很长很长很长很长.bin";  // wider than other texts
  const std::vector<Entry> entries = {{"a.txt", "a", kTime1},
                                      {"b.txt", "b", kTime1},
                                      {"c.txt", "c", kTime1},
                                      {name, RandomBytes(5000, 4), kTime1},
                                      {"e.txt", "e", kTime1}};
  std::vector<zv::Bytes> blocks;
  for (const Entry& e : entries) blocks.push_back(zv::EncodeBlock(e.content));
  blocks[3].resize(blocks[3].size() / 3);  // the fourth of five files does not decode
  const std::wstring exe = InstallerPath(L"asking");
  const zv::Bytes info = zv::EncodeBlock(zv::BuildInfoBlock(Info("询问软件", "a.txt")));
  WriteInstaller(exe, BuildPackageFromBlocks(info, zv::EncodeBlock(RawFileList(entries)), blocks));
  Installer setup(exe);
  ASSERT_TRUE(setup.GoToFolderPage(Scratch(L"asking-target")));
  // Message boxes stand in the middle of the screen: the form goes to its corner, out of their way.
  SetWindowPos(setup.Form(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  setup.Click(kNext);
  auto box = setup.WaitForMessageBox();
  ASSERT_TRUE(box);

  // The bar runs from 0 to 4 and stands at 3: filled to three quarters.
  RECT bar{};
  GetClientRect(setup.Item(kProgress), &bar);
  MapWindowPoints(setup.Item(kProgress), nullptr, reinterpret_cast<POINT*>(&bar), 2);
  const ScreenPixels barPixels = ReadScreen(bar);
  const COLORREF fill = GetSysColor(COLOR_HIGHLIGHT);
  const std::uint32_t fillPixel = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
  int filled = 0;
  for (int x = 0; x < barPixels.width; ++x) {
    if (barPixels.At(x, (bar.bottom - bar.top) / 2) == fillPixel) filled = x + 1;
  }
  EXPECT_NEAR(static_cast<double>(filled) / barPixels.width, 0.75, 0.1);

  // The label (15, 200, 400 x 14 design units) shows the name: its text reaches beyond 170, where
  // the label's start text ends.
  HDC screen = GetDC(nullptr);
  const double scale = GetDeviceCaps(screen, LOGPIXELSX) / 96.0;
  ReleaseDC(nullptr, screen);
  POINT origin{0, 0};
  ClientToScreen(setup.Form(), &origin);
  auto at = [&](int design) { return static_cast<LONG>(design * scale); };
  const ScreenPixels label =
      ReadScreen({origin.x + at(170), origin.y + at(200), origin.x + at(415), origin.y + at(214)});
  int dark = 0;
  for (std::uint32_t pixel : label.pixels) {
    if ((pixel >> 16) < 0x60 && ((pixel >> 8) & 0xFF) < 0x60 && (pixel & 0xFF) < 0x60) ++dark;
  }
  EXPECT_GT(dark, 20) << "the label should show " << name;

  setup.Answer(*box, IDABORT);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
}

struct ShellLink {
  std::wstring target, folder, description;
};

ShellLink ReadShortcut(const std::wstring& path) {
  ShellLink link;
  CoInitialize(nullptr);
  IShellLinkW* shell = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&shell)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
        wchar_t buffer[MAX_PATH] = {};
        shell->GetPath(buffer, MAX_PATH, nullptr, 0);
        link.target = buffer;
        buffer[0] = 0;
        shell->GetWorkingDirectory(buffer, MAX_PATH);
        link.folder = buffer;
        buffer[0] = 0;
        shell->GetDescription(buffer, MAX_PATH);
        link.description = buffer;
      }
      file->Release();
    }
    shell->Release();
  }
  CoUninitialize();
  return link;
}

TEST(Finish, DesktopShortcutPointsAtTheProgram) {
  const std::wstring exe = MakeInstaller(L"shortcut", Info("快捷软件", "bin\\app.exe"),
                                         {{"bin", "", 0, true}, {"bin\\app.exe", ReadFileBytes(RecorderPath()), kTime1}});
  // Wine keeps a link's target as an item list that it converts through the ANSI code page, so
  // under an English locale a Chinese target folder comes back as "?". Windows stores it in
  // Unicode; the target here stays ASCII, the link's own name and description do not.
  const std::wstring target = Scratch(L"shortcut-target") + L"Shortcut";
  const std::wstring link = DesktopFolder() + L"快捷软件.lnk";
  DeleteFileW(link.c_str());
  Installer setup(exe);
  ASSERT_TRUE(setup.GoToFolderPage(target));
  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(4, 60000));
  setup.SetChecked(kCheck1, false);
  setup.Click(kNext);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  ASSERT_TRUE(Exists(link));
  const ShellLink read = ReadShortcut(link);
  EXPECT_EQ(read.target, target + L"\\bin\\app.exe");
  EXPECT_EQ(read.folder, target + L"\\");
  EXPECT_EQ(read.description, L"测试软件的说明");
  DeleteFileW(link.c_str());
}

// The recorder's log: its current folder, its own path and the process that started it.
struct RecorderRun {
  std::wstring folder;
  std::wstring self;
  DWORD parent = 0;
};
RecorderRun RecorderLog() {
  const std::string raw = ReadFileBytes(ScratchRoot() + L"recorder.txt");
  std::wstring text(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / sizeof(wchar_t));
  RecorderRun run;
  std::wstring* fields[] = {&run.folder, &run.self, nullptr};
  std::wstring parent;
  fields[2] = &parent;
  size_t start = 0;
  for (std::wstring* field : fields) {
    const size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) break;
    *field = text.substr(start, end - start);
    start = end + 1;
  }
  run.parent = static_cast<DWORD>(std::wcstoul(parent.c_str(), nullptr, 10));
  return run;
}

// The file name of a running process ("explorer.exe"), empty when it is not running.
std::wstring ProcessName(DWORD pid) {
  std::wstring name;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == pid) name = entry.szExeFile;
  }
  CloseHandle(snapshot);
  return name;
}

TEST(Finish, ProgramStartsInItsFolderThroughTheShell) {
  const std::wstring exe = MakeInstaller(L"start", Info("启动软件", "app.exe"),
                                         {{"app.exe", ReadFileBytes(RecorderPath()), kTime1}});
  const std::wstring target = Scratch(L"start-target") + L"启动软件";
  DeleteFileW((ScratchRoot() + L"recorder.txt").c_str());
  Installer setup(exe);
  ASSERT_TRUE(setup.GoToFolderPage(target));
  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(4, 60000));
  setup.SetChecked(kCheck2, false);
  setup.Click(kNext);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  ASSERT_TRUE(WaitUntil([] { return Exists(ScratchRoot() + L"recorder.txt"); }, 30000));
  Sleep(200);
  const auto [folder, self, parent] = RecorderLog();
  EXPECT_EQ(folder, target);  // GetCurrentDirectory drops the trailing "\"
  EXPECT_EQ(self, target + L"\\app.exe");
  // Started by the desktop's shell, which runs as the signed-in user, not by the installer,
  // which runs elevated.
  EXPECT_NE(parent, setup.ProcessId());
  EXPECT_EQ(ProcessName(parent), L"explorer.exe");
}

TEST(Finish, BothBoxesClearedCreatesAndStartsNothing) {
  const std::wstring exe = MakeInstaller(L"nothing", Info("无操作软件", "app.exe"),
                                         {{"app.exe", ReadFileBytes(RecorderPath()), kTime1}});
  const std::wstring link = DesktopFolder() + L"无操作软件.lnk";
  DeleteFileW(link.c_str());
  DeleteFileW((ScratchRoot() + L"recorder.txt").c_str());
  Installer setup(exe);
  InstallQuietly(setup, Scratch(L"nothing-target") + L"无操作软件");
  Sleep(1500);
  EXPECT_FALSE(Exists(link));
  EXPECT_FALSE(Exists(ScratchRoot() + L"recorder.txt"));
}

TEST(Finish, CancelOnTheFinishPageDoesNothing) {
  const std::wstring exe = MakeInstaller(L"cancel4", Info("取消软件", "app.exe"),
                                         {{"app.exe", ReadFileBytes(RecorderPath()), kTime1}});
  const std::wstring link = DesktopFolder() + L"取消软件.lnk";
  DeleteFileW(link.c_str());
  DeleteFileW((ScratchRoot() + L"recorder.txt").c_str());
  Installer setup(exe);
  ASSERT_TRUE(setup.GoToFolderPage(Scratch(L"cancel4-target") + L"取消软件"));
  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(4, 60000));
  EXPECT_TRUE(setup.Checked(kCheck1) && setup.Checked(kCheck2));
  setup.Click(kCancel);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  Sleep(1500);
  EXPECT_FALSE(Exists(link));
  EXPECT_FALSE(Exists(ScratchRoot() + L"recorder.txt"));
}

TEST(Finish, PackageNumberOneRunsTheBatchAndStartsQQGame) {
  // The batch file leaves a mark next to itself; the finish page then starts QQGame.exe from
  // Hall.57507\ because QQGameHall.exe is not in the folder.
  const std::vector<Entry> entries = {
      {"setup.bat", "@echo off\r\necho ran> batch-ran.txt\r\n", kTime1},
      {"Hall.57507", "", 0, true},
      {"Hall.57507\\QQGame.exe", ReadFileBytes(RecorderPath()), kTime1},
  };
  const std::wstring exe = MakeInstaller(L"number1", Info("编号一软件", "setup.bat", 1), entries);
  const std::wstring target = Scratch(L"number1-target") + L"编号一软件";
  DeleteFileW((ScratchRoot() + L"recorder.txt").c_str());
  DeleteFileW((ScratchRoot() + L"batch-ran.txt").c_str());
  Installer setup(exe);
  ASSERT_TRUE(setup.GoToFolderPage(target));
  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(4, 60000));
  EXPECT_EQ(setup.Text(kFolder), target + L"\\Hall.57507\\");
  setup.SetChecked(kCheck2, false);
  setup.Click(kNext);
  EXPECT_EQ(setup.WaitForExit(), std::optional<DWORD>(0));
  ASSERT_TRUE(WaitUntil([] { return Exists(ScratchRoot() + L"recorder.txt"); }, 30000));
  Sleep(200);
  EXPECT_EQ(RecorderLog().self, target + L"\\Hall.57507\\QQGame.exe");
  // The batch ran in the installer's own folder (its current folder at that moment).
  EXPECT_TRUE(WaitUntil([] { return Exists(ScratchRoot() + L"batch-ran.txt"); }, 30000));
}

// Many files in several folders: decoded ahead in batches while earlier ones are written, every
// file ends up whole, in its folder, with its time.
TEST(Wizard, ManyFilesInstallWholeAcrossBatches) {
  std::vector<Entry> entries;
  for (int folder = 0; folder < 3; ++folder) {
    const std::string name = "目录" + std::to_string(folder);
    entries.push_back({name, "", 0, true});
    for (int i = 0; i < 70; ++i) {
      const std::string content = i % 3 == 0 ? RandomBytes(300 + i * 97, folder * 100 + i) : std::string(i * 40, 'a' + folder);
      entries.push_back({name + "\\f" + std::to_string(i) + ".dat", content, kTime1 + static_cast<std::uint64_t>(i)});
    }
  }
  const std::wstring exe = MakeInstaller(L"many", Info("多文件软件", "目录0\\f1.dat"), entries);
  const std::wstring target = Scratch(L"many-target") + L"多文件软件";
  Installer setup(exe);
  InstallQuietly(setup, target);
  ExpectTreeInstalled(target + L"\\", entries);
}

TEST(Wizard, CloseDuringExtractionAsksAndStopsAfterTheCurrentFile) {
  // The worker goes on while both questions are asked (about a second and a half): 5000 files
  // keep it busy for several seconds, well past the second answer.
  std::vector<Entry> entries;
  for (int i = 0; i < 5000; ++i) {
    entries.push_back({"f" + std::to_string(i) + ".bin", RandomBytes(2000, i), kTime1});
  }
  const std::wstring exe = MakeInstaller(L"closing", Info("关闭软件", "f0.bin"), entries);
  const std::wstring target = Scratch(L"closing-target") + L"关闭软件";
  Installer setup(exe);
  ASSERT_TRUE(setup.GoToFolderPage(target));
  setup.Click(kNext);
  ASSERT_TRUE(setup.WaitForPage(3));
  setup.PostToForm(WM_SYSCOMMAND, SC_CLOSE, 0);
  auto no = setup.WaitForMessageBox();
  ASSERT_TRUE(no);
  EXPECT_EQ(no->text, L"正在解压文件，确定要取消安装吗？");
  EXPECT_EQ(no->defaultButton, IDNO);
  setup.Screenshot(L"box-cancel-extraction", no->window);
  setup.Answer(*no, IDNO);
  EXPECT_FALSE(setup.WaitForExit(500));
  setup.PostToForm(WM_CLOSE, 0, 0);
  auto yes = setup.WaitForMessageBox();
  ASSERT_TRUE(yes);
  setup.Answer(*yes, IDYES);
  EXPECT_EQ(setup.WaitForExit(60000), std::optional<DWORD>(0));
  EXPECT_FALSE(Exists(target + L"\\f4999.bin")) << "the worker should have stopped early";
}

// ---- Unattended installs ---------------------------------------------------------------------

// The log's lines (UTF-8, CR LF after each).
std::vector<std::wstring> LogLines(const std::wstring& path) {
  const std::wstring text = Widen(ReadFileBytes(path));
  std::vector<std::wstring> lines;
  for (size_t at = 0, end; (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2) {
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

// As a deployment tool runs it: no window, the folder from the command line (spaces and all), a
// log line for each folder and file; run again over the installed files, nothing asks, the log
// grows, and the shortcut and the program start come when asked for.
TEST(Silent, InstallsWithoutAWindowAndLogsEveryFile) {
  const auto entries = RichTree();
  const std::wstring exe = MakeInstaller(L"silent", Info("静默软件", "app.exe"), entries);
  const std::wstring target = Scratch(L"silent-target") + L"Silent App";
  const std::wstring log = Scratch(L"silent-log") + L"安装 日志.log";
  const std::wstring link = DesktopFolder() + L"静默软件.lnk";
  DeleteFileW(link.c_str());
  DeleteFileW((ScratchRoot() + L"recorder.txt").c_str());
  {
    Installer setup(exe, L"/S /LOG=\"" + log + L"\" /D=" + target);
    EXPECT_EQ(setup.Form(1000), nullptr);
    EXPECT_EQ(setup.WaitForExit(60000), std::optional<DWORD>(0));
  }
  ExpectTreeInstalled(target + L"\\", entries);
  std::vector<std::wstring> expected;
  for (const Entry& e : entries) expected.push_back(target + L"\\" + Widen(e.path) + (e.folder ? L"\\" : L""));
  EXPECT_EQ(LogLines(log), expected);
  EXPECT_FALSE(Exists(link));
  EXPECT_FALSE(Exists(ScratchRoot() + L"recorder.txt"));

  {
    Installer setup(exe, L"/SHORTCUT /RUN /S /LOG=\"" + log + L"\" /D=" + target);
    EXPECT_EQ(setup.WaitForExit(60000), std::optional<DWORD>(0));
  }
  EXPECT_EQ(LogLines(log).size(), 2 * expected.size());
  EXPECT_TRUE(Exists(link));
  EXPECT_TRUE(WaitUntil([] { return Exists(ScratchRoot() + L"recorder.txt"); }, 30000));
  Sleep(200);
  DeleteFileW(link.c_str());
}

// Large files decode ahead of their turn, each into a file of its own in the target folder:
// they reach their places whole and replace what was there, and a killed install leaves none of
// those files behind, nor a torn file under a name of the package.
TEST(Silent, LargeFilesDecodedAheadInstallWholeAndAKillLeavesNoneTorn) {
  std::vector<Entry> entries = {{"readme.txt", "first", kTime1}, {"媒体", "", 0, true}};
  for (unsigned i = 0; i < 3; ++i) {
    const std::string block = RandomBytes(64 << 10, 40 + i);  // larger than a batch, quick to pack
    std::string content;
    while (content.size() <= (16u << 20)) content += block;
    entries.push_back({"媒体\\part" + std::to_string(i) + ".pak", content, kTime2 + i});
  }
  entries.push_back({"last.txt", "last", kTime1});
  const std::wstring exe = MakeInstaller(L"lanes", Info("大文件软件", "readme.txt"), entries);
  const std::wstring target = Scratch(L"lanes-target") + L"大文件软件";
  const auto filesAside = [&] {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((target + L"\\~zvsetup.*.partial").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
  };
  {
    Installer setup(exe, L"/S /D=" + target);
    ASSERT_TRUE(WaitUntil(filesAside, 120000));
  }  // killed
  EXPECT_FALSE(filesAside());
  for (const Entry& e : entries) {
    const std::wstring path = target + L"\\" + Widen(e.path);
    if (!e.folder && Exists(path)) {
      EXPECT_EQ(ReadFileBytes(path), e.content) << e.path;
    }
  }

  CreateDirectoryW((target + L"\\媒体").c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(target + L"\\媒体\\part1.pak", "earlier"));
  {
    Installer setup(exe, L"/S /D=" + target);
    EXPECT_EQ(setup.WaitForExit(120000), std::optional<DWORD>(0));
  }
  ExpectTreeInstalled(target + L"\\", entries);
  EXPECT_FALSE(filesAside());
}

// The exit code tells a deployment tool what stopped the install, and the log says it in words.
TEST(Silent, ExitCodeNamesWhatStoppedTheInstall) {
  const std::vector<Entry> entries = {{"a.txt", "first", kTime1}, {"locked.txt", "second", kTime1}};
  const std::wstring exe = MakeInstaller(L"silent-codes", Info("代码软件", "a.txt"), entries);
  const std::wstring log = Scratch(L"silent-codes-log") + L"install.log";
  const auto run = [&](const std::wstring& installer, const std::wstring& folder) {
    Installer setup(installer, L"/S /LOG=\"" + log + L"\" /D=" + folder);
    return setup.WaitForExit(60000);
  };
  EXPECT_EQ(run(exe, L"C:"), std::optional<DWORD>(1));
  EXPECT_EQ(run(exe, L"relative\\folder"), std::optional<DWORD>(1));
  const std::wstring blocked = Scratch(L"silent-blocked");
  ASSERT_TRUE(WriteFileBytes(blocked + L"a file", "x"));
  EXPECT_EQ(run(exe, blocked + L"a file\\sub"), std::optional<DWORD>(1));  // cannot be created

  // A file that cannot be replaced stops the install there.
  const std::wstring target = Scratch(L"silent-locked");
  HANDLE lock = CreateFileW((target + L"locked.txt").c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_EQ(run(exe, target), std::optional<DWORD>(3));
  CloseHandle(lock);
  EXPECT_EQ(ReadFileBytes(target + L"a.txt"), "first");

  // A package whose name leads outside (nothing is written), one damaged after it was built (the
  // install stops at the damaged file), and a copy of the installer without its package (the
  // wizard would offer Retry).
  const std::wstring evil = MakeInstaller(L"silent-evil", Info("..\\evil", "a.txt"), entries);
  const std::wstring clean = Scratch(L"silent-refused");
  EXPECT_EQ(run(evil, clean), std::optional<DWORD>(2));
  std::vector<zv::Bytes> blocks = {zv::EncodeBlock(entries[0].content), zv::EncodeBlock(entries[1].content)};
  blocks[1].resize(blocks[1].size() / 2);
  const std::wstring corrupt = InstallerPath(L"silent-corrupt");
  WriteInstaller(corrupt, BuildPackageFromBlocks(zv::EncodeBlock(zv::BuildInfoBlock(Info("代码软件", "a.txt"))),
                                                 zv::EncodeBlock(RawFileList(entries)), blocks));
  EXPECT_EQ(run(corrupt, clean), std::optional<DWORD>(2));
  EXPECT_FALSE(Exists(clean + L"locked.txt"));
  const std::wstring bare = InstallerPath(L"silent-bare");
  ASSERT_TRUE(WriteFileBytes(bare, StubBytes()));
  EXPECT_EQ(run(bare, clean), std::optional<DWORD>(2));

  const std::vector<std::wstring> lines = LogLines(log);
  const auto logged = [&](const std::wstring& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
  EXPECT_TRUE(logged(L"写文件文件失败！ " + target + L"locked.txt 请检查软件是否已经关闭！"));
  EXPECT_TRUE(logged(L"安装文件数据错误"));
  EXPECT_TRUE(logged(L"解压文件失败，安装包数据已损坏！ " + clean + L"locked.txt 请重新下载安装包。"));
}

}  // namespace
}  // namespace e2e
