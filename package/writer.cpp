// The information block, the file list and the container, as the packer writes them.
#include <string>

#include "package/contents.h"
#include "package/info.h"
#include "package/names.h"
#include "package/writer.h"

namespace zv {
namespace {

constexpr std::uint64_t kCr = 0x0D, kLf = 0x0A;
constexpr std::uint64_t kDirStart = 'D' | ('I' << 8) | ('R' << 16);  // "DIR" as the low bytes

// Highest byte index k whose bytes k, k + 1 are CR LF when stored little-endian, or -1.
int HighestLineBreak(std::uint64_t time) {
  for (int k = 6; k >= 0; --k)
    if (((time >> (8 * k)) & 0xFFFF) == (kCr | (kLf << 8))) return k;
  return -1;
}

bool StartsWithDir(std::uint64_t time) { return (time & 0xFFFFFF) == kDirStart; }

void AppendLine(Bytes& out, ByteView key, ByteView value) {
  if (!out.empty()) out += kLineBreak;
  out += key;
  out += value;
}

}  // namespace

std::vector<InfoIssue> CheckInfoFields(const InfoFields& fields) {
  std::vector<InfoIssue> issues;
  auto check = [&](const InfoKey& key, ByteView value) {
    if (value.find_first_of("\r\n") != ByteView::npos)
      issues.push_back({key.Utf8, InfoIssueKind::LineBreak});
    const Text text = Utf8ToWide(value);
    if (WideToUtf8(text) != value) issues.push_back({key.Utf8, InfoIssueKind::BadUtf8});
    if (key.Utf16.size() + text.size() > kInfoLineLimit)
      issues.push_back({key.Utf8, InfoIssueKind::TooLong});
  };
  check(kKeyName, fields.Name);
  check(kKeyProgramFile, fields.ProgramFile);
  check(kKeyDate, fields.Date);
  check(kKeyVersion, fields.Version);
  check(kKeyDescription, fields.Description);
  // The readers' own rule, on the information as they will read it.
  switch (FindInfoFault(ParseInfo(BuildInfoBlock(fields)))) {
    case InfoFault::None:
      break;
    case InfoFault::DisplayName:
      issues.push_back({kKeyName.Utf8, InfoIssueKind::Unsafe});
      break;
    case InfoFault::ProgramFile:
      issues.push_back({kKeyProgramFile.Utf8, InfoIssueKind::Unsafe});
      break;
  }
  return issues;
}

Bytes BuildInfoBlock(const InfoFields& fields) {
  Bytes out;
  AppendLine(out, kKeyNumber.Utf8, std::to_string(fields.Number));
  AppendLine(out, kKeyName.Utf8, fields.Name);
  AppendLine(out, kKeyProgramFile.Utf8, fields.ProgramFile);
  AppendLine(out, kKeyDate.Utf8, fields.Date);
  AppendLine(out, kKeyVersion.Utf8, fields.Version);
  AppendLine(out, kKeyDescription.Utf8, fields.Description);
  if (fields.Crc32) {
    static const char kDigits[] = "0123456789ABCDEF";
    Bytes digits(kCrc32Digits, '0');
    for (std::size_t i = 0; i < kCrc32Digits; ++i) digits[i] = kDigits[(*fields.Crc32 >> (28 - 4 * i)) & 0xF];
    AppendLine(out, kKeyCrc32All, digits);
  }
  return out;
}

std::uint32_t IntegrityCrcStart(const InfoFields& fields) {
  InfoFields lines = fields;
  lines.Crc32.reset();
  return Crc32(0, BuildInfoBlock(lines) + Bytes(kLineBreak));
}

bool IsStorableFileTime(std::uint64_t fileTime) {
  return HighestLineBreak(fileTime) < 0 && !StartsWithDir(fileTime);
}

StorableTime StorableFileTime(std::uint64_t fileTime) {
  // The unstorable times around fileTime form one run [first, last]; the nearest storable
  // times are first - 1 and last + 1. For a CR LF at bytes k, k + 1 the run is every time that
  // shares the bytes from k up (taking the highest such pair makes the run maximal); for
  // "DIR" it is the time alone. Neither neighbour can hold a pattern of its own: the bytes
  // they change become FF.., 00.., 0C or 0E.
  std::uint64_t first = fileTime, last = fileTime;
  if (const int k = HighestLineBreak(fileTime); k >= 0) {
    const unsigned shift = 8 * static_cast<unsigned>(k);
    const std::uint64_t below = (std::uint64_t{1} << shift) - 1;  // the bytes under the pair
    const std::uint64_t pair = std::uint64_t{0xFFFF} << shift;
    first = (fileTime & ~(pair | below)) | ((kCr | (kLf << 8)) << shift);
    last = first | below;
  } else if (!StartsWithDir(fileTime)) {
    return {fileTime, false};
  }
  const std::uint64_t earlier = first - 1, later = last + 1;
  return {fileTime - earlier <= later - fileTime ? earlier : later, true};
}

std::optional<std::size_t> FindUnstorableEntry(const std::vector<FileListEntry>& entries) {
  // The readers' own checks, on the paths as they convert them.
  std::vector<FileListEntry> read = entries;
  for (FileListEntry& entry : read) entry.Path = Utf8ToWide(entry.PathUtf8);
  const std::optional<std::size_t> clash = FindClashingEntry(read);
  for (std::size_t i = 0; i < clash.value_or(entries.size()); ++i) {
    if (IsUnsafePath(ByteView(entries[i].PathUtf8))) return i;
    if (!entries[i].IsFolder && !IsStorableFileTime(entries[i].FileTime)) return i;
  }
  return clash;
}

std::optional<Bytes> BuildFileList(const std::vector<FileListEntry>& entries) {
  if (FindUnstorableEntry(entries)) return std::nullopt;
  Bytes out;
  for (const FileListEntry& entry : entries) {
    if (&entry != &entries.front()) out += kLineBreak;
    if (entry.IsFolder) {
      out += kFolderPrefix;
    } else {
      for (std::size_t i = 0; i < kFileTimeSize; ++i)
        out += static_cast<char>((entry.FileTime >> (8 * i)) & 0xFF);
    }
    out += entry.PathUtf8;
  }
  return out;
}

bool PackageWriter::Put(ByteView bytes) {
  if (stage_ == Stage::Failed) return false;
  if (!bytes.empty() && !sink_(bytes)) {
    stage_ = Stage::Failed;
    return false;
  }
  written_ += bytes.size();
  if (crcRuns_) crc_ = Crc32(crc_, bytes);
  return true;
}

bool PackageWriter::PutLength(std::uint64_t length) {
  if (length > 0xFFFFFFFFu) {
    stage_ = Stage::Failed;
    return false;
  }
  char field[kRecordLengthSize];
  for (std::size_t i = 0; i < kRecordLengthSize; ++i)
    field[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  return Put(ByteView(field, kRecordLengthSize));
}

bool PackageWriter::PutRecord(ByteView block) { return PutLength(block.size()) && Put(block); }

bool PackageWriter::Begin(const InfoFields& info, const std::vector<FileListEntry>& entries,
                          const EncodeOptions& options) {
  if (stage_ != Stage::Start) return false;
  const std::optional<Bytes> list = BuildFileList(entries);
  if (!list) return false;
  const Bytes infoBlock = EncodeBlock(BuildInfoBlock(info), options);
  const Bytes listBlock = EncodeBlock(*list, options);
  if (infoBlock.empty() || (listBlock.empty() && !list->empty())) return false;
  return BeginBlocks(infoBlock, listBlock, CountFiles(entries), IntegrityCrcStart(info));
}

bool PackageWriter::BeginBlocks(ByteView infoBlock, ByteView fileListBlock,
                                std::size_t fileCount, std::uint32_t crcStart) {
  if (stage_ != Stage::Start) {
    stage_ = Stage::Failed;
    return false;
  }
  const Bytes marker = AssembleMarker();
  if (!(Put(marker) && Put(kMagic) && PutRecord(infoBlock))) return false;
  crc_ = crcStart;
  crcRuns_ = true;
  if (!PutRecord(fileListBlock)) return false;
  stage_ = Stage::Contents;
  filesLeft_ = fileCount;
  return true;
}

bool PackageWriter::AddContent(ByteView block) {
  return BeginContent(block.size()) && AddContentBytes(block);
}

bool PackageWriter::BeginContent(std::uint64_t length) {
  if (stage_ != Stage::Contents || filesLeft_ == 0 || blockLeft_ != 0) {
    stage_ = Stage::Failed;
    return false;
  }
  if (!PutLength(length)) return false;
  --filesLeft_;
  blockLeft_ = length;
  return true;
}

bool PackageWriter::AddContentBytes(ByteView piece) {
  // More bytes than the length promised would shift every record behind this one.
  if (stage_ != Stage::Contents || piece.size() > blockLeft_) {
    stage_ = Stage::Failed;
    return false;
  }
  if (!Put(piece)) return false;
  blockLeft_ -= piece.size();
  return true;
}

bool PackageWriter::Finish() {
  if (stage_ != Stage::Contents || filesLeft_ != 0 || blockLeft_ != 0) {
    stage_ = Stage::Failed;
    return false;
  }
  crcRuns_ = false;  // the closing CR LF is not covered
  if (!Put(kPackageEnd)) return false;
  stage_ = Stage::Done;
  return true;
}

}  // namespace zv
