// Decoding ahead of the writer, in batches.
#include "package/decode_ahead.h"

#include <algorithm>
#include <cstring>

#include "base/try_alloc.h"
#include "package/format.h"
#include "package/stream_decode.h"

namespace zv {
namespace {

// Run by each decoder of a batch at once: takes files until none is left.
void DecodeBatch(const PackageSource& source, AheadBatch& batch) {
  for (std::size_t index; (index = batch.Next.fetch_add(1)) < batch.Count && !batch.Stop;) {
    AheadFile& file = batch.Files[index];
    if (file.Size > kAheadBudget || !TryResize(file.Data, file.Size)) continue;  // streamed later
    char* out = file.Data.data();
    const StreamedBlock block = DecodeRecordStream(source, file.Record, [&](ByteView piece) {
      out = std::copy(piece.begin(), piece.end(), out);
      return true;
    });
    file.Status = block.Status;
    if (block.Status != BlockStatus::Ok) Bytes().swap(file.Data);
    file.Decoded = block.Status != BlockStatus::OutOfMemory;
  }
}

}  // namespace

SizedRecord LocateSizedRecord(const PackageSource& source, std::uint64_t offset, Bytes& buffer) {
  SizedRecord found;
  found.Record = LocateRecord(source, offset);
  found.Size = StatedBlockSize(
      source.Read(found.Record.BlockOffset, std::min(found.Record.BlockLength, kMaxSizeFieldBytes), buffer));
  return found;
}

DecodeAhead::DecodeAhead(const PackageSource& source, std::uint64_t offset, std::size_t files,
                         int decoders)
    : source_(source), offset_(offset), filesLeft_(files),
      decoders_(std::clamp(decoders, 1, kMaxDecoders)) {}

void DecodeAhead::Decode(void* self) {
  auto* me = static_cast<DecodeAhead*>(self);
  DecodeBatch(me->source_, *me->decoding_);
}

void DecodeAhead::Plan(AheadBatch& batch) {
  batch.Count = 0;
  batch.Next = 0;
  batch.Stop = false;
  std::uint64_t bytes = 0;
  Bytes buffer;
  while (filesLeft_ > 0 && batch.Count < kAheadFiles) {
    AheadFile& file = batch.Files[batch.Count];
    const SizedRecord next = LocateSizedRecord(source_, offset_, buffer);
    file.Record = next.Record;
    file.Size = next.Size;
    // A batch ends before the file that would take it over the budget; a file over the budget
    // makes a batch of its own, which the writer streams.
    if (batch.Count > 0 && bytes + file.Size > kAheadBudget) break;
    bytes += file.Size;
    file.Decoded = false;
    Bytes().swap(file.Data);
    offset_ = file.Record.Next;
    --filesLeft_;
    ++batch.Count;
  }
}

void DecodeAhead::Start(AheadBatch& batch) {
  decoding_ = &batch;
  int started = 0;
  while (started < decoders_ && threads_[started].Start(Decode, this)) ++started;
  if (started == 0) Decode(this);  // no thread to be had: decode it here
}

void DecodeAhead::Wait() {
  for (JoinableThread& thread : threads_) thread.Join();
  decoding_ = nullptr;
}

void DecodeAhead::Finish() {
  if (decoding_) decoding_->Stop = true;
  Wait();
}

void DecodeAhead::Begin() {
  if (started_) return;
  started_ = true;
  Plan(batches_[0]);
  Start(batches_[0]);
}

AheadFile& DecodeAhead::Next() {
  Begin();
  if (used_ == batches_[written_].Count) {
    Wait();  // the batch decoding is the one to write next
    written_ ^= 1;
    used_ = 0;
    if (filesLeft_ > 0) {
      Plan(batches_[written_ ^ 1]);
      Start(batches_[written_ ^ 1]);
    }
  }
  // The file before this one is written: its bytes can go.
  if (used_ > 0) Bytes().swap(batches_[written_].Files[used_ - 1].Data);
  return batches_[written_].Files[used_++];
}

}  // namespace zv
