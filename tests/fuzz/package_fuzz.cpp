// libFuzzer target: the package reader on any bytes after the marker. Everything the installer
// and zvpack do with a package before and while they write: the one set of checks, the
// integrity line and the bytes it covers, the room the paths need, the information and every
// content block decoded in pieces. (Decoding ahead allocates the sizes
// blocks state, up to its budget, for every input: too slow to fuzz; its unit tests cover it.)
#include <cstddef>
#include <cstdint>

#include "package/container.h"
#include "package/contents.h"
#include "package/format.h"
#include "package/integrity.h"
#include "package/names.h"
#include "package/path_length.h"
#include "package/stream_decode.h"

using namespace zv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const MemorySource source(ByteView(reinterpret_cast<const char*>(data), size));
  const PackageContents contents = ReadContents(source);
  FindInfoFault(contents.Info);
  if (contents.Status != PackageStatus::Ok) return 0;
  PlainPathRoom(contents.Entries);
  Bytes info;
  DecodeRecordText(source, LocateRecord(source, kFirstRecordOffset), info);
  CheckIntegrity(source, ReadIntegrityLine(info));

  // Stated sizes are claims: decoded bytes are counted, never kept, and a fuzzed stream stops
  // well before it could take long (past the first doublings of the decoder's window).
  std::uint64_t budget = std::uint64_t{256} << 10;
  const auto count = [&](ByteView piece) {
    if (piece.size() > budget) return false;
    budget -= piece.size();
    return true;
  };
  std::uint64_t offset = contents.ContentOffset;
  for (std::size_t i = 0, files = CountFiles(contents.Entries); i < files; ++i) {
    const RecordSpan record = LocateRecord(source, offset);
    offset = record.Next;
    DecodeRecordStream(source, record, count, /*padZeros=*/false);
  }
  return 0;
}
