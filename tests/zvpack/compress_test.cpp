// The parallel compressor: list order whatever finishes first, bounded memory, and errors
// reported for the first failing file.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <random>

#include "package/codec.h"
#include "tests/zvpack/support.h"
#include "tools/zvpack/compress.h"
#include "tools/zvpack/errors.h"

namespace zv::pack::test {
namespace {

class CompressTest : public ::testing::Test {
 protected:
  static Bytes Whole(const CompressedBlock& block) {
    Bytes bytes;
    block.ForEachPiece([&bytes](ByteView piece) { return bytes.append(piece), true; });
    return bytes;
  }
  // Files of very different sizes, so workers finish out of order.
  void MakeFiles(std::size_t count) {
    std::mt19937 random(42);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t size = (i % 5 == 0) ? 200'000 + random() % 100'000 : random() % 3'000;
      Bytes data;
      for (std::size_t k = 0; k < size; ++k) data += static_cast<char>('a' + random() % 7);
      const std::string path = scratch_ / ("f" + std::to_string(i));
      WriteBytes(path, data);
      contents_.push_back(data);
      jobs_.push_back({path, "f" + std::to_string(i), data.size(), Inspect(path)});
    }
  }
  // Runs the compressor; returns the decoded blocks in delivery order.
  std::vector<Bytes> Run(const CompressSettings& settings, CompressStats* stats = nullptr) {
    std::vector<Bytes> delivered;
    std::size_t expected = 0;
    CompressInOrder(
        jobs_, settings,
        [&](std::size_t index, const CompressedBlock& block) {
          EXPECT_EQ(index, expected++);
          delivered.push_back(DecodeBlock(Whole(block)));
          return true;
        },
        nullptr, stats);
    return delivered;
  }
  ScratchFolder scratch_;
  std::vector<CompressJob> jobs_;
  std::vector<Bytes> contents_;
};

TEST_F(CompressTest, DeliversEveryFileInListOrder) {
  MakeFiles(23);
  CompressSettings settings;
  settings.threads = 4;
  settings.encode.Level = 1;
  EXPECT_EQ(Run(settings), contents_);
}

TEST_F(CompressTest, StaysInsideTheMemoryBudgetAndTheReorderWindow) {
  MakeFiles(20);
  CompressSettings settings;
  settings.threads = 4;
  settings.encode.Level = 1;
  settings.reorderWindow = 3;
  std::uint64_t largest = 0;
  for (const CompressJob& job : jobs_) largest = std::max(largest, InFlightCost(job.size, settings.encode));
  settings.memoryBudget = largest + 1;  // about one large file at a time
  CompressStats stats;
  EXPECT_EQ(Run(settings, &stats), contents_);
  // A file over the budget would run alone; none is, so the budget holds throughout.
  EXPECT_LE(stats.peakCost, settings.memoryBudget);
  EXPECT_LE(stats.peakAhead, 3u);
  EXPECT_GE(stats.peakAhead, 1u);
}

TEST_F(CompressTest, CostCoversTheDataAndTheEncoderTables) {
  EncodeOptions options;
  EXPECT_EQ(InFlightCost(0, options), 0u);
  // A small file needs a small window: the cost stays close to its size.
  EXPECT_LT(InFlightCost(1000, options), 3u << 20);
  // A large one: three copies of the data and eleven and a half windows of tables.
  const std::uint64_t size = 40u << 20;
  EXPECT_GE(InFlightCost(size, options), 3 * size + 11 * (64u << 20));
  options.BtMode = 0;
  EXPECT_LT(InFlightCost(size, options), 3 * size + 8 * (64u << 20));
  // A block that goes to a spill file costs no memory.
  EXPECT_EQ(InFlightCost(size, options, true), InFlightCost(size, options) - 3 * size);
  EXPECT_LE(DefaultMemoryBudget(), sizeof(void*) == 4 ? 1200u << 20 : ~0ULL);
}

TEST_F(CompressTest, AFileOverTheBudgetRunsAloneThroughASpillFile) {
  MakeFiles(8);  // files 0 and 5 are the large ones
  CompressSettings settings;
  settings.threads = 3;
  settings.encode.Level = 1;
  std::uint64_t small = 0;
  for (const CompressJob& job : jobs_) {
    if (job.size < 100'000) small = std::max(small, InFlightCost(job.size, settings.encode));
  }
  settings.memoryBudget = small + 1;
  settings.spillPath = scratch_ / "setup.exe.partial.block";
  std::vector<std::size_t> spilled;
  CompressStats stats;
  CompressInOrder(
      jobs_, settings,
      [&](std::size_t index, const CompressedBlock& block) {
        if (block.Size() > 0 && block.HeldInMemory() == 0) {
          spilled.push_back(index);
          EXPECT_TRUE(std::filesystem::exists(FsPath(settings.spillPath + "." + std::to_string(index))));
        }
        EXPECT_EQ(DecodeBlock(Whole(block)), contents_[index]) << index;
        return true;
      },
      nullptr, &stats);
  EXPECT_EQ(spilled, (std::vector<std::size_t>{0, 5}));
  // Nothing else was in flight beside the larger of the two.
  EXPECT_EQ(stats.peakCost, std::max(InFlightCost(jobs_[0].size, settings.encode, true),
                                     InFlightCost(jobs_[5].size, settings.encode, true)));

  // Stopping at a spilled block removes its file as well.
  EXPECT_FALSE(CompressInOrder(
      jobs_, settings, [](std::size_t index, const CompressedBlock&) { return index < 5; }, nullptr));
  const std::filesystem::directory_iterator left(FsPath(scratch_.Path()));
  EXPECT_EQ(static_cast<std::size_t>(std::distance(begin(left), end(left))), jobs_.size());
}

// Repeats a random kilobyte: quick to compress at any setting.
Bytes Periodic(std::size_t size) {
  std::mt19937 random(7);
  Bytes period;
  for (int i = 0; i < 1024; ++i) period += static_cast<char>(random());
  Bytes data;
  while (data.size() < size) data += period;
  data.resize(size);
  return data;
}

TEST_F(CompressTest, LargeFilesGetTheTwoThreadFinderWhenThereAreThreadsToSpare) {
  MakeFiles(6);
  const Bytes large = Periodic(3u << 19);
  WriteBytes(scratch_ / "large", large);
  contents_.push_back(large);
  jobs_.push_back({scratch_ / "large", "large", large.size(), Inspect(scratch_ / "large")});
  CompressSettings settings;
  settings.encode.Algo = 1;
  settings.encode.BtMode = 1;
  for (const unsigned threads : {1u, 2u}) {
    settings.threads = threads;
    CompressStats stats;
    EXPECT_EQ(Run(settings, &stats), contents_);
    EXPECT_EQ(stats.twoThreadFiles, threads == 1 ? 0u : 1u);
  }
}

TEST_F(CompressTest, LargeFilesSpillWhateverTheBudget) {
  const Bytes large = Periodic((16u << 20) + 1);
  WriteBytes(scratch_ / "large", large);
  contents_.push_back(large);
  jobs_.push_back({scratch_ / "large", "large", large.size(), Inspect(scratch_ / "large")});
  CompressSettings settings;
  settings.encode.Level = 1;
  settings.spillPath = scratch_ / "setup.exe.partial.block";
  CompressStats stats;
  bool spilled = false;
  CompressInOrder(
      jobs_, settings,
      [&](std::size_t, const CompressedBlock& block) {
        spilled = block.Size() > 0 && block.HeldInMemory() == 0;
        EXPECT_TRUE(DecodeBlock(Whole(block)) == large);
        return true;
      },
      nullptr, &stats);
  EXPECT_TRUE(spilled);
  EXPECT_EQ(stats.peakCost, InFlightCost(large.size(), settings.encode, true));
}

TEST_F(CompressTest, TheFirstFailingFileIsReported) {
  MakeFiles(12);
  jobs_[4].source = scratch_ / "gone-4";
  jobs_[9].source = scratch_ / "gone-9";
  CompressSettings settings;
  settings.threads = 3;
  settings.encode.Level = 1;
  std::size_t delivered = 0;
  try {
    CompressInOrder(jobs_, settings, [&](std::size_t, const CompressedBlock&) { return ++delivered, true; },
                    nullptr);
    ADD_FAILURE() << "a missing file went unnoticed";
  } catch (const PackError& error) {
    EXPECT_EQ(error.ExitCode(), kExitInput);
    EXPECT_NE(std::string(error.what()).find("gone-4"), std::string::npos);
  }
  EXPECT_EQ(delivered, 4u);
}

TEST_F(CompressTest, DeliveryCanStopTheWork) {
  MakeFiles(10);
  CompressSettings settings;
  settings.threads = 2;
  settings.encode.Level = 1;
  std::size_t delivered = 0;
  EXPECT_FALSE(CompressInOrder(jobs_, settings,
                               [&](std::size_t, const CompressedBlock&) { return ++delivered < 3; }, nullptr));
  EXPECT_EQ(delivered, 3u);
}

}  // namespace
}  // namespace zv::pack::test
