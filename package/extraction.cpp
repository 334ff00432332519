// The extraction loop.
#include "package/extraction.h"

#include <algorithm>

#include "package/format.h"
#include "package/stream_decode.h"

namespace zv {

Extraction::Extraction(const PackageSource& source, const PackageContents& contents, int decoders)
    : source_(source), entries_(contents.Entries),
      ahead_(source, contents.ContentOffset, CountFiles(contents.Entries), decoders),
      lanes_(source, contents.ContentOffset, contents.Entries, decoders > 1 ? decoders : 0) {}

// One attempt at a whole file: what its lane made, the bytes a decoder made ahead in one piece,
// or, for a file left to the writer, decoded straight from the package piece by piece (one
// dictionary and one input piece of memory, whatever the file's size). A lane's holder serves
// the first attempt only; a retry streams.
FileFault Extraction::WriteFile(const AheadFile& file, std::size_t index, ExtractSink& sink, LaneFile& lane) {
  if (AsideFile* holder = lane.Holder) {
    lane.Holder = nullptr;
    if (lane.Whole) return sink.Keep(index, *holder) ? FileFault::None : FileFault::WriteFailed;
    sink.Discard(*holder);
    if (lane.WriteFailed) return FileFault::WriteFailed;
    // Damaged, or reaching back further than a lane's window: streamed below, which tells.
  }
  if (file.Decoded && file.Status == BlockStatus::Corrupt) return FileFault::Corrupt;
  if (!sink.Open(index)) return FileFault::WriteFailed;
  StreamedBlock block;
  if (file.Decoded) {
    block.Stopped = !sink.Write(file.Data);
  } else {
    // A large file's window counts with the lanes' against their budget.
    const std::uint32_t window = file.Size > kAheadBudget ? std::min(file.Size, kDictionarySize) : 0;
    if (window) lanes_.Reserve(window);
    block = DecodeRecordStream(source_, file.Record, [&](ByteView piece) { return sink.Write(piece); });
    if (window) lanes_.Release(window);
  }
  if (block.Stopped || block.Status == BlockStatus::Corrupt || block.Status == BlockStatus::OutOfMemory) {
    sink.Drop();
    if (block.Stopped) return FileFault::WriteFailed;
    return block.Status == BlockStatus::Corrupt ? FileFault::Corrupt : FileFault::OutOfMemory;
  }
  return sink.Close(index) ? FileFault::None : FileFault::WriteFailed;
}

bool Extraction::Hand(std::size_t index, ExtractSink& sink) {
  if (!sink.Entry(index)) return false;
  if (entries_[index].IsFolder) return true;
  const AheadFile& file = ahead_.Next();
  LaneFile lane = !file.Decoded && file.Size > kAheadBudget ? lanes_.Take(ordinal_) : LaneFile();
  ++ordinal_;
  FileFault fault;
  while ((fault = WriteFile(file, index, sink, lane)) != FileFault::None) {
    const FaultAnswer answer = sink.Failed(index, fault);
    if (answer == FaultAnswer::Abort) return false;
    if (answer == FaultAnswer::Ignore) break;
  }
  return sink.Done(index, fault == FileFault::None);
}

bool Extraction::Run(ExtractSink& sink) {
  lanes_.Start(sink);
  std::size_t index = 0;
  while (index < entries_.size() && Hand(index, sink)) ++index;
  lanes_.Stop();
  ahead_.Finish();
  return index == entries_.size();
}

}  // namespace zv
