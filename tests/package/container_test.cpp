// The container: writing a package, finding it behind an installer image, walking its records;
// reading whole files; and the marker-free check on the binaries we ship.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>

#include "win/wide.h"
#endif

#include "base/file.h"
#include "package/contents.h"
#include "package/file_source.h"
#include "package/info.h"
#include "package/writer.h"
#include "tests/package/helpers.h"

namespace zv {
namespace {

using test::CompressibleBytes;
using test::Hex;
using test::RandomBytes;
using test::Utf16;

struct SourceFile {
  FileListEntry Entry;
  Bytes Content;
};

FileListEntry Folder(std::string_view path) { return test::FolderEntry(path); }
SourceFile File(std::string_view path, Bytes content, std::uint64_t time = 0x01D9000000000001) {
  return {test::FileEntry(time, path), std::move(content)};
}

InfoFields SampleInfo() {
  InfoFields info;
  info.Number = 3;
  info.Name = "样例";
  info.ProgramFile = "app\\run.exe";
  info.Version = "2.0";
  return info;
}

// Writes image + package into one byte string, the way the packer writes a file.
Bytes WriteInstaller(ByteView image, const std::vector<FileListEntry>& folders,
                     const std::vector<SourceFile>& files) {
  Bytes out(image);
  PackageWriter writer([&](ByteView bytes) { out += bytes; return true; });
  std::vector<FileListEntry> entries = folders;
  for (const SourceFile& f : files) entries.push_back(f.Entry);
  EXPECT_TRUE(writer.Begin(SampleInfo(), entries));
  EncodeOptions fast;
  fast.Level = 0;
  for (const SourceFile& f : files) EXPECT_TRUE(writer.AddContent(EncodeBlock(f.Content, fast)));
  EXPECT_TRUE(writer.Finish());
  EXPECT_EQ(writer.Written(), out.size() - image.size());
  return out;
}

TEST(Package, WrittenPackageReadsBack) {
  const std::vector<SourceFile> files = {
      File("app\\run.exe", RandomBytes(70000, 1)), File("app\\empty.txt", ""),
      File("app\\data\\big.dat", CompressibleBytes(3 << 20, 2)), File("说明.txt", "文本")};
  const Bytes image = "MZ image bytes " + RandomBytes(5000, 3);
  const Bytes installer = WriteInstaller(image, {Folder("app"), Folder("app\\data")}, files);

  const auto package = FindPackage(installer);
  ASSERT_TRUE(package);
  EXPECT_EQ(package->data(), installer.data() + image.size() + kMarkerSize);
  EXPECT_TRUE(HasMagic(*package));
  EXPECT_EQ(package->substr(package->size() - 2), "\r\n");

  const MemorySource source(*package);
  const PackageContents contents = ReadContents(source);
  ASSERT_EQ(contents.Status, PackageStatus::Ok);
  EXPECT_EQ(contents.InfoStatus, BlockStatus::Ok);
  EXPECT_EQ(contents.Info.DisplayName, ZV_TEXT("样例"));
  EXPECT_EQ(contents.Info.PackageNumber, 3);
  ASSERT_EQ(contents.Entries.size(), 6u);
  EXPECT_TRUE(contents.Entries[0].IsFolder);

  // Folder entries take no record; each file entry the next one.
  RecordWalker walker(source, contents.ContentOffset);
  Bytes buffer, decoded;
  std::size_t file = 0;
  for (const FileListEntry& entry : contents.Entries) {
    if (entry.IsFolder) continue;
    const BlockStatus status = DecodeBlockChecked(walker.Next(buffer), decoded);
    EXPECT_EQ(status, files[file].Content.empty() ? BlockStatus::Empty : BlockStatus::Ok);
    EXPECT_TRUE(decoded == files[file].Content) << file;
    EXPECT_EQ(entry.FileTime, files[file].Entry.FileTime);
    ++file;
  }
  EXPECT_EQ(walker.Offset(), package->size() - 2);  // only the closing CR LF is left

  // ReadRecord step by step gives the same records.
  const Record info = ReadRecord(*package, kFirstRecordOffset);
  EXPECT_EQ(ParseInfo(DecodeBlock(info.Block)).ProgramFile, ZV_TEXT("app\\run.exe"));
  const Record list = ReadRecord(*package, info.Next);
  EXPECT_EQ(test::ReadFileList(DecodeBlock(list.Block))->size(), 6u);
}

TEST(Package, OneFileNoFolders) {
  const Bytes installer = WriteInstaller("MZ", {}, {File("a.txt", "hello")});
  const auto package = FindPackage(installer);
  ASSERT_TRUE(package);
  Record record = ReadRecord(*package, kFirstRecordOffset);
  record = ReadRecord(*package, record.Next);
  const Record content = ReadRecord(*package, record.Next);
  EXPECT_EQ(DecodeBlock(content.Block), "hello");
  EXPECT_EQ(content.Next, package->size() - 2);
}

TEST(Package, FirstMarkerWins) {
  // An image that holds the marker itself: the first occurrence is taken.
  const Bytes image = "MZ" + AssembleMarker() + "not a package";
  const Bytes installer = WriteInstaller(image, {}, {File("a", "x")});
  EXPECT_EQ(FindMarker(installer), 2u);
  const auto package = FindPackage(installer);
  ASSERT_TRUE(package);
  EXPECT_EQ(package->substr(0, 13), "not a package");
  EXPECT_FALSE(HasMagic(*package));
  EXPECT_EQ(ReadContents(MemorySource(*package)).Status, PackageStatus::NoMagic);
  EXPECT_FALSE(FindPackage(Bytes(kMarkerHead) + "x" + Bytes(kMarkerTail)));
  EXPECT_FALSE(FindPackage(""));
  EXPECT_EQ(FindPackage(AssembleMarker()), ByteView());  // found, and empty
}

TEST(Package, RecordsRunningPastTheEnd) {
  const Bytes package = "zvzip" + Hex("10000000") + "abc";  // L = 16, 3 bytes there
  const Record cut = ReadRecord(package, 5);
  EXPECT_EQ(cut.Block, "abc");
  EXPECT_EQ(cut.Next, 5u + 4 + 16);
  const Record past = ReadRecord(package, cut.Next);
  EXPECT_TRUE(past.Block.empty());
  EXPECT_EQ(past.Next, cut.Next + 4);
  // A length field only partly inside reads as 0. Each source is named: a Record views the bytes
  // it was read from, so they must outlive it.
  const Bytes partialSource = "zvzip" + Hex("FFFF");
  const Record partial = ReadRecord(partialSource, 5);
  EXPECT_TRUE(partial.Block.empty());
  EXPECT_EQ(partial.Next, 9u);
  // The largest length does not wrap the offset.
  const Bytes hugeSource = "zvzip" + Hex("FFFFFFFF") + "x";
  const Record huge = ReadRecord(hugeSource, 5);
  EXPECT_EQ(huge.Block, "x");
  EXPECT_EQ(huge.Next, std::uint64_t{9} + 0xFFFFFFFFu);
}

// A package whose blocks are given as they are, without the writer's checks.
Bytes RawPackage(ByteView infoBlock, ByteView listBlock) {
  Bytes out;
  PackageWriter writer([&](ByteView bytes) { out += bytes; return true; });
  EXPECT_TRUE(writer.BeginBlocks(infoBlock, listBlock, 0));
  return Bytes(*FindPackage(out));
}

TEST(Package, ContentsRefusedBeforeAnythingIsWritten) {
  const Bytes info = EncodeBlock(BuildInfoBlock(SampleInfo()));
  const Bytes unsafeList = EncodeBlock("DIRa\r\n" + Hex("0100000000000000") + "a\\..\\..\\x");
  PackageContents contents = ReadContents(MemorySource(RawPackage(info, unsafeList)));
  EXPECT_EQ(contents.Status, PackageStatus::UnsafePath);
  EXPECT_EQ(contents.BadEntry, 1u);

  Bytes broken = EncodeBlock("DIRa\r\nDIRb");
  broken[SizeFieldBytes(10) + kLzmaPropsSize] = 1;
  EXPECT_EQ(ReadContents(MemorySource(RawPackage(info, broken))).Status,
            PackageStatus::NoFileList);
  EXPECT_EQ(ReadContents(MemorySource(RawPackage(info, EncodeBlock("DIRa\r\n\r\nDIRb")))).Status,
            PackageStatus::BadFileList);
  // A list beyond the bounds is refused as it is decoded, before its entries are judged.
  Bytes many = "DIRa";
  for (std::size_t i = 0; i < kMaxFileListEntries; ++i) many += "\r\nDIRa";
  EXPECT_EQ(ReadContents(MemorySource(RawPackage(info, EncodeBlock(many)))).Status,
            PackageStatus::BadFileList);

  InfoFields evil = SampleInfo();
  evil.Name = "..\\..\\evilname";
  EXPECT_EQ(ReadContents(MemorySource(RawPackage(EncodeBlock(BuildInfoBlock(evil)), EncodeBlock("DIRa"))))
                .Status,
            PackageStatus::UnsafeInfo);

  // A stored-empty list has nothing to install; a broken information block leaves Info empty.
  contents = ReadContents(MemorySource(RawPackage(broken, "")));
  EXPECT_EQ(contents.Status, PackageStatus::NoFileList);
  EXPECT_EQ(contents.InfoStatus, BlockStatus::Corrupt);
  EXPECT_TRUE(contents.Info.DisplayName.empty());
  EXPECT_TRUE(contents.Entries.empty());
}

TEST(PackageWriter, RefusesCallsOutOfOrderAndFailedWrites) {
  Bytes out;
  PackageWriter writer([&](ByteView bytes) { out += bytes; return true; });
  EXPECT_FALSE(writer.Begin(SampleInfo(), {File("a\\b", "x").Entry}));  // folder "a" missing
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(writer.Begin(SampleInfo(), {File("a", "x").Entry}));
  EXPECT_FALSE(writer.Finish());  // one record still missing
  EXPECT_FALSE(writer.AddContent(EncodeBlock("x")));  // failed writers stay failed

  PackageWriter extra([](ByteView) { return true; });
  ASSERT_TRUE(extra.Begin(SampleInfo(), {File("a", "x").Entry}));
  EXPECT_TRUE(extra.AddContent(EncodeBlock("x")));
  EXPECT_EQ(extra.FilesLeft(), 0u);
  EXPECT_FALSE(extra.AddContent(EncodeBlock("y")));

  int writes = 0;
  PackageWriter failing([&](ByteView) { return ++writes < 3; });
  EXPECT_FALSE(failing.Begin(SampleInfo(), {}));
  EXPECT_FALSE(failing.Finish());
}

// ---- Files ---------------------------------------------------------------------------------

using ReadWholeFileTest = test::TempFolderTest;
using test::Native;

TEST_F(ReadWholeFileTest, ReadsFilesAndNothingElse) {
  const Bytes content = RandomBytes(200000, 4) + Bytes(3, '\0');
  EXPECT_TRUE(ReadWholeFile(Native(Write("data.bin", content))) == content);
  EXPECT_TRUE(ReadWholeFile(Native(Write("empty.bin", ""))).empty());
  EXPECT_TRUE(ReadWholeFile(Native(folder_ / "missing.bin")).empty());
  EXPECT_TRUE(ReadWholeFile(Text()).empty());
}

TEST_F(ReadWholeFileTest, ChineseFileNames) {
  const std::filesystem::path name(ZV_TEXT("安装包文件.exe"));
  const Bytes content = "内容";
  EXPECT_EQ(ReadWholeFile(Native(Write(name, content))), content);
}

#ifdef _WIN32
TEST_F(ReadWholeFileTest, FileOpenForWritingElsewhereIsNotRead) {
  const std::filesystem::path path = Write("locked.bin", "locked");
  HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(ReadWholeFile(Native(path)).empty());
  CloseHandle(writer);
  HANDLE exclusive = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(ReadWholeFile(Native(path)).empty());
  CloseHandle(exclusive);
  EXPECT_EQ(ReadWholeFile(Native(path)), "locked");
}
#endif

// ---- The package read from the installer file by offset ------------------------------------

using FileSourceTest = test::TempFolderTest;

TEST_F(FileSourceTest, MarkerIsFoundWhereverItFallsAcrossTheReadPieces) {
  const Bytes marker = AssembleMarker();
  constexpr std::size_t kPiece = std::size_t{64} << 10;  // the scan's read size
  // Every position from wholly in the first piece, across the edge, to wholly in the second.
  for (std::size_t at = kPiece - kMarkerSize - 1; at <= kPiece + 1; ++at) {
    const Bytes installer = Bytes(at, 'x') + marker + "zvziptail" + marker + "second";
    FilePackageSource source;
    ASSERT_EQ(source.Open(Native(Write("setup.exe", installer))), FilePackageSource::Status::Ok)
        << at;
    Bytes buffer;
    EXPECT_EQ(source.Read(0, 9, buffer), "zvziptail") << at;  // behind the first marker
    EXPECT_EQ(source.Size(), installer.size() - at - kMarkerSize) << at;
  }
}

TEST_F(FileSourceTest, MissingFilesAndMarkersAreToldApart) {
  FilePackageSource source;
  EXPECT_EQ(source.Open(Native(folder_ / "missing.exe")), FilePackageSource::Status::NoFile);
  const Bytes half = AssembleMarker().substr(0, kMarkerSize - 1);
  EXPECT_EQ(source.Open(Native(Write("plain.exe", Bytes(200000, 'x') + half))),
            FilePackageSource::Status::NoMarker);
  Bytes buffer;
  EXPECT_TRUE(source.Read(0, 5, buffer).empty());
}

TEST_F(FileSourceTest, RecordsReadFromTheFileMatchTheWrittenPackage) {
  const std::vector<SourceFile> files = {File("a.exe", RandomBytes(300000, 7)), File("b", "")};
  const Bytes installer = WriteInstaller(Bytes(1000, 'S'), {}, files);
  FilePackageSource source;
  ASSERT_EQ(source.Open(Native(Write("setup.exe", installer))), FilePackageSource::Status::Ok);
  const PackageContents contents = ReadContents(source);
  ASSERT_EQ(contents.Status, PackageStatus::Ok);
  EXPECT_EQ(contents.Info.DisplayName, ZV_TEXT("样例"));
  Bytes buffer;
  RecordWalker records(source, contents.ContentOffset);
  EXPECT_TRUE(DecodeBlock(records.Next(buffer)) == files[0].Content);
  EXPECT_TRUE(records.Next(buffer).empty());
  EXPECT_EQ(records.Offset(), source.Size() - 2);  // the closing CR LF
}

// ---- The marker never sits in a binary in one piece -----------------------------------------

Text OwnExecutable() {
#ifdef _WIN32
  wchar_t path[MAX_PATH * 2];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  return zv::Text(path, n);
#else
  return Native(std::filesystem::read_symlink("/proc/self/exe"));
#endif
}

void ExpectNoMarker(const Text& path, const char* shown) {
  const Bytes bytes = ReadWholeFile(path);
  ASSERT_FALSE(bytes.empty()) << shown << " is missing (scripts/test builds both trees first)";
  EXPECT_FALSE(FindMarker(bytes)) << shown << " holds the package marker in one piece";
  // The parts themselves are there: the check would see a folded constant.
}

TEST(MarkerFree, ThisTestProgram) {
  // Links AssembleMarker and the test code above; if either were folded, the marker would be here.
  const Bytes bytes = ReadWholeFile(OwnExecutable());
  ASSERT_FALSE(bytes.empty());
  EXPECT_FALSE(FindMarker(bytes));
}

TEST(MarkerFree, NativePacker) { ExpectNoMarker(Utf8ToWide(ZV_SHIPPED_ZVPACK), ZV_SHIPPED_ZVPACK); }
TEST(MarkerFree, Installer) {
  ExpectNoMarker(Utf8ToWide(ZV_SHIPPED_ZVSETUP_EXE), ZV_SHIPPED_ZVSETUP_EXE);
}
TEST(MarkerFree, WindowsPacker) {
  ExpectNoMarker(Utf8ToWide(ZV_SHIPPED_ZVPACK_EXE), ZV_SHIPPED_ZVPACK_EXE);
}

}  // namespace
}  // namespace zv
