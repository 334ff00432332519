// Block codec: encoder and decoder against each other, the size field at every width, and
// the ways a block can be broken; blocks streamed from a source and written in pieces.
#include <LzmaEnc.h>
#include <gtest/gtest.h>

#include "package/lzma_alloc.h"
#include "package/writer.h"
#include "tests/package/helpers.h"

namespace zv {
namespace {

using test::CompressibleBytes;
using test::Hex;
using test::RandomBytes;

std::uint32_t LittleEndian(ByteView bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return value;
}

// Encodes, checks the header layout, decodes and compares.
void ExpectRoundTrip(const Bytes& data, const EncodeOptions& options = {}) {
  const Bytes block = EncodeBlock(data, options);
  ASSERT_FALSE(block.empty()) << "size " << data.size();
  const auto size = static_cast<std::uint32_t>(data.size());
  const std::size_t field = SizeFieldBytes(size);
  EXPECT_EQ(static_cast<unsigned char>(block[0]) & 3u, field - 1) << "size " << size;
  EXPECT_EQ(LittleEndian(ByteView(block).substr(0, field)), (size << 2) | (field - 1));
  EXPECT_EQ(StatedBlockSize(block), size);
  EXPECT_EQ(static_cast<unsigned char>(block[field]), kPropertyByte);
  EXPECT_EQ(LittleEndian(ByteView(block).substr(field + 1, 4)), kDictionarySize);
  Bytes decoded;
  EXPECT_EQ(DecodeBlockChecked(block, decoded), BlockStatus::Ok);
  EXPECT_TRUE(decoded == data) << "size " << size;
  EXPECT_TRUE(DecodeBlock(block) == data);
}

// Level 1 (hash chain, fast mode) keeps the multi-megabyte cases quick, under Wine too.
EncodeOptions Fast() {
  EncodeOptions options;
  options.Level = 1;
  return options;
}

TEST(BlockCodec, RoundTripsSmallSizes) {
  for (const std::size_t size : {1u, 2u, 5u, 17u, 1000u, 65536u}) {
    ExpectRoundTrip(RandomBytes(size, static_cast<std::uint32_t>(size)));
    ExpectRoundTrip(CompressibleBytes(size, static_cast<std::uint32_t>(size)));
  }
  ExpectRoundTrip(Bytes(3000, '\0'));  // NUL bytes are data like any other
}

TEST(BlockCodec, SizeFieldAtEveryWidthBoundary) {
  for (const std::size_t size : {63u, 64u, 16383u, 16384u})
    ExpectRoundTrip(RandomBytes(size, static_cast<std::uint32_t>(size)));
  // The 3-byte field's last size and the first size that needs all four bytes.
  for (const std::size_t size : {4194303u, 4194304u}) {
    Bytes data = RandomBytes(65536, 7) + CompressibleBytes(size - 65536, 8);
    ExpectRoundTrip(data, Fast());
  }
}

TEST(BlockCodec, RoundTripsMultiMegabyteData) {
  ExpectRoundTrip(CompressibleBytes(6 * 1024 * 1024 + 123, 11), Fast());
  ExpectRoundTrip(RandomBytes(2 * 1024 * 1024 + 7, 12), Fast());
  ExpectRoundTrip(CompressibleBytes(1024 * 1024, 13));  // the default level
}

TEST(BlockCodec, EncoderTuningKeepsTheFormat) {
  const Bytes data = CompressibleBytes(200000, 3) + RandomBytes(5000, 4);
  EncodeOptions hashChain;
  hashChain.Algo = 0;
  hashChain.BtMode = 0;
  EncodeOptions binaryTree;
  binaryTree.Level = 9;
  binaryTree.FastBytes = 273;
  binaryTree.NumHashBytes = 2;
  binaryTree.MatchCycles = 1000;
  EncodeOptions smallWindow;
  smallWindow.Window = 5000;  // not a power of two; the header still states 64 MiB
  for (const EncodeOptions& options : {hashChain, binaryTree, smallWindow}) ExpectRoundTrip(data, options);
}

// The SDK's two-thread match finder finds the matches the single-threaded one finds: the block
// is the same byte for byte, with the packer's settings, and with a window the data slides
// through (the finder's buffers move and wrap).
TEST(BlockCodec, TheTwoThreadMatchFinderGivesTheSameBlock) {
  const Bytes data = CompressibleBytes(800000, 21) + RandomBytes(100000, 22) +
                     CompressibleBytes(300000, 23);
  EncodeOptions packer;
  packer.Algo = 1;
  packer.BtMode = 1;
  packer.NumHashBytes = 4;
  packer.FastBytes = 32;
  EncodeOptions sliding = packer;
  sliding.Window = 256 * 1024;
  for (EncodeOptions options : {packer, sliding}) {
    const Bytes single = EncodeBlock(data, options);
    options.Threads = 2;
    const Bytes threaded = EncodeBlock(data, options);
    ASSERT_FALSE(threaded.empty());
    EXPECT_TRUE(threaded == single) << options.Window;
    EXPECT_TRUE(DecodeBlock(threaded) == data);
  }
}

TEST(BlockCodec, EncoderWindowFitsTheData) {
  EXPECT_EQ(EncoderWindow(1), 4096u);
  EXPECT_EQ(EncoderWindow(4096), 4096u);
  EXPECT_EQ(EncoderWindow(4097), 8192u);
  EXPECT_EQ(EncoderWindow(3u << 20), 4u << 20);
  EXPECT_EQ(EncoderWindow(std::uint64_t{1} << 33), kDictionarySize);
  EXPECT_EQ(EncoderWindow(100, 1u << 20), 4096u);  // a request never exceeds the need
  EXPECT_EQ(EncoderWindow(1u << 20, 100), 4096u);
  EXPECT_EQ(EncoderWindow(1u << 20, 65536), 65536u);
}

// Data read the way a file is: in pieces of at most piece bytes. Size() may promise more than
// there is, and reads that reach an offset may fail.
class PieceSource final : public BlockSource {
 public:
  PieceSource(ByteView data, std::size_t piece) : size(data.size()), data_(data), piece_(piece) {}
  std::uint64_t Size() const override { return size; }
  bool ReadAt(std::uint64_t offset, char* data, std::size_t length,
              std::size_t* got) const override {
    length = std::min(length, piece_);
    if (offset + length > failFrom) return false;
    const ByteView part = offset < data_.size() ? data_.substr(offset, length) : ByteView();
    std::copy(part.begin(), part.end(), data);
    *got = part.size();
    return true;
  }

  std::uint64_t size;
  std::uint64_t failFrom = ~std::uint64_t{0};

 private:
  ByteView data_;
  std::size_t piece_;
};

// EncodeBlockTo's pieces joined; nullopt when it fails.
std::optional<Bytes> Streamed(const BlockSource& source, const EncodeOptions& options) {
  Bytes block;
  const auto append = [&block](ByteView piece) { return block.append(piece), true; };
  const auto length = EncodeBlockTo(source, append, options);
  if (!length) return std::nullopt;
  EXPECT_EQ(*length, block.size());
  return block;
}

EncodeOptions FastUnlessIncompressible() {
  EncodeOptions options = Fast();
  options.FastIfIncompressible = true;
  return options;
}

// The sizes around the point where the whole data stops being tried and samples are taken.
constexpr std::size_t kWholeLimit = 512 * 1024;

TEST(BlockCodec, StreamedBlocksAreTheBlocksInMemory) {
  const Bytes mixed = CompressibleBytes(400000, 31) + RandomBytes(300000, 32);
  for (const Bytes& data : {mixed, RandomBytes(kWholeLimit, 33), RandomBytes(kWholeLimit + 1, 34)}) {
    for (const EncodeOptions& options : {Fast(), FastUnlessIncompressible()}) {
      EXPECT_TRUE(Streamed(PieceSource(data, 1000), options) == EncodeBlock(data, options))
          << data.size();
    }
  }
}

TEST(BlockCodec, IncompressibleDataTakesTheQuickSettings) {
  for (const std::size_t size : {kWholeLimit, kWholeLimit + 1}) {
    const Bytes random = RandomBytes(size, static_cast<std::uint32_t>(size));
    const Bytes quick = EncodeBlock(random, FastUnlessIncompressible());
    EXPECT_FALSE(quick == EncodeBlock(random, Fast())) << size;
    EXPECT_LE(quick.size(), size + size * 14 / 1000) << size;
    EXPECT_TRUE(DecodeBlock(quick) == random) << size;
    // A small compressible head (a program in front of an archive, say) keeps the normal
    // settings, as does data that compresses throughout.
    for (const Bytes& data : {CompressibleBytes(64 * 1024, 2) + random.substr(64 * 1024),
                              CompressibleBytes(size, 3)}) {
      EXPECT_TRUE(EncodeBlock(data, FastUnlessIncompressible()) == EncodeBlock(data, Fast())) << size;
    }
  }
}

TEST(BlockCodec, StreamingFailsOnAShortOrFailingSourceOrSink) {
  for (const Bytes& data : {RandomBytes(kWholeLimit, 41), CompressibleBytes(kWholeLimit + 1, 42)}) {
    for (const EncodeOptions& options : {Fast(), FastUnlessIncompressible()}) {
      PieceSource source(data, 1 << 16);
      source.size = data.size() + 1;  // the file shrank by a byte since its size was taken
      EXPECT_FALSE(Streamed(source, options)) << data.size();
      source.size = data.size();
      source.failFrom = data.size() - 1;
      EXPECT_FALSE(Streamed(source, options)) << data.size();
      source.failFrom = ~std::uint64_t{0};
      EXPECT_FALSE(EncodeBlockTo(source, [](ByteView) { return false; }, options));
    }
  }
}

// A block written in pieces follows its length field: a byte too many or too few would shift
// every record behind it.
TEST(PackageWriter, ABlockInPiecesHoldsToItsLength) {
  const Bytes block = EncodeBlock(CompressibleBytes(5000, 7), Fast());
  const std::vector<FileListEntry> files{test::FileEntry(0x01D9000000000001, "a"),
                                         test::FileEntry(0x01D9000000000001, "b")};
  Bytes whole, pieces;
  PackageWriter one([&whole](ByteView bytes) { return whole += bytes, true; });
  ASSERT_TRUE(one.Begin({}, files));
  EXPECT_TRUE(one.AddContent(block) && one.AddContent(block) && one.Finish());
  PackageWriter two([&pieces](ByteView bytes) { return pieces += bytes, true; });
  ASSERT_TRUE(two.Begin({}, files));
  EXPECT_TRUE(two.BeginContent(block.size()) && two.AddContentBytes(block.substr(0, 100)) &&
              two.AddContentBytes(block.substr(100)) && two.AddContent(block) && two.Finish());
  EXPECT_TRUE(whole == pieces);

  PackageWriter over([](ByteView) { return true; });
  ASSERT_TRUE(over.Begin({}, files) && over.BeginContent(10));
  EXPECT_FALSE(over.AddContentBytes(Bytes(11, 'x')));
  PackageWriter under([](ByteView) { return true; });
  ASSERT_TRUE(under.Begin({}, files) && under.BeginContent(10) && under.AddContentBytes(Bytes(9, 'x')));
  EXPECT_FALSE(under.AddContent(block));
  PackageWriter unfinished([](ByteView) { return true; });
  ASSERT_TRUE(unfinished.Begin({}, files) && unfinished.AddContent(block) && unfinished.BeginContent(10));
  EXPECT_FALSE(unfinished.Finish());
}

TEST(BlockCodec, CancelledEncodingGivesNothing) {
  EncodeOptions options;
  std::uint64_t calls = 0;
  options.Progress = [&](std::uint64_t) { return ++calls < 2; };
  EXPECT_TRUE(EncodeBlock(RandomBytes(3 << 20, 5), options).empty());
  EXPECT_GE(calls, 2u);
}

TEST(BlockCodec, EmptyDataIsStoredAsAnEmptyRecord) {
  EXPECT_TRUE(EncodeBlock(Bytes()).empty());
  Bytes out = "stale";
  EXPECT_EQ(DecodeBlockChecked(Bytes(), out), BlockStatus::Empty);
  EXPECT_TRUE(out.empty());
}

TEST(BlockCodec, SizeZeroIsStoredEmptyNotCorrupt) {
  // A real stream behind a size field that states 0.
  Bytes block = EncodeBlock("x");
  block[0] = 0;
  Bytes out;
  EXPECT_EQ(DecodeBlockChecked(block, out), BlockStatus::Empty);
  EXPECT_TRUE(DecodeBlock(block).empty());
  EXPECT_EQ(DecodeBlockChecked(Hex("00"), out), BlockStatus::Empty);
}

TEST(BlockCodec, ShortAndHeaderOnlyBlocksAreCorrupt) {
  // The header of a block of 5,000,000 bytes: a 4-byte size field.
  const Bytes good = Hex("03 2D 31 01") + Hex("5D 00 00 00 04") + Bytes(100, '\0');
  ASSERT_EQ(StatedBlockSize(good), 5000000u);
  Bytes out;
  for (std::size_t length = 1; length <= 4; ++length) {
    EXPECT_TRUE(DecodeBlock(good.substr(0, length)).empty()) << length;
    EXPECT_EQ(DecodeBlockChecked(good.substr(0, length), out), BlockStatus::Corrupt) << length;
  }
  // Header longer than the block, and a header with no stream byte behind it.
  for (const std::size_t length : {7u, 9u}) {
    EXPECT_TRUE(DecodeBlock(good.substr(0, length)).empty()) << length;
    EXPECT_EQ(DecodeBlockChecked(good.substr(0, length), out), BlockStatus::Corrupt) << length;
  }
  // A stream shorter than the range coder's five start bytes.
  const Bytes small = EncodeBlock("hello");
  EXPECT_EQ(DecodeBlockChecked(small.substr(0, 1 + 5 + 4), out), BlockStatus::Corrupt);
}

TEST(BlockCodec, TruncatedBlocksAreCorrupt) {
  const Bytes data = RandomBytes(300000, 9);
  const Bytes block = EncodeBlock(data);
  Bytes out;
  for (const std::size_t keep : {block.size() / 2, block.size() - 100, std::size_t{20}}) {
    EXPECT_EQ(DecodeBlockChecked(block.substr(0, keep), out), BlockStatus::Corrupt) << keep;
    EXPECT_TRUE(out.empty());
  }
}

TEST(BlockCodec, CorruptedStreamsNeverPassAsTheirData) {
  const Bytes data = CompressibleBytes(100000, 21);
  const Bytes block = EncodeBlock(data);
  const std::size_t stream = SizeFieldBytes(100000) + kLzmaPropsSize;
  Bytes out;
  Bytes broken = block;
  broken[stream] = 1;  // the range coder's first byte is always 0
  EXPECT_EQ(DecodeBlockChecked(broken, out), BlockStatus::Corrupt);
  EXPECT_TRUE(DecodeBlock(broken).empty());
  // Without a checksum a flipped byte may still decode; it must never decode to the data or
  // to anything but S bytes or nothing.
  std::mt19937 random(5);
  for (int round = 0; round < 200; ++round) {
    broken = block;
    const std::size_t at = stream + 1 + random() % (block.size() - stream - 1);
    broken[at] = static_cast<char>(broken[at] ^ (1 + random() % 255));
    const BlockStatus status = DecodeBlockChecked(broken, out);
    if (status == BlockStatus::Ok) {
      EXPECT_EQ(out.size(), data.size());
    } else {
      EXPECT_EQ(status, BlockStatus::Corrupt);
      EXPECT_TRUE(out.empty());
    }
  }
}

TEST(BlockCodec, OutOfRangePropertiesAreCorrupt) {
  Bytes block = EncodeBlock(CompressibleBytes(1000, 2));
  const std::size_t props = SizeFieldBytes(1000);
  Bytes out;
  block[props] = static_cast<char>(225);  // lc + 9 * (lp + 5 * pb) beyond pb 4
  EXPECT_EQ(DecodeBlockChecked(block, out), BlockStatus::Corrupt);
  EXPECT_TRUE(DecodeBlock(block).empty());
}

TEST(BlockCodec, StatedDictionaryIsHandedOnAsItStands) {
  // Readers do not check the stated dictionary; the decoder takes at least 4 KiB anyway.
  // (It must not be smaller than the encoder's window: every header states 64 MiB.)
  const Bytes data = CompressibleBytes(3000, 6);
  Bytes block = EncodeBlock(data);
  block.replace(SizeFieldBytes(3000) + 1, 4, Hex("00 00 00 00"));
  EXPECT_TRUE(DecodeBlock(block) == data);
}

TEST(BlockCodec, StreamEndingEarlyWithEndMarkLeavesZeros) {
  // Not what writers produce, but readers keep the decoded bytes and zero-fill the rest.
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
  const std::uint32_t stated = 40;  // more than the 26 bytes the stream holds
  Bytes block;
  block += static_cast<char>(stated << 2);
  block.append(reinterpret_cast<const char*>(encodedProps), 5);
  block.append(stream, 0, streamSize);
  EXPECT_EQ(DecodeBlock(block), data + Bytes(stated - data.size(), '\0'));
}

TEST(SplitLines, PiecesBetweenSeparators) {
  std::vector<ByteView> pieces;
  EXPECT_EQ(SplitLines("a\r\nb", "\r\n", pieces), 2u);
  EXPECT_EQ(pieces, (std::vector<ByteView>{"a", "b"}));
  EXPECT_EQ(SplitLines("a\r\nb\r\n", "\r\n", pieces), 3u);
  EXPECT_EQ(pieces, (std::vector<ByteView>{"a", "b", ""}));
  EXPECT_EQ(SplitLines("\r\n\r\r\n", "\r\n", pieces), 3u);
  EXPECT_EQ(pieces, (std::vector<ByteView>{"", "\r", ""}));
  const Bytes withNul("x\0y\r\n\0", 6);
  EXPECT_EQ(SplitLines(withNul, "\r\n", pieces), 2u);
  EXPECT_EQ(pieces[0], ByteView("x\0y", 3));
  EXPECT_EQ(pieces[1], ByteView("\0", 1));
}

TEST(SplitLines, EmptyTextLeavesTheArray) {
  std::vector<ByteView> pieces = {"kept"};
  EXPECT_EQ(SplitLines("", "\r\n", pieces), 0u);
  EXPECT_EQ(pieces, std::vector<ByteView>{"kept"});
}

TEST(SplitLines, ManyPiecesStayInOrder) {
  Bytes text;
  for (int i = 0; i <= 250; ++i) text += (i ? "\r\n" : "") + std::to_string(i);
  std::vector<ByteView> pieces;
  ASSERT_EQ(SplitLines(text, "\r\n", pieces), 251u);
  ASSERT_EQ(pieces.size(), 251u);
  for (int i = 0; i <= 250; ++i) EXPECT_EQ(pieces[i], std::to_string(i));
}

}  // namespace
}  // namespace zv
