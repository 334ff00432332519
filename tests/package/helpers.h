// Small helpers shared by the package tests.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "package/package.h"

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

}  // namespace zv::test
