// The extraction loop.
#include "package/extraction.h"

#include "package/stream_decode.h"

namespace zv {

Extraction::Extraction(const PackageSource& source, const PackageContents& contents, int decoders)
    : source_(source), entries_(contents.Entries),
      ahead_(source, contents.ContentOffset, CountFiles(contents.Entries), decoders) {}

// One attempt at a whole file: the bytes a decoder made ahead in one piece, or, for a file left
// to the writer, decoded straight from the package piece by piece (one dictionary and one input
// piece of memory, whatever the file's size).
FileFault Extraction::WriteFile(const AheadFile& file, std::size_t index, ExtractSink& sink) {
  if (file.Decoded && file.Status == BlockStatus::Corrupt) return FileFault::Corrupt;
  if (!sink.Open(index)) return FileFault::WriteFailed;
  StreamedBlock block;
  if (file.Decoded) {
    block.Stopped = !sink.Write(file.Data);
  } else {
    block = DecodeRecordStream(source_, file.Record, [&](ByteView piece) { return sink.Write(piece); });
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
  FileFault fault;
  while ((fault = WriteFile(file, index, sink)) != FileFault::None) {
    const FaultAnswer answer = sink.Failed(index, fault);
    if (answer == FaultAnswer::Abort) return false;
    if (answer == FaultAnswer::Ignore) break;
  }
  return sink.Done(index, fault == FileFault::None);
}

bool Extraction::Run(ExtractSink& sink) {
  std::size_t index = 0;
  while (index < entries_.size() && Hand(index, sink)) ++index;
  ahead_.Finish();
  return index == entries_.size();
}

}  // namespace zv
