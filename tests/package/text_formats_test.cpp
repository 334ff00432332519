// The information block and the file list: reading, writing, and the checks around them.
#include <gtest/gtest.h>

#include <limits>

#include "package/contents.h"
#include "package/info.h"
#include "package/names.h"
#include "package/writer.h"
#include "tests/package/helpers.h"

namespace zv {
namespace {

using test::Hex;
using test::ReadFileList;
using test::Utf16;

TEST(ParseInfo, ReadsWhatTheBuilderWrites) {
  InfoFields fields;
  fields.Number = 7;
  fields.Name = "测试软件";
  fields.ProgramFile = "bin\\app.exe";
  fields.Date = "2024-05-01";
  fields.Version = "1.2.3";
  fields.Description = "说明 with spaces  ";
  const Bytes block = BuildInfoBlock(fields);
  EXPECT_EQ(block,
            "编号=7\r\n名称=测试软件\r\n文件名=bin\\app.exe\r\n日期=2024-05-01\r\n"
            "版本号=1.2.3\r\n说明=说明 with spaces  ");
  const PackageInfo info = ParseInfo(block);
  EXPECT_EQ(info.PackageNumber, 7);
  EXPECT_EQ(info.DisplayName, ZV_TEXT("测试软件"));
  EXPECT_EQ(info.ProgramFile, ZV_TEXT("bin\\app.exe"));
  EXPECT_EQ(info.ReleaseDate, ZV_TEXT("2024-05-01"));
  EXPECT_EQ(info.Version, ZV_TEXT("1.2.3"));
  EXPECT_EQ(info.Description, ZV_TEXT("说明 with spaces  "));
  EXPECT_EQ(info.VersionLine, ZV_TEXT("版本：1.2.3   发布日期：2024-05-01"));
  EXPECT_TRUE(CheckInfoFields(fields).empty());
}

TEST(ParseInfo, AnyOrderOtherKeysAndLaterLinesWin) {
  const PackageInfo info = ParseInfo(
      "说明=first\r\nfoo=bar\r\nID=1\r\n名称=A\r\n名称=B\r\n名称 =C\r\n 名称=D\r\n说明=\r\n"
      "日期=d");
  EXPECT_EQ(info.PackageNumber, 1);
  EXPECT_EQ(info.DisplayName, ZV_TEXT("B"));  // "名称 =" and " 名称=" are not the key
  EXPECT_EQ(info.Description, ZV_TEXT(""));   // a later empty value replaces
  EXPECT_EQ(info.ReleaseDate, ZV_TEXT("d"));
  EXPECT_EQ(info.VersionLine, ZV_TEXT("版本：   发布日期：d"));
}

TEST(ParseInfo, LinesAreCutTo99Units) {
  const Bytes value(120, 'x');
  const PackageInfo info = ParseInfo("说明=" + value + "\r\n名称=" + Bytes(96, 'n') + "\r\n");
  EXPECT_EQ(info.Description, Text(96, u'x'));
  EXPECT_EQ(info.DisplayName, Text(96, u'n'));
  // A cut through a surrogate pair drops its first half.
  const PackageInfo pair = ParseInfo("名称=" + Bytes(95, 'a') + "\xF0\x9F\x98\x80" + "b");
  EXPECT_EQ(pair.DisplayName, Text(95, u'a'));
}

TEST(ParseInfo, ByteOrderMarkHidesTheFirstLine) {
  const PackageInfo info = ParseInfo("\xEF\xBB\xBF编号=1\r\n名称=N");
  EXPECT_EQ(info.PackageNumber, 0);
  EXPECT_EQ(info.DisplayName, ZV_TEXT("N"));
}

TEST(ParseInfo, EmptyOrBrokenBlockGivesEmptyFields) {
  const PackageInfo info = ParseInfo("");
  EXPECT_EQ(info.PackageNumber, 0);
  EXPECT_TRUE(info.DisplayName.empty());
  EXPECT_EQ(info.VersionLine, ZV_TEXT("版本：   发布日期："));
}

TEST(ParseInfo, NumberIsReadAndRoundedToNearest) {
  const struct {
    const char* text;
    std::int32_t number;
  } cases[] = {
      {"1", 1},       {"   42", 42},    {"+7", 7},      {"-3", -3},      {"0012", 12},
      {"", 0},        {"abc", 0},       {" - 1", 0},    {"1 2", 1},      {"12abc", 12},
      {"2.5", 2},     {"3.5", 4},       {"-2.5", -2},   {"2.51", 3},     {"2.4999", 2},
      {"0.5", 0},     {".5", 0},        {".51", 1},     {"1.", 1},       {"0.05", 0},
      {"1e3", 1000},  {"15E-1", 2},     {"1e", 1},      {"2.5e0", 2},    {"\t1", 0},
      {"2147483647", std::numeric_limits<std::int32_t>::max()},
      {"99999999999", std::numeric_limits<std::int32_t>::max()},
      {"-99999999999", std::numeric_limits<std::int32_t>::min()},
      {"1e999999999999", std::numeric_limits<std::int32_t>::max()},
      {"1e-999999999999", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseInfo(Bytes("编号=") + c.text).PackageNumber, c.number) << c.text;
    EXPECT_EQ(ParseInfo(Bytes("ID=") + c.text).PackageNumber, c.number) << c.text;
  }
}

TEST(CheckInfoFields, FlagsWhatWouldNotReadBack) {
  InfoFields fields;
  fields.Name = "a\r\nb";
  fields.ProgramFile = "a.exe";
  fields.Date = Bytes(97, 'd');  // "日期=" + 97 = 100 units
  fields.Version = "\xE4\xB8";   // cut UTF-8
  fields.Description = Bytes(96, 'x');  // exactly 99: fine
  const auto issues = CheckInfoFields(fields);
  ASSERT_EQ(issues.size(), 3u);
  EXPECT_EQ(issues[0].Key, kKeyName.Utf8);
  EXPECT_EQ(issues[0].Kind, InfoIssueKind::LineBreak);
  EXPECT_EQ(issues[1].Key, kKeyDate.Utf8);
  EXPECT_EQ(issues[1].Kind, InfoIssueKind::TooLong);
  EXPECT_EQ(issues[2].Key, kKeyVersion.Utf8);
  EXPECT_EQ(issues[2].Kind, InfoIssueKind::BadUtf8);
}

// The integrity line: the common CRC-32, and its line read only as 8 upper-case hex digits.
TEST(Integrity, Crc32AndItsLine) {
  EXPECT_EQ(Crc32(0, "123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32(Crc32(0, "1234"), "56789"), 0xCBF43926u);  // in pieces as whole
  Bytes every;  // every byte value, through the eight-byte steps and the tail
  for (int i = 0; i < 4 * 256; ++i) every += static_cast<char>(i & 0xFF);
  EXPECT_EQ(Crc32(0, every + "xyz"), 0x1c505903u);
  IntegrityLine line = ReadIntegrityLine("名称=a\r\nCRC32=CBF43926");
  EXPECT_TRUE(line.Present && line.Readable && !line.CoversInfo);
  EXPECT_EQ(line.Crc32, 0xCBF43926u);
  EXPECT_EQ(line.InfoCrc32, 0u);
  for (const char* bad : {"CRC32=cbf43926", "CRC32=CBF4392", "CRC32=CBF439260", "CRC32=", "CRC32ALL=CBF4392"}) {
    line = ReadIntegrityLine(bad);
    EXPECT_TRUE(line.Present && !line.Readable) << bad;
  }
  EXPECT_FALSE(ReadIntegrityLine("名称=a").Present);
  // "CRC32ALL=" covers the lines before it, the older key among them; either counts only as the
  // last line.
  const Bytes info = "名称=a\r\nCRC32=00000000\r\n文件名=b\r\n";
  line = ReadIntegrityLine(info + "CRC32ALL=CBF43926");
  EXPECT_TRUE(line.Present && line.Readable && line.CoversInfo);
  EXPECT_EQ(line.Crc32, 0xCBF43926u);
  EXPECT_EQ(line.InfoCrc32, Crc32(0, info));
  EXPECT_FALSE(ReadIntegrityLine("CRC32ALL=CBF43926\r\n名称=a").Present);
}

// The name makes a folder and a shortcut, the program is started inside the target: each must
// stay where it belongs. The writer's check and the readers' are the same rule.
TEST(InfoFault, NamesAndProgramsThatLeadOutsideAreRefused) {
  const auto fault = [](std::string_view name, std::string_view program) {
    PackageInfo info;
    info.DisplayName = Utf8ToWide(name);
    info.ProgramFile = Utf8ToWide(program);
    return FindInfoFault(info);
  };
  EXPECT_EQ(fault("绿色软件 1.0", "bin\\app.exe"), InfoFault::None);
  for (std::string_view name : {"..\\..\\..\\evilname", "a/b", "a\\b", "C:", "..", "", "CON", "name.", "a\tb"})
    EXPECT_EQ(fault(name, "app.exe"), InfoFault::DisplayName) << name;
  for (std::string_view program : {"..\\..\\outside\\runme.exe", "C:\\Windows\\x.exe", "\\x.exe", ""})
    EXPECT_EQ(fault("name", program), InfoFault::ProgramFile) << program;

  InfoFields fields;
  fields.Name = "..\\evil";
  fields.ProgramFile = "..\\run.exe";
  const auto issues = CheckInfoFields(fields);
  ASSERT_EQ(issues.size(), 1u);  // the name is judged first
  EXPECT_EQ(issues[0].Kind, InfoIssueKind::Unsafe);
}

FileListEntry Folder(std::string_view path) { return test::FolderEntry(path); }
FileListEntry File(std::uint64_t time, std::string_view path) { return test::FileEntry(time, path); }

TEST(FileList, BuildsAndSplitsBack) {
  const std::vector<FileListEntry> entries = {
      Folder("文件夹"), File(0x01D9A1B2C3D4E5F6, "文件夹\\a.txt"), Folder("文件夹\\sub"),
      File(1, "文件夹\\sub\\b"), File(0x0123456789ABCDEF, "top.bin")};
  const auto list = BuildFileList(entries);
  ASSERT_TRUE(list);
  EXPECT_EQ(*list, "DIR文件夹\r\n" + Hex("F6E5D4C3B2A1D901") + "文件夹\\a.txt\r\nDIR文件夹\\sub\r\n" +
                       Hex("0100000000000000") + "文件夹\\sub\\b\r\n" + Hex("EFCDAB8967452301") +
                       "top.bin");
  const auto read = ReadFileList(*list);
  ASSERT_TRUE(read);
  ASSERT_EQ(read->size(), entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ((*read)[i].IsFolder, entries[i].IsFolder) << i;
    EXPECT_EQ((*read)[i].FileTime, entries[i].FileTime) << i;
    EXPECT_EQ((*read)[i].PathUtf8, entries[i].PathUtf8) << i;
    EXPECT_EQ((*read)[i].Path, entries[i].Path) << i;
  }
  EXPECT_EQ(CountFiles(*read), 3u);
  // Decoded pieces end anywhere, between a CR and its LF too; a lone LF belongs to the entry.
  const Bytes withLf = *list + "\r\nDIRa\nb";
  for (std::size_t piece = 1; piece <= 9; ++piece) {
    const auto pieces = ReadFileList(withLf, piece);
    ASSERT_TRUE(pieces) << piece;
    ASSERT_EQ(pieces->size(), entries.size() + 1) << piece;
    for (std::size_t i = 0; i < entries.size(); ++i)
      EXPECT_EQ((*pieces)[i].PathUtf8, entries[i].PathUtf8) << piece << " " << i;
    EXPECT_EQ(pieces->back().PathUtf8, "a\nb") << piece;
  }
}

TEST(FileList, EmptyAndShortEntriesAreCorrupt) {
  const Bytes file = Hex("0102030405060708") + "x";
  EXPECT_TRUE(ReadFileList(file + "\r\n"));  // an empty entry at the very end is ignored
  EXPECT_EQ(ReadFileList(file + "\r\n")->size(), 1u);
  EXPECT_TRUE(ReadFileList("")->empty());
  EXPECT_FALSE(ReadFileList("\r\n"));
  EXPECT_FALSE(ReadFileList(file + "\r\n\r\n" + file));
  EXPECT_FALSE(ReadFileList(file + "\r\n\r\n"));
  EXPECT_FALSE(ReadFileList(Hex("0102030405060708")));  // a time without a name
  EXPECT_FALSE(ReadFileList("x\r\n" + file));
  EXPECT_TRUE(ReadFileList("DIR"));  // a folder without a path: caught by the path check
  EXPECT_TRUE(FindUnsafeEntry(*ReadFileList("DIR")));
}

TEST(FileList, ReadsAlikeWhateverPiecesTheDecoderHandsOver) {
  // A CR LF may arrive split between two pieces, or a piece may hold nothing but one.
  const Bytes list = "DIRa\r\n" + Hex("0102030405060708") + "a\\b\r\r\nDIRc\r\n" +
                     Hex("0D0E030405060708") + "x\r\n";
  const auto whole = ReadFileList(list);
  ASSERT_TRUE(whole);
  ASSERT_EQ(whole->size(), 4u);
  EXPECT_EQ((*whole)[1].PathUtf8, "a\\b\r");
  for (std::size_t piece = 1; piece < list.size(); ++piece) {
    const auto read = ReadFileList(list, piece);
    ASSERT_TRUE(read) << piece;
    ASSERT_EQ(read->size(), whole->size()) << piece;
    for (std::size_t i = 0; i < read->size(); ++i)
      EXPECT_EQ((*read)[i].PathUtf8, (*whole)[i].PathUtf8) << piece;
  }
  EXPECT_FALSE(ReadFileList("DIRa\r\n\r\nDIRb", 5));  // the empty entry's CR LF split off
}

TEST(FileList, ListsBeyondTheBoundsAreCorrupt) {
  // A few bytes of stream may state millions of entries: the reader stops at the bound, never
  // holding more than it allows.
  Bytes list;
  for (std::size_t i = 0; i < kMaxFileListEntries; ++i) list += "DIRa\r\n";
  list.pop_back();
  list.pop_back();
  EXPECT_EQ(ReadFileList(list, 4096)->size(), kMaxFileListEntries);
  EXPECT_FALSE(ReadFileList(list + "\r\nDIRa", 4096));
  FileListReader reader;
  EXPECT_FALSE(reader.Put(Bytes(kMaxTextBlockSize + 1, 'a')));
  EXPECT_FALSE(reader.Finish());
}

TEST(FileList, TimesThatDoNotSplitBack) {
  // Why StorableFileTime exists: a time starting with "DIR" reads as a folder, and a CR LF
  // inside a time splits the entry.
  const auto folder = ReadFileList(Hex("4449520000000000") + "x");
  ASSERT_TRUE(folder);
  EXPECT_TRUE((*folder)[0].IsFolder);
  EXPECT_FALSE(ReadFileList(Hex("01020D0A05060708") + "x"));
}

TEST(UnsafePath, LeavingTheTargetFolderIsRefused) {
  const char* unsafe[] = {
      "", "..", "..\\x", "a\\..\\..\\x", "a/../b", "a\\..", ".", "a\\.\\b", "...", ". .",
      "\\x", "/x", "\\\\server\\share\\x", "\\\\?\\C:\\x", "\\\\.\\PhysicalDrive0", "C:x",
      "C:\\x", "a:b", "file.txt:stream", "a\\\\b", "a//b", "a\\", "a/", "a\x01" "b", "a\tb",
      "a\rb", "a\nb", "a\x7F", "CON", "con.txt", "a\\nul", "Nul .txt", "COM1", "lpt9.log",
      "CONIN$", "aux\\x",
      // Names Windows cannot create, or would silently change into another name.
      "evil.", "a..", "dir. \\x", "a<b", "a*b", "a|b", "a?b", "a\"b", "a>b", "COM0.txt",
      "LPT0", "CONOUT$.log", "COM\u00B9", "com\u00B2.txt", "LPT\u00B3",
      // The file being written takes this name until it is whole: the next file would overwrite
      // a package file of that name.
      "~zvsetup.partial", "a\\~ZVSetup.Partial", "~zvsetup.partial\\x"};
  for (const char* path : unsafe) {
    EXPECT_TRUE(IsUnsafePath(ByteView(path))) << path;
    EXPECT_TRUE(IsUnsafePath(TextView(Utf16(path)))) << path;
  }
  EXPECT_TRUE(IsUnsafePath(ByteView("a\0b", 3)));
  const char* safe[] = {"a", "a\\b.txt", "文件夹\\文件.exe", "a/b", "..a", ".hidden",
                        "a b\\c d", "CONSOLE", "com10", "lpt", "nul_x", "x.con", "dir\\..x",
                        "COM\u00B4", "LPT\u00B9\u00B9", "~zvsetup.partial.txt"};
  for (const char* path : safe) {
    EXPECT_FALSE(IsUnsafePath(ByteView(path))) << path;
    EXPECT_FALSE(IsUnsafePath(TextView(Utf16(path)))) << path;
  }
  EXPECT_TRUE(IsUnsafeName(ZV_TEXT("a\\b")));
  EXPECT_TRUE(IsUnsafeName(ZV_TEXT("a/b")));
  EXPECT_TRUE(IsUnsafeName(ZV_TEXT("..")));
  EXPECT_FALSE(IsUnsafeName(ZV_TEXT("测试软件 1.0")));
}

TEST(UnsafePath, WholeListCheckFindsTheFirstBadEntry) {
  std::vector<FileListEntry> entries = {Folder("a"), File(1, "a\\x"), File(1, "ok")};
  EXPECT_FALSE(FindUnsafeEntry(entries));
  entries.push_back(File(1, "a\\..\\..\\evil.dll"));
  entries.push_back(Folder("\\\\?\\C:\\Windows"));
  EXPECT_EQ(FindUnsafeEntry(entries), 3u);
  // The raw bytes count too: a NUL cuts the converted path to something harmless-looking.
  FileListEntry hidden = File(1, "ok");
  hidden.PathUtf8 = Bytes("ok\0\\..\\..\\x", 11);
  EXPECT_EQ(FindUnsafeEntry({hidden}), 0u);
  EXPECT_EQ(BuildFileList(entries), std::nullopt);
}

TEST(FileList, EntriesTheFolderCannotHoldAsListedClash) {
  const std::string longName(256, 'n');
  const std::vector<std::vector<FileListEntry>> clashing = {
      {File(1, "a.txt"), File(2, "a.txt")},            // the second would overwrite the first
      {File(1, "Readme.TXT"), File(2, "readme.txt")},  // one file to Windows
      {Folder("\xC3\x89t\xC3\xA9"), Folder("\xC3\xA9T\xC3\x89")},  // "Été", "éTÉ"
      {Folder("d"), File(1, "D")},                     // a file where a folder is
      {File(1, "f"), File(2, "f\\x")},                // below a file
      {Folder("a"), File(1, "a/b"), File(2, "a\\B")},   // "/" is "\\" to Windows
      {File(1, "sub\\x")},                             // no entry makes "sub"
      {File(1, longName)},
      // Windows folds every letter of the BMP by its upper-case table: Greek, Cyrillic, the
      // digraphs, fullwidth forms.
      {File(1, "Σ.txt"), File(2, "σ.txt")},
      {File(1, "Ǆ"), File(2, "ǆ")},
      {File(1, "Ａ"), File(2, "ａ")},
      {File(1, "Ж"), File(2, "ж")},
      {Folder("Σ"), File(1, "σ")},
  };
  for (const auto& entries : clashing)
    EXPECT_EQ(FindClashingEntry(entries), entries.size() - 1) << entries.back().PathUtf8;
  // Beyond the BMP (surrogate pairs) Windows folds nothing: Deseret's two cases are two names.
  EXPECT_EQ(FindClashingEntry({Folder("a"), Folder("a\\b"), File(1, "a\\b\\c"), File(2, "A.txt"),
                               File(3, std::string(255, 'n')), File(4, "𐐀"), File(5, "𐐨")}),
            std::nullopt);
}

TEST(FileList, BuilderRefusesWhatCannotBeStored) {
  EXPECT_EQ(FindUnstorableEntry({File(1, "a\\b")}), 0u);  // folder "a" never made
  EXPECT_EQ(FindUnstorableEntry({Folder("a\\b")}), 0u);
  EXPECT_EQ(FindUnstorableEntry({Folder("a"), File(0x0A0D, "a\\b")}), 1u);  // CR LF in the time
  EXPECT_EQ(FindUnstorableEntry({File(0x524944, "x")}), 0u);  // time starts with "DIR"
  EXPECT_EQ(FindUnstorableEntry({Folder("a"), Folder("a\\b"), File(5, "a\\b\\c")}), std::nullopt);
  EXPECT_EQ(BuildFileList({}), Bytes());
}

TEST(StorableFileTime, MovesOnlyWhatWouldNotSplitBack) {
  const std::uint64_t now = 0x01DA2B3C4D5E6F70;
  EXPECT_EQ(StorableFileTime(now).Time, now);
  EXPECT_FALSE(StorableFileTime(now).Moved);
  // "DIR" in the low bytes: one tick away, the earlier on the tie.
  const StorableTime dir = StorableFileTime(0x01DA2B3C4D524944);
  EXPECT_TRUE(dir.Moved);
  EXPECT_EQ(dir.Time, 0x01DA2B3C4D524943u);
  // CR LF in the two lowest bytes: a run of one time, so again one tick.
  EXPECT_EQ(StorableFileTime(0x01DA2B3C4D5E0A0D).Time, 0x01DA2B3C4D5E0A0Cu);
  // CR LF in bytes 4 and 5: every time sharing them is unstorable, 2^32 ticks each.
  EXPECT_EQ(StorableFileTime(0x01DA0A0D00000010).Time, 0x01DA0A0CFFFFFFFFu);
  EXPECT_EQ(StorableFileTime(0x01DA0A0DFFFFFF00).Time, 0x01DA0A0E00000000u);
  // Two pairs: the higher one decides, the lower one lies inside its run.
  EXPECT_EQ(StorableFileTime(0x0A0D00000A0D0000).Time, 0x0A0CFFFFFFFFFFFFu);
  EXPECT_EQ(StorableFileTime(0x0A0DFFFFFFFFFFFF).Time, 0x0A0E000000000000u);
}

TEST(StorableFileTime, NearestStorableByExhaustiveSearch) {
  // Around low-byte patterns the nearest storable time is within reach of a plain search.
  std::mt19937_64 random(3);
  for (int round = 0; round < 300; ++round) {
    std::uint64_t time = random() & 0x00FFFFFFFF000000;
    if (!IsStorableFileTime(time)) continue;  // a pattern up there: out of the search's reach
    const int kind = round % 3;
    time |= kind == 0 ? 0x524944 : kind == 1 ? 0x0A0D : 0x0A0D00 | (random() & 0xFF);
    const StorableTime result = StorableFileTime(time);
    ASSERT_TRUE(IsStorableFileTime(result.Time)) << std::hex << time;
    ASSERT_TRUE(result.Moved);
    std::uint64_t best = 0;
    for (std::uint64_t d = 1; d < (1u << 17); ++d) {
      if (IsStorableFileTime(time - d)) { best = time - d; break; }
      if (IsStorableFileTime(time + d)) { best = time + d; break; }
    }
    EXPECT_EQ(result.Time, best) << std::hex << time;
  }
}

}  // namespace
}  // namespace zv
