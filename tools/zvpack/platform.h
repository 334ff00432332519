// The packer's few contacts with the operating system: walking folders, reading and writing
// files, last-write times, and the console. Paths are UTF-8 throughout; the Windows side
// converts them to UTF-16 and calls the wide API, so Chinese names work there as well.
// One implementation per system: platform_posix.cpp and platform_win.cpp; what both share is
// in platform.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/file.h"
#include "package/format.h"

namespace zv::pack {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Appends one name (or relative path in native form) to a folder path.
std::string JoinPath(std::string_view folder, std::string_view name);

enum class NodeKind { kMissing, kFile, kFolder, kLink, kOther };

// What one folder entry is. Links are reported as links, never followed.
struct Node {
  NodeKind kind = NodeKind::kMissing;
  std::uint64_t size = 0;
  std::uint64_t lastWrite = 0;  // FILETIME ticks: 100 ns since 1601-01-01 UTC
  // Which file it is, where the system tells it cheaply (POSIX: device, inode and the time of
  // its last change of any kind, which tells a new file that got a freed inode); 0 otherwise.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t changed = 0;
};

struct DirItem {
  std::string name;          // UTF-8 (on Windows converted from UTF-16) or the raw bytes
  bool convertible = true;   // false: the UTF-16 name had no UTF-8 form (lone surrogate)
  Node node;
};

// The entry at path, without following a link at its end.
Node Inspect(const std::string& path);

// The entries of a folder, without "." and "..", in the order the system gives them.
bool ListFolder(const std::string& path, std::vector<DirItem>* items, std::string* error);

// Reads a whole file. Fails (with a reason) when it cannot be opened or read. (platform.cpp)
bool ReadWholeFileAt(const std::string& path, Bytes* out, std::string* error);

// Why the last system call failed (errno; GetLastError on Windows), in the system's words.
std::string LastSystemError();

// A file opened for reading at arbitrary offsets; others may go on writing it.
class InputFile {
 public:
  bool Open(const std::string& path, std::string* error);
  // Opens a file of a scanned tree: never through a link at its end, and only if it is still
  // the file the scan saw (a file swapped for a link or another file in between is refused).
  bool OpenScanned(const std::string& path, const Node& scanned, std::string* error);
  std::uint64_t Size() const { return reader_.Size(); }
  const FileReader& Reader() const { return reader_; }
  // Reads up to count bytes at offset into out (resized to what was read). False on a read
  // error, with the reason in *error when given. (platform.cpp)
  bool ReadAt(std::uint64_t offset, std::size_t count, Bytes* out, std::string* error = nullptr) const;
  // The same into the caller's buffer; *got is how many bytes were read. (platform.cpp)
  bool ReadInto(std::uint64_t offset, char* data, std::size_t count, std::size_t* got,
                std::string* error = nullptr) const;

 private:
  FileReader reader_;
};

// A new file written front to back. Close() reports whether everything reached the disk; a
// file not closed is closed by the destructor without a report.
class OutputFile {
 public:
  // Creates the file or replaces an existing one; replacing never follows a link at the path
  // (the link itself is replaced).
  bool Create(const std::string& path, std::string* error);
  bool Write(ByteView bytes, std::string* error);
  // Sets the last-write time (FILETIME ticks) to apply when the file is closed.
  void SetLastWrite(std::uint64_t fileTime) {
    hasTime_ = true;
    lastWrite_ = fileTime;
  }
  bool Close(std::string* error);

 private:
  Owned<SystemFileTraits> file_;
  bool hasTime_ = false;
  std::uint64_t lastWrite_ = 0;
};

// Why the system could not take path for a file or folder it makes, or empty when it can: on
// POSIX a name over NAME_MAX bytes or a path of PATH_MAX bytes or more (as given: a relative
// path is not made absolute by the system either); on Windows, where long paths take the
// "\\?\" form, a name over 255 UTF-16 units or a path over 32,767.
std::string PathLengthProblem(const std::string& path);

// Every missing level of the path. True when the folder exists afterwards (also when it
// existed before).
bool CreateFolders(const std::string& path, std::string* error);
bool RemoveFile(const std::string& path);

// A file the packer is making (OUT.partial, a spill file, a file being unpacked), removed if the
// program is interrupted (Ctrl+C, SIGTERM) while it is registered: an interrupted run leaves
// nothing half-made behind. Registering does not remove it otherwise; its owner does.
class RemovedOnInterrupt {
 public:
  RemovedOnInterrupt() = default;
  explicit RemovedOnInterrupt(const std::string& path);
  RemovedOnInterrupt(RemovedOnInterrupt&& other) noexcept : slot_(std::exchange(other.slot_, -1)) {}
  RemovedOnInterrupt& operator=(RemovedOnInterrupt&& other) noexcept;
  ~RemovedOnInterrupt() { Release(); }
  void Release();  // the owner has dealt with the file

 private:
  int slot_ = -1;
};
// Installs the handler that removes the registered files and then ends the program as the
// signal would have. Called once, at the start.
void RemoveFilesOnInterrupt();
// For the handlers (platform.cpp): removes every registered file; and the system's removal of
// one path, safe inside a signal handler.
void RemoveRegisteredFiles();
void RemoveFileNow(const char* path);
// Writes bytes over an existing file's bytes at offset (a file this program made).
bool OverwriteAt(const std::string& path, std::uint64_t offset, ByteView bytes, std::string* error);
// Moves a file over another (the target is replaced).
bool MoveFileOver(const std::string& from, const std::string& to, std::string* error);
// An absolute form of the path, without "." and ".." pieces (links are not resolved).
std::string AbsolutePath(const std::string& path);

// The packer's own executable file.
std::string SelfExecutable();

// Today's date in the local time zone, "YYYY-MM-DD".
std::string TodayLocal();

// An environment variable, or false when it is not set.
bool GetEnvironment(const char* name, std::string* value);

// The console. Texts are UTF-8; a Windows console gets them as UTF-16.
bool StderrIsTerminal();
void WriteStdout(std::string_view text);
void WriteStderr(std::string_view text);

}  // namespace zv::pack
