// Writing a package: blocks, the information block, the file list and the container itself.
// Used by the packer only; written to an output sink piece by piece, so a package never has to
// be held in memory whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "package/file_list.h"
#include "package/format.h"
#include "package/integrity.h"
#include "package/stream_decode.h"

namespace zv {

// ---- Blocks --------------------------------------------------------------------------------

// Tuning of the LZMA encoder. Fields at -1 (or 0) take the preset of Level, as the LZMA SDK
// defines them. The block header always states property byte 0x5D and a 64 MiB dictionary.
struct EncodeOptions {
  int Level = 5;           // 0..9
  int Algo = -1;           // 0 fast, 1 normal
  int FastBytes = -1;      // fb, 5..273
  int BtMode = -1;         // match finder: 0 hash chain, 1 binary tree
  int NumHashBytes = -1;   // 2..4
  std::uint32_t MatchCycles = 0;  // mc, 1..(1 << 30)
  // The encoder's real window. 0: EncoderWindow(size). A larger request is cut to that too:
  // a window never exceeds what the data needs.
  std::uint32_t Window = 0;
  // Data that LZMA cannot shrink, judged by quick runs over samples (the start and the middle
  // of the data, or all of it when small), is encoded with the quickest settings instead: the
  // normal ones spend a second per megabyte finding matches that are not there.
  bool FastIfIncompressible = false;
  // 2: the match finder runs on two threads of its own beside the encoder's (the SDK's
  // two-thread finder, normal parser and binary trees only). The output is the same byte for
  // byte; a single large file then uses more than one core (3.4 MB of text: 4.5 s, not 5.8 s).
  int Threads = 1;
  // Called now and then with the bytes consumed so far; returning false cancels the encoding.
  std::function<bool(std::uint64_t done)> Progress;
};

// The smallest power of two >= size, at least 4 KiB and at most 64 MiB; a nonzero request
// smaller than that (and at least 4 KiB) is taken as is.
std::uint32_t EncoderWindow(std::uint64_t size, std::uint32_t requested = 0);

// Encodes data as one block (size field in the fewest bytes, 5 property bytes, raw LZMA
// stream without end mark). Empty data gives an empty result: it is stored as a record of
// length 0. For non-empty data an empty result means failure (more than 1,073,741,823 bytes,
// out of memory, or cancelled).
Bytes EncodeBlock(ByteView data, const EncodeOptions& options = {});

// Data that is read in pieces rather than held whole, by offset so that samples can be taken
// before the data is encoded front to back.
class BlockSource {
 public:
  virtual ~BlockSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads up to length bytes at offset; *got is how many (none only at the end of the data).
  // False on a read error.
  virtual bool ReadAt(std::uint64_t offset, char* data, std::size_t length,
                      std::size_t* got) const = 0;
};

// EncodeBlock for the source's Size() bytes, handing the block to sink in pieces as they are
// made. The block's length (0 for no data), or nullopt on failure: as EncodeBlock, or a read
// error, data ending before Size(), the sink refusing a piece (it may hold part of a block).
std::optional<std::uint64_t> EncodeBlockTo(const BlockSource& source, const ByteSink& sink,
                                           const EncodeOptions& options = {});

// ---- Information block ---------------------------------------------------------------------

// Values are UTF-8 text.
struct InfoFields {
  std::int32_t Number = 0;  // "编号="
  Bytes Name;               // "名称="
  Bytes ProgramFile;        // "文件名=", "\" between folder levels
  Bytes Date;               // "日期="
  Bytes Version;            // "版本号="
  Bytes Description;        // "说明="
  std::optional<std::uint32_t> Crc32;  // "CRC32ALL=", the last line, when set
};

enum class InfoIssueKind {
  LineBreak,  // CR or LF in a value: the line would split or carry the break
  TooLong,    // key + value over 99 UTF-16 units: the reader cuts the rest
  BadUtf8,    // not valid UTF-8: the reader shows U+FFFD
  Unsafe,     // a name or program the readers refuse (FindInfoFault)
};
struct InfoIssue {
  ByteView Key;  // the key of the offending line, e.g. "名称="
  InfoIssueKind Kind;
};
// What a reader would not get back as written. BuildInfoBlock writes the fields regardless.
std::vector<InfoIssue> CheckInfoFields(const InfoFields& fields);

// "编号=" ... "说明=" lines in that order (then "CRC32ALL=" when Crc32 is set), CR LF between
// them, none after the last.
Bytes BuildInfoBlock(const InfoFields& fields);
// Where the integrity line's CRC-32 starts: that of the lines BuildInfoBlock writes before it,
// each with its CR LF (the line's own value does not matter).
std::uint32_t IntegrityCrcStart(const InfoFields& fields);

// ---- File list -----------------------------------------------------------------------------

struct StorableTime {
  std::uint64_t Time = 0;
  bool Moved = false;
};
// The nearest FILETIME (fewest 100 ns ticks away; the earlier one on a tie) whose 8 stored
// bytes hold no 0D 0A pair and do not begin with "DIR", so that the list splits back as
// written. Moved tells whether fileTime itself could not be stored.
StorableTime StorableFileTime(std::uint64_t fileTime);
bool IsStorableFileTime(std::uint64_t fileTime);

// Index of the first entry that cannot be stored as given: an unsafe path (IsUnsafePath), a
// file time that is not storable, or an entry that clashes with the others as readers see
// them (FindClashingEntry: a path again, a folder no earlier entry makes, a name too long).
// Uses PathUtf8 only.
std::optional<std::size_t> FindUnstorableEntry(const std::vector<FileListEntry>& entries);

// "DIR" + path for folders, 8-byte FILETIME + path for files, CR LF between entries, none
// after the last. nullopt when FindUnstorableEntry finds an entry.
std::optional<Bytes> BuildFileList(const std::vector<FileListEntry>& entries);

// ---- Container -----------------------------------------------------------------------------

// Writes marker, magic, record 0 (information), record 1 (file list), one record per file
// entry in list order, then CR LF. The installer image goes to the sink before Begin; it must
// not contain the marker (FindMarker). Every call returns false once a write has failed or the
// calls come out of order.
class PackageWriter {
 public:
  explicit PackageWriter(ByteSink sink) : sink_(std::move(sink)) {}

  // Builds, checks and encodes the information block and the file list, then writes them, and
  // starts IntegrityCrc32 at IntegrityCrcStart(info). False (nothing written) when the list has
  // an unstorable entry or encoding fails.
  bool Begin(const InfoFields& info, const std::vector<FileListEntry>& entries,
             const EncodeOptions& options = {});
  // The same with blocks already encoded; fileCount is the number of content records to come,
  // crcStart where IntegrityCrc32 starts (IntegrityCrcStart of the information).
  bool BeginBlocks(ByteView infoBlock, ByteView fileListBlock, std::size_t fileCount,
                   std::uint32_t crcStart = 0);
  // The next file's block (EncodeBlock's result; empty for an empty file).
  bool AddContent(ByteView block);
  // The same for a block that is not held in memory whole: its length first, then exactly
  // that many bytes through AddContentBytes, in as many pieces as it takes.
  bool BeginContent(std::uint64_t length);
  bool AddContentBytes(ByteView piece);
  // Ends the package; false unless every file's record was added whole.
  bool Finish();

  std::uint64_t Written() const { return written_; }  // bytes written by this writer
  // The CRC-32 from crcStart over what was written after record 0 up to the end of the last
  // content record: the value of the information's "CRC32ALL=" line (complete once Finish has
  // run).
  std::uint32_t IntegrityCrc32() const { return crc_; }
  std::size_t FilesLeft() const { return filesLeft_; }

 private:
  bool Put(ByteView bytes);
  bool PutLength(std::uint64_t length);
  bool PutRecord(ByteView block);

  ByteSink sink_;
  std::uint64_t written_ = 0;
  std::uint32_t crc_ = 0;
  bool crcRuns_ = false;
  std::size_t filesLeft_ = 0;
  std::uint64_t blockLeft_ = 0;  // bytes still owed to the record begun last
  enum class Stage { Start, Contents, Done, Failed } stage_ = Stage::Start;
};

}  // namespace zv
