// The installer's file and folder operations against a real (Wine) file system, in a fresh
// folder below the temporary folder.

#include "app/fileops.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "win/handles.h"

namespace zv {
namespace {

// Removes a folder with everything in it.
void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found{};
  {
    FindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &found));
    if (search) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(path);
        } else {
          ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
          ::DeleteFileW(path.c_str());
        }
      } while (::FindNextFileW(search.get(), &found));
    }
  }
  ::RemoveDirectoryW(folder.c_str());
}

// The contents of a file, read back whole.
std::string ReadBack(const std::wstring& path) {
  FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  if (!file) return "<missing>";
  std::string bytes(::GetFileSize(file.get(), nullptr), '\0');
  DWORD read = 0;
  if (!bytes.empty()) ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return bytes;
}

struct FileTimes {
  FILETIME created{}, accessed{}, written{};
};

FileTimes TimesOf(const std::wstring& path) {
  FileTimes t;
  FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  EXPECT_TRUE(file) << "cannot open " << std::string(path.begin(), path.end());
  if (file) ::GetFileTime(file.get(), &t.created, &t.accessed, &t.written);
  return t;
}

uint64_t Ticks(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// 2001-02-03 04:05:06 UTC: far from "now", so a time the system set cannot match it.
FILETIME SomeTime() {
  SYSTEMTIME st{};
  st.wYear = 2001;
  st.wMonth = 2;
  st.wDay = 3;
  st.wHour = 4;
  st.wMinute = 5;
  st.wSecond = 6;
  FILETIME ft{};
  ::SystemTimeToFileTime(&st, &ft);
  return ft;
}

// A drive letter that names no drive.
std::wstring MissingDrive() {
  for (wchar_t letter = L'Y'; letter > L'D'; --letter) {
    const std::wstring root = std::wstring(1, letter) + L":\\";
    if (::GetDriveTypeW(root.c_str()) == DRIVE_NO_ROOT_DIR) return root.substr(0, 2);
  }
  return {};
}

class FileOps : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
    root_ = std::wstring(temp) + L"zvfileops-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(::GetTickCount());
    ASSERT_TRUE(::CreateDirectoryW(root_.c_str(), nullptr));
  }
  void TearDown() override { RemoveTree(root_); }

  std::wstring At(const std::wstring& relative) const { return root_ + L"\\" + relative; }
  void MakeFile(const std::wstring& relative, const std::string& bytes = "x") const {
    FileHandle file(::CreateFileW(At(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }

  std::wstring root_;
};

TEST_F(FileOps, ExistenceTestsTellFoldersFromFiles) {
  ASSERT_TRUE(::CreateDirectoryW(At(L"folder").c_str(), nullptr));
  MakeFile(L"file.txt");

  EXPECT_TRUE(DirExists(At(L"folder")));
  EXPECT_FALSE(FileExists(At(L"folder")));
  EXPECT_TRUE(FileExists(At(L"file.txt")));
  EXPECT_FALSE(DirExists(At(L"file.txt")));

  EXPECT_FALSE(DirExists(At(L"missing")));
  EXPECT_FALSE(FileExists(At(L"missing.txt")));
  EXPECT_FALSE(DirExists(L""));
  EXPECT_FALSE(FileExists(L""));

  // Drive roots cannot be found by the directory search but are folders all the same.
  EXPECT_TRUE(DirExists(L"C:"));
  EXPECT_TRUE(DirExists(L"C:\\"));
  EXPECT_FALSE(FileExists(L"C:"));
  const std::wstring missing = MissingDrive();
  ASSERT_FALSE(missing.empty());
  EXPECT_FALSE(DirExists(missing));
  EXPECT_FALSE(DirExists(missing + L"\\"));
}

TEST_F(FileOps, WildcardPathsNameNothing) {
  ASSERT_TRUE(::CreateDirectoryW(At(L"folder").c_str(), nullptr));
  MakeFile(L"file.txt");

  // Each pattern matches an existing entry of the asked kind, but names none.
  EXPECT_FALSE(DirExists(At(L"*")));
  EXPECT_FALSE(DirExists(At(L"fold?r")));
  EXPECT_FALSE(FileExists(At(L"*.txt")));
  EXPECT_FALSE(FileExists(At(L"file.tx?")));
  EXPECT_FALSE(MakeFolderTree(At(L"fol*")));
  EXPECT_FALSE(DirExists(At(L"fol*")));

  // The long-path prefix is not a wildcard.
  EXPECT_TRUE(FileExists(L"\\\\?\\" + At(L"file.txt")));
  EXPECT_TRUE(DirExists(L"\\\\?\\" + At(L"folder")));
}

TEST_F(FileOps, FolderTreeCreatesEveryMissingLevel) {
  ASSERT_TRUE(::CreateDirectoryW(At(L"a").c_str(), nullptr));

  EXPECT_TRUE(MakeFolderTree(At(L"a\\b\\c\\")));
  EXPECT_TRUE(DirExists(At(L"a\\b")));
  EXPECT_TRUE(DirExists(At(L"a\\b\\c")));

  // Already there: nothing to do, still true; without the trailing separator too.
  EXPECT_TRUE(MakeFolderTree(At(L"a\\b\\c")));
  EXPECT_TRUE(MakeFolderTree(L"C:\\"));

  // Chinese names.
  EXPECT_TRUE(MakeFolderTree(At(L"Zelv软件\\安装\\")));
  EXPECT_TRUE(DirExists(At(L"Zelv软件\\安装")));
}

TEST_F(FileOps, FolderTreeSkipsDoubledSeparators) {
  ASSERT_TRUE(::CreateDirectoryW(At(L"a").c_str(), nullptr));
  EXPECT_TRUE(MakeFolderTree(At(L"a\\\\b\\\\\\c")));
  EXPECT_TRUE(DirExists(At(L"a\\b")));
  EXPECT_TRUE(DirExists(At(L"a\\b\\c")));
}

TEST_F(FileOps, FolderTreeFailsWithoutCreatingBelowAnObstacle) {
  MakeFile(L"blocker");
  EXPECT_FALSE(MakeFolderTree(At(L"blocker\\sub\\deeper\\")));
  EXPECT_TRUE(FileExists(At(L"blocker")));
  EXPECT_FALSE(DirExists(At(L"blocker\\sub")));
}

TEST_F(FileOps, FolderTreeOnMissingDriveCreatesNothing) {
  const std::wstring drive = MissingDrive();
  ASSERT_FALSE(drive.empty());
  wchar_t before[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, before);
  ASSERT_TRUE(ChangeCurrentFolder(root_));

  EXPECT_FALSE(MakeFolderTree(drive + L"\\zv\\a\\"));
  EXPECT_FALSE(DirExists(drive + L"\\zv"));
  // Nothing landed in the current folder either.
  EXPECT_EQ(FindFirstMatch(root_ + L"\\*", FILE_ATTRIBUTE_DIRECTORY, nullptr), L"");

  ChangeCurrentFolder(before);
}

TEST_F(FileOps, FirstMatchHonoursTheAttributeMask) {
  const DWORD files = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
  ASSERT_TRUE(::CreateDirectoryW(At(L"empty").c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW(At(L"full").c_str(), nullptr));
  ASSERT_TRUE(::CreateDirectoryW(At(L"full\\sub").c_str(), nullptr));
  MakeFile(L"full\\data.bin");
  ASSERT_TRUE(::SetFileAttributesW(At(L"full\\data.bin").c_str(), FILE_ATTRIBUTE_READONLY));

  DWORD attributes = 0xDEAD;
  EXPECT_EQ(FindFirstMatch(At(L"empty\\*.*"), files, &attributes), L"");
  EXPECT_EQ(attributes, 0xDEADu);
  EXPECT_EQ(FindFirstMatch(At(L"missing\\*.*"), files, &attributes), L"");
  EXPECT_EQ(attributes, 0xDEADu);

  EXPECT_EQ(FindFirstMatch(At(L"full\\*.*"), files, &attributes), L"data.bin");
  EXPECT_NE(attributes & FILE_ATTRIBUTE_READONLY, 0u);

  // With the directory bit, "." and ".." are passed over.
  EXPECT_EQ(FindFirstMatch(At(L"full\\*.*"), FILE_ATTRIBUTE_DIRECTORY, &attributes), L"sub");
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(FindFirstMatch(At(L"empty\\*.*"), FILE_ATTRIBUTE_DIRECTORY, &attributes), L"");
}

TEST_F(FileOps, FirstMatchClosesItsSearchOnEveryPath) {
  ASSERT_TRUE(::CreateDirectoryW(At(L"empty").c_str(), nullptr));
  MakeFile(L"data.bin");
  DWORD attributes = 0;
  // Warm up whatever the system caches on a first search.
  FindFirstMatch(At(L"*.*"), FILE_ATTRIBUTE_ARCHIVE, &attributes);

  DWORD before = 0;
  ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &before));
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(FindFirstMatch(At(L"*.*"), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL, &attributes),
              L"data.bin");
    ASSERT_EQ(FindFirstMatch(At(L"empty\\*.*"), FILE_ATTRIBUTE_ARCHIVE, &attributes), L"");
  }
  DWORD after = 0;
  ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &after));
  EXPECT_LT(after, before + 5) << "search handles leak";
}

TEST_F(FileOps, WriteSetsContentAndOnlyTheLastWriteTime) {
  const FILETIME time = SomeTime();
  const std::string bytes("zv\0data\r\n\xff", 10);
  MakeFile(L"out.bin", "a longer old content that the write replaces");
  ASSERT_EQ(WriteFileWithTime(At(L"out.bin"), bytes, time), kWriteOk);
  EXPECT_EQ(ReadBack(At(L"out.bin")), bytes);
  const FileTimes times = TimesOf(At(L"out.bin"));
  EXPECT_EQ(Ticks(times.written), Ticks(time));
  EXPECT_NE(Ticks(times.accessed), Ticks(time));
  // File systems without a creation time of their own (Wine on Unix) report the last-write time
  // as creation time; only where the plain system call keeps them apart can the test tell.
  MakeFile(L"probe.bin");
  {
    FileHandle probe(::CreateFileW(At(L"probe.bin").c_str(), GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(probe);
    ::SetFileTime(probe.get(), nullptr, nullptr, &time);
  }
  if (Ticks(TimesOf(At(L"probe.bin")).created) != Ticks(time)) {
    EXPECT_NE(Ticks(times.created), Ticks(time));
  }
  const DWORD attributes = ::GetFileAttributesW(At(L"out.bin").c_str());
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM), 0u);
}

TEST_F(FileOps, WriteOfNothingMakesAnEmptyFileWithItsTime) {
  const FILETIME time = SomeTime();
  ASSERT_EQ(WriteFileWithTime(At(L"empty.txt"), std::string_view(), time), kWriteOk);
  EXPECT_EQ(ReadBack(At(L"empty.txt")), "");
  EXPECT_EQ(Ticks(TimesOf(At(L"empty.txt")).written), Ticks(time));
}

TEST_F(FileOps, WriteReportsFilesThatCannotBeOpened) {
  EXPECT_EQ(WriteFileWithTime(At(L"missing\\out.txt"), "x", SomeTime()), kWriteOpenFailed);
  EXPECT_FALSE(FileExists(At(L"missing\\out.txt")));

  ASSERT_TRUE(::CreateDirectoryW(At(L"folder").c_str(), nullptr));
  EXPECT_EQ(WriteFileWithTime(At(L"folder"), "x", SomeTime()), kWriteOpenFailed);

  // Held open by someone else without sharing: the holder's content stays.
  MakeFile(L"held.txt", "held");
  {
    FileHandle holder(::CreateFileW(At(L"held.txt").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    EXPECT_EQ(WriteFileWithTime(At(L"held.txt"), "replaced", SomeTime()), kWriteOpenFailed);
  }
  EXPECT_EQ(ReadBack(At(L"held.txt")), "held");
  // No failure leaves its partial file behind.
  EXPECT_FALSE(FileExists(At(L"~zvsetup.partial")));
}

// A link planted at the target is replaced, never written through: the file it leads to stays.
TEST_F(FileOps, WriteReplacesAHardLinkInsteadOfWritingThroughIt) {
  MakeFile(L"outside.txt", "outside");
  ASSERT_TRUE(::CreateHardLinkW(At(L"link.txt").c_str(), At(L"outside.txt").c_str(), nullptr));
  ASSERT_EQ(WriteFileWithTime(At(L"link.txt"), "new", SomeTime()), kWriteOk);
  EXPECT_EQ(ReadBack(At(L"link.txt")), "new");
  EXPECT_EQ(ReadBack(At(L"outside.txt")), "outside");
  EXPECT_FALSE(FileExists(At(L"~zvsetup.partial")));
}

// The pieces of a file only take its name when it is finished; dropped, they leave the earlier
// file as it was.
TEST_F(FileOps, PartialFileTakesTheNameOnlyWhenFinished) {
  MakeFile(L"app.dll", "earlier");
  PartialFile file;
  ASSERT_TRUE(BeginPartialFile(At(L"app.dll"), file));
  ASSERT_TRUE(AppendPartialFile(file, "half of the "));
  EXPECT_EQ(ReadBack(At(L"app.dll")), "earlier");
  DropPartialFile(file);
  EXPECT_EQ(ReadBack(At(L"app.dll")), "earlier");
  EXPECT_FALSE(FileExists(At(L"~zvsetup.partial")));

  ASSERT_TRUE(BeginPartialFile(At(L"app.dll"), file));
  ASSERT_TRUE(AppendPartialFile(file, "new "));
  ASSERT_TRUE(AppendPartialFile(file, "content"));
  ASSERT_EQ(FinishPartialFile(file, At(L"app.dll"), SomeTime()), kWriteOk);
  EXPECT_EQ(ReadBack(At(L"app.dll")), "new content");
  EXPECT_EQ(Ticks(TimesOf(At(L"app.dll")).written), Ticks(SomeTime()));
  EXPECT_FALSE(FileExists(At(L"~zvsetup.partial")));

  // A file new to the folder is written under its own name, and removed again when dropped.
  ASSERT_TRUE(BeginPartialFile(At(L"new.dll"), file));
  ASSERT_TRUE(AppendPartialFile(file, "half"));
  DropPartialFile(file);
  EXPECT_FALSE(FileExists(At(L"new.dll")));
  EXPECT_FALSE(FileExists(At(L"~zvsetup.partial")));
}

// A file made aside (a large file decoded before its turn) must be new to its name; it takes
// its place in another folder, replacing what is there, only when finished, and dropped it is
// gone.
TEST_F(FileOps, FileAsideTakesItsPlaceOnlyWhenFinished) {
  ASSERT_TRUE(::CreateDirectoryW(At(L"sub").c_str(), nullptr));
  MakeFile(L"sub\\big.pak", "earlier");
  MakeFile(L"taken", "someone's");
  PartialFile file;
  EXPECT_FALSE(BeginFileAside(At(L"taken"), file));
  EXPECT_EQ(ReadBack(At(L"taken")), "someone's");
  ASSERT_TRUE(BeginFileAside(At(L"~zvsetup.3.partial"), file));
  ASSERT_TRUE(AppendPartialFile(file, "new content"));
  EXPECT_EQ(ReadBack(At(L"sub\\big.pak")), "earlier");
  ASSERT_EQ(FinishPartialFile(file, At(L"sub\\big.pak"), SomeTime()), kWriteOk);
  EXPECT_EQ(ReadBack(At(L"sub\\big.pak")), "new content");
  EXPECT_EQ(Ticks(TimesOf(At(L"sub\\big.pak")).written), Ticks(SomeTime()));
  EXPECT_FALSE(FileExists(At(L"~zvsetup.3.partial")));

  ASSERT_TRUE(BeginFileAside(At(L"~zvsetup.4.partial"), file));
  ASSERT_TRUE(AppendPartialFile(file, "half"));
  DropPartialFile(file);
  EXPECT_FALSE(FileExists(At(L"~zvsetup.4.partial")));
}

// An install ended from outside half way through a file (killed, or crashed) leaves no torn
// file: the file being written goes with the process, a file it was replacing stays as it was,
// and a file already finished keeps its content and time.
TEST_F(FileOps, AKilledWriteLeavesNoTornFile) {
  ASSERT_TRUE(::CreateDirectoryW(At(L"sub").c_str(), nullptr));
  MakeFile(L"sub\\old.txt", "earlier");
  const std::wstring event = L"zvfileops-ready-" + std::to_wstring(::GetCurrentProcessId());
  KernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, event.c_str()));
  ASSERT_TRUE(ready);
  std::wstring command = Join({L"\"" ZV_KILLED_WRITER_PATH "\" \"", root_, L"\" ", event, L" ",
                               std::to_wstring(Ticks(SomeTime()))});
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &started));
  KernelHandle writer(started.hProcess);
  const KernelHandle thread(started.hThread);  // not needed: closed with the test
  const HANDLE either[] = {ready.get(), writer.get()};
  const DWORD woken = ::WaitForMultipleObjects(2, either, FALSE, INFINITE);
  ::TerminateProcess(writer.get(), 1);
  ::WaitForSingleObject(writer.get(), INFINITE);
  ASSERT_EQ(woken, WAIT_OBJECT_0) << "the writer ended before it was half way";

  EXPECT_EQ(ReadBack(At(L"whole.txt")), "whole");
  EXPECT_EQ(Ticks(TimesOf(At(L"whole.txt")).written), Ticks(SomeTime()));
  EXPECT_FALSE(FileExists(At(L"new.txt")));
  EXPECT_EQ(ReadBack(At(L"sub\\old.txt")), "earlier");
  EXPECT_FALSE(FileExists(At(L"sub\\~zvsetup.partial")));
}

}  // namespace
}  // namespace zv
