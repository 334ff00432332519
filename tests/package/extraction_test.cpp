// The extraction loop hands every entry to its sink in list order, whether a file was decoded
// ahead or is streamed, and keeps the sink's meaning of a fault: Retry writes the whole file
// again, Ignore leaves it out, Abort and a stop end everything.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "package/extraction.h"
#include "package/writer.h"
#include "tests/package/helpers.h"

namespace zv {
namespace {

using test::CompressibleBytes;

// Larger than a batch's budget: the writer streams it from its record. Encoded once for all.
const Bytes& LargeBytes() {
  static const Bytes bytes = [] {
    const Bytes piece = test::RandomBytes(std::size_t{64} << 10, 7);
    Bytes out;
    while (out.size() <= kAheadBudget) out += piece;
    return out;
  }();
  return bytes;
}
Bytes Encoded(const Bytes& content) {
  static const Bytes large = EncodeBlock(LargeBytes());
  return &content == &LargeBytes() ? large : EncodeBlock(content);
}

// A package's entries and content records (from offset 0), with the bytes of each file.
struct Layout {
  PackageContents Contents;
  Bytes Records;
  std::vector<Bytes> Files;  // by entry index; folders have none

  void Folder(const char* path) {
    Contents.Entries.push_back(test::FolderEntry(path));
    Files.emplace_back();
  }
  void File(const std::string& path, const Bytes& content, std::size_t cut = 0) {
    Bytes block = content.empty() ? Bytes() : Encoded(content);
    if (cut) block.resize(block.size() - cut);  // damaged: the stream stops short
    Records += test::Record(block);
    Contents.Entries.push_back(test::FileEntry(1, path));
    Files.push_back(content);
  }
};

// A lane's holder in memory; its writes fail from failAfter bytes on when it is told to.
struct MemoryHolder final : AsideFile {
  bool Write(ByteView piece) override {
    bytes += piece;
    return !(failing && bytes.size() >= failAfter);
  }
  std::size_t index = 0;
  Bytes bytes;
  bool failing = false;
  std::size_t failAfter = 0;
};

// Notes every call in a line of its own and what each file received; faults and stops as set.
// With holding, it makes holders for the lanes.
class RecordingSink final : public ExtractSink {
 public:
  bool Entry(std::size_t index) override {
    Note("entry", index);
    // Holds the writer until a lane has the files asked for, so that which files go to lanes
    // does not depend on which thread runs first.
    for (int waited = 0; waited < 2000 && !HeldAll(awaitAside[index]); ++waited) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }
  bool Open(std::size_t index) override {
    Note("open", index);
    open_ = index;
    received[index].clear();
    return failOpen != index;
  }
  bool Write(ByteView piece) override {
    received[open_] += piece;
    return !(failWrite == open_ && received[open_].size() >= failAfter && failures++ < failTimes);
  }
  bool Close(std::size_t index) override {
    Note("close", index);
    return true;
  }
  void Drop() override { Note("drop", open_); }
  FaultAnswer Failed(std::size_t index, FileFault fault) override {
    Note(fault == FileFault::Corrupt ? "corrupt" : fault == FileFault::WriteFailed ? "write failed" : "no memory",
         index);
    const FaultAnswer answer = answers.empty() ? FaultAnswer::Abort : answers.front();
    if (!answers.empty()) answers.erase(answers.begin());
    return answer;
  }
  bool Done(std::size_t index, bool written) override {
    Note(written ? "done" : "left out", index);
    return stopAt != index;
  }
  AsideFile* Aside(std::size_t index) override {
    if (!holding) return nullptr;
    std::lock_guard lock(mutex_);
    auto holder = std::make_unique<MemoryHolder>();
    holder->index = index;
    holder->failing = failAside == index;
    holder->failAfter = failAfter;
    holders_.push_back(std::move(holder));
    return holders_.back().get();
  }
  bool Keep(std::size_t index, AsideFile& file) override {
    Note("keep", index);
    received[index] = static_cast<MemoryHolder&>(file).bytes;
    ++gone;
    return true;
  }
  void Discard(AsideFile& file) override {
    Note("discard", static_cast<MemoryHolder&>(file).index);
    ++gone;
  }
  std::size_t Holders() {
    std::lock_guard lock(mutex_);
    return holders_.size();
  }

  std::vector<std::string> calls;
  std::vector<Bytes> received = std::vector<Bytes>(64);
  std::vector<FaultAnswer> answers;
  std::size_t failOpen = ~std::size_t{0};
  std::size_t failWrite = ~std::size_t{0};  // the file whose writes fail...
  std::size_t failAfter = 0;                // ...once it holds this many bytes...
  int failTimes = 0;                        // ...this many times
  int failures = 0;
  std::size_t stopAt = ~std::size_t{0};
  bool holding = false;                     // lanes get holders
  std::size_t failAside = ~std::size_t{0};  // the file whose holder fails
  std::map<std::size_t, std::vector<std::size_t>> awaitAside;  // entry -> files a lane must hold first
  std::size_t gone = 0;                     // holders kept or discarded

 private:
  void Note(const char* what, std::size_t index) { calls.push_back(std::string(what) + " " + std::to_string(index)); }
  bool HeldAll(const std::vector<std::size_t>& files) {
    std::lock_guard lock(mutex_);
    for (std::size_t file : files) {
      if (std::none_of(holders_.begin(), holders_.end(), [&](const auto& holder) { return holder->index == file; })) {
        return false;
      }
    }
    return true;
  }
  std::size_t open_ = 0;
  std::mutex mutex_;
  std::vector<std::unique_ptr<MemoryHolder>> holders_;
};

std::vector<std::string> Calls(std::initializer_list<std::string> calls) { return calls; }

// Every entry in list order, folders among the files, through batch edges and a file streamed
// by the writer, with one decoder and with the most: each file whole, once.
TEST(Extraction, HandsEveryEntryToTheSinkInListOrder) {
  Layout layout;
  layout.Folder("a");
  for (std::size_t i = 0; i < kAheadFiles + 5; ++i) {
    if (i == 40) layout.Folder("a\\b");
    if (i == 50) layout.File("a\\large", LargeBytes());
    layout.File("a\\" + std::to_string(i), i % 13 == 0 ? Bytes() : CompressibleBytes(200 + 31 * i, i));
  }
  const MemorySource source(layout.Records);
  for (int decoders : {1, kMaxDecoders}) {
    SCOPED_TRACE(decoders);
    RecordingSink sink;
    sink.received.resize(layout.Files.size());
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < layout.Files.size(); ++i) {
      const std::string index = " " + std::to_string(i);
      expected.push_back("entry" + index);
      if (layout.Contents.Entries[i].IsFolder) continue;
      for (const char* call : {"open", "close", "done"}) expected.push_back(call + index);
    }
    Extraction extraction(source, layout.Contents, decoders);
    EXPECT_TRUE(extraction.Run(sink));
    EXPECT_EQ(sink.calls, expected);
    for (std::size_t i = 0; i < layout.Files.size(); ++i) EXPECT_TRUE(sink.received[i] == layout.Files[i]) << i;
  }
}

// A block damaged half way through a large file, streamed: what was written of it is dropped
// each time, Retry decodes it again, Ignore leaves it out, and the files after it are written.
// A damaged small file, decoded ahead, is told before anything of it is opened.
TEST(Extraction, TellsADamagedBlockAndGoesOnAsTheSinkAnswers) {
  Layout layout;
  layout.File("first", CompressibleBytes(5000, 1));
  layout.File("large", LargeBytes(), 3000);
  layout.File("small", CompressibleBytes(7000, 3), 100);
  layout.File("last", CompressibleBytes(9000, 4));
  const MemorySource source(layout.Records);
  RecordingSink sink;
  sink.answers = {FaultAnswer::Retry, FaultAnswer::Ignore, FaultAnswer::Ignore};
  Extraction extraction(source, layout.Contents, 2);
  EXPECT_TRUE(extraction.Run(sink));
  EXPECT_EQ(sink.calls, Calls({"entry 0", "open 0", "close 0", "done 0",                      //
                               "entry 1", "open 1", "drop 1", "corrupt 1",                    //
                               "open 1", "drop 1", "corrupt 1", "left out 1",                 //
                               "entry 2", "corrupt 2", "left out 2",                          //
                               "entry 3", "open 3", "close 3", "done 3"}));
  EXPECT_GT(sink.received[1].size(), 0u);  // it failed half way, not before its first byte
  EXPECT_LT(sink.received[1].size(), layout.Files[1].size());
  EXPECT_TRUE(sink.received[3] == layout.Files[3]);
}

// A write the sink cannot make, in a file decoded ahead and half way through a streamed one:
// the file is dropped, and Retry writes it again whole from its first byte.
TEST(Extraction, WritesTheWholeFileAgainAfterAFailedWrite) {
  Layout layout;
  layout.File("ahead", CompressibleBytes(20000, 1));
  layout.File("large", LargeBytes());
  const MemorySource source(layout.Records);
  for (std::size_t failing : {0, 1}) {
    SCOPED_TRACE(failing);
    RecordingSink sink;
    sink.failWrite = failing;
    sink.failAfter = failing == 0 ? 0 : 1 << 20;
    sink.failTimes = 1;
    sink.answers = {FaultAnswer::Retry};
    Extraction extraction(source, layout.Contents, 2);
    EXPECT_TRUE(extraction.Run(sink));
    const std::string at = " " + std::to_string(failing);
    const std::string other = " " + std::to_string(1 - failing);
    std::vector<std::string> failed = {"entry" + at, "open" + at, "drop" + at, "write failed" + at,
                                       "open" + at, "close" + at, "done" + at};
    std::vector<std::string> fine = {"entry" + other, "open" + other, "close" + other, "done" + other};
    std::vector<std::string> expected = failing == 0 ? failed : fine;
    for (const std::string& call : failing == 0 ? fine : failed) expected.push_back(call);
    EXPECT_EQ(sink.calls, expected);
    for (std::size_t i = 0; i < 2; ++i) EXPECT_TRUE(sink.received[i] == layout.Files[i]) << i;
  }
}

// A file that cannot be opened is a failed write too; Abort ends the extraction there.
TEST(Extraction, AbortEndsTheExtraction) {
  Layout layout;
  layout.File("one", CompressibleBytes(300, 1));
  layout.File("two", CompressibleBytes(300, 2));
  layout.File("three", CompressibleBytes(300, 3));
  const MemorySource source(layout.Records);
  RecordingSink sink;
  sink.failOpen = 1;
  sink.answers = {FaultAnswer::Abort};
  Extraction extraction(source, layout.Contents, 2);
  EXPECT_FALSE(extraction.Run(sink));
  EXPECT_EQ(sink.calls, Calls({"entry 0", "open 0", "close 0", "done 0", "entry 1", "open 1",
                               "write failed 1"}));
}

// Cancel while many files are being decoded ahead: nothing after the file the sink stopped at
// reaches it, and no decoder reads the package once Run has returned.
TEST(Extraction, StopsWhenTheSinkStops) {
  Layout layout;
  for (std::size_t i = 0; i < 3 * kAheadFiles; ++i) layout.File(std::to_string(i), test::RandomBytes(20000, i));
  test::WatchedSource source(layout.Records);
  RecordingSink sink;
  sink.stopAt = 2;
  Extraction extraction(source, layout.Contents, kMaxDecoders);
  EXPECT_FALSE(extraction.Run(sink));
  source.closed = true;
  EXPECT_EQ(sink.calls.back(), "done 2");
  EXPECT_EQ(sink.calls.size(), 12u);
  Bytes buffer;
  source.Read(0, 1, buffer);  // the one read after it: this test's own
  EXPECT_EQ(source.lateReads, 1);
}

// Large files go to lanes, which decode them into holders while the writer writes the files
// before them; the sink still sees every file in list order, each large one kept whole at its
// turn, with two lanes and with the most.
TEST(Extraction, KeepsLargeFilesFromLanesInListOrder) {
  Layout layout;
  layout.File("first", CompressibleBytes(3000, 1));
  layout.Folder("big");
  for (std::size_t i = 0; i < 3; ++i) {
    layout.File("big\\" + std::to_string(i), LargeBytes());
    layout.File("small" + std::to_string(i), CompressibleBytes(4000 + i, i));
  }
  const MemorySource source(layout.Records);
  for (int decoders : {2, kMaxDecoders}) {
    SCOPED_TRACE(decoders);
    RecordingSink sink;
    sink.holding = true;
    sink.awaitAside[0] = {2, 4};
    Extraction extraction(source, layout.Contents, decoders);
    EXPECT_TRUE(extraction.Run(sink));
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < layout.Files.size(); ++i) {
      const std::string index = " " + std::to_string(i);
      expected.push_back("entry" + index);
      if (layout.Contents.Entries[i].IsFolder) continue;
      const bool large = layout.Files[i].size() > kAheadBudget;
      if (large && i != 6) {
        expected.push_back("keep" + index);
      } else if (large) {  // the last may have been the writer's own: look at what it did
        const auto at = std::find(sink.calls.begin(), sink.calls.end(), "entry" + index);
        const bool kept = at != sink.calls.end() && at + 1 != sink.calls.end() && at[1] == "keep" + index;
        expected.push_back((kept ? "keep" : "open") + index);
        if (!kept) expected.push_back("close" + index);
      } else {
        expected.push_back("open" + index);
        expected.push_back("close" + index);
      }
      expected.push_back("done" + index);
    }
    EXPECT_EQ(sink.calls, expected);
    for (std::size_t i = 0; i < layout.Files.size(); ++i) EXPECT_TRUE(sink.received[i] == layout.Files[i]) << i;
    EXPECT_EQ(sink.gone, sink.Holders());
  }
}

// A block damaged half way through a large file a lane decodes: the lane's holder is discarded,
// the writer streams the file itself before it tells (a lane's smaller window could be all that
// failed), and the box's answers keep their meaning. A holder whose writes fail is told as a
// failed write at the file's turn, and Retry writes the file whole.
TEST(Extraction, TellsWhatWentWrongInALaneAtTheFilesTurn) {
  Layout layout;
  layout.File("first", CompressibleBytes(3000, 1));
  layout.File("damaged", LargeBytes(), 3000);
  layout.File("failing", LargeBytes());
  layout.File("last", CompressibleBytes(5000, 4));
  const MemorySource source(layout.Records);
  RecordingSink sink;
  sink.holding = true;
  sink.awaitAside[0] = {1, 2};
  sink.failAside = 2;
  sink.failAfter = 1 << 20;
  sink.answers = {FaultAnswer::Retry, FaultAnswer::Ignore, FaultAnswer::Retry};
  Extraction extraction(source, layout.Contents, 2);
  EXPECT_TRUE(extraction.Run(sink));
  EXPECT_EQ(sink.calls, Calls({"entry 0", "open 0", "close 0", "done 0",                      //
                               "entry 1", "discard 1", "open 1", "drop 1", "corrupt 1",       //
                               "open 1", "drop 1", "corrupt 1", "left out 1",                 //
                               "entry 2", "discard 2", "write failed 2",                      //
                               "open 2", "close 2", "done 2",                                 //
                               "entry 3", "open 3", "close 3", "done 3"}));
  EXPECT_TRUE(sink.received[2] == layout.Files[2]);
  EXPECT_EQ(sink.gone, sink.Holders());
}

// Cancel while lanes hold several large files: every holder is discarded, none kept, and
// nothing reads the package once Run has returned.
TEST(Extraction, DiscardsWhatLanesHoldWhenTheSinkStops) {
  Layout layout;
  layout.File("first", CompressibleBytes(3000, 1));
  for (std::size_t i = 0; i < 4; ++i) layout.File("large" + std::to_string(i), LargeBytes());
  test::WatchedSource source(layout.Records);
  RecordingSink sink;
  sink.holding = true;
  sink.awaitAside[0] = {1, 2};
  sink.stopAt = 0;
  Extraction extraction(source, layout.Contents, kMaxDecoders);
  EXPECT_FALSE(extraction.Run(sink));
  source.closed = true;
  EXPECT_GE(sink.Holders(), 2u);
  EXPECT_EQ(sink.gone, sink.Holders());
  EXPECT_EQ(std::count_if(sink.calls.begin(), sink.calls.end(), [](const std::string& call) { return call.rfind("keep", 0) == 0; }), 0);
  EXPECT_EQ(std::find(sink.calls.begin(), sink.calls.end(), "done 0") + 1 + sink.Holders(), sink.calls.end());
  EXPECT_EQ(source.lateReads, 0);
}

}  // namespace
}  // namespace zv
