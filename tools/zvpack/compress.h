// Compressing a build's files on several threads while the package is written in list order.
//
// Workers take files strictly in list order, so the file written next is always either being
// compressed or the next one taken, and the output never depends on the number of threads or
// on which worker finishes first. Finished blocks wait in a bounded reorder window until their
// turn. Memory is admitted by an estimate per file (its bytes, its compressed bytes and the
// encoder's tables): a file starts only while the files in flight stay inside the budget, or
// when it would be the only one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "package/writer.h"

namespace zv::pack {

struct CompressJob {
  std::string source;  // native path
  std::string name;    // for messages
  std::uint64_t size = 0;
};

struct CompressSettings {
  unsigned threads = 1;
  std::uint64_t memoryBudget = 0;  // 0: DefaultMemoryBudget()
  std::size_t reorderWindow = 0;   // files ahead of the next one to write; 0: 16 per thread, at least 64
  EncodeOptions encode;
};

struct CompressStats {
  std::uint64_t peakCost = 0;  // largest estimated memory of the files in flight together
  std::size_t peakAhead = 0;   // most files taken beyond the one written next
};

// What a file of this size costs while it is compressed (its bytes, room for the compressed
// bytes, the encoder's window and match-finder tables).
std::uint64_t InFlightCost(std::uint64_t size, const EncodeOptions& options);

// The memory files in flight may take together: well inside the 2 GiB of a 32-bit process,
// more in a 64-bit one.
std::uint64_t DefaultMemoryBudget();

// Reads and encodes every job and calls deliver(index, block) for each in job order, on the
// calling thread; an empty file gives an empty block. progress(filesDone, bytesDone) is called
// on the calling thread now and then (bytes of finished files plus the encoders' progress).
// Throws PackError naming the file when a file cannot be read, has grown past the limit, or
// cannot be compressed; deliver returning false stops the work (returns false).
bool CompressInOrder(const std::vector<CompressJob>& jobs, const CompressSettings& settings,
                     const std::function<bool(std::size_t, const Bytes&)>& deliver,
                     const std::function<void(std::size_t, std::uint64_t)>& progress,
                     CompressStats* stats = nullptr);

}  // namespace zv::pack
