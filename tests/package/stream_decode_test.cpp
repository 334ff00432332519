// Decoding a record piece by piece gives what decoding it whole gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "package/writer.h"
#include "tests/package/helpers.h"

namespace zv {
namespace {

using test::CompressibleBytes;
using test::RandomBytes;

struct Streamed {
  StreamedBlock result;
  Bytes bytes;
  std::size_t pieces = 0;
};

// The block as the only record of a source, streamed into a string.
Streamed Stream(ByteView block, bool padZeros = true) {
  const Bytes package = test::Record(block);
  const MemorySource source(package);
  Streamed out;
  out.result = DecodeRecordStream(source, LocateRecord(source, 0), [&](ByteView piece) {
    out.bytes.append(piece);
    ++out.pieces;
    return true;
  }, padZeros);
  return out;
}

// Both decoders agree on status and bytes.
void ExpectSameAsWhole(const Bytes& block) {
  Bytes whole;
  const BlockStatus status = DecodeBlockChecked(block, whole);
  const Bytes package = test::Record(block);
  const MemorySource source(package);
  Bytes streamed;
  const StreamedBlock result = DecodeRecordStream(source, LocateRecord(source, 0), [&](ByteView piece) {
    streamed.append(piece);
    return true;
  });
  EXPECT_EQ(result.Status, status);
  if (status == BlockStatus::Ok) {
    EXPECT_TRUE(streamed == whole);
  }
}

TEST(StreamDecode, AgreesWithTheWholeDecoderOnSoundAndBrokenBlocks) {
  const Bytes data = RandomBytes(150000, 1) + CompressibleBytes(200000, 2);
  EncodeOptions small;
  small.Level = 1;
  small.Window = 4096;
  Bytes block = EncodeBlock(data, small);
  ExpectSameAsWhole(block);
  // A stated window of 4 KiB: the dictionary buffer wraps round about 85 times.
  const std::size_t field = SizeFieldBytes(static_cast<std::uint32_t>(data.size()));
  block.replace(field + 1, 4, test::Hex("00 10 00 00"));
  ExpectSameAsWhole(block);
  // A stated window of 128 KiB: the window grows from its first size, then wraps.
  block.replace(field + 1, 4, test::Hex("00 00 02 00"));
  ExpectSameAsWhole(block);
  block.replace(field + 1, 4, test::Hex("00 10 00 00"));
  Bytes flipped = block;
  flipped[flipped.size() / 2] ^= 0x40;
  ExpectSameAsWhole(flipped);
  ExpectSameAsWhole(block.substr(0, block.size() - 100));  // cut short
  ExpectSameAsWhole(block.substr(0, field + 5));           // a header alone
  ExpectSameAsWhole(EncodeBlock(""));
  ExpectSameAsWhole(test::Hex("00"));                       // states 0 bytes
  ExpectSameAsWhole(EncodeBlock("x"));
}

TEST(StreamDecode, AnEarlyEndMarkStandsForZerosThatNeedNotBeMade) {
  const Bytes data = "end mark after these bytes";
  const std::uint32_t stated = 4u << 20;  // the stream holds 26 bytes and its end mark
  const Bytes block = test::EndMarkBlock(data, stated);
  ExpectSameAsWhole(block);
  const Streamed lean = Stream(block, false);
  EXPECT_EQ(lean.result.Status, BlockStatus::Ok);
  EXPECT_EQ(lean.bytes, data);
  EXPECT_EQ(lean.result.ZeroTail, stated - data.size());
}

// Stands in for the decoder's allocator while it lives: counts what is held at once and
// refuses more than a limit, so that a test can tell what a block costs without paying it.
class AllocationProbe {
 public:
  explicit AllocationProbe(std::size_t limit) : saved_(gLzmaAllocator) {
    gLimit = limit;
    gHeld = gPeak = 0;
    gLzmaAllocator.Alloc = [](void*, size_t size) -> void* {
      if (size > gLimit - gHeld) return nullptr;
      auto* block = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
      if (!block) return nullptr;
      *block = size;
      gPeak = std::max(gPeak, gHeld += size);
      return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
    };
    gLzmaAllocator.Free = [](void*, void* address) {
      if (!address) return;
      auto* block = reinterpret_cast<std::size_t*>(static_cast<char*>(address) - sizeof(std::max_align_t));
      gHeld -= *block;
      std::free(block);
    };
  }
  ~AllocationProbe() { gLzmaAllocator = saved_; }
  std::size_t Peak() const { return gPeak; }

 private:
  static inline std::size_t gLimit = 0, gHeld = 0, gPeak = 0;
  ISzAlloc saved_;
};

TEST(StreamDecode, MemoryFollowsTheOutputNotTheStatedSizes) {
  // A few hundred bytes that state a 1 GiB dictionary and 1 GiB of output: the window grows
  // with what the stream makes, so decoding them takes little.
  const Bytes data = CompressibleBytes(300, 5);
  Bytes block = test::EndMarkBlock(data, kMaxBlockDataSize);
  block.replace(5, 4, test::Hex("00 00 00 40"));
  const AllocationProbe probe(std::size_t{1} << 20);
  const Streamed lean = Stream(block, false);
  EXPECT_EQ(lean.result.Status, BlockStatus::Ok);
  EXPECT_EQ(lean.bytes, data);
  EXPECT_EQ(lean.result.ZeroTail, kMaxBlockDataSize - data.size());
  EXPECT_LT(probe.Peak(), std::size_t{256} << 10);
  // Cut before its end, the same block is refused, as cheaply.
  EXPECT_EQ(Stream(block.substr(0, block.size() - 8)).result.Status, BlockStatus::Corrupt);
  EXPECT_LT(probe.Peak(), std::size_t{256} << 10);
}

// The information block and the file list are read whole and must end where their stream ends
// with their data, which a damaged block seldom does. Zero bytes after the stream (a writer's
// room to rewrite the block in place) and an end mark, right after the data or standing for
// zeros, are a clean end.
TEST(StreamDecode, TextBlocksMustEndCleanly) {
  const Bytes text = "名称=清洁\r\n文件名=a.txt\r\nCRC32ALL=0123ABCD";
  const auto size = static_cast<std::uint32_t>(text.size());
  const auto decode = [](ByteView block) {
    const Bytes package = test::Record(block);
    const MemorySource source(package);
    Bytes out;
    const BlockStatus status = DecodeRecordText(source, LocateRecord(source, 0), out).Status;
    return std::pair(status, out);
  };
  const Bytes block = EncodeBlock(text);
  for (const Bytes& sound : {block, block + Bytes(16, '\0'), test::EndMarkBlock(text, size),
                             test::EndMarkBlock(text, size + 10)}) {
    EXPECT_EQ(decode(sound), std::pair(BlockStatus::Ok, text));
  }
  Bytes shorter = block;  // states one byte less than its stream holds
  const std::uint32_t field = ((size - 1) << 2) | (block[0] & 3u);
  for (std::size_t i = 0; i <= (block[0] & 3u); ++i) shorter[i] = static_cast<char>(field >> (8 * i));
  for (const Bytes& refused : {block + "\x01", block + Bytes(8, '\0') + "\x80", block.substr(0, block.size() - 1),
                               shorter, test::EndMarkBlock(text, size) + "\x01"}) {
    EXPECT_EQ(decode(refused).first, BlockStatus::Corrupt);
  }
}

TEST(StreamDecode, TheSinkCanStopIt) {
  const Bytes package = test::Record(EncodeBlock(RandomBytes(300000, 3)));
  const MemorySource source(package);
  std::size_t calls = 0;
  const StreamedBlock result = DecodeRecordStream(source, LocateRecord(source, 0), [&](ByteView) {
    return ++calls < 2;
  });
  EXPECT_TRUE(result.Stopped);
  EXPECT_EQ(calls, 2u);
}

}  // namespace
}  // namespace zv
