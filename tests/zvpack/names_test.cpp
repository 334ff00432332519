// Name rules, time conversions and the small text helpers of the packer.
#include <gtest/gtest.h>

#include "tools/zvpack/errors.h"
#include "tools/zvpack/filetime.h"
#include "tools/zvpack/names.h"
#include "tools/zvpack/progress.h"

namespace zv::pack {
namespace {

TEST(NameRules, AcceptsOrdinaryAndChineseNames) {
  for (const char* name : {"a", "readme.txt", "说明.txt", "数据", "COM10", "console", "lpt", "a.b.c",
                           ".hidden", "name with spaces.doc", "😀.png", "con_x", "nul1"}) {
    EXPECT_EQ(NameProblem(name), "") << name;
  }
}

TEST(NameRules, RefusesNamesWindowsCannotCreate) {
  for (const char* name : {"a<b", "a>b", "a:b", "a\"b", "a|b", "a?b", "a*b", "trailing.",
                           "trailing ", "CON", "con", "Con.txt", "PRN.log", "AUX", "nul.tar.gz",
                           "COM1", "com9.txt", "LPT1", "lpt9.x", "CON .txt", "a\tb", "a\x1F"}) {
    EXPECT_NE(NameProblem(name), "") << name;
  }
}

TEST(NameRules, RefusesLineBreaksSeparatorsAndBadUtf8) {
  EXPECT_NE(NameProblem("a\rb").find("line break"), std::string::npos);
  EXPECT_NE(NameProblem("a\nb").find("line break"), std::string::npos);
  EXPECT_NE(NameProblem("a\\b"), "");
  EXPECT_NE(NameProblem("a/b"), "");
  EXPECT_NE(NameProblem(""), "");
  EXPECT_NE(NameProblem("."), "");
  EXPECT_NE(NameProblem(".."), "");
  for (const char* bytes : {"\xC0\xAF", "\xE4\xB8", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF"}) {
    EXPECT_NE(NameProblem(std::string("x") + bytes).find("UTF-8"), std::string::npos);
  }
}

TEST(NameRules, PackagePathsCheckEveryPiece) {
  EXPECT_EQ(PackagePathProblem("a\\b\\c.txt"), "");
  EXPECT_EQ(PackagePathProblem("数据\\说明.txt"), "");
  EXPECT_NE(PackagePathProblem(""), "");
  EXPECT_NE(PackagePathProblem("\\abs"), "");
  EXPECT_NE(PackagePathProblem("a\\\\b"), "");
  EXPECT_NE(PackagePathProblem("a\\"), "");
  EXPECT_NE(PackagePathProblem("..\\x"), "");
  EXPECT_NE(PackagePathProblem("a\\..\\..\\x"), "");
  EXPECT_NE(PackagePathProblem("C:\\x"), "");
  EXPECT_NE(PackagePathProblem("a\\NUL"), "");
  EXPECT_NE(PackagePathProblem("a/b"), "");
}

TEST(NameRules, TypedProgramPathsBecomePackagePaths) {
  EXPECT_EQ(NormalisePackagePath("bin/app.exe"), "bin\\app.exe");
  EXPECT_EQ(NormalisePackagePath("./bin//app.exe"), "bin\\app.exe");
  EXPECT_EQ(NormalisePackagePath("bin\\sub/app.exe"), "bin\\sub\\app.exe");
  EXPECT_EQ(NormalisePackagePath("/app.exe"), "app.exe");
  EXPECT_EQ(NormalisePackagePath("../app.exe"), "..\\app.exe");  // refused later
}

TEST(FileTimes, ConvertPosixTimesToTicksAndBack) {
  EXPECT_EQ(FileTimeFromUnix(0, 0), 116'444'736'000'000'000ULL);
  EXPECT_EQ(FileTimeFromUnix(0, 199), 116'444'736'000'000'001ULL);  // cut to whole ticks
  EXPECT_EQ(FileTimeFromUnix(-1, 500'000'000), 116'444'735'995'000'000ULL);
  EXPECT_EQ(FileTimeFromUnix(-kSecondsFrom1601To1970 - 1, 0), 0u);  // before 1601
  for (std::uint64_t ticks : {0ULL, 1ULL, 116'444'736'000'000'000ULL, 133'512'345'678'901'234ULL,
                              116'444'735'999'999'999ULL}) {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    UnixFromFileTime(ticks, &seconds, &nanoseconds);
    EXPECT_EQ(FileTimeFromUnix(seconds, nanoseconds), ticks);
  }
}

TEST(FileTimes, FormatInUtcWithEveryTick) {
  EXPECT_EQ(FormatFileTimeUtc(0), "1601-01-01T00:00:00.0000000Z");
  EXPECT_EQ(FormatFileTimeUtc(116'444'736'000'000'000ULL), "1970-01-01T00:00:00.0000000Z");
  EXPECT_EQ(FormatFileTimeUtc(FileTimeFromUnix(1'709'164'800 + 3723, 123'456'700)),
            "2024-02-29T01:02:03.1234567Z");
  EXPECT_EQ(FormatUtcDate(0), "1970-01-01");
  EXPECT_EQ(FormatUtcDate(-1), "1969-12-31");
  EXPECT_EQ(FormatUtcDate(951'782'400), "2000-02-29");
}

TEST(TextHelpers, PrintableEscapesWhatATerminalWouldMangle) {
  EXPECT_EQ(Printable("数据/a.txt"), "数据/a.txt");
  EXPECT_EQ(Printable("a\nb"), "a\\x0Ab");
  EXPECT_EQ(Printable("a\xFF"), "a\\xFF");
  EXPECT_EQ(Printable("\xE4\xB8"), "\\xE4\\xB8");
  // C1 controls (CSI, OSC …) and the bidirectional overrides and isolates: shown by number.
  EXPECT_EQ(Printable("a\u009B31mb\u0085"), "a\\u009B31mb\\u0085");
  EXPECT_EQ(Printable("setup\u202Etxt.exe"), "setup\\u202Etxt.exe");
  EXPECT_EQ(Printable("\u202A\u202E\u2066\u2069"), "\\u202A\\u202E\\u2066\\u2069");
  EXPECT_EQ(Printable("\u00A0\u2029\u2065\u206A"), "\u00A0\u2029\u2065\u206A");  // their neighbours stay
}

TEST(TextHelpers, ProgressLineShowsCountsSpeedAndTimeLeft) {
  const std::string start = ProgressLine::Format("packing", 0, 10, 0, 50'000'000, 0.0);
  EXPECT_EQ(start, "packing  0/10 files  0.0/50.0 MB");
  const std::string later = ProgressLine::Format("packing", 4, 10, 20'000'000, 50'000'000, 4.0);
  EXPECT_EQ(later, "packing  4/10 files  20.0/50.0 MB  5.0 MB/s  ETA 0:06");
}

}  // namespace
}  // namespace zv::pack
