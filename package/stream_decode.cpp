// Decoding a record's block piece by piece, for files of any size in bounded memory.
#include <LzmaDec.h>

#include <algorithm>

#include "package/lzma_alloc.h"
#include "package/package.h"

namespace zv {
namespace {

constexpr std::size_t kInputPiece = std::size_t{64} << 10;
constexpr std::size_t kZeroPiece = std::size_t{64} << 10;

struct DecoderOwner {
  CLzmaDec State;
  DecoderOwner() { LzmaDec_Construct(&State); }
  ~DecoderOwner() { LzmaDec_Free(&State, &gLzmaAllocator); }
};

}  // namespace

StreamedBlock DecodeRecordStream(const PackageSource& source, const RecordSpan& record,
                                 const ByteSink& sink, bool padZeros) {
  StreamedBlock result;
  Bytes input;
  // The header: size field and properties, at most 9 bytes.
  const ByteView head =
      source.Read(record.BlockOffset, std::min<std::size_t>(record.BlockLength, 9), input);
  if (head.empty()) return result;  // a stored empty file
  const std::size_t fieldLength = (static_cast<unsigned char>(head[0]) & 3u) + 1;
  const std::uint32_t size = StatedBlockSize(head);
  result.Status = BlockStatus::Corrupt;
  if (head.size() < fieldLength) return result;
  if (size == 0) {
    result.Status = BlockStatus::Empty;
    return result;
  }
  const std::size_t header = fieldLength + kLzmaPropsSize;
  if (record.BlockLength < kMinBlockSize || record.BlockLength <= header) return result;

  // The window never needs to reach further back than the file is long.
  if (head.size() < header) return result;
  Byte props[kLzmaPropsSize];
  for (std::size_t i = 0; i < kLzmaPropsSize; ++i)
    props[i] = static_cast<Byte>(head[fieldLength + i]);
  std::uint32_t window = 0;
  for (std::size_t i = kLzmaPropsSize; i-- > 1;) window = (window << 8) | props[i];
  window = std::min(window, size);
  for (std::size_t i = 1; i < kLzmaPropsSize; ++i) props[i] = static_cast<Byte>(window >> (8 * (i - 1)));

  DecoderOwner decoder;
  CLzmaDec& state = decoder.State;
  const SRes allocated = LzmaDec_Allocate(&state, props, kLzmaPropsSize, &gLzmaAllocator);
  if (allocated != SZ_OK) {
    if (allocated == SZ_ERROR_MEM) result.Status = BlockStatus::OutOfMemory;
    return result;
  }
  LzmaDec_Init(&state);

  std::uint64_t produced = 0;
  std::size_t consumed = header;  // of the block
  ByteView piece;
  ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
  while (produced < size) {
    if (piece.empty() && consumed < record.BlockLength) {
      piece = source.Read(record.BlockOffset + consumed,
                          std::min(kInputPiece, record.BlockLength - consumed), input);
      if (piece.empty()) return result;  // the source ended early: as a cut block
    }
    if (state.dicPos == state.dicBufSize) state.dicPos = 0;
    const SizeT start = state.dicPos;
    const SizeT limit =
        start + static_cast<SizeT>(std::min<std::uint64_t>(state.dicBufSize - start, size - produced));
    SizeT taken = piece.size();
    const SRes decoded = LzmaDec_DecodeToDic(&state, limit, reinterpret_cast<const Byte*>(piece.data()),
                                             &taken, LZMA_FINISH_ANY, &status);
    piece.remove_prefix(taken);
    consumed += taken;
    const SizeT made = state.dicPos - start;
    if (made > 0) {
      produced += made;
      if (!sink(ByteView(reinterpret_cast<const char*>(state.dic + start), made))) {
        result.Stopped = true;
        return result;
      }
    }
    if (decoded != SZ_OK) return result;
    if (status == LZMA_STATUS_FINISHED_WITH_MARK) break;
    // Out of input before S bytes (the one-shot decoder calls this a cut stream).
    if (status == LZMA_STATUS_NEEDS_MORE_INPUT && piece.empty() && consumed >= record.BlockLength)
      return result;
    if (made == 0 && taken == 0) return result;  // no progress: never loop on a broken stream
  }
  result.Status = BlockStatus::Ok;
  result.ZeroTail = size - produced;
  if (padZeros && result.ZeroTail > 0) {
    const Bytes zeros(static_cast<std::size_t>(std::min<std::uint64_t>(kZeroPiece, result.ZeroTail)), '\0');
    for (std::uint64_t left = result.ZeroTail; left > 0;) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, zeros.size()));
      if (!sink(ByteView(zeros.data(), n))) {
        result.Stopped = true;
        return result;
      }
      left -= n;
    }
    result.ZeroTail = 0;
  }
  return result;
}

}  // namespace zv
