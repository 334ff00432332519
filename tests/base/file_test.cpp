// Reading files by offset past 4 GiB, and owners that keep the reason of a failed call.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <windows.h>

#include "win/handles.h"
#include "win/wide.h"
#endif

#include "base/file.h"

namespace zv {
namespace {

constexpr std::uint64_t kPast4GiB = (std::uint64_t{1} << 32) + 3;

Text Native(const std::filesystem::path& path) {
#ifdef _WIN32
  return FromWide(path.wstring());
#else
  return Utf8ToWide(path.string());
#endif
}

// A sparse file: "head" at 0 and "tail" at kPast4GiB, nothing stored in between.
std::filesystem::path SparseFile() {
  const auto path = std::filesystem::temp_directory_path() / "zv-base-sparse.bin";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "head";
  }
  std::filesystem::resize_file(path, kPast4GiB);
  std::ofstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(static_cast<std::streamoff>(kPast4GiB));
  out << "tail";
  return path;
}

// What a fresh reader finds at offset (up to 8 bytes), and the size it sees.
std::pair<std::string, std::uint64_t> ReadAtOffset(const Text& path, std::uint64_t offset) {
  FileReader file;
  if (!file.Open(path, false)) return {"(no open)", 0};
  char bytes[8] = {};
  std::size_t got = 0;
  if (!file.ReadAt(offset, bytes, sizeof bytes, &got)) return {"(read error)", file.Size()};
  return {std::string(bytes, got), file.Size()};
}

TEST(FileReader, OffsetsAndSizesPast4GiBAreNotCutTo32Bits) {
  const std::filesystem::path sparse = SparseFile();
  const Text path = Native(sparse);
  EXPECT_EQ(ReadAtOffset(path, kPast4GiB), std::pair(std::string("tail"), kPast4GiB + 4));
  EXPECT_EQ(ReadAtOffset(path, 0).first.substr(0, 4), "head");
  EXPECT_EQ(ReadAtOffset(path, kPast4GiB + 4).first, "");  // nothing past the end
  // Whole, it is more than a 32-bit process holds: nothing, never the bytes past 4 GiB.
  if (sizeof(void*) == 4) {
    EXPECT_TRUE(ReadWholeFile(path).empty());
  }
  std::filesystem::remove(sparse);
}

TEST(FileReader, FoldersAndMissingFilesDoNotOpen) {
  FileReader file;
  EXPECT_FALSE(file.Open(Native(std::filesystem::temp_directory_path()), true));
  EXPECT_FALSE(file.Open(Native(std::filesystem::temp_directory_path() / "zv-missing"), true));
  EXPECT_FALSE(file.IsOpen());
}

#ifdef _WIN32
TEST(Owned, ReleasingKeepsTheLastErrorOfAFailedCall) {
  // A value that is no handle: closing it fails and would set ERROR_INVALID_HANDLE.
  KernelHandle bogus(reinterpret_cast<HANDLE>(0x1234));
  FileHandle missing(CreateFileW(L"Z:\\zv-no-such-folder\\x", GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
  const DWORD reason = GetLastError();
  ASSERT_NE(reason, 0u);
  bogus.reset();
  EXPECT_EQ(GetLastError(), reason);

  // put(): the owner receives the value an out-parameter call returns.
  KernelHandle duplicate;
  HANDLE self = GetCurrentProcess();
  ASSERT_TRUE(DuplicateHandle(self, self, self, duplicate.put(), 0, FALSE, DUPLICATE_SAME_ACCESS));
  EXPECT_TRUE(duplicate);
}
#endif

}  // namespace
}  // namespace zv
