// Block decoding and line splitting.
#include "package/codec.h"

#include <LzmaDec.h>

#include <new>

#include "base/try_alloc.h"
#include "package/format.h"
#include "package/lzma_alloc.h"

namespace zv {
namespace {

std::size_t SizeFieldLength(ByteView block) {
  return (static_cast<unsigned char>(block[0]) & 3u) + 1;
}

}  // namespace

std::uint32_t StatedBlockSize(ByteView block) {
  if (block.empty() || block.size() < SizeFieldLength(block)) return 0;
  std::uint32_t field = 0;
  for (std::size_t i = SizeFieldLength(block); i-- > 0;)
    field = (field << 8) | static_cast<unsigned char>(block[i]);
  return field >> 2;
}

BlockStatus DecodeBlockChecked(ByteView block, Bytes& out) {
  out.clear();
  if (block.empty()) return BlockStatus::Empty;
  if (block.size() < SizeFieldLength(block)) return BlockStatus::Corrupt;
  const std::uint32_t size = StatedBlockSize(block);
  if (size == 0) return BlockStatus::Empty;
  const std::size_t header = SizeFieldLength(block) + kLzmaPropsSize;
  // A block needs at least one stream byte behind its header.
  if (block.size() < kMinBlockSize || block.size() <= header) return BlockStatus::Corrupt;

  // Zero-filled: a stream that ends early with an end mark leaves zeros.
  if (!TryResize(out, size)) {
    Bytes().swap(out);
    return BlockStatus::OutOfMemory;
  }
  SizeT outLength = size;
  SizeT inLength = block.size() - header;
  ELzmaStatus status;
  const auto* bytes = reinterpret_cast<const Byte*>(block.data());
  const SRes result =
      LzmaDecode(reinterpret_cast<Byte*>(out.data()), &outLength, bytes + header, &inLength,
                 bytes + header - kLzmaPropsSize, kLzmaPropsSize, LZMA_FINISH_ANY, &status,
                 &gLzmaAllocator);
  if (result == SZ_OK) return BlockStatus::Ok;
  Bytes().swap(out);
  return result == SZ_ERROR_MEM ? BlockStatus::OutOfMemory : BlockStatus::Corrupt;
}

Bytes DecodeBlock(ByteView block) {
  Bytes out;
  DecodeBlockChecked(block, out);
  return out;
}

std::size_t SplitLines(ByteView text, ByteView separator, std::vector<ByteView>& pieces) {
  if (text.empty()) return 0;
  pieces.clear();
  for (std::size_t start = 0;;) {
    const std::size_t found = separator.empty() ? ByteView::npos : text.find(separator, start);
    pieces.push_back(text.substr(start, found == ByteView::npos ? ByteView::npos : found - start));
    if (found == ByteView::npos) return pieces.size();
    start = found + separator.size();
  }
}

}  // namespace zv
