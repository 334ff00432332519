// The extraction loop: every entry of a package handed to its sink in list order, each file
// either from the bytes decoded ahead or streamed from its record. The installer's worker and
// zvpack's extract and verify are its callers; what they differ in (where a file goes, what a
// failure shows) is their sink.
#pragma once

#include <cstddef>
#include <vector>

#include "base/text.h"
#include "package/contents.h"
#include "package/decode_ahead.h"
#include "package/lanes.h"

namespace zv {

// Why a file did not reach its sink whole.
enum class FileFault { None, Corrupt, WriteFailed, OutOfMemory };
// What the sink wants done about it: stop everything, try the whole file again, or leave it out.
enum class FaultAnswer { Abort, Retry, Ignore };

// Where the entries go. Every call but AsideSink's comes from the thread that runs the
// extraction, in list order: Entry for each entry; for a file then Open, its bytes through Write,
// and Close when they are complete or Drop when they are not (or, for a large file a lane decoded
// into a holder of the sink's, Keep); Failed after a fault; Done once the file is written or left
// out. A sink that must not be unwound through (the loop is built without exceptions in the
// installer) keeps what went wrong and answers Abort or returns false.
class ExtractSink : public AsideSink {
 public:
  // Before anything else of the entry; for a folder entry it is all. False stops.
  virtual bool Entry(std::size_t index) = 0;
  // The file's bytes are about to come. False: it cannot be written (WriteFailed).
  virtual bool Open(std::size_t index) = 0;
  // The next bytes of the open file. False: they cannot be written (WriteFailed).
  virtual bool Write(ByteView piece) = 0;
  // Every byte has come: the file takes its name. False: it cannot (WriteFailed); the sink has
  // removed what it wrote.
  virtual bool Close(std::size_t index) = 0;
  // The bytes stopped short: remove what was written.
  virtual void Drop() = 0;
  // In place of Open to Close: file, a holder from Aside, has every byte of entry index, which
  // takes its name as with Close. False: it cannot (WriteFailed); the sink has removed it. The
  // holder is gone either way.
  virtual bool Keep(std::size_t, AsideFile&) { return false; }
  virtual FaultAnswer Failed(std::size_t index, FileFault fault) = 0;
  // The file is written (or, with written false, left out). False stops.
  virtual bool Done(std::size_t index, bool written) = 0;

 protected:
  ~ExtractSink() = default;
};

class Extraction {
 public:
  // contents: a package that ReadContents found Ok, read from source. decoders as DecodeAhead's;
  // with more than one, as many lanes decode large files ahead for sinks that hold them.
  Extraction(const PackageSource& source, const PackageContents& contents, int decoders);
  // Starts decoding the first files (Run does it when it has not been done).
  void Begin() { ahead_.Begin(); }
  // Hands every entry to sink. True when all went through (written or left out), false when
  // the sink stopped it; decoding ahead has stopped either way.
  bool Run(ExtractSink& sink);

 private:
  bool Hand(std::size_t index, ExtractSink& sink);
  FileFault WriteFile(const AheadFile& file, std::size_t index, ExtractSink& sink, LaneFile& lane);

  const PackageSource& source_;
  const std::vector<FileListEntry>& entries_;
  DecodeAhead ahead_;
  Lanes lanes_;
  std::size_t ordinal_ = 0;  // of the next file among the content records
};

}  // namespace zv
