// The on-disk layout of a package: the one description shared by the reader and the writer.
//
//   [installer image] marker "zvzip" record0 record1 record... CR LF
//   record = length (4 bytes, little-endian) + block of that many bytes
//   block  = size field (1..4 bytes, S << 2 | n, n = extra bytes) + 5 LZMA property bytes
//            + raw LZMA stream that decodes to S bytes
// Record 0 is the information block, record 1 the file list, then one record per file entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/text.h"

namespace zv {

// The marker in front of the package is the GBK text "Zelv软件" followed by "安装包文件信息".
// The two parts are kept apart: no binary we ship may hold the 22 bytes in one piece, or the
// installer would find its own constant before the appended package. AssembleMarker() joins
// them at run time in a way the compiler cannot fold into one constant.
inline constexpr ByteView kMarkerHead{"Zelv\xC8\xED\xBC\xFE", 8};
inline constexpr ByteView kMarkerTail{"\xB0\xB2\xD7\xB0\xB0\xFC\xCE\xC4\xBC\xFE\xD0\xC5\xCF\xA2", 14};
inline constexpr std::size_t kMarkerSize = kMarkerHead.size() + kMarkerTail.size();
Bytes AssembleMarker();

inline constexpr ByteView kMagic{"zvzip", 5};
inline constexpr std::uint64_t kFirstRecordOffset = kMagic.size();  // counted from after the marker
inline constexpr std::size_t kRecordLengthSize = 4;  // unsigned, little-endian
inline constexpr ByteView kPackageEnd{"\r\n", 2};    // writers end the package with it

// Block header.
inline constexpr std::size_t kMaxSizeFieldBytes = 4;
inline constexpr std::uint32_t kMaxBlockDataSize = 0xFFFFFFFFu >> 2;  // largest S
inline constexpr std::size_t kLzmaPropsSize = 5;  // property byte + dictionary size (LE)
inline constexpr unsigned char kPropertyByte = 0x5D;  // lc 3, lp 0, pb 2
inline constexpr std::uint32_t kDictionarySize = 67108864;  // what every header states
inline constexpr std::size_t kMinBlockSize = 5;  // shorter blocks never decode

// Number of size-field bytes a writer uses for S: the fewest that hold S << 2.
constexpr std::size_t SizeFieldBytes(std::uint32_t size) {
  return size <= 63 ? 1 : size <= 16383 ? 2 : size <= 4194303 ? 3 : 4;
}

// Text formats inside the package: both split at CR LF, no CR LF after the last line.
inline constexpr ByteView kLineBreak{"\r\n", 2};
inline constexpr std::size_t kInfoLineLimit = 99;  // UTF-16 units of a line that count
inline constexpr ByteView kFolderPrefix{"DIR", 3};  // folder entry: "DIR" + UTF-8 path
inline constexpr std::size_t kFileTimeSize = 8;     // file entry: FILETIME (LE) + UTF-8 path

// Keys of the information block, in the order writers emit them.
struct InfoKey {
  ByteView Utf8;
  TextView Utf16;
};
inline constexpr InfoKey kKeyNumber{"编号=", ZV_TEXT("编号=")};
inline constexpr TextView kKeyNumberAlt{ZV_TEXT("ID=")};  // also accepted for the number
inline constexpr InfoKey kKeyName{"名称=", ZV_TEXT("名称=")};
inline constexpr InfoKey kKeyProgramFile{"文件名=", ZV_TEXT("文件名=")};
inline constexpr InfoKey kKeyDate{"日期=", ZV_TEXT("日期=")};
inline constexpr InfoKey kKeyVersion{"版本号=", ZV_TEXT("版本号=")};
inline constexpr InfoKey kKeyDescription{"说明=", ZV_TEXT("说明=")};
// The integrity line, written as the last line: the CRC-32 (polynomial 0xEDB88320), as 8
// upper-case hex digits, of the decoded information lines before it (each with its CR LF),
// continued over every package byte after record 0 up to the end of the last content record.
// Readers that do not know the key ignore it; a signature appended after the package is not
// covered. Packages written before it carry "CRC32=", the same without the information lines.
inline constexpr ByteView kKeyCrc32All{"CRC32ALL="};
inline constexpr ByteView kKeyCrc32{"CRC32="};
inline constexpr std::size_t kCrc32Digits = 8;

static_assert(kMarkerSize == 22);
static_assert(kMagic.size() == 5 && kFirstRecordOffset == 5);
static_assert(sizeof(std::uint32_t) == kRecordLengthSize);
static_assert(kMaxBlockDataSize == 1073741823);
static_assert(kPropertyByte == 3 + 9 * (0 + 5 * 2));
static_assert(kDictionarySize == std::uint32_t{1} << 26);
static_assert(kMinBlockSize == kLzmaPropsSize && kLzmaPropsSize == 1 + sizeof(std::uint32_t));
static_assert(SizeFieldBytes(63) == 1 && SizeFieldBytes(64) == 2 && SizeFieldBytes(16384) == 3 &&
              SizeFieldBytes(4194304) == 4 && SizeFieldBytes(kMaxBlockDataSize) == 4);
static_assert(kKeyNumber.Utf16.size() == 3 && kKeyNumberAlt.size() == 3 &&
              kKeyName.Utf16.size() == 3 && kKeyProgramFile.Utf16.size() == 4 &&
              kKeyDate.Utf16.size() == 3 && kKeyVersion.Utf16.size() == 4 &&
              kKeyDescription.Utf16.size() == 3);
static_assert(kKeyNumber.Utf8.size() == 7 && kKeyProgramFile.Utf8.size() == 10,
              "sources must be compiled as UTF-8");

}  // namespace zv
