#include "tools/zvpack/compress.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <utility>

#include "base/try_alloc.h"
#include "tools/zvpack/errors.h"
#include "tools/zvpack/platform.h"

namespace zv::pack {
namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr auto kProgressInterval = std::chrono::milliseconds(200);
constexpr std::size_t kSpillPiece = std::size_t{4} << 20;  // read back per write to the package
// The blocks of larger files go to a spill file as they are made: waiting in memory for their
// turn, a few of them would take more than their encoders' tables.
constexpr std::uint64_t kSpillAbove = 16 * kMiB;
// From this size on a file's match finder runs on threads of its own when the packer may use
// more than one core: a tree of a few large files then keeps every core busy to the end, not
// only while files are left to start. Below it, starting the threads costs more than they win.
constexpr std::uint64_t kTwoThreadFinderFrom = 1 * kMiB;

// Enough files ahead that the other workers keep going while one compresses a large file;
// the memory budget, which counts finished blocks too, bounds the bytes.
std::size_t DefaultReorderWindow(unsigned threads) {
  return std::max<std::size_t>(64, std::size_t{16} * threads);
}

// Unset fields follow the encoder's presets: algorithm from the level, finder from the algorithm.
int Algorithm(const EncodeOptions& options) {
  return options.Algo >= 0 ? options.Algo : (options.Level < 5 ? 0 : 1);
}
bool BinaryTrees(const EncodeOptions& options) {
  return options.BtMode >= 0 ? options.BtMode != 0 : Algorithm(options) != 0;
}
// The encoder takes the two-thread finder only for binary trees with the normal parser.
bool UsesTwoThreadFinder(const EncodeOptions& options) {
  return options.Threads > 1 && Algorithm(options) == 1 && BinaryTrees(options);
}

struct Slot {
  enum class State { kWaiting, kDone, kFailed } state = State::kWaiting;
  CompressedBlock block;
  std::optional<PackError> error;
};

// A file as the encoder reads it: in pieces, by offset. Remembers why it failed.
class FileData final : public BlockSource {
 public:
  explicit FileData(const InputFile& file) : file_(file) {}
  std::uint64_t Size() const override { return file_.Size(); }
  // The encoder asks only for bytes below Size(), so a short read means the file shrank.
  bool ReadAt(std::uint64_t offset, char* data, std::size_t length,
              std::size_t* got) const override {
    if (!file_.ReadInto(offset, data, length, got, &error)) return false;
    shrank = shrank || *got < length;
    return true;
  }
  mutable std::string error;
  mutable bool shrank = false;

 private:
  const InputFile& file_;
};

class Pipeline {
 public:
  Pipeline(const std::vector<CompressJob>& jobs, const CompressSettings& settings)
      : jobs_(jobs),
        settings_(settings),
        budget_(settings.memoryBudget ? settings.memoryBudget : DefaultMemoryBudget()),
        window_(settings.reorderWindow ? settings.reorderWindow : DefaultReorderWindow(settings.threads)),
        slots_(jobs.size()),
        failLimit_(jobs.size()) {}

  ~Pipeline() { StopAndJoin(); }

  bool Run(const std::function<bool(std::size_t, const CompressedBlock&)>& deliver,
           const std::function<void(std::size_t, std::uint64_t)>& progress) {
    const unsigned threads = static_cast<unsigned>(
        std::min<std::size_t>(std::max(1u, settings_.threads), jobs_.size()));
    for (unsigned t = 0; t < threads; ++t) workers_.emplace_back([this] { Work(); });

    for (std::size_t index = 0; index < jobs_.size(); ++index) {
      CompressedBlock block;
      {
        std::unique_lock lock(mutex_);
        while (slots_[index].state == Slot::State::kWaiting) {
          changed_.wait_for(lock, kProgressInterval);
          if (progress) progress(index, bytesDone_.load());
        }
        if (slots_[index].state == Slot::State::kFailed) {
          const PackError error = *slots_[index].error;
          lock.unlock();
          StopAndJoin();
          throw error;
        }
        block = std::move(slots_[index].block);
      }
      const bool delivered = deliver(index, block);
      {
        std::lock_guard lock(mutex_);
        inFlight_ -= block.HeldInMemory();
        nextWrite_ = index + 1;
      }
      changed_.notify_all();
      if (!delivered) {
        StopAndJoin();
        return false;
      }
      if (progress) progress(index + 1, bytesDone_.load());
    }
    StopAndJoin();
    return true;
  }

  CompressStats Stats() const { return stats_; }

 private:
  void StopAndJoin() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) {
      if (worker.joinable()) worker.join();
    }
    workers_.clear();
  }

  bool Cancelled(std::size_t index) const { return stop_.load() || index >= failLimit_.load(); }

  EncodeOptions OptionsFor(std::uint64_t size) const {
    EncodeOptions options = settings_.encode;
    if (settings_.threads > 1 && size >= kTwoThreadFinderFrom) options.Threads = 2;
    return options;
  }

  // What a file costs in flight, and whether its block goes to a spill file: when it is large,
  // or when it would not fit in the budget otherwise (then it may still run alone).
  struct Admission {
    std::uint64_t cost = 0;
    bool spills = false;
  };
  Admission Admit(std::size_t index) const {
    const std::uint64_t size = jobs_[index].size;
    const EncodeOptions options = OptionsFor(size);
    const std::uint64_t held = InFlightCost(size, options);
    if (settings_.spillPath.empty() || (size <= kSpillAbove && held <= budget_)) return {held, false};
    return {InFlightCost(size, options, true), true};
  }

  void Work() {
    while (true) {
      std::size_t index = 0;
      Admission admission;
      std::uint64_t cost = 0;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
          if (stop_ || nextTake_ >= failLimit_) return true;
          if (nextTake_ >= nextWrite_ + window_) return false;
          return nextTake_ == nextWrite_ || inFlight_ + Admit(nextTake_).cost <= budget_;
        });
        if (stop_ || nextTake_ >= failLimit_) return;
        index = nextTake_++;
        admission = Admit(index);
        cost = admission.cost;
        inFlight_ += cost;
        stats_.peakCost = std::max(stats_.peakCost, inFlight_);
        stats_.peakAhead = std::max(stats_.peakAhead, nextTake_ - nextWrite_);
        if (UsesTwoThreadFinder(OptionsFor(jobs_[index].size))) ++stats_.twoThreadFiles;
      }

      CompressedBlock block;
      std::optional<PackError> error;
      try {
        block = Compress(index, admission.spills);
      } catch (const PackError& e) {
        error = e;
      } catch (const std::bad_alloc&) {
        error = PackError(kExitInput, Describe(jobs_[index].source, "out of memory"));
      } catch (const std::exception& e) {
        error = PackError(kExitInput, Describe(jobs_[index].source, e.what()));
      }

      {
        std::lock_guard lock(mutex_);
        inFlight_ -= cost;
        Slot& slot = slots_[index];
        if (error && !Cancelled(index)) {
          slot.state = Slot::State::kFailed;
          slot.error = std::move(error);
          failLimit_ = std::min(failLimit_.load(), index + 1);
        } else if (!error) {
          inFlight_ += block.HeldInMemory();
          slot.block = std::move(block);
          slot.state = Slot::State::kDone;
        }
      }
      changed_.notify_all();
    }
  }

  // A spilled file's block goes to the spill file as it is made.
  CompressedBlock Compress(std::size_t index, bool spills) {
    const CompressJob& job = jobs_[index];
    InputFile file;
    std::string reason;
    if (!file.OpenScanned(job.source, job.scanned, &reason)) Refuse(job.source, "cannot read: " + reason);
    if (file.Size() > kMaxBlockDataSize) {
      Refuse(job.source, "the file grew larger than a package can hold while it was read");
    }
    if (file.Size() == 0) return {};
    const FileData data(file);

    std::uint64_t reported = 0;
    EncodeOptions options = OptionsFor(file.Size());
    options.Progress = [&](std::uint64_t done) {
      bytesDone_ += done - std::min(done, reported);
      reported = std::max(reported, done);
      return !Cancelled(index);
    };

    const std::string spillPath = settings_.spillPath + "." + std::to_string(index);
    CompressedBlock block;  // declared before the spill file: closed first, then removed
    OutputFile spill;
    Bytes bytes;
    ByteSink sink = [&bytes](ByteView piece) { return TryAppend(bytes, piece.data(), piece.size()); };
    if (spills) {
      block = CompressedBlock::Spilled(spillPath);
      if (!spill.Create(spillPath, &reason)) Refuse(spillPath, "cannot create: " + reason);
      sink = [&](ByteView piece) { return spill.Write(piece, &reason); };
    }
    const std::optional<std::uint64_t> length = EncodeBlockTo(data, sink, options);
    bytesDone_ += file.Size() - std::min(reported, file.Size());
    if (!length) {
      if (Cancelled(index)) return {};
      if (!data.error.empty()) Refuse(job.source, "cannot read: " + data.error);
      if (data.shrank) Refuse(job.source, "the file got shorter while it was read");
      if (spills && !reason.empty()) Refuse(spillPath, "cannot write: " + reason);
      Refuse(job.source, "cannot compress the file (out of memory)");
    }
    if (!spills) return CompressedBlock::InMemory(std::move(bytes));
    if (!spill.Close(&reason)) Refuse(spillPath, "cannot write: " + reason);
    block.SetSpilledSize(*length);
    return block;
  }

  const std::vector<CompressJob>& jobs_;
  const CompressSettings& settings_;
  const std::uint64_t budget_;
  const std::size_t window_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Slot> slots_;
  std::vector<std::thread> workers_;
  std::size_t nextTake_ = 0;
  std::size_t nextWrite_ = 0;
  std::uint64_t inFlight_ = 0;
  std::atomic<std::size_t> failLimit_;
  std::atomic<bool> stop_ = false;
  std::atomic<std::uint64_t> bytesDone_ = 0;
  CompressStats stats_;
};

}  // namespace

CompressedBlock CompressedBlock::InMemory(Bytes bytes) {
  CompressedBlock block;
  block.size_ = bytes.size();
  block.bytes_ = std::move(bytes);
  return block;
}

CompressedBlock CompressedBlock::Spilled(std::string path) {
  CompressedBlock block;
  block.spill_ = std::move(path);
  block.interrupted_ = RemovedOnInterrupt(block.spill_);
  return block;
}

CompressedBlock::CompressedBlock(CompressedBlock&& other) noexcept
    : bytes_(std::move(other.bytes_)),
      spill_(std::exchange(other.spill_, {})),
      interrupted_(std::move(other.interrupted_)),
      size_(std::exchange(other.size_, 0)) {}

CompressedBlock& CompressedBlock::operator=(CompressedBlock&& other) noexcept {
  if (this != &other) {
    if (!spill_.empty()) RemoveFile(spill_);
    bytes_ = std::move(other.bytes_);
    spill_ = std::exchange(other.spill_, {});
    interrupted_ = std::move(other.interrupted_);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

CompressedBlock::~CompressedBlock() {
  if (!spill_.empty()) RemoveFile(spill_);
}

bool CompressedBlock::ForEachPiece(const std::function<bool(ByteView)>& put) const {
  if (spill_.empty()) return bytes_.empty() || put(bytes_);
  InputFile file;
  std::string reason;
  if (!file.Open(spill_, &reason)) Refuse(spill_, "cannot read back: " + reason);
  Bytes piece;
  for (std::uint64_t offset = 0; offset < size_; offset += piece.size()) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kSpillPiece, size_ - offset));
    if (!file.ReadAt(offset, want, &piece, &reason)) Refuse(spill_, "cannot read back: " + reason);
    if (piece.empty()) Refuse(spill_, "the spill file is shorter than the block written to it");
    if (!put(piece)) return false;
  }
  return true;
}

std::uint64_t InFlightCost(std::uint64_t size, const EncodeOptions& options, bool spilled) {
  if (size == 0) return 0;
  const std::uint64_t window = EncoderWindow(size, options.Window);
  // Hash-chain match finders keep one link per window byte, binary trees two; both add a hash
  // table of up to half a window of entries and an input buffer of about 1.5 windows.
  // The two-thread finder adds its queues of hashes and matches.
  const std::uint64_t tables =
      window * (BinaryTrees(options) ? 23 : 15) / 2 + (UsesTwoThreadFinder(options) ? 7 : 2) * kMiB;
  // The file is read in pieces, but its block grows in memory: incompressible data makes it as
  // large as the file, and a string moving to a buffer twice as large holds both for a moment.
  return (spilled ? 0 : size * 3) + tables;
}

std::uint64_t DefaultMemoryBudget() { return 896 * kMiB; }

bool CompressInOrder(const std::vector<CompressJob>& jobs, const CompressSettings& settings,
                     const std::function<bool(std::size_t, const CompressedBlock&)>& deliver,
                     const std::function<void(std::size_t, std::uint64_t)>& progress,
                     CompressStats* stats) {
  if (jobs.empty()) return true;
  Pipeline pipeline(jobs, settings);
  const bool finished = pipeline.Run(deliver, progress);
  if (stats) *stats = pipeline.Stats();
  return finished;
}

}  // namespace zv::pack
