// zvpack list, extract and verify on sound, damaged and unsafe installers.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "package/writer.h"
#include "tests/package/helpers.h"
#include "tests/zvpack/bitflip.h"
#include "tests/zvpack/support.h"
#include "tools/zvpack/build.h"
#include "tools/zvpack/errors.h"
#include "tools/zvpack/inspect.h"

namespace zv::pack::test {
namespace {

const Bytes kInfo = "编号=3\r\n名称=手工\r\n文件名=b.txt\r\n日期=2024-01-29\r\n版本号=1\r\n说明=x";

class InspectTest : public ::testing::Test {
 protected:
  // Writes an installer with this list and these content blocks; returns its path.
  std::string Installer(const std::vector<Bytes>& entries, const std::vector<Bytes>& blocks,
                        const std::string& name = "setup.exe") {
    const std::string path = scratch_ / name;
    WriteBytes(path, HandMadeInstaller(kInfo, JoinEntries(entries), blocks));
    return path;
  }
  std::string SoundInstaller() {
    return Installer({FolderEntry("sub"), FileEntry(kSampleTime, "sub\\a.txt"),
                      FileEntry(kSampleTime + 1, "b.txt"), FolderEntry("空"),
                      FileEntry(kSampleTime + 2, "空\\零.txt")},
                     {EncodeBlock("hello"), EncodeBlock(Bytes(1000, 'w')), Bytes()});
  }
  // The exit code of "zvpack extract", checking that nothing appeared but what the package
  // lists below the destination.
  int Extract(const std::string& installer, const std::string& destination,
              std::vector<std::string> extra = {}) {
    const std::string inside = destination.substr(scratch_.Path().size() + 1);
    const auto outside = [&] {
      auto snapshot = Snapshot(scratch_.Path());
      std::erase_if(snapshot, [&](const auto& item) { return item.first.starts_with(inside); });
      return snapshot;
    };
    const auto before = outside();
    std::vector<std::string> args{"extract", installer, destination, "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    const int code = RunInProcess(args);
    EXPECT_EQ(outside(), before) << "something was written outside " << destination;
    return code;
  }
  ScratchFolder scratch_;
};

TEST_F(InspectTest, ExtractWritesFoldersFilesAndTimes) {
  const std::string out = scratch_ / "out";
  EXPECT_EQ(Extract(SoundInstaller(), out), kExitOk);
  const std::map<std::string, Bytes> expected{{"b.txt", Bytes(1000, 'w')}, {"sub", "DIR"},
                                              {"sub/a.txt", "hello"},      {"空", "DIR"},
                                              {"空/零.txt", ""}};
  EXPECT_EQ(Snapshot(out), expected);
  EXPECT_EQ(LastWrite(out + "/sub/a.txt"), kSampleTime);
  EXPECT_EQ(LastWrite(out + "/b.txt"), kSampleTime + 1);
  EXPECT_EQ(LastWrite(out + "/空/零.txt"), kSampleTime + 2);
}

TEST_F(InspectTest, ListShowsInformationAndEntries) {
  const OpenPackage package = OpenInstaller(SoundInstaller());
  EXPECT_EQ(package.files, 3u);
  EXPECT_EQ(package.folders, 2u);
  EXPECT_EQ(package.bytes, 1005u);
  const std::string text = FormatListing(package);
  EXPECT_NE(text.find("名称=手工\n"), std::string::npos);
  EXPECT_NE(text.find("file             5  2024-02-01T04:16:07.8901234Z  sub\\a.txt\n"), std::string::npos);
  EXPECT_NE(text.find("folder           -  -                             空\n"), std::string::npos);
  EXPECT_NE(text.find("3 files, 2 folders, 1005 bytes"), std::string::npos);

  const nlohmann::json json = nlohmann::json::parse(ListingJson(package));
  EXPECT_EQ(json["info"]["编号"], "3");
  EXPECT_EQ(json["info"]["文件名"], "b.txt");
  ASSERT_EQ(json["entries"].size(), 5u);
  EXPECT_EQ(json["entries"][0]["kind"], "folder");
  EXPECT_EQ(json["entries"][1]["path"], "sub\\a.txt");
  EXPECT_EQ(json["entries"][1]["size"], 5);
  EXPECT_EQ(json["entries"][1]["fileTime"], kSampleTime);
  EXPECT_EQ(json["entries"][1]["lastWrite"], "2024-02-01T04:16:07.8901234Z");
  EXPECT_EQ(json["entries"][4]["size"], 0);
  EXPECT_EQ(json["files"], 3);
  EXPECT_EQ(json["infoTruncated"].size(), 0u);
  EXPECT_FALSE(json["entries"][1].contains("truncated"));
  // "sub\a.txt" is the longest path; its partial file "sub\~zvsetup.partial" needs the most.
  EXPECT_EQ(json["longestPath"], 9);
  EXPECT_EQ(json["longestTargetFolder"], 259 - 20 - 1);
}

TEST_F(InspectTest, VerifyPassesASoundInstaller) {
  const VerifyResult result = VerifyInstaller(SoundInstaller());
  EXPECT_TRUE(result.problems.empty());
  // Made by hand, without the packer's integrity line: said, not held against it.
  EXPECT_EQ(result.integrity, Integrity::NoKey);
  EXPECT_EQ(result.notes.size(), 1u);
  EXPECT_EQ(result.files, 3u);
  EXPECT_EQ(result.bytes, 1005u);
  EXPECT_EQ(RunInProcess({"verify", scratch_ / "setup.exe", "--quiet"}), kExitOk);
  const RunResult verified = RunBinary({"verify", scratch_ / "setup.exe"});
  EXPECT_NE(verified.out.find(": longest path 9 UTF-16 units; the installer takes a target folder of up to 238 "
                              "characters\n"),
            std::string::npos)
      << verified.out;
}

// A block that states more bytes than its stream holds: the decoder runs dry.
Bytes OverstatedBlock() {
  Bytes block = EncodeBlock(Bytes(3000, 'q') + "tail");
  const std::uint32_t field = ((3004u + 100u) << 2) | 1u;  // still a 2-byte size field
  block[0] = static_cast<char>(field & 0xFF);
  block[1] = static_cast<char>(field >> 8);
  return block;
}

// A few hundred bytes that state a gigabyte of information and list: judged without making it.
TEST_F(InspectTest, StatedSizesAreClaimsNotAllocations) {
  const std::string path = scratch_ / "claims.exe";
  const Bytes info = zv::test::EndMarkBlock(kInfo, kMaxBlockDataSize);
  const Bytes list = zv::test::EndMarkBlock(JoinEntries({FileEntry(kSampleTime, "a.txt")}), kMaxBlockDataSize);
  WriteBytes(path, HandMadeInstallerFromBlocks(info, list, {EncodeBlock("x")}));
  try {
    OpenInstaller(path);
    ADD_FAILURE() << "a list with a gigabyte of zeros was accepted";
  } catch (const PackError& error) {
    EXPECT_EQ(error.ExitCode(), kExitDamaged);
    EXPECT_NE(std::string(error.what()).find("before its stated size"), std::string::npos);
  }
  // Zeros after the information only end its last line: the list of a sound package decides.
  WriteBytes(path, HandMadeInstallerFromBlocks(
                       info, EncodeBlock(JoinEntries({FileEntry(kSampleTime, "a.txt")})),
                       {EncodeBlock("x")}));
  EXPECT_EQ(OpenInstaller(path).info.Description, ZV_TEXT("x"));
}

TEST_F(InspectTest, ADamagedBlockStopsExtractionWithoutAnEmptyFile) {
  const std::string installer =
      Installer({FileEntry(kSampleTime, "first.txt"), FileEntry(kSampleTime, "broken.txt"),
                 FileEntry(kSampleTime, "last.txt")},
                {EncodeBlock("one"), OverstatedBlock(), EncodeBlock("three")});
  const std::string out = scratch_ / "out";
  EXPECT_EQ(Extract(installer, out), kExitDamaged);
  const std::map<std::string, Bytes> expected{{"first.txt", "one"}};
  EXPECT_EQ(Snapshot(out), expected);

  const VerifyResult result = VerifyInstaller(installer);
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_NE(result.problems[0].find("broken.txt"), std::string::npos);
  EXPECT_EQ(RunInProcess({"verify", installer, "--quiet"}), kExitDamaged);
}

TEST_F(InspectTest, UnsafePathsAreRefusedBeforeAnythingIsWritten) {
  const std::vector<std::vector<Bytes>> lists{
      {FileEntry(kSampleTime, "..\\evil.txt")},
      {FolderEntry("sub"), FileEntry(kSampleTime, "sub\\..\\..\\evil.txt")},
      {FolderEntry("..\\up")},
      {FileEntry(kSampleTime, "C:\\evil.txt")},
      {FileEntry(kSampleTime, "\\evil.txt")},
      {FileEntry(kSampleTime, "/tmp/evil.txt")},
      {FileEntry(kSampleTime, "a.txt:stream")},
      {FileEntry(kSampleTime, "NUL.txt")},
      {FileEntry(kSampleTime, "COM¹.txt")},  // a device to Windows, as COM1
      {FileEntry(kSampleTime, "evil.")},     // Windows would create "evil"
      {FileEntry(kSampleTime, "bad\xFFname")},
      {FileEntry(kSampleTime, "nested\\a.txt")},  // no folder entry for "nested"
      // One name to Windows, which folds every letter of the BMP.
      {FileEntry(kSampleTime, "Σ.txt"), FileEntry(kSampleTime, "σ.txt")},
      {FileEntry(kSampleTime, "Ǆ"), FileEntry(kSampleTime, "ǆ")},
      {FileEntry(kSampleTime, "Ａ"), FileEntry(kSampleTime, "ａ")},
      {FileEntry(kSampleTime, "Ж"), FileEntry(kSampleTime, "ж")},
      {FolderEntry("Σ"), FileEntry(kSampleTime, "σ")},
  };
  for (const std::vector<Bytes>& list : lists) {
    SCOPED_TRACE(Printable(list.back()));
    std::vector<Bytes> entries{FileEntry(kSampleTime, "ok.txt")};
    entries.insert(entries.end(), list.begin(), list.end());
    const std::string installer =
        Installer(entries, {EncodeBlock("fine"), EncodeBlock("evil"), EncodeBlock("evil")});
    const std::string out = scratch_ / "out";
    EXPECT_EQ(Extract(installer, out), kExitDamaged);
    EXPECT_FALSE(std::filesystem::exists(FsPath(out)));
    EXPECT_EQ(RunInProcess({"list", installer}), kExitDamaged);
    EXPECT_EQ(RunInProcess({"verify", installer, "--quiet"}), kExitDamaged);
  }
}

// A name or program that would lead the installer outside its folders: refused by every verb,
// naming the line, before anything is written.
TEST_F(InspectTest, InformationLeadingOutsideIsRefused) {
  for (const Bytes& info : {Bytes("名称=..\\..\\..\\evilname\r\n文件名=a.txt"),
                            Bytes("名称=好\r\n文件名=..\\..\\outside\\runme.exe")}) {
    SCOPED_TRACE(info);
    const std::string installer = scratch_ / "evil.exe";
    WriteBytes(installer, HandMadeInstaller(info, JoinEntries({FileEntry(kSampleTime, "a.txt")}),
                                            {EncodeBlock("a")}));
    const std::string out = scratch_ / "out";
    EXPECT_EQ(Extract(installer, out), kExitDamaged);
    EXPECT_FALSE(std::filesystem::exists(FsPath(out)));
    EXPECT_EQ(RunInProcess({"verify", installer, "--quiet"}), kExitDamaged);
    const RunResult listed = RunBinary({"list", installer});
    EXPECT_EQ(listed.exitCode, kExitDamaged);
    EXPECT_NE(listed.err.find(info.find("evilname") != Bytes::npos ? "名称=" : "文件名="), std::string::npos)
        << listed.err;
  }
}

// The integrity line: a package whose bytes do not have the stated CRC-32, or whose line cannot
// be read, is damaged for every verb even when every block decodes, and extract writes nothing.
// "CRC32ALL=" covers the information lines before it too, the older "CRC32=" only what follows
// the information block; a package without a line is checked as before.
TEST_F(InspectTest, EveryVerbChecksTheIntegrityLine) {
  const std::vector<Bytes> entries{FileEntry(kSampleTime, "b.txt")};
  const Bytes after = zv::test::Record(EncodeBlock(JoinEntries(entries))) + zv::test::Record(EncodeBlock("b"));
  const auto hex = [](std::uint32_t crc) {
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", crc);
    return Bytes(digits);
  };
  const std::uint32_t all = Crc32(Crc32(0, kInfo + "\r\n"), after);
  for (const auto& [line, exitCode] : {std::pair<Bytes, int>{"\r\nCRC32ALL=" + hex(all), kExitOk},
                                       {"\r\nCRC32=" + hex(Crc32(0, after)), kExitOk},
                                       {"\r\nCRC32ALL=" + hex(Crc32(0, after)), kExitDamaged},
                                       {"\r\nCRC32=00000000", kExitDamaged},
                                       {"\r\nCRC32=zz", kExitDamaged},
                                       {"", kExitOk}}) {
    SCOPED_TRACE(line);
    const std::string installer = scratch_ / "crc.exe";
    WriteBytes(installer, HandMadeInstaller(kInfo + line, JoinEntries(entries), {EncodeBlock("b")}));
    EXPECT_EQ(RunInProcess({"verify", installer, "--quiet"}), exitCode);
    try {
      OpenInstaller(installer);  // what list prints and extract unpacks
      EXPECT_EQ(exitCode, kExitOk);
      const std::vector<std::string> notes = VerifyInstaller(installer).notes;
      EXPECT_EQ(notes.empty(), !line.empty());
    } catch (const PackError& error) {
      EXPECT_EQ(error.ExitCode(), exitCode);
      EXPECT_NE(std::string_view(error.what()).find("CRC32"), std::string_view::npos) << error.what();
    }
    const std::string out = scratch_ / "out";
    EXPECT_EQ(Extract(installer, out), exitCode);
    EXPECT_EQ(std::filesystem::exists(FsPath(out)), exitCode == kExitOk);
    std::filesystem::remove_all(FsPath(out));
  }
}

// Damage anywhere after the marker of a package written with the integrity line: every flipped
// bit of record 0 (its length and the information block, where one flip used to turn "文件名="
// or the line itself into garbage that read as sound) and a sample of the rest is refused by
// verify and by what list and extract open, or leaves the package as it was.
TEST_F(InspectTest, AFlippedBitIsRefusedOrChangesNothing) {
#ifdef _WIN32
  GTEST_SKIP() << "1,500 flips take 40 s under Wine; the native tree runs the same reading code";
#endif
  MakeFolders(scratch_ / "tree/sub");
  WriteBytes(scratch_ / "tree/sub/a.txt", "hello");
  WriteBytes(scratch_ / "tree/b.txt", Bytes(1000, 'w'));
  WriteBytes(scratch_ / "stub.exe", FakeStub());
  BuildOptions options;
  options.source = scratch_ / "tree";
  options.output = scratch_ / "setup.exe";
  options.stub = scratch_ / "stub.exe";
  options.name = "翻转";
  options.program = "b.txt";
  options.date = "2024-01-29";
  BuildInstaller(options);
  MakeFolders(scratch_ / "work");
  FlipJudge judge(options.output, scratch_ / "work");
  const std::uint64_t start = judge.PackageStart();
  const std::uint64_t record0End = start + LocateRecord(InstallerSource(options.output), kFirstRecordOffset).Next;
  std::map<FlipVerdict, int> verdicts;
  for (std::uint64_t offset = start; offset < judge.FileSize(); offset += offset < record0End ? 1 : 5) {
    for (int bit = 0; bit < 8; ++bit) {
      const FlipVerdict verdict = judge.Judge(offset, bit);
      ++verdicts[verdict];
      EXPECT_TRUE(verdict == FlipVerdict::Refused || verdict == FlipVerdict::Equivalent)
          << "package byte " << offset - start << " bit " << bit << ": " << static_cast<int>(verdict);
    }
  }
  EXPECT_GT(verdicts[FlipVerdict::Refused], 1000);
}

// Whatever a package states, what the packer says of it stays a line a person can read.
TEST_F(InspectTest, MessagesAndListingsShowPackageTextsCutAndEscaped) {
  const Bytes longName(100000, 'n');
  try {
    OpenInstaller(Installer({FileEntry(kSampleTime, longName)}, {EncodeBlock("x")}));
    ADD_FAILURE() << "a name over 255 units was accepted";
  } catch (const PackError& error) {
    EXPECT_EQ(error.ExitCode(), kExitDamaged);
    EXPECT_LT(std::string_view(error.what()).size(), 2000u);
    EXPECT_NE(std::string_view(error.what()).find("\u2026"), std::string_view::npos);
  }
  const std::string listing = FormatListing(OpenInstaller(
      Installer({FileEntry(kSampleTime, "b.txt"), FileEntry(kSampleTime, Bytes(255, 'l'))},
                {EncodeBlock("x"), EncodeBlock("y")})));
  EXPECT_NE(listing.find(Bytes(255, 'l')), std::string::npos);  // 255 units: shown whole
  EXPECT_EQ(Printable("a\x1B[31mb"), "a\\x1B[31mb");           // no terminal escapes

  // C1 controls and bidirectional overrides are escaped too, and a value of any size is cut:
  // in the listing as Printable shows them, in JSON as \u escapes that read back as the text,
  // with what was cut said.
  const std::string disguised = "readme\u202Etxt.exe";  // shows as "readmeexe.txt"
  const std::string deep = std::string(200, 'd') + "\\" + std::string(200, 'e');
  const std::string installer = scratch_ / "terminal.exe";
  WriteBytes(installer, HandMadeInstaller(kInfo + "\r\n版本号=\u009B31m1.0\r\n说明=" + Bytes(100000, 'v'),
                                          JoinEntries({FileEntry(kSampleTime, "b.txt"), FileEntry(kSampleTime, disguised),
                                                       FolderEntry(std::string(200, 'd')), FolderEntry(deep)}),
                                          {EncodeBlock("b"), EncodeBlock("r")}));
  const OpenPackage package = OpenInstaller(installer);
  const std::string text = FormatListing(package);
  EXPECT_NE(text.find("readme\\u202Etxt.exe\n"), std::string::npos) << text;
  EXPECT_NE(text.find("版本号=\\u009B31m1.0\n"), std::string::npos);
  const std::string document = ListingJson(package);
  for (const std::string& raw : {std::string("\u202E"), std::string("\u009B")}) {
    EXPECT_EQ(text.find(raw), std::string::npos);
    EXPECT_EQ(document.find(raw), std::string::npos);
  }
  EXPECT_LT(document.size(), 4000u);
  const nlohmann::json json = nlohmann::json::parse(document);
  EXPECT_EQ(json["entries"][1]["path"], disguised);
  EXPECT_EQ(json["info"]["版本号"], "\u009B31m1.0");
  EXPECT_EQ(json["info"]["说明"], Bytes(kShownUnits, 'v'));
  EXPECT_EQ(json["infoTruncated"], nlohmann::json::array({"说明"}));
  EXPECT_FALSE(json["entries"][2].contains("truncated"));
  EXPECT_EQ(json["entries"][3]["truncated"], true);
  EXPECT_EQ(json["entries"][3]["path"], deep.substr(0, kShownUnits));
}

// Folders nested this deep (and the files in them): one folder below the other, each name of
// the given bytes but the last, which takes the rest, so that the chain is exactly length bytes.
std::vector<Bytes> NestedFolders(std::size_t length, std::size_t name, std::string* path) {
  std::vector<Bytes> entries;
  path->clear();
  while (path->size() < length) {
    if (!path->empty()) *path += '\\';
    const std::size_t left = length - path->size();
    // Never a last name of nothing: a level that would leave one byte takes one byte less.
    const std::size_t take = left <= name ? left : left == name + 1 ? name - 1 : name;
    *path += std::string(take, static_cast<char>('a' + entries.size() % 26));
    entries.push_back(FolderEntry(*path));
  }
  return entries;
}

// A path the system cannot take is refused before anything is written, naming it: paths longer
// than any the system takes, and on POSIX, where a name and a path are limits in bytes, a name
// of 100 Chinese characters (300 bytes) and a file whose partial file's path would not fit.
TEST_F(InspectTest, ExtractRefusesPathsTheSystemCannotTakeBeforeWriting) {
  const std::string out = scratch_ / "out";
  std::string path;
  // 32,880 units: more than Windows takes even as "\\?\" path, and more than PATH_MAX.
  std::vector<Bytes> deep = NestedFolders(32880, 250, &path);
  deep.push_back(FileEntry(kSampleTime, path + "\\x.txt"));
  const std::string installer = Installer(deep, {EncodeBlock("x")}, "deep.exe");
  EXPECT_EQ(Extract(installer, out), kExitInput);
  EXPECT_FALSE(std::filesystem::exists(FsPath(out)));
  const RunResult extracted = RunBinary({"extract", installer, out});
  EXPECT_EQ(extracted.exitCode, kExitInput);
  EXPECT_NE(extracted.err.find(out), std::string::npos) << extracted.err;
#ifdef _WIN32
  EXPECT_NE(extracted.err.find("Windows takes at most 32767"), std::string::npos) << extracted.err;
#else
  EXPECT_NE(extracted.err.find("(PATH_MAX)"), std::string::npos) << extracted.err;
#endif
  // verify says how long the longest path is, and that no target folder leaves room for it.
  const RunResult verified = RunBinary({"verify", installer});
  EXPECT_EQ(verified.exitCode, kExitOk) << verified.err;
  EXPECT_NE(verified.out.find(": longest path 32886 UTF-16 units; too long for the installer below any target "
                              "folder\n"),
            std::string::npos)
      << verified.out;
  EXPECT_NE(verified.err.find("the installer cannot install it"), std::string::npos) << verified.err;
  EXPECT_FALSE(std::filesystem::exists(FsPath(out)));

#ifndef _WIN32
  std::string chinese;
  for (int i = 0; i < 100; ++i) chinese += "名";
  EXPECT_EQ(Extract(Installer({FileEntry(kSampleTime, chinese)}, {EncodeBlock("x")}, "name.exe"), out), kExitInput);
  EXPECT_FALSE(std::filesystem::exists(FsPath(out)));

  // The folders end 4,085 bytes into the destination's path: "x" fits (4,087 bytes), the
  // partial file beside it (4,102) does not.
  std::vector<Bytes> tight = NestedFolders(4085 - out.size() - 1, 250, &path);
  tight.push_back(FileEntry(kSampleTime, path + "\\x"));
  const std::string partial = Installer(tight, {EncodeBlock("x")}, "partial.exe");
  EXPECT_EQ(Extract(partial, out), kExitInput);
  EXPECT_FALSE(std::filesystem::exists(FsPath(out)));
  EXPECT_NE(RunBinary({"extract", partial, out}).err.find("~zvsetup.partial"), std::string::npos);
#endif
}

TEST_F(InspectTest, DamagedLayoutsAreRefusedBeforeAnythingIsWritten) {
  const Bytes sound = ReadBytes(SoundInstaller());
  const std::string marker = AssembleMarker();
  const std::size_t start = sound.find(marker) + marker.size();
  Bytes noMagic = sound;
  noMagic[start] = 'Z';
  Bytes badList = sound;  // the list block's LZMA stream replaced by junk
  const std::size_t listRecord = start + 5 + 4 + EncodeBlock(kInfo).size();
  for (std::size_t i = listRecord + 4 + 8; i < listRecord + 4 + 20; ++i) badList[i] = '\x55';
  const std::vector<std::pair<std::string, Bytes>> cases{
      {"no marker", FakeStub()},
      {"no magic", noMagic},
      {"bad list", badList},
      {"cut in the last record", sound.substr(0, sound.size() - 40)},
      {"cut in a length field", sound.substr(0, listRecord + 2)},
  };
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    WriteBytes(scratch_ / "bad.exe", bytes);
    EXPECT_EQ(Extract(scratch_ / "bad.exe", scratch_ / "out"), kExitDamaged);
    EXPECT_FALSE(std::filesystem::exists(FsPath(scratch_ / "out")));
    EXPECT_EQ(RunInProcess({"verify", scratch_ / "bad.exe", "--quiet"}), kExitDamaged);
  }
  EXPECT_EQ(RunInProcess({"list", scratch_ / "missing.exe"}), kExitInput);
}

TEST_F(InspectTest, ExtractIntoAFolderInUseOnlyWithForce) {
  const std::string installer = SoundInstaller();
  const std::string out = scratch_ / "out";
  MakeFolders(out);
  WriteBytes(out + "/b.txt", "old");
  WriteBytes(out + "/mine.txt", "keep");
  EXPECT_EQ(Extract(installer, out), kExitInput);
  EXPECT_EQ(ReadBytes(out + "/b.txt"), "old");
  EXPECT_EQ(Extract(installer, out, {"--force"}), kExitOk);
  EXPECT_EQ(ReadBytes(out + "/b.txt"), Bytes(1000, 'w'));
  EXPECT_EQ(ReadBytes(out + "/mine.txt"), "keep");

  // Something of the wrong kind in the way: refused before writing.
  std::filesystem::remove_all(FsPath(out + "/sub"));
  WriteBytes(out + "/sub", "a file where a folder belongs");
  WriteBytes(out + "/b.txt", "old");
  EXPECT_EQ(Extract(installer, out, {"--force"}), kExitInput);
  EXPECT_EQ(ReadBytes(out + "/b.txt"), "old");
}

#ifndef _WIN32
TEST_F(InspectTest, ForceNeverWritesThroughLinks) {
  const std::string installer = SoundInstaller();
  const std::string out = scratch_ / "out";
  MakeFolders(scratch_ / "elsewhere");
  MakeFolders(out);
  std::filesystem::create_directory_symlink(scratch_ / "elsewhere", out + "/sub");
  EXPECT_EQ(RunInProcess({"extract", installer, out, "--force", "--quiet"}), kExitInput);
  EXPECT_TRUE(std::filesystem::is_empty(scratch_ / "elsewhere"));

  // A link where a file goes is replaced, not followed.
  std::filesystem::remove(out + "/sub");
  WriteBytes(scratch_ / "elsewhere/target.txt", "untouched");
  std::filesystem::create_symlink(scratch_ / "elsewhere/target.txt", out + "/b.txt");
  EXPECT_EQ(RunInProcess({"extract", installer, out, "--force", "--quiet"}), kExitOk);
  EXPECT_EQ(ReadBytes(scratch_ / "elsewhere/target.txt"), "untouched");
  EXPECT_FALSE(std::filesystem::is_symlink(out + "/b.txt"));
  EXPECT_EQ(ReadBytes(out + "/b.txt"), Bytes(1000, 'w'));

  // Nor is a hard link written through: the new file takes the name, the old one stays.
  std::filesystem::remove(out + "/b.txt");
  std::filesystem::create_hard_link(scratch_ / "elsewhere/target.txt", out + "/b.txt");
  EXPECT_EQ(RunInProcess({"extract", installer, out, "--force", "--quiet"}), kExitOk);
  EXPECT_EQ(ReadBytes(scratch_ / "elsewhere/target.txt"), "untouched");
  EXPECT_EQ(ReadBytes(out + "/b.txt"), Bytes(1000, 'w'));
}
#endif

}  // namespace
}  // namespace zv::pack::test
