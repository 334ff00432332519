// Decoding a record piece by piece gives what decoding it whole gives.
#include <LzmaEnc.h>
#include <gtest/gtest.h>

#include "package/lzma_alloc.h"
#include "package/writer.h"
#include "tests/package/helpers.h"

namespace zv {
namespace {

using test::CompressibleBytes;
using test::RandomBytes;

Bytes WithLength(ByteView block) {
  Bytes record(4, '\0');
  for (std::size_t i = 0; i < 4; ++i) record[i] = static_cast<char>((block.size() >> (8 * i)) & 0xFF);
  return record + Bytes(block);
}

struct Streamed {
  StreamedBlock result;
  Bytes bytes;
  std::size_t pieces = 0;
};

// The block as the only record of a source, streamed into a string.
Streamed Stream(ByteView block, bool padZeros = true) {
  const Bytes package = WithLength(block);
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
  const Bytes package = WithLength(block);
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
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.dictSize = 4096;
  Bytes stream(200, '\0');
  SizeT streamSize = stream.size();
  unsigned char encodedProps[5];
  SizeT propsSize = 5;
  ASSERT_EQ(LzmaEncode(reinterpret_cast<Byte*>(stream.data()), &streamSize,
                       reinterpret_cast<const Byte*>(data.data()), data.size(), &props,
                       encodedProps, &propsSize, 1, nullptr, &gLzmaAllocator, &gLzmaAllocator),
            SZ_OK);
  // States 4 MiB; the stream holds 26 bytes and its end mark.
  const std::uint32_t stated = 4u << 20;
  Bytes block;
  for (std::size_t i = 0; i < 4; ++i) block += static_cast<char>(((stated << 2 | 3) >> (8 * i)) & 0xFF);
  block.append(reinterpret_cast<const char*>(encodedProps), 5);
  block.append(stream, 0, streamSize);
  ExpectSameAsWhole(block);
  const Streamed lean = Stream(block, false);
  EXPECT_EQ(lean.result.Status, BlockStatus::Ok);
  EXPECT_EQ(lean.bytes, data);
  EXPECT_EQ(lean.result.ZeroTail, stated - data.size());
}

TEST(StreamDecode, TheSinkCanStopIt) {
  const Bytes package = WithLength(EncodeBlock(RandomBytes(300000, 3)));
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
