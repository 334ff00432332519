// Compressing a build's files on several threads while the package is written in list order.
//
// Workers take files strictly in list order, so the file written next is always either being
// compressed or the next one taken, and the output never depends on the number of threads or
// on which worker finishes first. Finished blocks wait in a bounded reorder window until their
// turn. Files are read in pieces, never whole. Memory is admitted by an estimate per file (its
// compressed bytes and the encoder's tables): a file starts only while the files in flight stay
// inside the budget, or when it would be the only one. Large files, and files over the budget,
// stream their blocks to a spill file, so these are never held in memory either. Large files'
// match finders run on threads of their own when there is more than one worker: the output is
// the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "package/writer.h"
#include "tools/zvpack/platform.h"

namespace zv::pack {

struct CompressJob {
  std::string source;  // native path
  std::string name;    // for messages
  std::uint64_t size = 0;
  Node scanned;        // what the scan saw (see InputFile::OpenScanned)
};

struct CompressSettings {
  unsigned threads = 1;
  std::uint64_t memoryBudget = 0;  // 0: DefaultMemoryBudget()
  std::size_t reorderWindow = 0;   // files ahead of the next one to write; 0: 16 per thread, at least 64
  // Where the block of a file over the budget waits for its turn: this path plus "." and the
  // file's index. Empty: such a block is held in memory like the others.
  std::string spillPath;
  EncodeOptions encode;
};

// A file's finished block: in memory, or in a spill file that goes when the block does.
class CompressedBlock {
 public:
  CompressedBlock() = default;
  static CompressedBlock InMemory(Bytes bytes);
  // Takes over the spill file at path (also one still being written) and removes it at the end.
  static CompressedBlock Spilled(std::string path);
  CompressedBlock(CompressedBlock&& other) noexcept;
  CompressedBlock& operator=(CompressedBlock&& other) noexcept;
  ~CompressedBlock();

  std::uint64_t Size() const { return size_; }
  void SetSpilledSize(std::uint64_t size) { size_ = size; }
  std::uint64_t HeldInMemory() const { return bytes_.size(); }
  // Hands the block to put in order, in pieces of at most a few MiB. False when put refuses a
  // piece; throws PackError naming the spill file when it cannot be read back whole.
  bool ForEachPiece(const std::function<bool(ByteView)>& put) const;

 private:
  Bytes bytes_;
  std::string spill_;
  RemovedOnInterrupt interrupted_;  // the spill file
  std::uint64_t size_ = 0;
};

struct CompressStats {
  std::uint64_t peakCost = 0;  // largest estimated memory of the files in flight together
  std::size_t peakAhead = 0;   // most files taken beyond the one written next
  std::size_t twoThreadFiles = 0;  // files given the two-thread match finder (unless incompressible)
};

// What a file of this size costs while it is compressed (its compressed bytes as they grow,
// unless they go to a spill file, and the encoder's window and match-finder tables).
std::uint64_t InFlightCost(std::uint64_t size, const EncodeOptions& options, bool spilled = false);

// The memory files in flight may take together: two large files at a time (each with a window
// of 32 MiB), well inside the 2 GiB of a 32-bit process.
std::uint64_t DefaultMemoryBudget();

// Reads and encodes every job and calls deliver(index, block) for each in job order, on the
// calling thread; an empty file gives an empty block. progress(filesDone, bytesDone) is called
// on the calling thread now and then (bytes of finished files plus the encoders' progress).
// Throws PackError naming the file when a file cannot be read, has grown past the limit or
// shrunk while it was read, or cannot be compressed, and naming the spill file when that cannot
// be written; deliver returning false stops the work (returns false).
bool CompressInOrder(const std::vector<CompressJob>& jobs, const CompressSettings& settings,
                     const std::function<bool(std::size_t, const CompressedBlock&)>& deliver,
                     const std::function<void(std::size_t, std::uint64_t)>& progress,
                     CompressStats* stats = nullptr);

}  // namespace zv::pack
