// The built zvpack program itself: exit codes, one-line messages, and (in the Windows tree,
// under Wine) Chinese arguments and names through wmain and the wide file API.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/zvpack/support.h"
#include "tools/zvpack/errors.h"

namespace zv::pack::test {
namespace {

class BinaryTest : public ::testing::Test {
 protected:
  ScratchFolder scratch_;
};

TEST_F(BinaryTest, HelpAndUsageErrors) {
  RunResult help = RunBinary({"--help"});
  EXPECT_EQ(help.exitCode, kExitOk);
  EXPECT_NE(help.out.find("extract"), std::string::npos);
  help = RunBinary({"build", "--help"});
  EXPECT_EQ(help.exitCode, kExitOk);
  EXPECT_NE(help.out.find("--program"), std::string::npos);
  for (const char* option : {"--icon", "--product-name", "--company", "--copyright", "--file-description"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }

  const RunResult none = RunBinary({});
  EXPECT_EQ(none.exitCode, kExitInput);
  EXPECT_FALSE(none.err.empty());
  EXPECT_EQ(RunBinary({"list"}).exitCode, kExitInput);
  EXPECT_EQ(RunBinary({"verify", "a", "b"}).exitCode, kExitInput);
}

TEST_F(BinaryTest, FailuresAreOneLineNamingTheFile) {
  const RunResult missing = RunBinary({"list", scratch_ / "missing.exe"});
  EXPECT_EQ(missing.exitCode, kExitInput);
  EXPECT_TRUE(missing.err.starts_with("zvpack: ")) << missing.err;
  EXPECT_NE(missing.err.find("missing.exe: "), std::string::npos);
  EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);

  WriteBytes(scratch_ / "plain.exe", FakeStub());
  const RunResult plain = RunBinary({"extract", scratch_ / "plain.exe", scratch_ / "out"});
  EXPECT_EQ(plain.exitCode, kExitDamaged);
  EXPECT_NE(plain.err.find("plain.exe: no package found"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(FsPath(scratch_ / "out")));
}

// Chinese folder, file, installer and option texts, packed and unpacked by the program.
TEST_F(BinaryTest, PacksAndUnpacksChineseNames) {
  const std::string source = scratch_ / "源文件夹";
  MakeFolders(source + "/子目录/空目录");
  WriteBytes(source + "/程序.exe", "MZ 程序");
  WriteBytes(source + "/子目录/说明 文本.txt", "中文内容\r\n");
  WriteBytes(source + "/子目录/空.txt", "");
  SetLastWrite(source + "/程序.exe", kSampleTime);
  SetLastWrite(source + "/子目录/说明 文本.txt", kSampleTime + 1);
  SetLastWrite(source + "/子目录/空.txt", kSampleTime + 2);
  WriteBytes(scratch_ / "存根.exe", FakeStub());
  const std::string installer = scratch_ / "安装程序.exe";

  const RunResult build =
      RunBinary({"build", source, "-o", installer, "--stub", scratch_ / "存根.exe", "--name",
                 "中文软件", "--program", "程序.exe", "--description", "说明：测试", "--quiet"});
  ASSERT_EQ(build.exitCode, kExitOk) << build.err;
  EXPECT_TRUE(build.out.empty());

  const RunResult list = RunBinary({"list", installer, "--json"});
  ASSERT_EQ(list.exitCode, kExitOk) << list.err;
  const nlohmann::json json = nlohmann::json::parse(list.out);
  EXPECT_EQ(json["info"]["名称"], "中文软件");
  EXPECT_EQ(json["info"]["说明"], "说明：测试");
  EXPECT_EQ(json["entries"][0]["path"], "子目录");
  EXPECT_EQ(json["entries"][3]["path"], "子目录\\说明 文本.txt");

  const std::string out = scratch_ / "目标/安装";
  const RunResult extract = RunBinary({"extract", installer, out});
  ASSERT_EQ(extract.exitCode, kExitOk) << extract.err;
  EXPECT_EQ(Snapshot(out), Snapshot(source));
  EXPECT_EQ(LastWrite(out + "/程序.exe"), kSampleTime);
  EXPECT_EQ(LastWrite(out + "/子目录/说明 文本.txt"), kSampleTime + 1);
  EXPECT_EQ(LastWrite(out + "/子目录/空.txt"), kSampleTime + 2);

  const RunResult verify = RunBinary({"verify", installer});
  EXPECT_EQ(verify.exitCode, kExitOk) << verify.err;
  EXPECT_NE(verify.out.find("sound: 3 files, 2 folders"), std::string::npos) << verify.out;
}

}  // namespace
}  // namespace zv::pack::test
