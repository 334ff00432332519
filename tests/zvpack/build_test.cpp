// zvpack build: the round trip to extract, reproducible output, time stamps, and every input
// the packer refuses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "package/writer.h"
#include "tests/zvpack/support.h"
#include "tools/zvpack/build.h"
#include "tools/zvpack/errors.h"
#include "tools/zvpack/inspect.h"
#include "tools/zvpack/platform.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zv::pack::test {
namespace {

// A small tree with structure: nested and empty folders, an empty file, a binary file, a file
// that compresses well, Chinese names, and exact (sub-microsecond) time stamps.
class BuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(stub_, FakeStub());
    MakeFolders(src("bin"));
    MakeFolders(src("数据/空目录"));
    MakeFolders(src("empty"));
    WriteFile("bin/app.exe", "MZ" + std::string(5000, 'x') + "app", 0);
    WriteFile("bin/空.dat", "", 1);
    WriteFile("数据/说明.txt", "你好，世界\r\n", 2);
    Bytes binary;
    for (int i = 0; i < 70'000; ++i) binary += static_cast<char>((i * 2654435761u) >> 13);
    WriteFile("数据/random.bin", binary, 3);
    WriteFile("readme.txt", std::string(100'000, 'r'), 4);
  }

  std::string src(const std::string& relative) const { return scratch_ / ("src/" + relative); }

  void WriteFile(const std::string& relative, const Bytes& bytes, int index) {
    WriteBytes(src(relative), bytes);
    SetLastWrite(src(relative), kSampleTime + static_cast<std::uint64_t>(index) * 1'234'567);
  }

  BuildOptions Options(const std::string& output) const {
    BuildOptions options;
    options.source = scratch_ / "src";
    options.output = output;
    options.stub = stub_;
    options.name = "测试软件";
    options.program = "bin/app.exe";
    options.id = 7;
    options.version = "1.2.3";
    options.date = "2024-01-29";
    options.description = "一个测试";
    options.threads = 2;
    return options;
  }

  ScratchFolder scratch_;
  std::string stub_ = scratch_ / "stub.exe";
};

TEST_F(BuildTest, ExtractGivesBackTheExactTree) {
  const std::string installer = scratch_ / "setup.exe";
  const BuildResult result = BuildInstaller(Options(installer));
  EXPECT_EQ(result.files, 5u);
  EXPECT_EQ(result.folders, 4u);  // bin, empty, 数据, 数据/空目录
  EXPECT_EQ(result.programPath, "bin\\app.exe");
  EXPECT_TRUE(result.adjusted.empty());

  const Bytes bytes = ReadBytes(installer);
  EXPECT_EQ(bytes.substr(0, FakeStub().size()), FakeStub());
  EXPECT_EQ(bytes.size(), result.stubBytes + result.packageBytes);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");

  const std::string out = scratch_ / "out";
  const ExtractResult extracted = ExtractInstaller(installer, out);
  EXPECT_EQ(extracted.files, 5u);
  EXPECT_EQ(Snapshot(out), Snapshot(src("")));
  for (const char* file : {"bin/app.exe", "bin/空.dat", "数据/说明.txt", "数据/random.bin", "readme.txt"}) {
    EXPECT_EQ(LastWrite(scratch_ / ("out/" + std::string(file))), LastWrite(src(file))) << file;
  }
  EXPECT_EQ(LastWrite(src("bin/app.exe")), kSampleTime);
}

TEST_F(BuildTest, InformationBlockHoldsTheKeysInOrder) {
  const std::string installer = scratch_ / "setup.exe";
  BuildInstaller(Options(installer));
  const OpenPackage package = OpenInstaller(installer);
  const std::vector<std::pair<std::string, std::string>> expected{
      {"编号", "7"}, {"名称", "测试软件"}, {"文件名", "bin\\app.exe"},
      {"日期", "2024-01-29"}, {"版本号", "1.2.3"}, {"说明", "一个测试"}};
  ASSERT_EQ(package.infoLines.size(), expected.size() + 1);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), package.infoLines.begin()));
  // Last, the integrity line, and it holds for what was written after the information.
  EXPECT_EQ(package.infoLines.back().first, "CRC32ALL");
  EXPECT_EQ(package.infoLines.back().second.size(), kCrc32Digits);
  EXPECT_EQ(CheckIntegrity(*package.source, package.integrity), Integrity::Sound);
  EXPECT_EQ(package.info.PackageNumber, 7);
  EXPECT_EQ(package.info.ProgramFile, ZV_TEXT("bin\\app.exe"));
}

TEST_F(BuildTest, FoldersComeBeforeTheirContents) {
  const std::string installer = scratch_ / "setup.exe";
  BuildInstaller(Options(installer));
  std::vector<std::string> order;
  for (const PackageEntry& entry : OpenInstaller(installer).entries) {
    order.push_back((entry.folder ? "D " : "F ") + entry.path);
  }
  // Bytewise order in every folder: ASCII first, then 空 (E7 A9 BA) before 说 (E8 AF B4).
  const std::vector<std::string> expected{
      "D bin",        "F bin\\app.exe",      "F bin\\空.dat",       "D empty",
      "F readme.txt", "D 数据",              "F 数据\\random.bin", "D 数据\\空目录",
      "F 数据\\说明.txt"};
  EXPECT_EQ(order, expected);
}

TEST_F(BuildTest, OutputIsTheSameForAnyThreadCountAndBudget) {
  BuildOptions options = Options(scratch_ / "one.exe");
  options.threads = 1;
  BuildInstaller(options);
  options = Options(scratch_ / "four.exe");
  options.threads = 4;
  BuildInstaller(options);
  options = Options(scratch_ / "tight.exe");
  options.threads = 3;
  options.memoryBudget = 1;  // one file at a time
  BuildInstaller(options);
  const Bytes one = ReadBytes(scratch_ / "one.exe");
  EXPECT_EQ(one, ReadBytes(scratch_ / "four.exe"));
  EXPECT_EQ(one, ReadBytes(scratch_ / "tight.exe"));
}

// A large file's match finder runs on threads of its own when the packer has more than one:
// the installer is the same byte for byte.
TEST_F(BuildTest, ALargeFileGivesTheSameOutputWhateverTheThreadCount) {
  Bytes large;
  for (int i = 0; large.size() < (3u << 19); ++i) {
    large += "record " + std::to_string(i % 500) + (i % 3 ? " texture\n" : " sound\n");
  }
  MakeFolders(src("data"));
  WriteFile("data/world.pak", large, 5);
  std::vector<Bytes> installers;
  for (const unsigned threads : {1u, 2u}) {
    const std::string output = scratch_ / ("setup" + std::to_string(threads) + ".exe");
    BuildOptions options = Options(output);
    options.threads = threads;
    BuildInstaller(options);
    installers.push_back(ReadBytes(output));
  }
  EXPECT_EQ(installers[0], installers[1]);
  ExtractInstaller(scratch_ / "setup2.exe", scratch_ / "out");
  EXPECT_EQ(Snapshot(scratch_ / "out"), Snapshot(src("")));
}

TEST_F(BuildTest, FilesOverTheMemoryBudgetStreamAndLeaveNothingBehind) {
  BuildOptions options = Options(scratch_ / "setup.exe");
  options.memoryBudget = 1;  // every file is over it
  BuildInstaller(options);
  ExtractInstaller(scratch_ / "setup.exe", scratch_ / "out");
  EXPECT_EQ(Snapshot(scratch_ / "out"), Snapshot(src("")));
  std::set<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(FsPath(scratch_.Path()))) {
    names.insert(item.path().filename().string());
  }
  EXPECT_EQ(names, (std::set<std::string>{"out", "setup.exe", "src", "stub.exe"}));
}

TEST_F(BuildTest, OutputDoesNotDependOnTheOrderFilesWereCreated) {
  // The same names, contents and times, created in the opposite order in another folder.
  const std::string other = scratch_ / "src2";
  const std::vector<std::string> files{"readme.txt", "数据/random.bin", "数据/说明.txt",
                                       "bin/空.dat", "bin/app.exe"};
  for (const char* folder : {"empty", "数据/空目录", "bin"}) MakeFolders(other + "/" + folder);
  for (const std::string& file : files) {
    WriteBytes(other + "/" + file, ReadBytes(src(file)));
    SetLastWrite(other + "/" + file, LastWrite(src(file)));
  }
  BuildInstaller(Options(scratch_ / "a.exe"));
  BuildOptions options = Options(scratch_ / "b.exe");
  options.source = other;
  BuildInstaller(options);
  EXPECT_EQ(ReadBytes(scratch_ / "a.exe"), ReadBytes(scratch_ / "b.exe"));
}

TEST_F(BuildTest, TimesThatTheListCannotHoldMoveByTheFewestTicks) {
  // Low bytes 0D 0A: the list would split inside the time stamp.
  const std::uint64_t awkward = (kSampleTime & ~0xFFFFULL) | 0x0A0D;
  ASSERT_FALSE(IsStorableFileTime(awkward));
  SetLastWrite(src("readme.txt"), awkward);
  std::vector<std::string> notes;
  BuildOptions options = Options(scratch_ / "setup.exe");
  options.note = [&notes](std::string_view note) { notes.emplace_back(note); };
  const BuildResult result = BuildInstaller(options);

  ASSERT_EQ(result.adjusted.size(), 1u);
  EXPECT_EQ(result.adjusted[0].path, "readme.txt");
  EXPECT_EQ(result.adjusted[0].from, awkward);
  const std::uint64_t stored = result.adjusted[0].to;
  EXPECT_TRUE(IsStorableFileTime(stored));
  EXPECT_EQ(stored > awkward ? stored - awkward : awkward - stored, 1u);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("readme.txt"), std::string::npos);

  ExtractInstaller(scratch_ / "setup.exe", scratch_ / "out");
  EXPECT_EQ(LastWrite(scratch_ / "out/readme.txt"), stored);
  EXPECT_EQ(Snapshot(scratch_ / "out"), Snapshot(src("")));
}

TEST_F(BuildTest, ProgramIsFoundWithoutRegardToCase) {
  BuildOptions options = Options(scratch_ / "setup.exe");
  options.program = "BIN\\App.EXE";
  EXPECT_EQ(BuildInstaller(options).programPath, "bin\\app.exe");
}

TEST_F(BuildTest, DateDefaultsToTheDayOfSourceDateEpoch) {
#ifdef _WIN32
  _putenv_s("SOURCE_DATE_EPOCH", "951782400");
#else
  setenv("SOURCE_DATE_EPOCH", "951782400", 1);
#endif
  EXPECT_EQ(DefaultDate(), "2000-02-29");
#ifdef _WIN32
  _putenv_s("SOURCE_DATE_EPOCH", "soon");
#else
  setenv("SOURCE_DATE_EPOCH", "soon", 1);
#endif
  EXPECT_THROW(DefaultDate(), PackError);
#ifdef _WIN32
  _putenv_s("SOURCE_DATE_EPOCH", "");
#else
  unsetenv("SOURCE_DATE_EPOCH");
#endif
  EXPECT_EQ(DefaultDate().size(), 10u);
}

// ---- Refusals: exit code 1, a message naming the file, and no output --------------------

class RefusalTest : public BuildTest {
 protected:
  // "zvpack build" with the usual options plus extra ones.
  std::vector<std::string> BuildArgs(const std::vector<std::string>& extra,
                                     const std::string& program = "bin/app.exe") {
    std::vector<std::string> args{"build", src(""), "-o", output_, "--stub", stub_,
                                  "--name", "测试", "--program", program, "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  // Runs it in-process.
  int Build(const std::vector<std::string>& extra, const std::string& program = "bin/app.exe") {
    return RunInProcess(BuildArgs(extra, program));
  }
  // BuildInstaller's message for the usual options, or "" when it succeeds.
  std::string Refusal(const BuildOptions& options) {
    try {
      BuildInstaller(options);
    } catch (const PackError& error) {
      EXPECT_EQ(error.ExitCode(), kExitInput);
      return error.what();
    }
    return "";
  }
  void ExpectNoOutput() {
    EXPECT_FALSE(std::filesystem::exists(FsPath(output_)));
    EXPECT_FALSE(std::filesystem::exists(FsPath(output_ + ".partial")));
  }
  std::string output_ = scratch_ / "setup.exe";
};

TEST_F(RefusalTest, ProgramMustBeAFileOfTheTree) {
  EXPECT_EQ(Build({}, "bin/missing.exe"), kExitInput);
  EXPECT_EQ(Build({}, "bin"), kExitInput);
  EXPECT_EQ(Build({}, "../stub.exe"), kExitInput);
  BuildOptions options = Options(output_);
  options.program = "bin/missing.exe";
  EXPECT_NE(Refusal(options).find("bin/missing.exe"), std::string::npos);
  ExpectNoOutput();
}

TEST_F(RefusalTest, InformationLinesMustFitAndStayOnOneLine) {
  BuildOptions options = Options(output_);
  options.description = std::string(96, 'd');  // "说明=" is 3 units: 99 in all
  EXPECT_EQ(Refusal(options), "");
  options.description = std::string(97, 'd');
  EXPECT_NE(Refusal(options).find("--description"), std::string::npos);
  options.description = "说" + std::string(96, 'd');  // 3 + 97 units, 1 + 96 characters
  EXPECT_NE(Refusal(options).find("100 characters"), std::string::npos);
  options = Options(output_);
  options.version = "1.0\r\nID=1";
  EXPECT_NE(Refusal(options).find("--version"), std::string::npos);
  EXPECT_EQ(Build({"--description", "two\nlines"}), kExitInput);
  EXPECT_EQ(Build({"--name", std::string(97, 'n')}), kExitInput);
}

TEST_F(RefusalTest, NameMustSuitAFolderAndAShortcut) {
  EXPECT_EQ(Build({"--name", "a/b"}), kExitInput);
  EXPECT_EQ(Build({"--name", "CON"}), kExitInput);
  EXPECT_EQ(Build({"--name", "trailing."}), kExitInput);
  EXPECT_EQ(Build({"--name", ""}), kExitInput);
  ExpectNoOutput();
}

TEST_F(RefusalTest, StubMustNotHoldTheMarker) {
  WriteBytes(stub_, FakeStub() + AssembleMarker() + "zvzip");
  BuildOptions options = Options(output_);
  EXPECT_NE(Refusal(options).find("stub.exe"), std::string::npos);
  EXPECT_EQ(Build({}), kExitInput);
  options.stub = scratch_ / "no-such-stub.exe";
  EXPECT_NE(Refusal(options).find("no-such-stub.exe"), std::string::npos);
  ExpectNoOutput();
}

TEST_F(RefusalTest, AFileOverTheBlockLimitIsRefusedNamingTheLimit) {
  const std::string path = src("数据/huge.bin");
  WriteBytes(path, "");
  // Sparse: the size without the disk space.
  std::filesystem::resize_file(FsPath(path), std::uint64_t{kMaxBlockDataSize} + 1);
  const std::string message = Refusal(Options(output_));
  EXPECT_NE(message.find("huge.bin: the file is larger than a package can hold (1,073,741,823 bytes)"),
            std::string::npos) << message;
  ExpectNoOutput();
}

TEST_F(RefusalTest, OutputMustNotLieInsideTheSource) {
  BuildOptions options = Options(src("setup.exe"));
  EXPECT_NE(Refusal(options).find("inside the source"), std::string::npos);
}

TEST_F(RefusalTest, MissingSourceAndBadUsage) {
  BuildOptions options = Options(output_);
  options.source = scratch_ / "nothing";
  EXPECT_NE(Refusal(options).find("nothing"), std::string::npos);
  EXPECT_EQ(RunInProcess({"build", src(""), "-o", output_}), kExitInput);  // --name missing
  EXPECT_EQ(Build({"--threads", "0"}), kExitInput);
  EXPECT_EQ(Build({"--id", "x"}), kExitInput);
  EXPECT_EQ(Build({"--id", "4294967296"}), kExitInput);
  EXPECT_EQ(RunInProcess({"frobnicate"}), kExitInput);
  EXPECT_EQ(RunInProcess({}), kExitInput);
  EXPECT_EQ(RunInProcess({"build", "--help"}), kExitOk);
  ExpectNoOutput();
}

#ifndef _WIN32
// Names that Linux can hold but a package cannot: each refused, naming the path.
TEST_F(RefusalTest, NamesThePackageCannotCarry) {
  for (const std::string name : {"line\nbreak", "carriage\rreturn", "bad\xFFutf8", "CON",
                                 "aux.txt", "a:b", "what?", "pipe|", "dot.", "space ",
                                 "back\\slash", "tab\there"}) {
    SCOPED_TRACE(name);
    const std::string path = src("数据/" + name);
    WriteBytes(path, "x");
    BuildOptions options = Options(output_);
    const std::string message = Refusal(options);
    EXPECT_NE(message.find(Printable(path)), std::string::npos) << message;
    EXPECT_EQ(Build({}), kExitInput);
    std::filesystem::remove(path);
  }
  MakeFolders(src("folder."));
  EXPECT_NE(Refusal(Options(output_)).find("folder."), std::string::npos);
  ExpectNoOutput();
}

// Windows opens these as devices too (COM¹ is COM1 to it), so the package's rule refuses them
// and the packer says so as for CON.
TEST_F(RefusalTest, EveryDeviceNameIsRefusedAsADevice) {
  for (const std::string name : {"CONIN$", "COM0.txt", "LPT0", "COM¹.txt"}) {
    SCOPED_TRACE(name);
    const std::string path = src("数据/" + name);
    if (name == "LPT0") {
      MakeFolders(path);
    } else {
      WriteBytes(path, "x");
    }
    const RunResult build = RunBinary(BuildArgs({}));
    EXPECT_EQ(build.exitCode, kExitInput);
    EXPECT_NE(build.err.find(path + ": the name is reserved for a device on Windows"),
              std::string::npos) << build.err;
    std::filesystem::remove(path);
  }
  ExpectNoOutput();
}

TEST_F(RefusalTest, SymbolicLinksAreRefusedAsSuch) {
  std::filesystem::create_symlink("app.exe", src("bin/link.exe"));
  EXPECT_NE(Refusal(Options(output_)).find("symbolic link"), std::string::npos);
  std::filesystem::remove(src("bin/link.exe"));
  std::filesystem::create_directory_symlink(src("数据"), src("linked"));
  EXPECT_NE(Refusal(Options(output_)).find("linked: is a symbolic link"), std::string::npos);
  ExpectNoOutput();
}

// A file swapped for a link, or for another file, between the scan and the read is not packed:
// the packer never reads through a link it did not see.
TEST_F(RefusalTest, AFileSwappedAfterTheScanIsNotRead) {
  const std::string path = src("bin/app.exe");
  const Node scanned = Inspect(path);
  WriteBytes(scratch_ / "secret.txt", "secret");
  std::filesystem::remove(path);
  std::filesystem::create_symlink(scratch_ / "secret.txt", path);
  InputFile file;
  std::string reason;
  EXPECT_FALSE(file.OpenScanned(path, scanned, &reason));
  EXPECT_NE(reason.find("symbolic link"), std::string::npos) << reason;
  std::filesystem::remove(path);
  ::usleep(20000);  // past the clock's step: the new file's change time differs
  WriteBytes(src("other.exe"), "other");
  std::filesystem::rename(src("other.exe"), path);  // another file (inode) under the name
  reason.clear();
  EXPECT_FALSE(file.OpenScanned(path, scanned, &reason));
  EXPECT_NE(reason.find("replaced"), std::string::npos) << reason;
  EXPECT_TRUE(file.OpenScanned(path, Inspect(path), &reason)) << reason;
}

// Interrupted half way (Ctrl+C), a build leaves no OUT.partial behind and ends as interrupted.
TEST_F(RefusalTest, AnInterruptedBuildLeavesNothingBehind) {
  Bytes noise(48 << 20, '\0');
  std::uint32_t state = 12345;
  for (char& c : noise) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
  WriteBytes(src("bin/big.dat"), noise);
  const std::vector<std::string> args = BuildArgs({"--threads", "1"});
  const pid_t child = ::fork();
  if (child == 0) {
    std::vector<char*> argv{const_cast<char*>(ZVPACK_BINARY)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(ZVPACK_BINARY, argv.data());
    ::_exit(127);
  }
  for (int i = 0; i < 400 && !std::filesystem::exists(FsPath(output_ + ".partial")); ++i) ::usleep(10000);
  ASSERT_TRUE(std::filesystem::exists(FsPath(output_ + ".partial")));
  ::kill(child, SIGINT);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  ExpectNoOutput();
}

TEST_F(RefusalTest, NamesThatDifferOnlyInCase) {
  WriteBytes(src("bin/APP.exe"), "other");
  const std::string message = Refusal(Options(output_));
  EXPECT_NE(message.find("APP.exe"), std::string::npos);
  EXPECT_NE(message.find("case"), std::string::npos);
  // Windows folds every letter of the BMP, not only ASCII ones.
  std::filesystem::remove(FsPath(src("bin/APP.exe")));
  WriteBytes(src("bin/σ.txt"), "sigma");
  WriteBytes(src("bin/Σ.txt"), "SIGMA");
  EXPECT_NE(Refusal(Options(output_)).find("case"), std::string::npos);
}
#endif

}  // namespace
}  // namespace zv::pack::test
