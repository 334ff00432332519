// Reading a package: the block codec, the container walk and the two text formats inside.
// Everything here is portable and small (the installer stub links it); failures come back as
// empty results, false or a status, never as exceptions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

#include "base/file.h"
#include "base/text.h"
#include "package/format.h"

namespace zv {

// ---- Block codec ---------------------------------------------------------------------------

// Decodes one block; empty on any failure, and for a block that stores an empty file.
Bytes DecodeBlock(ByteView block);

enum class BlockStatus {
  Ok,           // out holds the S decoded bytes
  Empty,        // stored empty: a zero-length block or S = 0
  Corrupt,      // S > 0 but the block does not decode (short header, bad stream, cut block)
  OutOfMemory,  // no room for the S decoded bytes
};
// Like DecodeBlock, but tells a stored empty file from a broken block. out is cleared first.
BlockStatus DecodeBlockChecked(ByteView block, Bytes& out);

// The decoded size S stated by a block's size field; 0 when the field is incomplete.
std::uint32_t StatedBlockSize(ByteView block);

// Splits text at every occurrence of separator. pieces receives views into text; returns the
// number of pieces (separators + 1), or 0 for empty text (pieces is then left as it was).
std::size_t SplitLines(ByteView text, ByteView separator, std::vector<ByteView>& pieces);

// ---- Container -----------------------------------------------------------------------------

// Offset of the first marker in bytes (the byte where the marker starts), if any.
std::optional<std::size_t> FindMarker(ByteView bytes);
// Everything after the first marker: the package bytes.
std::optional<ByteView> FindPackage(ByteView installer);
// True when the package bytes begin with "zvzip".
bool HasMagic(ByteView package);

// Where a package's bytes come from. Today a view of the installer in memory; the interface
// lets a reader fetch records from the file by offset instead.
class PackageSource {
 public:
  virtual ~PackageSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Up to length bytes at offset (fewer at the end, none past it). The view stays valid until
  // buffer changes or the source goes; sources that copy put the bytes into buffer.
  virtual ByteView Read(std::uint64_t offset, std::size_t length, Bytes& buffer) const = 0;
};

class MemorySource final : public PackageSource {
 public:
  explicit MemorySource(ByteView bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  ByteView Read(std::uint64_t offset, std::size_t length, Bytes& buffer) const override;

 private:
  ByteView bytes_;
};

// The package inside an installer file, read by offset: never the whole file, so its size is
// limited neither by memory nor by 32 bits. Offsets count from after the marker.
class FilePackageSource final : public PackageSource {
 public:
  enum class Status {
    Ok,
    NoFile,    // the installer cannot be opened (missing, open for writing elsewhere) or read
    NoMarker,  // no marker anywhere in the file
  };
  // Opens the installer with read sharing only and finds the first marker, reading from the
  // start in pieces of a bounded size (the marker lies right after the stub's image). Any
  // earlier file is closed first; on failure the source is empty.
  Status Open(const Text& installer);
  std::uint64_t Size() const override { return size_; }
  // A read error gives the bytes read up to it, as if the file ended there.
  ByteView Read(std::uint64_t offset, std::size_t length, Bytes& buffer) const override;

 private:
  FileReader file_;
  std::uint64_t start_ = 0;  // where the package begins in the file
  std::uint64_t size_ = 0;
};

// Offset of the first marker in a file, reading it piece by piece; nullopt when there is none
// or the file cannot be read.
std::optional<std::uint64_t> FindMarkerInFile(const FileReader& file);

// One record located without reading its block. A length field that does not lie wholly
// inside the source reads as 0; a block that runs past the end is cut to what is there.
struct RecordSpan {
  std::uint32_t StatedLength = 0;  // L as stored (0 when the field is not wholly inside)
  std::uint64_t BlockOffset = 0;
  std::size_t BlockLength = 0;  // L, cut at the end of the source
  std::uint64_t Next = 0;       // offset + 4 + L
};
RecordSpan LocateRecord(const PackageSource& source, std::uint64_t offset);

// Walks records one after the other from an offset (the first record is at offset 5).
class RecordWalker {
 public:
  RecordWalker(const PackageSource& source, std::uint64_t offset)
      : source_(&source), offset_(offset) {}
  // The next record's block, stepping over it. See PackageSource::Read for buffer.
  ByteView Next(Bytes& buffer);
  std::uint64_t Offset() const { return offset_; }

 private:
  const PackageSource* source_;
  std::uint64_t offset_;
};

// The record at offset of in-memory package bytes: its block and the offset after it.
struct Record {
  ByteView Block;
  std::uint64_t Next = 0;
};
Record ReadRecord(ByteView package, std::uint64_t offset);

// ---- Streaming decode ----------------------------------------------------------------------

// Receives bytes in order; returning false stops the one who hands them out.
using ByteSink = std::function<bool(ByteView)>;

// What a decoder hands its pieces to: a reference to any callable of that shape, neither copied
// nor stored, so it lives as long as the call it is passed to (no allocation, and little code in
// the installer).
class ByteSinkRef {
 public:
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, ByteSinkRef>>>
  ByteSinkRef(F&& sink)  // NOLINT: converts like the callable it refers to
      : object_(const_cast<void*>(static_cast<const void*>(&sink))),
        call_([](void* object, ByteView piece) -> bool {
          return (*static_cast<std::remove_reference_t<F>*>(object))(piece);
        }) {}
  bool operator()(ByteView piece) const { return call_(object_, piece); }

 private:
  void* object_;
  bool (*call_)(void*, ByteView);
};

struct StreamedBlock {
  BlockStatus Status = BlockStatus::Empty;  // what DecodeBlockChecked would say of the block
  bool Stopped = false;                     // the sink returned false
  std::uint64_t ZeroTail = 0;  // without padding: zero bytes left out at the end (see below)
  // Ok, and the stream ends where its data does: the range coder's code back at 0 or an end
  // mark read, no undecoded byte left, and nothing after it in the block but zero bytes.
  bool EndsCleanly = false;
};
// Decodes the block of record from source piece by piece, reading the block in pieces too:
// sink receives the S decoded bytes in order. Memory: the dictionary, which grows with the
// output up to the stated size but no larger than S or kDictionarySize (what writers state: a
// stream that reaches further back does not decode), the decoder's tables and one input piece;
// never the whole block or file. A stream that ends (with its end mark) before S bytes stands
// for zeros up to S: with padZeros the sink receives them, without it ZeroTail tells how many
// there would be, so that a stated size is never materialised to be judged.
StreamedBlock DecodeRecordStream(const PackageSource& source, const RecordSpan& record,
                                 ByteSinkRef sink, bool padZeros = true);
// What a text block (the information block, the file list) may decode to, far above any real
// package (633 files make a list of 40 KB): a larger one is taken as damaged, so that a few
// bytes stating a gigabyte cost little.
// (A fuzzing build lowers both text bounds: reaching them is the same code, and millions of
// inputs each decoding to the full bound would leave no time for anything else.)
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr std::size_t kMaxTextBlockSize = std::size_t{256} << 10;
#else
inline constexpr std::size_t kMaxTextBlockSize = std::size_t{16} << 20;
#endif
// The decoded bytes of a small block that is read whole (the information block, the file list),
// without the zero tail: ZeroTail tells its length, which out never holds, so a stated size
// costs nothing to judge. Status Corrupt beyond kMaxTextBlockSize or when the stream does not
// end cleanly (a damaged block seldom does), OutOfMemory when out cannot grow; out is empty
// unless Ok.
StreamedBlock DecodeRecordText(const PackageSource& source, const RecordSpan& record, Bytes& out);

// ---- Information block ---------------------------------------------------------------------

struct PackageInfo {
  std::int32_t PackageNumber = 0;  // "编号=" or "ID="; 1 switches on special handling
  Text DisplayName;                // "名称="
  Text ProgramFile;                // "文件名=", relative to the target folder
  Text ReleaseDate;                // "日期=", shown only
  Text Version;                    // "版本号=", shown only
  Text Description;                // "说明=", the shortcut's description
  Text VersionLine;  // "版本：" + Version + "   发布日期：" + ReleaseDate
};

// Reads a decoded information block. Lines are cut to 99 UTF-16 units before the key is
// matched (a surrogate pair split by the cut loses its first half); unknown keys are ignored;
// a later line replaces an earlier one with the same key. The number is read after leading
// spaces (sign, digits, fraction, exponent), rounded to nearest with halves to even and held
// to the 32-bit range; no number reads as 0.
PackageInfo ParseInfo(ByteView info);

// ---- File list -----------------------------------------------------------------------------

struct FileListEntry {
  bool IsFolder = false;
  std::uint64_t FileTime = 0;  // file entries: FILETIME, 100 ns ticks since 1601 (UTC)
  Bytes PathUtf8;              // the path bytes as stored
  Text Path;                   // Utf8ToWide(PathUtf8)
};

// The most entries a file list may hold (and kMaxTextBlockSize its decoded bytes), far above
// any real package: a list beyond it is taken as damaged, so that a few bytes stating millions
// of entries cost little.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr std::size_t kMaxFileListEntries = 4096;
#else
inline constexpr std::size_t kMaxFileListEntries = std::size_t{1} << 18;  // 262,144
#endif

// Reads a file list as it is decoded, entry by entry, holding no more of its text than the
// entry being read. An empty entry at the very end is ignored; any other empty entry, a file
// entry of 1 to 8 bytes, or a list beyond the bounds makes the list corrupt.
class FileListReader {
 public:
  // Takes the next decoded bytes; false once the list is corrupt (nothing more is needed).
  bool Put(ByteView piece);
  // After the last piece: the entries, or nullopt for a corrupt list.
  std::optional<std::vector<FileListEntry>> Finish();

 private:
  bool Add(ByteView line);
  Bytes line_;  // the entry being read, without its CR LF yet
  std::vector<FileListEntry> entries_;
  std::size_t size_ = 0;  // decoded bytes so far
  bool corrupt_ = false;
};

// ---- Names and paths ------------------------------------------------------------------------
// The one rule for what a package may create on Windows, shared by the packer's build check and
// every extractor.

enum class NameFault {
  None,
  Empty,
  ControlCharacter,    // below 0x20, or 0x7F
  Separator,           // "\" or "/"
  ReservedCharacter,   // < > : " | ? * (":" would also name a drive or a stream)
  OnlyDots,            // ".", ".." and the like, also with spaces
  TrailingDotOrSpace,  // Windows silently drops them: "evil." becomes "evil"
  DeviceName,          // CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9, LPT0-9, COM¹²³, LPT¹²³,
                       // also with an extension or trailing spaces ("nul.txt", "Nul .txt")
  PartialFileName,     // kPartialFileName, in any case: taken over by the next file in its folder
};
// The name under which the installer and zvpack extract write each file in its folder before it
// takes its own name. A package file of that name would be overwritten by the next file.
inline constexpr TextView kPartialFileName = ZV_TEXT("~zvsetup.partial");
// What is wrong with a single file or folder name, in the order above.
NameFault FindNameFault(TextView name);

// True for a path that could leave the target folder, or that Windows could not create as
// given: empty, rooted ("\", "/"), or any component with a NameFault (so also drive, UNC and
// device paths, streams and empty components). "/" counts as a separator. The byte form also
// refuses bytes that are not UTF-8 and a NUL byte.
bool IsUnsafePath(ByteView utf8Path);
bool IsUnsafePath(TextView path);
// A single file or folder name: a safe path without separators.
bool IsUnsafeName(TextView name);

// The unit Windows compares in place of c when it compares file names without case: c by its
// upper-case table, which covers the Basic Multilingual Plane (surrogates fold to themselves,
// so nothing beyond the BMP folds). FindClashingEntry and PathKey fold by it.
TextUnit FoldCase(TextUnit c);
// Its two sources. The table is carried here (case_fold.cpp), and FoldCase folds by it: the
// packer and zvpack's readers judge names alike on every system. The installer stub has no
// room for the table: its own FoldCase, which replaces this library's, asks the system
// (case_fold_win.cpp). A test under Wine holds the two, and the system's case-blind
// comparison, to each other over the whole BMP.
TextUnit FoldCaseByTable(TextUnit c);
#if defined(_WIN32)
TextUnit FoldCaseBySystem(TextUnit c);
#endif
// A path as Windows compares paths: folded, "/" as "\\". Equal keys name the same file.
Text PathKey(TextView path);

// Index of the first entry that the tree cannot hold beside the others, as Windows sees paths
// (PathKey): the same path again (also as a file and a folder), a path in a folder that no
// earlier folder entry makes (also below a file), or a name longer than kMaxNameLength units.
// A package with one would not install as listed.
inline constexpr std::size_t kMaxNameLength = 255;
std::optional<std::size_t> FindClashingEntry(const std::vector<FileListEntry>& entries);
// Index of the first entry whose path is unsafe (IsUnsafePath of its bytes), if any.
std::optional<std::size_t> FindUnsafeEntry(const std::vector<FileListEntry>& entries);

// The information names places too: DisplayName is the folder made below the default parent and
// the desktop shortcut's file name, so it must be one plain name; ProgramFile is started from
// (and linked inside) the target folder, so it must be a safe relative path. A package whose
// information leads elsewhere is refused, whatever its file list holds.
enum class InfoFault { None, DisplayName, ProgramFile };
InfoFault FindInfoFault(const PackageInfo& info);

// ---- Path lengths on Windows ----------------------------------------------------------------
// The installer makes folders and files by plain paths (no "\\?\" prefix, and its manifest does
// not ask for long paths), so Windows holds each whole path to MAX_PATH: a file's at most
// kMaxPlainPath units, a folder's at most kMaxPlainFolderPath (CreateDirectoryW keeps room in it
// for an 8.3 name), and a file may first be written as kPartialFileName in its folder.
inline constexpr std::size_t kMaxPlainPath = 259;        // MAX_PATH less the terminating NUL
inline constexpr std::size_t kMaxPlainFolderPath = 247;  // MAX_PATH less 12, less the NUL
inline constexpr std::size_t kShortestTargetFolder = 4;  // "C:\a": the installer takes no less
// The units the entries need after a target folder that ends in "\": the installer can write
// them below a target folder T (the target itself included) when T.size() + room <=
// kMaxPlainPath.
std::size_t PlainPathRoom(const std::vector<FileListEntry>& entries);

// ---- Opening a package ---------------------------------------------------------------------

enum class PackageStatus {
  Ok,
  NoMagic,      // not our package
  NoFileList,   // the file list is missing, empty or does not decode
  BadFileList,  // the file list is malformed (an empty entry, a time without a name) or beyond
                // its bounds (kMaxTextBlockSize, kMaxFileListEntries)
  UnsafePath,   // an entry would leave the target folder, or Windows cannot create it (BadEntry)
  Clash,        // an entry the tree cannot hold beside the others (BadEntry; FindClashingEntry)
  UnsafeInfo,   // the information names a place outside the installer's own (FindInfoFault)
  OutOfMemory,  // no room to decode the file list
};

// Everything an extractor needs before it writes anything: magic, information, file list and
// the checks of every entry, in that order. The installer's worker and zvpack read packages
// through it, so they accept and refuse the same ones. Extraction walks Entries with a
// RecordWalker from ContentOffset: each file entry takes the next record, folder entries none.
struct PackageContents {
  PackageStatus Status = PackageStatus::Ok;
  BlockStatus InfoStatus = BlockStatus::Empty;  // a broken information block leaves Info empty
  PackageInfo Info;
  std::vector<FileListEntry> Entries;
  std::size_t BadEntry = 0;
  std::uint64_t ContentOffset = 0;
};
// Without withInfo the information block is stepped over (Info stays empty, and is not judged):
// for readers that took it already, or read it their own way; they call FindInfoFault. The
// file list is judged as it is decoded.
PackageContents ReadContents(const PackageSource& package, bool withInfo = true);

// Number of file entries (the number of content records a package carries).
std::size_t CountFiles(const std::vector<FileListEntry>& entries);

// ---- Integrity -----------------------------------------------------------------------------

// CRC-32 (polynomial 0xEDB88320) of bytes, continuing from crc (0 to start).
std::uint32_t Crc32(std::uint32_t crc, ByteView bytes);

// The integrity line, the last line of a decoded information block: "CRC32ALL=" (format.h), or
// in packages written before it "CRC32=". Whether it is there, and its value when it is exactly
// 8 upper-case hex digits.
struct IntegrityLine {
  bool Present = false;
  bool Readable = false;  // a line with anything else is damage
  bool CoversInfo = false;  // "CRC32ALL=": the information lines before it are covered too
  std::uint32_t Crc32 = 0;
  std::uint32_t InfoCrc32 = 0;  // CRC-32 of the lines covered (0: none), where the check starts
};
IntegrityLine ReadIntegrityLine(ByteView info);

enum class Integrity {
  NoKey,      // the package carries no integrity line: nothing to check
  Sound,      // the bytes have the CRC-32 the line states
  Damaged,    // they differ, the line is unreadable, or the package ends before its records do
  Unreadable  // the file list cannot be read (the one reader's checks say why)
};
// Reads the package from after record 0 to the end of its last content record, a piece at a
// time, continuing the CRC-32 from line.InfoCrc32, and compares it with the line.
Integrity CheckIntegrity(const PackageSource& source, const IntegrityLine& line);


}  // namespace zv
