#include "tools/zvpack/inspect.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>
#include <thread>

#include <nlohmann/json.hpp>

#include "package/contents.h"
#include "package/extraction.h"
#include "package/file_source.h"
#include "package/names.h"
#include "package/path_length.h"
#include "package/writer.h"
#include "tools/zvpack/errors.h"
#include "tools/zvpack/filetime.h"
#include "tools/zvpack/names.h"
#include "tools/zvpack/progress.h"

namespace zv::pack {
namespace {

// A record's decoded bytes without the zeros of a stream that ends early: the stated size is a
// claim, never an allocation. *zeroTail tells how many zeros were left out.
Bytes DecodeWithoutZeroTail(const PackageSource& source, const RecordSpan& record,
                            const std::string& installer, const char* what,
                            std::uint64_t* zeroTail) {
  Bytes bytes;
  const StreamedBlock result = DecodeRecordText(source, record, bytes);
  switch (result.Status) {
    case BlockStatus::Ok:
      break;
    case BlockStatus::Empty:
      Damaged(installer, std::string("the package's ") + what + " is empty");
    case BlockStatus::Corrupt:
      Damaged(installer, std::string("the package's ") + what + " does not decode");
    case BlockStatus::OutOfMemory:
      Refuse(installer, std::string("out of memory decoding the ") + what);
  }
  *zeroTail = result.ZeroTail;
  return bytes;
}

// The information block as key and value pairs. Zeros at its end would only end its last line
// (the installer reads a line up to its first NUL), so they are not made.
std::vector<std::pair<std::string, std::string>> InfoLines(ByteView info) {
  std::vector<ByteView> lines;
  SplitLines(info, kLineBreak, lines);
  std::vector<std::pair<std::string, std::string>> result;
  for (ByteView line : lines) {
    const std::size_t equals = line.find('=');
    if (equals == ByteView::npos) {
      result.emplace_back(std::string(line), std::string());
    } else {
      result.emplace_back(std::string(line.substr(0, equals)), std::string(line.substr(equals + 1)));
    }
  }
  return result;
}

std::string IntegrityMismatch(const IntegrityLine& line) {
  return "the package's bytes do not have the CRC-32 its \"" +
         std::string(line.CoversInfo ? kKeyCrc32All : kKeyCrc32) + "\" line states (damaged package)";
}

std::string Plural(std::size_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::string Totals(std::size_t files, std::size_t folders, std::uint64_t bytes) {
  return Plural(files, "file") + ", " + Plural(folders, "folder") + ", " +
         std::to_string(bytes) + " bytes";
}

// The destination path of an entry.
std::string Target(const std::string& destination, const PackageEntry& entry) {
  return JoinPath(destination, NativeRelativePath(entry.path));
}

// Where a file is written until it is whole: the one name per folder that a package may not
// use (files are written one at a time).
std::string PartialPath(const std::string& destination, const PackageEntry& entry) {
  const std::string_view folder = std::string_view(entry.path).substr(0, entry.path.rfind('\\') + 1);
  return JoinPath(JoinPath(destination, NativeRelativePath(folder)), WideToUtf8(kPartialFileName));
}

// Every path extraction hands the system must fit its limits, found before anything is written:
// a package Windows holds may still not fit here (255 UTF-16 units of a name can be 765 bytes of
// UTF-8), nor below a long destination.
void CheckPathLengths(const OpenPackage& package, const std::string& destination) {
  const auto check = [](const std::string& path, const std::string& target, const std::string& how) {
    const std::string problem = PathLengthProblem(path);
    if (!problem.empty()) Refuse(target, how + problem);
  };
  const std::string partial = "it is written as " + WideToUtf8(kPartialFileName) + " in its folder first, and ";
  check(destination, destination, "");
  for (const PackageEntry& entry : package.entries) {
    const std::string target = Target(destination, entry);
    check(target, target, "");
    if (!entry.folder) check(PartialPath(destination, entry), target, partial);
  }
}

// Everything in the destination that would stop or misdirect the extraction, found before
// anything is written.
void CheckDestination(const OpenPackage& package, const std::string& destination, bool force) {
  const Node node = Inspect(destination);
  if (node.kind == NodeKind::kMissing) return;
  if (node.kind != NodeKind::kFolder && node.kind != NodeKind::kLink) {
    Refuse(destination, "exists and is not a folder");
  }
  std::vector<DirItem> items;
  std::string reason;
  if (!ListFolder(destination, &items, &reason)) Refuse(destination, "cannot list: " + reason);
  if (items.empty()) return;
  if (!force) {
    Refuse(destination, "the folder is not empty (--force unpacks over its contents, replacing "
                        "the files the package lists)");
  }
  for (const PackageEntry& entry : package.entries) {
    const std::string target = Target(destination, entry);
    const NodeKind kind = Inspect(target).kind;
    if (kind == NodeKind::kMissing) continue;
    if (kind == NodeKind::kLink && entry.folder) {
      Refuse(target, "is a symbolic link; zvpack does not unpack through links");
    }
    if (entry.folder && kind != NodeKind::kFolder) Refuse(target, "exists and is not a folder");
    if (!entry.folder && kind != NodeKind::kFile && kind != NodeKind::kLink) {
      Refuse(target, "exists and is not a file");
    }
  }
}

}  // namespace

InstallerSource::InstallerSource(const std::string& path) : path_(path) {
  std::string reason;
  if (Inspect(path).kind == NodeKind::kFolder) Refuse(path, "is a folder, not an installer");
  if (!file_.Open(path, &reason)) Refuse(path, "cannot open: " + reason);
  bool readFailed = false;
  const std::optional<std::uint64_t> marker = FindMarkerInFile(file_.Reader(), &readFailed);
  if (readFailed) Refuse(path, "cannot read: " + LastSystemError());
  if (!marker) Damaged(path, "no package found (the marker is missing: not an installer, or cut short)");
  start_ = *marker + kMarkerSize;
}

ByteView InstallerSource::Read(std::uint64_t offset, std::size_t length, Bytes& buffer) const {
  if (offset >= Size()) return {};
  length = static_cast<std::size_t>(std::min<std::uint64_t>(length, Size() - offset));
  std::string reason;
  if (!file_.ReadAt(start_ + offset, length, &buffer, &reason)) {
    const std::lock_guard<std::mutex> hold(readErrorLock_);
    if (readError_.empty()) readError_ = reason;
    return {};
  }
  return buffer;
}

void InstallerSource::CheckReads() const {
  const std::lock_guard<std::mutex> hold(readErrorLock_);
  if (!readError_.empty()) Refuse(path_, "cannot read: " + readError_);
}

OpenPackage OpenInstaller(const std::string& path, bool checkIntegrity) {
  OpenPackage package;
  package.installer = path;
  package.source = std::make_unique<InstallerSource>(path);
  const InstallerSource& source = *package.source;

  // The information block and the file list are judged without making the zeros a stream that
  // ends early stands for: a few hundred bytes may state a gigabyte.
  const RecordSpan infoRecord = LocateRecord(source, kFirstRecordOffset);
  const RecordSpan listRecord = LocateRecord(source, infoRecord.Next);
  std::uint64_t zeroTail = 0;
  Bytes info;
  if (HasMagic(source.Read(0, kMagic.size(), info))) {
    info = DecodeWithoutZeroTail(source, infoRecord, path, "information block", &zeroTail);
    DecodeWithoutZeroTail(source, listRecord, path, "file list", &zeroTail);
    source.CheckReads();
    if (zeroTail > 0) {
      // Zeros would end the last entry: a NUL in its path, or a time without a name.
      Damaged(path, "the package's file list ends " + std::to_string(zeroTail) +
                        " bytes before its stated size (damaged package)");
    }
  }
  package.contents = ReadContents(source, /*withInfo=*/false);
  const PackageContents& contents = package.contents;
  source.CheckReads();
  switch (contents.Status) {
    case PackageStatus::Ok:
      break;
    case PackageStatus::NoMagic:
      Damaged(path, "the data after the marker is not a package (no \"zvzip\")");
    case PackageStatus::NoFileList:
      Damaged(path, "the package's file list is missing, empty or does not decode");
    case PackageStatus::BadFileList:
      Damaged(path, "the package's file list is malformed");
    case PackageStatus::OutOfMemory:
      Refuse(path, "out of memory decoding the file list");
    case PackageStatus::Clash:
      Damaged(path + ": " + Printable(contents.Entries[contents.BadEntry].PathUtf8),
              "the entry cannot be created as listed: it repeats an earlier path (also in "
              "another case, or as a file and a folder), lies in a folder that no earlier "
              "folder entry makes, or has a name longer than 255 characters");
    case PackageStatus::UnsafeInfo:  // judged below, with the information read here
    case PackageStatus::UnsafePath: {
      // The package's rule found it; PackagePathProblem refuses all it does and says why.
      const std::string& bad = contents.Entries[contents.BadEntry].PathUtf8;
      Damaged(path + ": " + Printable(bad),
              "unsafe path in the file list: " + PackagePathProblem(bad));
    }
  }
  package.info = ParseInfo(info);
  package.integrity = ReadIntegrityLine(info);
  switch (FindInfoFault(package.info)) {
    case InfoFault::None:
      break;
    case InfoFault::DisplayName:
      Damaged(path + ": " + Printable(std::string(kKeyName.Utf8) + WideToUtf8(package.info.DisplayName)),
              "the name is not one plain folder and shortcut name (the installer would make them "
              "outside its folders)");
    case InfoFault::ProgramFile:
      Damaged(path + ": " + Printable(std::string(kKeyProgramFile.Utf8) + WideToUtf8(package.info.ProgramFile)),
              "the program is not a safe path inside the target folder");
  }
  // From here on the package holds nothing the installer would refuse.
  package.infoLines = InfoLines(info);
  package.resources = ReadInstallerResources(path, source.PackageStart() - kMarkerSize);

  // How long a target folder may be for the installer, which writes by plain paths (the room
  // counts the folder's final "\").
  const std::size_t room = PlainPathRoom(contents.Entries);
  package.longestTarget = room + 1 + kShortestTargetFolder <= kMaxPlainPath ? kMaxPlainPath - room - 1 : 0;

  std::uint64_t offset = contents.ContentOffset;
  Bytes buffer;
  for (const FileListEntry& item : contents.Entries) {
    package.longestPath = std::max(package.longestPath, item.Path.size());
    PackageEntry entry;
    entry.folder = item.IsFolder;
    entry.path = WideToUtf8(item.Path);  // the name the installer creates
    entry.fileTime = item.FileTime;
    if (entry.folder) {
      ++package.folders;
    } else {
      if (offset + kRecordLengthSize > source.Size()) {
        Damaged(path + ": " + Printable(entry.path),
                "the package ends before this file's record (cut short)");
      }
      entry.record = LocateRecord(source, offset);
      if (entry.record.BlockLength < entry.record.StatedLength) {
        Damaged(path + ": " + Printable(entry.path), "the file's record runs past the end of the installer "
                                          "(cut short)");
      }
      const std::size_t head = std::min<std::size_t>(entry.record.BlockLength, kMaxSizeFieldBytes);
      entry.size = StatedBlockSize(source.Read(entry.record.BlockOffset, head, buffer));
      offset = entry.record.Next;
      ++package.files;
      package.bytes += entry.size;
    }
    package.entries.push_back(std::move(entry));
  }
  source.CheckReads();
  if (checkIntegrity) {
    const Integrity integrity = CheckIntegrity(source, package.integrity);
    source.CheckReads();  // a read error is not damage
    if (integrity == Integrity::Damaged) Damaged(path, IntegrityMismatch(package.integrity));
  }
  return package;
}

std::string FormatListing(const OpenPackage& package) {
  std::string text;
  for (const auto& [key, value] : package.infoLines)
    text += Printable(key) + "=" + Printable(value) + "\n";
  const InstallerResources& resources = package.resources;
  text += "\n";
  if (!resources.problem.empty()) {
    text += "installer resources: cannot be read (" + resources.problem + ")\n";
  } else {
    std::string sizes;
    for (const std::string& size : resources.iconSizes) sizes += " " + size;
    text += resources.iconSizes.empty() && !resources.ownIcon
                ? std::string("installer icon: none\n")
                : std::string("installer icon: ") + (resources.ownIcon ? "its own" : "zvsetup's") + " (" +
                      std::to_string(resources.iconSizes.size()) + " images:" + sizes + ")\n";
    if (const auto& version = resources.version) {
      text += "installer version: file " + version->fileVersion + ", product " + version->productVersion + "\n";
      for (const auto& [key, value] : version->strings) text += "  " + Printable(key) + "=" + Printable(value) + "\n";
    }
  }
  text += "\nkind           size  last write (UTC)              path\n";
  for (const PackageEntry& entry : package.entries) {
    char line[96];
    if (entry.folder) {
      std::snprintf(line, sizeof line, "%-6s %11s  %-28s  ", "folder", "-", "-");
    } else {
      std::snprintf(line, sizeof line, "%-6s %11lu  %-28s  ", "file",
                    static_cast<unsigned long>(entry.size), FormatFileTimeUtc(entry.fileTime).c_str());
    }
    text += line + Printable(entry.path) + "\n";
  }
  text += Totals(package.files, package.folders, package.bytes) + "\n";
  return text;
}

std::string ListingJson(const OpenPackage& package) {
  // Cut as the listing cuts them: a package may state a value of megabytes.
  const auto cut = [](const std::string& text) { return std::string(CutToUnits(text)); };
  nlohmann::ordered_json info = nlohmann::ordered_json::object();
  nlohmann::ordered_json infoTruncated = nlohmann::ordered_json::array();
  for (const auto& [key, value] : package.infoLines) {
    const std::string shownKey = cut(key);
    const std::string shownValue = cut(value);
    info[shownKey] = shownValue;
    if (shownKey.size() < key.size() || shownValue.size() < value.size()) infoTruncated.push_back(shownKey);
  }
  nlohmann::ordered_json entries = nlohmann::ordered_json::array();
  for (const PackageEntry& entry : package.entries) {
    nlohmann::ordered_json item;
    item["kind"] = entry.folder ? "folder" : "file";
    const std::string path = cut(entry.path);
    item["path"] = path;
    if (path.size() < entry.path.size()) item["truncated"] = true;
    if (!entry.folder) {
      item["size"] = entry.size;
      item["lastWrite"] = FormatFileTimeUtc(entry.fileTime);
      item["fileTime"] = entry.fileTime;
    }
    entries.push_back(std::move(item));
  }
  nlohmann::ordered_json document;
  document["installer"] = package.installer;
  document["info"] = std::move(info);
  document["infoTruncated"] = std::move(infoTruncated);
  const InstallerResources& resources = package.resources;
  document["ownIcon"] = resources.ownIcon;
  document["iconSizes"] = resources.iconSizes;
  nlohmann::ordered_json version = nullptr;
  if (resources.version) {
    version = nlohmann::ordered_json::object();
    version["fileVersion"] = resources.version->fileVersion;
    version["productVersion"] = resources.version->productVersion;
    nlohmann::ordered_json strings = nlohmann::ordered_json::object();
    for (const auto& [key, value] : resources.version->strings) strings[cut(key)] = cut(value);
    version["strings"] = std::move(strings);
  }
  document["versionInfo"] = std::move(version);
  if (!resources.problem.empty()) document["resourcesProblem"] = resources.problem;
  document["entries"] = std::move(entries);
  document["files"] = package.files;
  document["folders"] = package.folders;
  document["bytes"] = package.bytes;
  document["longestPath"] = package.longestPath;
  document["longestTargetFolder"] = package.longestTarget;
  return EscapeTerminalControls(
             document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)) + "\n";
}

namespace {

// Decoder threads for the extraction loop: the given number, or one per core, up to what it takes.
int DecoderThreads(unsigned threads) {
  if (!threads) threads = std::max(1u, std::thread::hardware_concurrency());
  return static_cast<int>(std::min<unsigned>(threads, kMaxDecoders));
}

// What extract and verify share of a sink: the package, the entry at hand, and the first error,
// kept rather than thrown (the extraction loop is not unwound through) and raised once it returns.
class PackSink : public ExtractSink {
 public:
  explicit PackSink(const OpenPackage& package) : package_(package) {}
  bool Entry(std::size_t index) override {
    entry_ = &package_.entries[index];
    return Guard([&] { EnterEntry(); });
  }
  // After the loop: raises what stopped it.
  void Raise() const {
    if (error_) std::rethrow_exception(error_);
  }

 protected:
  ~PackSink() = default;
  virtual void EnterEntry() {}
  // Runs step; an exception it throws is kept (the first one) and false returned.
  template <class Step>
  bool Guard(Step&& step) {
    try {
      step();
      return true;
    } catch (...) {
      if (!error_) error_ = std::current_exception();
      return false;
    }
  }
  // A block that does not decode: a read error (not damage) or the damage, naming the file.
  [[noreturn]] void ThrowDamage() const {
    package_.source->CheckReads();
    Damaged(package_.installer + ": " + Printable(entry_->path),
            "the stored data does not decode (damaged package)");
  }
  [[noreturn]] void ThrowOutOfMemory() const {
    Refuse(package_.installer + ": " + Printable(entry_->path), "out of memory decoding the file");
  }

  const OpenPackage& package_;
  const PackageEntry* entry_ = nullptr;
  std::exception_ptr error_;
};

// Writes each file under a temporary name beside its target and moves it over the target only
// when whole: a damaged block or a failed write never leaves a torn file in the target's place,
// and a link planted at the target is replaced, not written through. The first fault ends it.
class FolderSink final : public PackSink {
 public:
  FolderSink(const OpenPackage& package, const std::string& destination, ProgressLine* progress)
      : PackSink(package), destination_(destination), progress_(progress) {}

  bool Open(std::size_t) override {
    return Guard([&] {
      partial_ = PartialPath(destination_, *entry_);
      interrupted_ = RemovedOnInterrupt(partial_);
      written_ = 0;
      file_ = OutputFile();
      opened_ = file_.Create(partial_, &reason_);
    }) && opened_;
  }
  bool Write(ByteView piece) override {
    written_ += piece.size();
    return file_.Write(piece, &reason_);
  }
  bool Close(std::size_t) override {
    file_.SetLastWrite(entry_->fileTime);
    const bool moved = file_.Close(&reason_) && MoveFileOver(partial_, target_, &reason_);
    if (!moved) RemoveFile(partial_);
    interrupted_.Release();
    return moved;
  }
  void Drop() override {
    file_.Close(nullptr);
    RemoveFile(partial_);
    interrupted_.Release();
  }
  FaultAnswer Failed(std::size_t, FileFault fault) override {
    Guard([&] {
      if (fault == FileFault::Corrupt) ThrowDamage();
      if (fault == FileFault::OutOfMemory) ThrowOutOfMemory();
      Refuse(target_, "cannot write: " + reason_);
    });
    return FaultAnswer::Abort;
  }
  bool Done(std::size_t, bool) override {
    return Guard([&] {
      package_.source->CheckReads();
      ++result.files;
      result.bytes += written_;
      if (progress_) progress_->Update(result.files, result.bytes);
    });
  }

  ExtractResult result;

 private:
  void EnterEntry() override {
    target_ = Target(destination_, *entry_);
    if (!entry_->folder) return;
    if (!CreateFolders(target_, &reason_)) Refuse(target_, "cannot create the folder: " + reason_);
    ++result.folders;
  }

  const std::string& destination_;
  ProgressLine* progress_;
  std::string target_;
  std::string partial_;
  RemovedOnInterrupt interrupted_;
  OutputFile file_;
  bool opened_ = false;
  std::uint64_t written_ = 0;
  std::string reason_;
};

// Decodes every file, writing nothing: a block that does not decode is a problem to report, and
// the files after it are decoded all the same.
class VerifySink final : public PackSink {
 public:
  VerifySink(const OpenPackage& package, VerifyResult& result, ProgressLine* progress)
      : PackSink(package), result_(result), progress_(progress) {}

  bool Open(std::size_t) override { return true; }
  bool Write(ByteView piece) override {
    result_.bytes += piece.size();
    return true;
  }
  bool Close(std::size_t) override { return true; }
  void Drop() override {}
  // Large files decode on lanes, which count their bytes.
  AsideFile* Aside(std::size_t) override { return new (std::nothrow) Counter; }
  bool Keep(std::size_t, AsideFile& file) override {
    result_.bytes += static_cast<Counter&>(file).bytes;
    Discard(file);
    return true;
  }
  void Discard(AsideFile& file) override { delete static_cast<Counter*>(&file); }
  FaultAnswer Failed(std::size_t, FileFault fault) override {
    try {
      if (fault == FileFault::OutOfMemory) ThrowOutOfMemory();
      ThrowDamage();
    } catch (const PackError& error) {
      if (error.ExitCode() == kExitDamaged) {
        result_.problems.push_back(error.what());
        return FaultAnswer::Ignore;
      }
      if (!error_) error_ = std::current_exception();
    }
    return FaultAnswer::Abort;
  }
  bool Done(std::size_t, bool written) override {
    result_.files += written;
    if (progress_) progress_->Update(result_.files + result_.problems.size(), result_.bytes);
    return Guard([&] { package_.source->CheckReads(); });
  }

 private:
  struct Counter final : AsideFile {
    bool Write(ByteView piece) override {
      bytes += piece.size();
      return true;
    }
    std::uint64_t bytes = 0;
  };

  VerifyResult& result_;
  ProgressLine* progress_;
};

}  // namespace

ExtractResult ExtractInstaller(const std::string& installer, const std::string& destination,
                               const ExtractOptions& options) {
  const OpenPackage package = OpenInstaller(installer);
  CheckPathLengths(package, destination);
  CheckDestination(package, destination, options.force);
  std::string reason;
  if (!CreateFolders(destination, &reason)) Refuse(destination, "cannot create: " + reason);

  if (options.progress) options.progress->Begin("unpacking", package.files, package.bytes);
  FolderSink sink(package, destination, options.progress);
  Extraction(*package.source, package.contents, DecoderThreads(options.threads)).Run(sink);
  sink.Raise();
  if (options.progress) options.progress->End();
  return sink.result;
}

VerifyResult VerifyInstaller(const std::string& installer, ProgressLine* progress) {
  const OpenPackage package = OpenInstaller(installer, /*checkIntegrity=*/false);
  VerifyResult result;
  result.folders = package.folders;
  result.longestPath = package.longestPath;
  result.longestTarget = package.longestTarget;
  if (progress) progress->Begin("verifying", package.files, package.bytes);
  VerifySink sink(package, result, progress);
  Extraction(*package.source, package.contents, DecoderThreads(0)).Run(sink);
  sink.Raise();
  if (progress) progress->End();

  const auto program = std::find_if(package.entries.begin(), package.entries.end(),
                                    [&](const PackageEntry& entry) {
                                      return !entry.folder && Utf8ToWide(entry.path) == package.info.ProgramFile;
                                    });
  result.integrity = CheckIntegrity(*package.source, package.integrity);
  package.source->CheckReads();
  if (result.integrity == Integrity::Damaged) {
    result.problems.push_back(Describe(installer, IntegrityMismatch(package.integrity)));
  } else if (result.integrity == Integrity::NoKey) {
    result.notes.push_back(Describe(installer, "the package carries no integrity line (\"CRC32ALL=\"): "
                                               "only its blocks could be checked"));
  }
  if (package.longestTarget == 0) {
    result.notes.push_back(Describe(installer, "the installer cannot install it: below any target folder "
                                               "a path would be longer than the " + std::to_string(kMaxPlainPath) +
                                               " UTF-16 units Windows allows it"));
  }
  if (program == package.entries.end()) {
    result.notes.push_back(Describe(installer, "the program to start (\"" +
                                                   Printable(WideToUtf8(package.info.ProgramFile)) +
                                                   "\") is not a file of the package"));
  }
  return result;
}

}  // namespace zv::pack
