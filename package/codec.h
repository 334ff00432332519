// The block codec: a block decoded whole, and the size it states. Portable and small (the
// installer stub links it); failures come back as empty results or a status, never as exceptions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/text.h"

namespace zv {

// Decodes one block; empty on any failure, and for a block that stores an empty file.
Bytes DecodeBlock(ByteView block);

enum class BlockStatus {
  Ok,           // out holds the S decoded bytes
  Empty,        // stored empty: a zero-length block or S = 0
  Corrupt,      // S > 0 but the block does not decode (short header, bad stream, cut block)
  OutOfMemory,  // no room for the S decoded bytes
};
// Like DecodeBlock, but tells a stored empty file from a broken block. out is cleared first.
BlockStatus DecodeBlockChecked(ByteView block, Bytes& out);

// The decoded size S stated by a block's size field; 0 when the field is incomplete.
std::uint32_t StatedBlockSize(ByteView block);

// Splits text at every occurrence of separator. pieces receives views into text; returns the
// number of pieces (separators + 1), or 0 for empty text (pieces is then left as it was).
std::size_t SplitLines(ByteView text, ByteView separator, std::vector<ByteView>& pieces);

}  // namespace zv
