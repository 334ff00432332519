// Decoding ahead of the writer: while the files of one batch are written in list order, decoder
// threads (one per processor) decode the next batch into memory. The installer's worker and
// zvpack extract both write through it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "base/thread.h"
#include "package/codec.h"
#include "package/container.h"

namespace zv {

// Decoded bytes and files per batch. Two batches live at once (one being written, one being
// decoded), so memory stays near twice the budget, plus the dictionary of a file over the
// budget, which the writer streams itself. Small batches let writing and decoding overlap on
// trees of small files too.
inline constexpr std::uint32_t kAheadBudget = std::uint32_t{16} << 20;
inline constexpr std::size_t kAheadFiles = 64;
inline constexpr int kMaxDecoders = 4;

// A content record and the decoded size its block states, read from the record's first bytes.
struct SizedRecord {
  RecordSpan Record;
  std::uint32_t Size = 0;
};
SizedRecord LocateSizedRecord(const PackageSource& source, std::uint64_t offset, Bytes& buffer);

struct AheadFile {
  RecordSpan Record;
  std::uint32_t Size = 0;  // the decoded size the block states
  // Set by a decoder: Decoded with the block's Status and, when Ok, its Size bytes in Data.
  // Not Decoded: the writer streams the file itself (larger than the budget, or no memory).
  bool Decoded = false;
  BlockStatus Status = BlockStatus::Corrupt;
  Bytes Data;
};

struct AheadBatch {
  AheadFile Files[kAheadFiles];      // consecutive files of the list, in order
  std::size_t Count = 0;
  std::atomic<std::size_t> Next{0};  // the next file a decoder takes
  std::atomic<bool> Stop{false};     // the writer gave up: decoders take no further file
};

class DecodeAhead {
 public:
  // files: how many content records follow from offset (the list's file entries); decoders:
  // threads per batch (1 to kMaxDecoders; with none to be had the writer decodes a batch itself).
  DecodeAhead(const PackageSource& source, std::uint64_t offset, std::size_t files, int decoders);
  DecodeAhead(const DecodeAhead&) = delete;
  DecodeAhead& operator=(const DecodeAhead&) = delete;
  ~DecodeAhead() { Finish(); }

  // Starts decoding the first batch (Next does it when it has not been done).
  void Begin();
  // The next file in list order; its record is the next content record. The reference stays
  // valid until the following call.
  AheadFile& Next();
  // Stops the batch being decoded and waits for its decoders.
  void Finish();

 private:
  void Plan(AheadBatch& batch);
  void Start(AheadBatch& batch);
  void Wait();
  static void Decode(void* self);

  const PackageSource& source_;
  std::uint64_t offset_;
  std::size_t filesLeft_;
  int decoders_;
  AheadBatch batches_[2];
  AheadBatch* decoding_ = nullptr;  // the batch the threads work on, if any
  int written_ = 1;                 // the batch being written
  std::size_t used_ = 0;
  bool started_ = false;
  JoinableThread threads_[kMaxDecoders];
};

}  // namespace zv
