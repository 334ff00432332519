// Decoding a record's block piece by piece, for files of any size in bounded memory.
#include "package/stream_decode.h"

#include <LzmaDec.h>

#include <algorithm>
#include <cstring>

#include "base/try_alloc.h"
#include "package/codec.h"
#include "package/container.h"
#include "package/format.h"
#include "package/lzma_alloc.h"

namespace zv {
namespace {

constexpr std::size_t kInputPiece = std::size_t{64} << 10;
// The window starts at this size (or the block's, if smaller) and doubles as output is made.
constexpr SizeT kFirstWindow = SizeT{64} << 10;

struct DecoderOwner {
  CLzmaDec State;
  DecoderOwner() {
    LzmaDec_Construct(&State);
    State.dicBufSize = 0;  // no window yet: the first decode makes one
  }
  ~DecoderOwner() { LzmaDec_Free(&State, &gLzmaAllocator); }
};

// Gives the decoder a window twice as large (at most window bytes), the bytes made so far kept
// at its start. Sound only while the window has not wrapped: until then the decoder's positions
// count from the window's start, so the larger window holds the same history at the same
// places. False when there is no room.
bool GrowWindow(CLzmaDec& state, SizeT window) {
  const SizeT size = std::min(window, std::max(kFirstWindow, 2 * state.dicBufSize));
  Byte* grown = static_cast<Byte*>(gLzmaAllocator.Alloc(&gLzmaAllocator, size));
  if (!grown) return false;
  if (state.dicPos > 0) std::memcpy(grown, state.dic, state.dicPos);
  gLzmaAllocator.Free(&gLzmaAllocator, state.dic);
  state.dic = grown;
  state.dicBufSize = size;
  return true;
}

}  // namespace

StreamedBlock DecodeRecordStream(const PackageSource& source, const RecordSpan& record,
                                 ByteSinkRef sink, bool padZeros, std::uint32_t window) {
  StreamedBlock result;
  Bytes input;
  // The first piece holds the header (size field and properties) and most small blocks whole.
  ByteView piece = source.Read(record.BlockOffset, std::min(kInputPiece, record.BlockLength), input);
  if (piece.empty()) return result;  // a stored empty file
  const std::size_t fieldLength = (static_cast<unsigned char>(piece[0]) & 3u) + 1;
  const std::uint32_t size = StatedBlockSize(piece);
  result.Status = BlockStatus::Corrupt;
  if (piece.size() < fieldLength) return result;
  if (size == 0) {
    result.Status = BlockStatus::Empty;
    return result;
  }
  const std::size_t header = fieldLength + kLzmaPropsSize;
  if (record.BlockLength < kMinBlockSize || piece.size() <= header) return result;

  // The window never needs to reach further back than the file is long, nor than writers
  // reach. It grows with the output, so that a few bytes stating a gigabyte cost little.
  piece.remove_prefix(fieldLength);
  DecoderOwner decoder;
  CLzmaDec& state = decoder.State;
  const SRes allocated = LzmaDec_AllocateProbs(&state, reinterpret_cast<const Byte*>(piece.data()),
                                               kLzmaPropsSize, &gLzmaAllocator);
  if (allocated != SZ_OK) {
    if (allocated == SZ_ERROR_MEM) result.Status = BlockStatus::OutOfMemory;
    return result;
  }
  state.prop.dicSize = std::min(state.prop.dicSize, window);
  window = std::min(state.prop.dicSize, size);
  piece.remove_prefix(kLzmaPropsSize);
  LzmaDec_Init(&state);

  std::uint32_t left = size;      // decoded bytes still to come
  std::size_t consumed = header + piece.size();  // of the block, read so far
  ELzmaStatus status = LZMA_STATUS_NOT_SPECIFIED;
  while (left > 0) {
    if (piece.empty() && consumed < record.BlockLength) {
      piece = source.Read(record.BlockOffset + consumed,
                          std::min(kInputPiece, record.BlockLength - consumed), input);
      if (piece.empty()) return result;  // the source ended early: as a cut block
      consumed += piece.size();
    }
    if (state.dicPos == state.dicBufSize) {
      if (state.dicBufSize < window) {
        if (!GrowWindow(state, window)) {
          result.Status = BlockStatus::OutOfMemory;
          return result;
        }
      } else {
        state.dicPos = 0;
      }
    }
    const SizeT start = state.dicPos;
    SizeT taken = piece.size();
    const SRes decoded =
        LzmaDec_DecodeToDic(&state, start + std::min<SizeT>(state.dicBufSize - start, left),
                            reinterpret_cast<const Byte*>(piece.data()), &taken, LZMA_FINISH_ANY, &status);
    piece.remove_prefix(taken);
    const SizeT made = state.dicPos - start;
    left -= static_cast<std::uint32_t>(made);
    if (made > 0 && !sink(ByteView(reinterpret_cast<const char*>(state.dic + start), made))) {
      result.Stopped = true;
      return result;
    }
    if (decoded != SZ_OK) return result;
    if (status == LZMA_STATUS_FINISHED_WITH_MARK) break;
    // Out of input before S bytes (the one-shot decoder calls this a cut stream), or no
    // progress at all: never loop on a broken stream.
    if ((status == LZMA_STATUS_NEEDS_MORE_INPUT && piece.empty() && consumed >= record.BlockLength) ||
        (made == 0 && taken == 0))
      return result;
  }
  // A clean end: the stream ends with its data (the range coder's code back at 0, or an end mark
  // read, early or right after the S bytes) and nothing follows it in the block but zero bytes,
  // the room a writer may keep to rewrite the block in place. Damage rarely ends so.
  if (status == LZMA_STATUS_NOT_FINISHED) {
    // One more symbol may only be the end mark (anything else lands in the window, unused).
    if (state.dicPos == state.dicBufSize) state.dicPos = 0;
    SizeT taken = piece.size();
    LzmaDec_DecodeToDic(&state, state.dicPos + 1, reinterpret_cast<const Byte*>(piece.data()), &taken,
                        LZMA_FINISH_ANY, &status);
    piece.remove_prefix(taken);
    if (status != LZMA_STATUS_FINISHED_WITH_MARK) status = LZMA_STATUS_NOT_FINISHED;
  }
  while (!piece.empty() && piece.front() == 0) piece.remove_prefix(1);
  result.EndsCleanly = (status == LZMA_STATUS_MAYBE_FINISHED_WITHOUT_MARK ||
                        status == LZMA_STATUS_FINISHED_WITH_MARK) &&
                       piece.empty() && consumed == record.BlockLength;
  result.Status = BlockStatus::Ok;
  result.ZeroTail = left;
  if (padZeros && left > 0) {
    // The stream ended early with its end mark: zeros up to S, handed out from the window,
    // which is no longer needed.
    std::memset(state.dic, 0, state.dicBufSize);
    for (; left > 0; left -= static_cast<std::uint32_t>(std::min<SizeT>(left, state.dicBufSize))) {
      if (!sink(ByteView(reinterpret_cast<const char*>(state.dic), std::min<SizeT>(left, state.dicBufSize)))) {
        result.Stopped = true;
        return result;
      }
    }
    result.ZeroTail = 0;
  }
  return result;
}

StreamedBlock DecodeRecordText(const PackageSource& source, const RecordSpan& record, Bytes& out) {
  out.clear();
  bool fits = true;
  StreamedBlock result = DecodeRecordStream(
      source, record,
      [&](ByteView piece) {
        return out.size() + piece.size() <= kMaxTextBlockSize &&
               (fits = TryAppend(out, piece.data(), piece.size()));
      },
      /*padZeros=*/false);
  // Stopped beyond the bound, the block stays Corrupt.
  if (!fits) result.Status = BlockStatus::OutOfMemory;
  if (result.Status == BlockStatus::Ok && !result.EndsCleanly) result.Status = BlockStatus::Corrupt;
  if (result.Status != BlockStatus::Ok) Bytes().swap(out);
  return result;
}

}  // namespace zv
