// Small helpers shared by the package tests.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include <LzmaEnc.h>

#include "package/container.h"
#include "package/file_list.h"
#include "package/lzma_alloc.h"

namespace zv::test {

// Bytes from a hex string such as "E4 B8 AD" (spaces ignored).
inline Bytes Hex(std::string_view hex) {
  Bytes out;
  int high = -1;
  for (const char c : hex) {
    const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10
                : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (v < 0) continue;
    if (high < 0) {
      high = v;
    } else {
      out += static_cast<char>(high * 16 + v);
      high = -1;
    }
  }
  return out;
}

inline Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  Bytes out(size, '\0');
  for (char& c : out) c = static_cast<char>(random() & 0xFF);
  return out;
}

// Text-like data that compresses well but not trivially.
inline Bytes CompressibleBytes(std::size_t size, std::uint32_t seed) {
  static constexpr std::string_view kWords[] = {"package ", "block ", "record ", "marker ",
                                                "\r\n", "安装 ", "0123 ", "zvzip "};
  std::mt19937 random(seed);
  Bytes out;
  out.reserve(size + 16);
  while (out.size() < size) out += kWords[random() % std::size(kWords)];
  out.resize(size);
  return out;
}

inline Text Utf16(std::string_view utf8) { return Utf8ToWide(utf8); }

inline FileListEntry FolderEntry(std::string_view path) {
  return {true, 0, Bytes(path), Utf16(path)};
}
inline FileListEntry FileEntry(std::uint64_t time, std::string_view path) {
  return {false, time, Bytes(path), Utf16(path)};
}

// A decoded file list read as the readers read it, handed over in pieces of the given size.
inline std::optional<std::vector<FileListEntry>> ReadFileList(ByteView list,
                                                              std::size_t piece = ByteView::npos) {
  FileListReader reader;
  for (std::size_t at = 0; at < list.size() && reader.Put(list.substr(at, piece)); at += piece) {
  }
  return reader.Finish();
}

// A record as a package stores it: the block's length (4 bytes, little-endian), then the block.
inline Bytes Record(ByteView block) {
  Bytes record(4, '\0');
  for (std::size_t i = 0; i < 4; ++i) record[i] = static_cast<char>((block.size() >> (8 * i)) & 0xFF);
  return record + Bytes(block);
}

// A block whose stream holds data and then its end mark, and whose size field states `stated`
// bytes (more than data: the rest reads as zeros). Writers never make one; readers must cope.
inline Bytes EndMarkBlock(ByteView data, std::uint32_t stated) {
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.dictSize = 4096;
  Bytes stream(data.size() + 100, '\0');
  SizeT streamSize = stream.size();
  unsigned char encodedProps[5];
  SizeT propsSize = 5;
  LzmaEncode(reinterpret_cast<Byte*>(stream.data()), &streamSize,
             reinterpret_cast<const Byte*>(data.data()), data.size(), &props, encodedProps,
             &propsSize, 1, nullptr, &gLzmaAllocator, &gLzmaAllocator);
  Bytes block;
  for (std::size_t i = 0; i < 4; ++i) block += static_cast<char>(((stated << 2 | 3) >> (8 * i)) & 0xFF);
  block.append(reinterpret_cast<const char*>(encodedProps), 5);
  block.append(stream, 0, streamSize);
  return block;
}

// Counts the reads that come once closed is set: by then every reader must have stopped.
class WatchedSource final : public PackageSource {
 public:
  explicit WatchedSource(ByteView bytes) : inner_(bytes) {}
  std::uint64_t Size() const override { return inner_.Size(); }
  ByteView Read(std::uint64_t offset, std::size_t length, Bytes& buffer) const override {
    if (closed) lateReads++;
    return inner_.Read(offset, length, buffer);
  }
  std::atomic<bool> closed{false};
  mutable std::atomic<int> lateReads{0};

 private:
  MemorySource inner_;
};

// ---- Files ---------------------------------------------------------------------------------

inline Text Native(const std::filesystem::path& path) {
#ifdef _WIN32
  return Text(reinterpret_cast<const TextUnit*>(path.c_str()));
#else
  return Utf8ToWide(path.string());
#endif
}

// A fresh folder for each test, removed afterwards.
class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("zv_package_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::filesystem::path Write(const std::filesystem::path& name, ByteView bytes) {
    const std::filesystem::path path = folder_ / name;
    std::FILE* file = nullptr;
#ifdef _WIN32
    file = _wfopen(path.c_str(), L"wb");
#else
    file = std::fopen(path.c_str(), "wb");
#endif
    EXPECT_TRUE(file);
    if (file) {
      std::fwrite(bytes.data(), 1, bytes.size(), file);
      std::fclose(file);
    }
    return path;
  }

  std::filesystem::path folder_;
};

}  // namespace zv::test
