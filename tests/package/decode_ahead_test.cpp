// Files decoded ahead come back in list order, whole, with what the writer must do itself.
#include <gtest/gtest.h>

#include "package/decode_ahead.h"
#include "package/writer.h"
#include "tests/package/helpers.h"

namespace zv {
namespace {

using test::CompressibleBytes;
using test::RandomBytes;

// Every file in order, through batch edges (more files than a batch takes), with one decoder
// and with the most: decoded ahead and equal to its content, or an empty file as stored.
TEST(DecodeAhead, GivesEveryFileInOrderAcrossBatches) {
  std::vector<Bytes> contents;
  Bytes records;  // one after the other, as content records follow the file list
  for (std::size_t i = 0; i < 2 * kAheadFiles + 7; ++i) {
    contents.push_back(i % 11 == 0 ? Bytes() : CompressibleBytes(100 + i * 37, static_cast<std::uint32_t>(i)));
    records += test::Record(contents.back().empty() ? Bytes() : EncodeBlock(contents.back()));
  }
  const MemorySource source(records);
  for (int decoders : {1, kMaxDecoders}) {
    SCOPED_TRACE(decoders);
    DecodeAhead ahead(source, 0, contents.size(), decoders);
    for (std::size_t i = 0; i < contents.size(); ++i) {
      const AheadFile& file = ahead.Next();
      ASSERT_TRUE(file.Decoded) << i;
      EXPECT_EQ(file.Status, contents[i].empty() ? BlockStatus::Empty : BlockStatus::Ok) << i;
      EXPECT_TRUE(file.Data == contents[i]) << i;
    }
  }
}

// A damaged block is told as such, in its place; a file over the budget is left to the writer
// (not decoded, its record given), and the files around it are decoded as usual.
TEST(DecodeAhead, TellsDamageAndLeavesLargeFilesToTheWriter) {
  const Bytes before = RandomBytes(3000, 1);
  const Bytes large(kAheadBudget + 1, 'z');
  const Bytes after = RandomBytes(5000, 2);
  Bytes damaged = EncodeBlock(RandomBytes(4000, 3));
  damaged.resize(damaged.size() / 2);
  Bytes records;  // one after the other, as content records follow the file list
  for (const Bytes& block : {EncodeBlock(before), damaged, EncodeBlock(large), EncodeBlock(after)})
    records += test::Record(block);
  const MemorySource source(records);
  DecodeAhead ahead(source, 0, 4, 2);
  EXPECT_TRUE(ahead.Next().Data == before);
  const AheadFile& broken = ahead.Next();
  EXPECT_TRUE(broken.Decoded);
  EXPECT_EQ(broken.Status, BlockStatus::Corrupt);
  const AheadFile& streamed = ahead.Next();
  EXPECT_FALSE(streamed.Decoded);
  EXPECT_EQ(streamed.Size, large.size());
  std::uint64_t length = 0;
  EXPECT_EQ(DecodeRecordStream(source, streamed.Record, [&](ByteView piece) {
              length += piece.size();
              return true;
            }).Status,
            BlockStatus::Ok);
  EXPECT_EQ(length, large.size());
  EXPECT_TRUE(ahead.Next().Data == after);
}

// A writer that gives up half way stops the decoders and waits for them: none reads the
// source after the writer has gone.
TEST(DecodeAhead, StopsWhenTheWriterGivesUp) {
  Bytes records;  // one after the other, as content records follow the file list
  for (std::size_t i = 0; i < 3 * kAheadFiles; ++i)
    records += test::Record(EncodeBlock(RandomBytes(20000, static_cast<std::uint32_t>(i))));
  test::WatchedSource source(records);
  {
    DecodeAhead ahead(source, 0, 3 * kAheadFiles, kMaxDecoders);
    ASSERT_TRUE(ahead.Next().Decoded);
  }
  source.closed = true;
  Bytes buffer;
  source.Read(0, 1, buffer);  // the one read after it: this test's own
  EXPECT_EQ(source.lateReads, 1);
}

}  // namespace
}  // namespace zv
