// The integrity line and the check of the package's bytes against it.
#pragma once

#include <cstdint>

#include "base/text.h"
#include "package/container.h"

namespace zv {

// CRC-32 (polynomial 0xEDB88320) of bytes, continuing from crc (0 to start).
std::uint32_t Crc32(std::uint32_t crc, ByteView bytes);

// The integrity line, the last line of a decoded information block: "CRC32ALL=" (format.h), or
// in packages written before it "CRC32=". Whether it is there, and its value when it is exactly
// 8 upper-case hex digits.
struct IntegrityLine {
  bool Present = false;
  bool Readable = false;  // a line with anything else is damage
  bool CoversInfo = false;  // "CRC32ALL=": the information lines before it are covered too
  std::uint32_t Crc32 = 0;
  std::uint32_t InfoCrc32 = 0;  // CRC-32 of the lines covered (0: none), where the check starts
};
IntegrityLine ReadIntegrityLine(ByteView info);

enum class Integrity {
  NoKey,      // the package carries no integrity line: nothing to check
  Sound,      // the bytes have the CRC-32 the line states
  Damaged,    // they differ, the line is unreadable, or the package ends before its records do
  Unreadable  // the file list cannot be read (the one reader's checks say why)
};
// Reads the package from after record 0 to the end of its last content record, a piece at a
// time, continuing the CRC-32 from line.InfoCrc32, and compares it with the line.
Integrity CheckIntegrity(const PackageSource& source, const IntegrityLine& line);

}  // namespace zv
