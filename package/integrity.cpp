// The package's integrity line: CRC-32 over the information lines before it and everything
// after the information block.
#include "package/integrity.h"

#include <algorithm>

#include "package/codec.h"
#include "package/container.h"
#include "package/contents.h"
#include "package/format.h"

namespace zv {

std::uint32_t Crc32(std::uint32_t crc, ByteView bytes) {
  // Eight bytes a step through eight tables ("slicing by 8"): the installer checks whole
  // packages with it while the user reads the welcome page. The tables are made on first use
  // (8 KB the installer does not carry in its file).
  static std::uint32_t gTables[8][256];
  if (gTables[0][1] == 0) {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t entry = i;
      for (int bit = 0; bit < 8; ++bit) entry = (entry >> 1) ^ (0xEDB88320u & (0u - (entry & 1u)));
      gTables[0][i] = entry;
    }
    for (std::uint32_t i = 0; i < 256; ++i) {
      for (int k = 1; k < 8; ++k) gTables[k][i] = (gTables[k - 1][i] >> 8) ^ gTables[0][gTables[k - 1][i] & 0xFF];
    }
  }
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = bytes.size();
  crc = ~crc;
  for (; n >= 8; n -= 8, p += 8) {
    const std::uint32_t low = crc ^ (p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24);
    crc = gTables[7][low & 0xFF] ^ gTables[6][(low >> 8) & 0xFF] ^ gTables[5][(low >> 16) & 0xFF] ^
          gTables[4][low >> 24] ^ gTables[3][p[4]] ^ gTables[2][p[5]] ^ gTables[1][p[6]] ^ gTables[0][p[7]];
  }
  for (; n > 0; --n, ++p) crc = (crc >> 8) ^ gTables[0][(crc ^ *p) & 0xFF];
  return ~crc;
}

IntegrityLine ReadIntegrityLine(ByteView info) {
  IntegrityLine line;
  // The line stands last, after the lines it covers.
  std::vector<ByteView> lines;
  if (SplitLines(info, kLineBreak, lines) == 0) return line;
  ByteView digits = lines.back();
  line.CoversInfo = digits.starts_with(kKeyCrc32All);
  if (!line.CoversInfo && !digits.starts_with(kKeyCrc32)) return line;
  line.Present = true;
  const auto covered = static_cast<std::size_t>(digits.data() - info.data());
  line.InfoCrc32 = Crc32(0, info.substr(0, line.CoversInfo ? covered : 0));
  digits.remove_prefix(line.CoversInfo ? kKeyCrc32All.size() : kKeyCrc32.size());
  line.Readable = digits.size() == kCrc32Digits &&
                  digits.find_first_not_of("0123456789ABCDEF") == ByteView::npos;
  for (const char digit : line.Readable ? digits : ByteView())
    line.Crc32 = (line.Crc32 << 4) | static_cast<std::uint32_t>(digit <= '9' ? digit - '0' : digit - 'A' + 10);
  return line;
}

Integrity CheckIntegrity(const PackageSource& source, const IntegrityLine& line) {
  if (!line.Present) return Integrity::NoKey;
  if (!line.Readable) return Integrity::Damaged;
  const PackageContents contents = ReadContents(source, /*withInfo=*/false);
  if (contents.Status != PackageStatus::Ok) return Integrity::Unreadable;
  // Where the last content record ends: a record cut by the end of the source is damage.
  std::uint64_t end = contents.ContentOffset;
  for (std::size_t files = CountFiles(contents.Entries); files > 0; --files) {
    const RecordSpan record = LocateRecord(source, end);
    if (record.Next > source.Size()) return Integrity::Damaged;
    end = record.Next;
  }
  constexpr std::size_t kPiece = std::size_t{256} << 10;
  Bytes buffer;
  std::uint32_t crc = line.InfoCrc32;
  for (std::uint64_t at = LocateRecord(source, kFirstRecordOffset).Next; at < end;) {
    const ByteView piece = source.Read(at, static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, end - at)), buffer);
    if (piece.empty()) return Integrity::Damaged;  // a read error: the bytes cannot be vouched for
    crc = Crc32(crc, piece);
    at += piece.size();
  }
  return crc == line.Crc32 ? Integrity::Sound : Integrity::Damaged;
}

}  // namespace zv
