// zvpack build --icon and the version options: the resource writer on the real installer stub
// (its limits, its layout and alignment, a stub it cannot rewrite), the icon files it refuses,
// the version block it writes, and what zvpack list says about both.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "package/container.h"
#include "tests/zvpack/support.h"
#include "tools/zvpack/branding.h"
#include "tools/zvpack/build.h"
#include "tools/zvpack/errors.h"
#include "tools/zvpack/inspect.h"

namespace zv::pack::test {
namespace {

Bytes Stub() {
  const Bytes stub = ReadBytes(ZV_STUB_FOR_TESTS);
  EXPECT_FALSE(stub.empty()) << ZV_STUB_FOR_TESTS << " is missing (scripts/test builds both trees first)";
  return stub;
}

PeLayout Layout(const Bytes& image) {
  std::string problem;
  const std::optional<PeLayout> layout = ReadPeLayout(image, image.size(), &problem);
  EXPECT_TRUE(layout) << problem;
  return layout.value_or(PeLayout());
}

std::vector<Resource> ResourcesOf(const Bytes& image) {
  const PeLayout layout = Layout(image);
  std::string problem;
  auto resources = ReadResources(ByteView(image).substr(layout.rawOffset, layout.rawSize), layout.virtualAddress, &problem);
  EXPECT_TRUE(resources) << problem;
  return resources.value_or(std::vector<Resource>());
}

const Resource* Find(const std::vector<Resource>& resources, std::uint16_t type, const ResourceId& name) {
  for (const Resource& r : resources) {
    if (r.type == ResourceId{type, {}} && r.name == name) return &r;
  }
  return nullptr;
}

const ResourceId kAppIcon{0, ZV_TEXT("AAAAA_APPICON")};

// An .ico file of the given images (directory, then the images in order).
Bytes IcoFile(const std::vector<IconImage>& images) {
  Bytes file;
  Append16(file, 0);
  Append16(file, 1);
  Append16(file, static_cast<std::uint16_t>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (const IconImage& image : images) {
    file += static_cast<char>(image.width);
    file += static_cast<char>(image.height);
    file += '\0';
    file += '\0';
    Append16(file, 1);
    Append16(file, 32);
    Append32(file, static_cast<std::uint32_t>(image.data.size()));
    Append32(file, offset);
    offset += static_cast<std::uint32_t>(image.data.size());
  }
  for (const IconImage& image : images) file += image.data;
  return file;
}

// count PNG-signed images of odd, growing sizes, each different.
std::vector<IconImage> PngImages(std::size_t count, std::size_t firstSize) {
  std::vector<IconImage> images;
  for (std::size_t i = 0; i < count; ++i) {
    IconImage image;
    image.width = image.height = static_cast<std::uint8_t>(16 + i);
    image.planes = 1;
    image.bitCount = 32;
    // The signature, the image's number and a filling: no image's data occurs inside another's.
    image.data = "\x89PNG\r\n\x1A\n" + Bytes{static_cast<char>(i), '\0'} +
                 Bytes(firstSize + 2 * i - 10, static_cast<char>('a' + i % 26));
    images.push_back(std::move(image));
  }
  return images;
}

Branding IconBranding(const std::vector<IconImage>& images) {
  Branding branding;
  branding.icon = images;
  return branding;
}

class BrandingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolders(scratch_ / "src");
    WriteBytes(scratch_ / "src/app.exe", "MZ app");
    SetLastWrite(scratch_ / "src/app.exe", kSampleTime);
    WriteBytes(stub_, Stub());
  }
  BuildOptions Options(const std::string& output) const {
    BuildOptions options;
    options.source = scratch_ / "src";
    options.output = output;
    options.stub = stub_;
    options.name = "示例";
    options.program = "app.exe";
    options.version = "1.2.3";
    options.date = "2024-01-29";
    options.threads = 1;
    return options;
  }
  // Runs the built zvpack's build with extra arguments.
  RunResult Build(const std::string& output, const std::vector<std::string>& extra) const {
    std::vector<std::string> args{"build", scratch_ / "src", "-o", output, "--stub", stub_, "--name", "示例",
                                  "--program", "app.exe", "--version", "1.2.3", "--date", "2024-01-29", "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunBinary(args);
  }

  ScratchFolder scratch_;
  std::string stub_ = scratch_ / "zvsetup.exe";
};

TEST(ResourceWriter, RebuildsTheResourceCompilersSectionByteForByte) {
  // The stub's section was laid out by the resource compiler; read and written again unchanged
  // it must come out the same: directories, names, data entries, alignment and padding.
  const Bytes stub = Stub();
  const PeLayout layout = Layout(stub);
  const std::vector<Resource> resources = ResourcesOf(stub);
  ASSERT_EQ(resources.size(), 6u);  // three icons, the group, the version block, the manifest
  const Bytes section = BuildResourceSection(resources, layout.virtualAddress);
  EXPECT_EQ(section, stub.substr(layout.rawOffset, section.size()));
  EXPECT_EQ(section.size(), Get32(stub, layout.sectionHeader + 8));  // the section's VirtualSize

  // No resources at all: an empty root directory.
  EXPECT_EQ(BuildResourceSection({}, layout.virtualAddress), Bytes(16, '\0'));
  EXPECT_TRUE(ReadResources(Bytes(16, '\0'), layout.virtualAddress, nullptr)->empty());
}

TEST(ResourceWriter, ChecksumIsTheLinkers) {
  // The linker wrote the stub's checksum over the stub alone; counted with the field at 0, ours
  // must be the same number.
  Bytes stub = Stub();
  const std::size_t field = Layout(stub).checksum;
  const std::uint32_t stated = Get32(stub, field);
  ASSERT_NE(stated, 0u);
  Put32(stub, field, 0);
  PeChecksum checksum;
  checksum.Add(ByteView(stub).substr(0, 1001));  // in pieces of odd sizes, as the output is written
  checksum.Add(ByteView(stub).substr(1001));
  EXPECT_EQ(checksum.Value(), stated);
  // A change in place, at an odd offset, counts as if the bytes had been written so.
  const Bytes before = stub.substr(3001, 7);
  stub.replace(3001, 7, "changed");
  checksum.Replace(3001, before, "changed");
  PeChecksum again;
  again.Add(stub);
  EXPECT_EQ(checksum.Value(), again.Value());
}

TEST(ResourceWriter, TheSmallestAndTheLargestIconGroups) {
  const Bytes stub = Stub();
  const std::vector<Resource> original = ResourcesOf(stub);
  for (const std::size_t count : {std::size_t{1}, kMaxIconImages}) {
    SCOPED_TRACE(count);
    const std::vector<IconImage> images = PngImages(count, 41);  // odd sizes: 41, 43, 45 ...
    const Bytes image = BrandStub(stub, "zvsetup.exe", IconBranding(images));
    const PeLayout layout = Layout(image);
    const std::vector<Resource> resources = ResourcesOf(image);

    const Resource* group = Find(resources, kTypeGroupIcon, kAppIcon);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->language, 2052);
    EXPECT_EQ(IconGroupImages(group->data, resources), images);
    EXPECT_EQ(resources.size(), 3 + count);  // the old icons are gone
    // Everything else as it was.
    for (const std::uint16_t type : {std::uint16_t{16}, std::uint16_t{24}}) {
      const Resource* before = Find(original, type, ResourceId{1, {}});
      const Resource* after = Find(resources, type, ResourceId{1, {}});
      ASSERT_TRUE(before && after);
      EXPECT_EQ(after->data, before->data);
      EXPECT_EQ(after->language, before->language);
    }
    EXPECT_EQ(image.substr(0x400, layout.rawOffset - 0x400), stub.substr(0x400, layout.rawOffset - 0x400));

    // The layout: each resource's data at an 8-byte boundary, the section padded to the file
    // alignment and ending the file, the image size and the data directory following it.
    const ByteView section = ByteView(image).substr(layout.rawOffset);
    const std::uint32_t size = Get32(image, layout.sectionHeader + 8);
    EXPECT_EQ(size % 8, 0u);
    EXPECT_EQ(Get32(image, layout.resourceDirectory + 4), size);
    EXPECT_EQ(layout.rawSize % layout.fileAlignment, 0u);
    EXPECT_EQ(layout.rawOffset + layout.rawSize, image.size());
    EXPECT_GE(layout.rawSize, size);
    EXPECT_LT(layout.rawSize - size, layout.fileAlignment);
    const std::uint32_t sizeOfImage = Get32(image, layout.optionalHeader + 56);
    EXPECT_EQ(sizeOfImage % layout.sectionAlignment, 0u);
    EXPECT_GE(sizeOfImage, layout.virtualAddress + size);
    EXPECT_LT(sizeOfImage - (layout.virtualAddress + size), layout.sectionAlignment);
    EXPECT_EQ(Get32(image, layout.optionalHeader + 8) - Get32(stub, layout.optionalHeader + 8),
              layout.rawSize - Layout(stub).rawSize);  // SizeOfInitializedData
    for (const Resource& r : resources) {
      const std::size_t at = section.find(r.data);
      ASSERT_NE(at, ByteView::npos);
      EXPECT_EQ(at % 8, 0u);
    }
    EXPECT_EQ(Get32(image, layout.checksum), 0u);  // made over the finished file
  }
}

TEST(ResourceWriter, AStubWhoseResourcesAreNotLastIsRefused) {
  // One more section after the resources, as a linker that puts relocations last makes it.
  Bytes stub = Stub();
  const PeLayout layout = Layout(stub);
  const std::size_t pe = Get32(stub, 0x3C);
  const std::uint16_t sections = Get16(stub, pe + 6);
  Put16(stub, pe + 6, sections + 1);
  Bytes header = ".reloc";
  header.resize(40, '\0');
  Put32(header, 8, 0x200);
  Put32(header, 12, Get32(stub, layout.optionalHeader + 56));
  Put32(header, 16, 0x200);
  Put32(header, 20, static_cast<std::uint32_t>(stub.size()));
  stub.replace(layout.sectionHeader + 40, 40, header);
  stub += Bytes(0x200, 'r');
  try {
    BrandStub(stub, "odd-stub.exe", IconBranding(PngImages(1, 41)));
    ADD_FAILURE() << "a stub whose resources are not last was taken";
  } catch (const PackError& error) {
    EXPECT_EQ(error.ExitCode(), kExitInput);
    EXPECT_NE(std::string(error.what()).find("odd-stub.exe: cannot take the publisher's icon and version "
                                             "information: the resource section (.rsrc) is not the program's "
                                             "last section"),
              std::string::npos)
        << error.what();
  }
  // Nor can anything after the last section stay (a signature): it would no longer follow it.
  Bytes signedStub = Stub() + "signature";
  EXPECT_THROW(BrandStub(signedStub, "signed.exe", IconBranding(PngImages(1, 41))), PackError);
}

TEST(IconFile, RefusesWhatIsNotAUsableIcon) {
  const auto reason = [](const Bytes& file) {
    std::string problem;
    EXPECT_FALSE(ParseIcon(file, &problem));
    return problem;
  };
  const Bytes good = IcoFile(PngImages(2, 41));
  ASSERT_TRUE(ParseIcon(good, nullptr));
  EXPECT_EQ(reason(good.substr(0, 5)), "not a valid icon: cut short (5 bytes, less than an icon's header)");
  EXPECT_EQ(reason(good.substr(0, 30)),
            "not a valid icon: cut short (the directory of 2 images runs past the end of the file)");
  EXPECT_EQ(reason(good.substr(0, good.size() - 1)),
            "not a valid icon: image 2 (43 bytes at offset 79) runs past the end of the file (121 bytes)");
  EXPECT_EQ(reason(IcoFile({})), "not a valid icon: it holds no images");
  EXPECT_EQ(reason(Bytes("\0\0\2\0\1\0", 6) + good.substr(6)), "not a valid icon: no icon header (not an .ico file)");
  EXPECT_EQ(reason(IcoFile(PngImages(kMaxIconImages + 1, 41))), "not a valid icon: it holds 65 images, more than 64");
  std::vector<IconImage> large = PngImages(1, kMaxIconImageBytes + 1);
  EXPECT_EQ(reason(IcoFile(large)), "not a valid icon: image 1 is 1048577 bytes, more than 1048576 (1 MiB)");
  large = PngImages(1, kMaxIconImageBytes);
  EXPECT_TRUE(ParseIcon(IcoFile(large), nullptr));
  std::vector<IconImage> neither = PngImages(1, 41);
  neither[0].data[0] = 'x';
  EXPECT_EQ(reason(IcoFile(neither)), "not a valid icon: image 1 is neither a PNG image nor a bitmap");
}

TEST_F(BrandingTest, ABadIconIsRefusedNamingTheFileAndNothingIsWritten) {
  WriteBytes(scratch_ / "bad.ico", IcoFile({}));
  const std::string output = scratch_ / "setup.exe";
  const RunResult run = Build(output, {"--icon", scratch_ / "bad.ico"});
  EXPECT_EQ(run.exitCode, kExitInput);
  EXPECT_EQ(run.err, "zvpack: " + scratch_ / "bad.ico" + ": not a valid icon: it holds no images\n");
  EXPECT_FALSE(std::filesystem::exists(FsPath(output)));
  EXPECT_FALSE(std::filesystem::exists(FsPath(output + ".partial")));
  EXPECT_EQ(Build(output, {"--icon", scratch_ / "missing.ico"}).exitCode, kExitInput);
  EXPECT_FALSE(std::filesystem::exists(FsPath(output)));
}

TEST_F(BrandingTest, WithoutTheOptionsTheStubIsAppendedAsItIs) {
  const std::string output = scratch_ / "setup.exe";
  const BuildResult result = BuildInstaller(Options(output));
  const Bytes stub = Stub();
  EXPECT_EQ(result.stubBytes, stub.size());
  EXPECT_EQ(ReadBytes(output).substr(0, stub.size()), stub);
  const OpenPackage package = OpenInstaller(output);
  EXPECT_FALSE(package.resources.ownIcon);
  EXPECT_EQ(package.resources.iconSizes, (std::vector<std::string>{"64x64", "32x32", "16x16"}));
  ASSERT_TRUE(package.resources.version);
  EXPECT_EQ(package.resources.version->fileVersion, "3.1.3.75");
}

TEST_F(BrandingTest, VersionBlockTakesThePublishersStringsAndNumbers) {
  const std::string output = scratch_ / "setup.exe";
  BuildOptions options = Options(output);
  options.branding.icon = scratch_ / "app.ico";
  WriteBytes(options.branding.icon, IcoFile(PngImages(3, 101)));
  options.branding.productName = "你好示例";
  options.branding.company = "你好软件有限公司";
  options.branding.copyright = "© 2024 你好软件";
  options.branding.fileDescription = "你好示例 安装程序";
  BuildInstaller(options);
  const OpenPackage package = OpenInstaller(output);
  ASSERT_TRUE(package.resources.problem.empty()) << package.resources.problem;
  EXPECT_TRUE(package.resources.ownIcon);
  EXPECT_EQ(package.resources.iconSizes, (std::vector<std::string>{"16x16", "17x17", "18x18"}));
  ASSERT_TRUE(package.resources.version);
  const VersionSummary& version = *package.resources.version;
  EXPECT_EQ(version.fileVersion, "1.2.3.0");
  EXPECT_EQ(version.productVersion, "1.2.3.0");
  const std::vector<std::pair<std::string, std::string>> strings{
      {"CompanyName", "你好软件有限公司"}, {"FileDescription", "你好示例 安装程序"},
      {"FileVersion", "1.2.3"}, {"ProductVersion", "1.2.3"}, {"ProductName", "你好示例"},
      {"InternalName", "Zelv软件安装"}, {"OriginalFilename", "Zelv软件安装.exe"},
      {"LegalCopyright", "© 2024 你好软件"}, {"LegalTrademarks", "Zelv软件开发小组 www.zelv.example"},
      {"Comments", "Zelv软件安装"}};
  EXPECT_EQ(version.strings, strings);

  // The listing says so, and its JSON too.
  const std::string text = FormatListing(package);
  EXPECT_NE(text.find("installer icon: its own (3 images: 16x16 17x17 18x18)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("installer version: file 1.2.3.0, product 1.2.3.0\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  ProductName=你好示例\n"), std::string::npos) << text;
  const nlohmann::json json = nlohmann::json::parse(ListingJson(package));
  EXPECT_EQ(json["ownIcon"], true);
  EXPECT_EQ(json["versionInfo"]["fileVersion"], "1.2.3.0");
  EXPECT_EQ(json["versionInfo"]["strings"]["LegalCopyright"], "© 2024 你好软件");

  // The same inputs give the same bytes, and the package reads as before.
  options.output = scratch_ / "again.exe";
  BuildInstaller(options);
  EXPECT_EQ(ReadBytes(output), ReadBytes(scratch_ / "again.exe"));
  EXPECT_TRUE(VerifyInstaller(output).problems.empty());
  EXPECT_EQ(OpenInstaller(output).entries.size(), 1u);
}

TEST_F(BrandingTest, AVersionThatIsNotNumbersGoesIntoTheStringsOnly) {
  const std::string output = scratch_ / "setup.exe";
  BuildOptions options = Options(output);
  options.version = "2.0 测试版";
  options.branding.company = "你好软件";
  BuildInstaller(options);
  const std::optional<VersionSummary> version = OpenInstaller(output).resources.version;
  ASSERT_TRUE(version);
  EXPECT_EQ(version->fileVersion, "3.1.3.75");  // the stub's numbers stay
  EXPECT_EQ(version->strings[0], (std::pair<std::string, std::string>{"CompanyName", "你好软件"}));
  EXPECT_EQ(version->strings[2], (std::pair<std::string, std::string>{"FileVersion", "2.0 测试版"}));
  EXPECT_EQ(version->strings[4], (std::pair<std::string, std::string>{"ProductName", "Zelv软件安装"}));
  EXPECT_FALSE(OpenInstaller(output).resources.ownIcon);  // no --icon: the stub's icon
  EXPECT_EQ(ParseVersionNumbers("1"), (VersionNumbers{1, 0, 0, 0}));
  EXPECT_EQ(ParseVersionNumbers("65535.0.0.1"), (VersionNumbers{65535, 0, 0, 1}));
  for (const char* text : {"65536", "1.2.3.4.5", "1..2", "1.2.", "v1", ""}) EXPECT_FALSE(ParseVersionNumbers(text)) << text;
}

TEST_F(BrandingTest, VersionStringsObeyTheInformationLinesLimits) {
  const std::string output = scratch_ / "setup.exe";
  const std::string longest(kMaxVersionString, 'x');
  EXPECT_EQ(Build(output, {"--company", longest}).exitCode, kExitOk);
  const RunResult tooLong = Build(output, {"--company", longest + "x"});
  EXPECT_EQ(tooLong.exitCode, kExitInput);
  EXPECT_EQ(tooLong.err, "zvpack: --company: the text is 100 characters long; the version block takes at most 99\n");
  for (const char* bad : {"a\tb", "a\nb", "a\x7F", "\xE2\x80\xAE" "exe.txt", "a\xC2\x85"}) {
    const RunResult run = Build(output, {"--product-name", bad});
    EXPECT_EQ(run.exitCode, kExitInput) << bad;
    EXPECT_NE(run.err.find("--product-name: the text holds control characters"), std::string::npos) << run.err;
  }
  // In-process: a Windows command line cannot carry bytes that are not UTF-8.
  BrandingOptions options;
  options.copyright = "\xFF";
  try {
    PrepareBranding(options, "");
    ADD_FAILURE() << "invalid UTF-8 was taken";
  } catch (const PackError& error) {
    EXPECT_STREQ(error.what(), "--copyright: the text is not valid UTF-8");
  }
}

}  // namespace
}  // namespace zv::pack::test
