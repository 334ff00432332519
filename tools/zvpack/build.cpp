#include "tools/zvpack/build.h"

#include <array>
#include <thread>

#include "tools/zvpack/compress.h"
#include "tools/zvpack/errors.h"
#include "tools/zvpack/filetime.h"
#include "tools/zvpack/names.h"
#include "tools/zvpack/platform.h"
#include "tools/zvpack/progress.h"
#include "tools/zvpack/tree.h"

namespace zv::pack {
namespace {

// Spare bytes after the information block for its final integrity line: the digits of the
// real value encode to at most a few bytes more than the placeholder's.
constexpr std::size_t kCrc32Room = 16;

constexpr std::size_t kWriteBufferSize = std::size_t{1} << 20;

// The output file with a write buffer: the package arrives in many small pieces. With a
// checksum, every byte written is added to it.
class BufferedOutput {
 public:
  BufferedOutput(std::string path, PeChecksum* checksum) : path_(std::move(path)), checksum_(checksum) {}

  void Create() {
    std::string reason;
    if (!file_.Create(path_, &reason)) Refuse(path_, "cannot create: " + reason);
  }
  bool Put(ByteView bytes) {
    if (checksum_) checksum_->Add(bytes);
    if (buffer_.size() + bytes.size() > kWriteBufferSize && !Flush()) return false;
    if (bytes.size() >= kWriteBufferSize) return file_.Write(bytes, &reason_);
    buffer_.append(bytes);
    return true;
  }
  bool Flush() {
    const bool written = file_.Write(buffer_, &reason_);
    buffer_.clear();
    return written;
  }
  void Close() {
    if (!Flush() || !file_.Close(&reason_)) Fail();
  }
  [[noreturn]] void Fail() { Refuse(path_, "cannot write: " + reason_); }

 private:
  std::string path_;
  PeChecksum* checksum_;
  OutputFile file_;
  Bytes buffer_;
  std::string reason_;
};

// Removes the partly written output unless the build got through.
class PartialFile {
 public:
  explicit PartialFile(std::string path) : path_(std::move(path)), interrupted_(path_) {}
  ~PartialFile() {
    if (!kept_) RemoveFile(path_);
  }
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;
  void Keep() {
    kept_ = true;
    interrupted_.Release();
  }

 private:
  std::string path_;
  RemovedOnInterrupt interrupted_;
  bool kept_ = false;
};

// The command-line option that sets an information key, for messages.
std::string OptionOfKey(ByteView key) {
  struct Pair {
    const InfoKey* key;
    const char* option;
  };
  static const std::array<Pair, 6> kPairs{{{&kKeyNumber, "--id"},
                                           {&kKeyName, "--name"},
                                           {&kKeyProgramFile, "--program"},
                                           {&kKeyDate, "--date"},
                                           {&kKeyVersion, "--version"},
                                           {&kKeyDescription, "--description"}}};
  for (const Pair& pair : kPairs) {
    if (pair.key->Utf8 == key) return pair.option;
  }
  return std::string(key);
}

ByteView ValueOfKey(const InfoFields& fields, ByteView key) {
  if (key == kKeyName.Utf8) return fields.Name;
  if (key == kKeyProgramFile.Utf8) return fields.ProgramFile;
  if (key == kKeyDate.Utf8) return fields.Date;
  if (key == kKeyVersion.Utf8) return fields.Version;
  if (key == kKeyDescription.Utf8) return fields.Description;
  return {};
}

void CheckInfo(const InfoFields& fields) {
  for (const InfoIssue& issue : CheckInfoFields(fields)) {
    const std::string option = OptionOfKey(issue.Key);
    switch (issue.Kind) {
      case InfoIssueKind::LineBreak:
        Refuse(option, "the text holds a line break; the information block keeps one line per key");
      case InfoIssueKind::BadUtf8:
        Refuse(option, "the text is not valid UTF-8");
      case InfoIssueKind::Unsafe:
        Refuse(option, issue.Key == kKeyName.Utf8
                           ? "the name must be one plain folder and file name (no \\ / : < > \" | ? *, "
                             "no control characters, not . or .., no trailing dot or space, not a "
                             "device name such as CON)"
                           : "the program must be a relative path inside the folder, with names "
                             "Windows can create");
      case InfoIssueKind::TooLong: {
        const std::size_t length = Utf16Length(issue.Key) + Utf16Length(ValueOfKey(fields, issue.Key));
        Refuse(option, "the information line \"" + std::string(issue.Key) + "...\" is " +
                           std::to_string(length) + " characters long; the installer reads only " +
                           std::to_string(kInfoLineLimit) + " (key and value together)");
      }
    }
  }
}

// The stub, with the publisher's icon and version block when branding asks for them.
Bytes ReadStub(const std::string& requested, const Branding& branding) {
  const std::string path = requested.empty() ? FindDefaultStub() : requested;
  if (path.empty()) {
    Refuse("zvsetup.exe", "no installer stub next to zvpack or in build/win32/bin; name one with --stub");
  }
  Bytes stub;
  std::string reason;
  if (Inspect(path).kind == NodeKind::kFolder) Refuse(path, "is a folder, not an installer stub");
  if (!ReadWholeFileAt(path, &stub, &reason)) Refuse(path, "cannot read the stub: " + reason);
  if (stub.empty()) Refuse(path, "the stub is empty");
  if (FindMarker(stub)) {
    Refuse(path, "the stub already contains the package marker (is it an installer already?); "
                 "the installer would find that copy instead of the package");
  }
  return branding.Any() ? BrandStub(stub, path, branding) : stub;
}

// The tree's file that --program names: exactly, or else the one file that matches without
// regard to case (as Windows would find it).
std::string ResolveProgram(const std::string& typed, const SourceTree& tree, const std::string& root) {
  const std::string path = NormalisePackagePath(typed);
  if (std::string problem = PackagePathProblem(path); !problem.empty()) {
    Refuse("--program " + typed, problem);
  }
  const TreeEntry* found = nullptr;
  for (const TreeEntry& entry : tree.entries) {
    if (entry.path == path) {
      found = &entry;
      break;
    }
  }
  if (!found) {
    const Text key = PathKey(Utf8ToWide(path));
    for (const TreeEntry& entry : tree.entries) {
      if (PathKey(Utf8ToWide(entry.path)) == key) found = &entry;
    }
  }
  if (!found) Refuse("--program " + typed, "is not a file of the tree " + root);
  if (found->folder) Refuse("--program " + typed, "is a folder of the tree, not a file");
  return found->path;
}

void CheckOutputPlace(const std::string& output, const std::string& source) {
  if (output.empty()) Refuse("-o", "no output file given");
  if (Inspect(output).kind == NodeKind::kFolder) Refuse(output, "is a folder");
  std::string root = AbsolutePath(source);
  const std::string target = AbsolutePath(output);
  if (!root.empty() && root.back() != kPathSeparator) root += kPathSeparator;
#ifdef _WIN32
  const bool inside = PathKey(Utf8ToWide(target)).starts_with(PathKey(Utf8ToWide(root)));
#else
  const bool inside = target.starts_with(root);
#endif
  if (inside) {
    Refuse(output, "the output lies inside the source folder (it would be packed next time)");
  }
}

std::int32_t CheckedId(std::int64_t id) {
  if (id < INT32_MIN || id > INT32_MAX) Refuse("--id", "the number does not fit in 32 bits");
  return static_cast<std::int32_t>(id);
}

}  // namespace

EncodeOptions BuildOptions::PackEncodeOptions() {
  // Binary-tree match finder with the normal (optimal) parser. Measured on PE files against
  // 64 fast bytes (the size NSIS reaches): about 8 % less time for 0.3 % more bytes. Fewer
  // fast bytes or match cycles, or the fast parser, cost more size than they save time.
  // A window of at most 32 MiB: two large files compress at once in 750 MB of tables (64 MiB
  // would take 1.5 GB); on 48 MB of game records it made the block smaller, not larger.
  EncodeOptions options;
  options.Window = 32u << 20;
  options.Level = 5;
  options.Algo = 1;
  options.BtMode = 1;
  options.NumHashBytes = 4;
  options.FastBytes = 32;
  options.FastIfIncompressible = true;
  return options;
}

std::string FindDefaultStub() {
  const std::string self = SelfExecutable();
  const std::size_t cut = self.find_last_of("/\\");
  const std::string folder = cut == std::string::npos ? std::string(".") : self.substr(0, cut);
  const std::array<std::string, 3> candidates{
      JoinPath(folder, "zvsetup.exe"),
      JoinPath(folder, NativeRelativePath("..\\..\\win32\\bin\\zvsetup.exe")),
      NativeRelativePath("build\\win32\\bin\\zvsetup.exe")};
  for (const std::string& candidate : candidates) {
    if (Inspect(candidate).kind == NodeKind::kFile) return candidate;
  }
  return {};
}

std::string DefaultDate() {
  std::string epoch;
  if (!GetEnvironment("SOURCE_DATE_EPOCH", &epoch) || epoch.empty()) return TodayLocal();
  std::int64_t seconds = 0;
  for (char c : epoch) {
    if (c < '0' || c > '9' || seconds > INT64_MAX / 10 - 9) {
      Refuse("SOURCE_DATE_EPOCH", "not a number of seconds since 1970: " + epoch);
    }
    seconds = seconds * 10 + (c - '0');
  }
  return FormatUtcDate(seconds);
}

BuildResult BuildInstaller(const BuildOptions& options) {
  // Everything the user typed is checked before the tree is read.
  if (options.name.empty()) Refuse("--name", "the display name is empty");
  if (std::string problem = NameProblem(options.name); !problem.empty()) {
    Refuse("--name " + options.name, "the name also names the installation folder and the "
                                      "shortcut: " + problem);
  }
  InfoFields info;
  info.Number = CheckedId(options.id);
  info.Name = options.name;
  info.ProgramFile = NormalisePackagePath(options.program);
  info.Date = options.date ? *options.date : DefaultDate();
  info.Version = options.version;
  info.Description = options.description;
  CheckInfo(info);
  const Branding branding = PrepareBranding(options.branding, options.version);
  CheckOutputPlace(options.output, options.source);
  const Bytes stub = ReadStub(options.stub, branding);

  const SourceTree tree = ScanTree(options.source);
  info.ProgramFile = ResolveProgram(options.program, tree, options.source);
  CheckInfo(info);

  BuildResult result;
  result.files = tree.files;
  result.folders = tree.folders;
  result.sourceBytes = tree.bytes;
  result.stubBytes = stub.size();
  result.programPath = info.ProgramFile;

  std::vector<FileListEntry> entries;
  std::vector<CompressJob> jobs;
  entries.reserve(tree.entries.size());
  jobs.reserve(tree.files);
  for (const TreeEntry& item : tree.entries) {
    FileListEntry entry;
    entry.IsFolder = item.folder;
    entry.PathUtf8 = item.path;
    if (!item.folder) {
      const StorableTime time = StorableFileTime(item.lastWrite);
      entry.FileTime = time.Time;
      if (time.Moved) {
        result.adjusted.push_back({item.path, item.lastWrite, time.Time});
        if (options.note) {
          const auto ticks = static_cast<std::int64_t>(time.Time - item.lastWrite);
          options.note(Describe(item.source, "last-write time stored as " +
                                                 FormatFileTimeUtc(time.Time) + " (moved by " +
                                                 std::to_string(ticks) + " x 100 ns from " +
                                                 FormatFileTimeUtc(item.lastWrite) +
                                                 ") so that the file list can hold it"));
        }
      }
      jobs.push_back({item.source, item.path, item.size, item.scanned});
    }
    entries.push_back(std::move(entry));
  }
  if (const auto bad = FindUnstorableEntry(entries)) {
    Refuse(tree.entries[*bad].source, "cannot be stored in a package");
  }
  const std::optional<Bytes> list = BuildFileList(entries);
  if (list && (entries.size() > kMaxFileListEntries || list->size() > kMaxTextBlockSize)) {
    Refuse(options.source, "the tree is larger than a package's file list may be (" +
                               std::to_string(kMaxFileListEntries) + " files and folders, " +
                               std::to_string(kMaxTextBlockSize >> 20) + " MiB of names)");
  }
  // The integrity line's value is known once everything after the information block is
  // written: the block is written with a placeholder and room to spare, then written again in
  // place. The spare bytes are zeros, which readers allow after a block's stream and nothing
  // else.
  info.Crc32 = 0;
  Bytes infoBlock = EncodeBlock(BuildInfoBlock(info), options.encode);
  if (!infoBlock.empty()) infoBlock.append(kCrc32Room, '\0');
  const Bytes listBlock = list ? EncodeBlock(*list, options.encode) : Bytes();
  if (infoBlock.empty() || listBlock.empty()) Refuse(options.output, "cannot encode the file list");

  const std::string partialPath = options.output + ".partial";
  PartialFile partial(partialPath);
  // A branded image is a new program file, so its checksum is made right (over the whole file,
  // as the system computes it); without branding the stub stays byte for byte as it was.
  PeChecksum checksum;
  BufferedOutput output(partialPath, branding.Any() ? &checksum : nullptr);
  output.Create();
  if (!output.Put(stub)) output.Fail();
  PackageWriter writer([&output](ByteView bytes) { return output.Put(bytes); });
  if (!writer.BeginBlocks(infoBlock, listBlock, jobs.size(), IntegrityCrcStart(info))) output.Fail();

  CompressSettings settings;
  settings.threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
  settings.memoryBudget = options.memoryBudget;
  settings.spillPath = partialPath + ".block";
  settings.encode = options.encode;
  if (options.progress) options.progress->Begin("packing", jobs.size(), tree.bytes);
  const auto deliver = [&writer](std::size_t, const CompressedBlock& block) {
    return writer.BeginContent(block.Size()) &&
           block.ForEachPiece([&writer](ByteView piece) { return writer.AddContentBytes(piece); });
  };
  const bool complete = CompressInOrder(
      jobs, settings, deliver,
      [&options](std::size_t files, std::uint64_t bytes) {
        if (options.progress) options.progress->Update(files, bytes);
      });
  if (options.progress) options.progress->End();
  if (!complete || !writer.Finish()) output.Fail();
  output.Close();
  info.Crc32 = writer.IntegrityCrc32();
  Bytes finalInfo = EncodeBlock(BuildInfoBlock(info), options.encode);
  if (finalInfo.empty() || finalInfo.size() > infoBlock.size()) {
    Refuse(options.output, "cannot encode the information block with its integrity line");
  }
  finalInfo.resize(infoBlock.size(), '\0');
  std::string overwriteError;
  const std::uint64_t infoOffset = stub.size() + kMarkerSize + kMagic.size() + kRecordLengthSize;
  if (!OverwriteAt(partialPath, infoOffset, finalInfo, &overwriteError)) {
    Refuse(partialPath, "cannot write: " + overwriteError);
  }
  if (branding.Any()) {
    checksum.Replace(infoOffset, infoBlock, finalInfo);
    Bytes field;
    Append32(field, checksum.Value());
    if (!OverwriteAt(partialPath, ChecksumOffset(stub), field, &overwriteError)) {
      Refuse(partialPath, "cannot write: " + overwriteError);
    }
  }

  result.packageBytes = writer.Written();
  std::string reason;
  if (!MoveFileOver(partialPath, options.output, &reason)) {
    Refuse(options.output, "cannot put the installer in place: " + reason);
  }
  partial.Keep();
  return result;
}

}  // namespace zv::pack
