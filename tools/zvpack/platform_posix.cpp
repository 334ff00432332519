// The packer's system layer on Linux (and other POSIX systems). Paths are the system's bytes,
// so std::filesystem takes them as they are.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "tools/zvpack/filetime.h"
#include "tools/zvpack/platform.h"

namespace zv::pack {
namespace {

namespace fs = std::filesystem;

bool Fail(std::string* error, const std::string& reason = LastSystemError()) {
  if (error) *error = reason;
  return false;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

void WriteStream(int fd, std::string_view text) { WriteAll(fd, text.data(), text.size()); }

int Descriptor(const Owned<SystemFileTraits>& file) { return static_cast<int>(file.get()); }

}  // namespace

std::string LastSystemError() { return std::strerror(errno); }

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

// One lstat gives the kind (a link as a link), the size and the time to the nanosecond.
// std::filesystem's clock would not do for the time: it counts nanoseconds from 2174 in 64
// bits, so it ends before 1678, while a FILETIME reaches back to 1601.
Node Inspect(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return {};
  Node node;
  if (S_ISREG(st.st_mode)) {
    node.kind = NodeKind::kFile;
    node.size = static_cast<std::uint64_t>(st.st_size);
  } else if (S_ISDIR(st.st_mode)) {
    node.kind = NodeKind::kFolder;
  } else if (S_ISLNK(st.st_mode)) {
    node.kind = NodeKind::kLink;
  } else {
    node.kind = NodeKind::kOther;
  }
  node.lastWrite = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  node.device = static_cast<std::uint64_t>(st.st_dev);
  node.inode = static_cast<std::uint64_t>(st.st_ino);
  node.changed = FileTimeFromUnix(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
  return node;
}

bool ListFolder(const std::string& path, std::vector<DirItem>* items, std::string* error) {
  std::error_code code;
  items->clear();
  for (fs::directory_iterator it(path, code), end; !code && it != end; it.increment(code)) {
    DirItem item;
    item.name = it->path().filename().native();
    item.node = Inspect(it->path().native());
    items->push_back(std::move(item));
  }
  return !code || Fail(error, code.message());
}

bool InputFile::Open(const std::string& path, std::string* error) {
  if (reader_.Open(Utf8ToWide(path), /*allowWriters=*/true)) return true;
  return Fail(error, LastSystemError());
}

bool InputFile::OpenScanned(const std::string& path, const Node& scanned, std::string* error) {
  Owned<SystemFileTraits> file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!file) {
    return Fail(error, errno == ELOOP ? "it became a symbolic link after the folder was read"
                                      : LastSystemError());
  }
  struct stat st {};
  if (::fstat(static_cast<int>(file.get()), &st) != 0) return Fail(error);
  if (!S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_dev) != scanned.device ||
      static_cast<std::uint64_t>(st.st_ino) != scanned.inode ||
      FileTimeFromUnix(st.st_ctim.tv_sec, st.st_ctim.tv_nsec) != scanned.changed) {
    return Fail(error, "it was replaced or changed after the folder was read");
  }
  reader_.Adopt(std::move(file), static_cast<std::uint64_t>(st.st_size));
  return true;
}

bool OutputFile::Create(const std::string& path, std::string* error) {
  // A link at the path is removed first, so the write never lands where the link points.
  if (Inspect(path).kind == NodeKind::kLink && ::unlink(path.c_str()) != 0) return Fail(error);
  Owned<SystemFileTraits> file(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
  if (!file) return Fail(error);
  file_ = std::move(file);
  hasTime_ = false;
  return true;
}

bool OutputFile::Write(ByteView bytes, std::string* error) {
  return WriteAll(Descriptor(file_), bytes.data(), bytes.size()) || Fail(error);
}

bool OutputFile::Close(std::string* error) {
  if (hasTime_) {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    UnixFromFileTime(lastWrite_, &seconds, &nanoseconds);
    const struct timespec times[2] = {
        {0, UTIME_OMIT}, {static_cast<time_t>(seconds), static_cast<long>(nanoseconds)}};
    if (::futimens(Descriptor(file_), times) != 0) return Fail(error);
  }
  return ::close(static_cast<int>(file_.release())) == 0 || Fail(error);
}

std::string PathLengthProblem(const std::string& path) {
  if (path.size() >= PATH_MAX) {
    return "the path has " + std::to_string(path.size()) + " bytes; this system takes at most " +
           std::to_string(PATH_MAX - 1) + " (PATH_MAX)";
  }
  for (std::size_t start = 0; start < path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    if (end - start > NAME_MAX) {
      return "a name in it has " + std::to_string(end - start) + " bytes; this system takes at most " +
             std::to_string(NAME_MAX) + " (NAME_MAX)";
    }
    start = end + 1;
  }
  return {};
}

bool CreateFolders(const std::string& path, std::string* error) {
  std::error_code code;
  fs::create_directories(path, code);
  return !code || Fail(error, code.message());
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

void RemoveFileNow(const char* path) { ::unlink(path); }

bool OverwriteAt(const std::string& path, std::uint64_t offset, ByteView bytes, std::string* error) {
  Owned<SystemFileTraits> file(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!file) return Fail(error);
  while (!bytes.empty()) {
    const ssize_t n = ::pwrite(Descriptor(file), bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(error);
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

void RemoveFilesOnInterrupt() {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    ::signal(signal, [](int caught) {
      RemoveRegisteredFiles();
      ::signal(caught, SIG_DFL);  // then end as the signal would have
      ::raise(caught);
    });
  }
}

bool MoveFileOver(const std::string& from, const std::string& to, std::string* error) {
  return ::rename(from.c_str(), to.c_str()) == 0 || Fail(error);
}

std::string AbsolutePath(const std::string& path) {
  std::error_code code;
  const fs::path absolute = fs::absolute(path, code).lexically_normal();
  if (code) return path;
  std::string result = absolute.native();
  if (result.size() > 1 && result.back() == '/') result.pop_back();  // "a/b/" names "a/b"
  return result;
}

std::string SelfExecutable() {
  std::error_code code;
  return fs::read_symlink("/proc/self/exe", code).native();
}

std::string TodayLocal() {
  const std::time_t now = std::time(nullptr);
  std::tm local {};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

bool GetEnvironment(const char* name, std::string* value) {
  const char* text = std::getenv(name);
  if (!text) return false;
  *value = text;
  return true;
}

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }
void WriteStdout(std::string_view text) { WriteStream(STDOUT_FILENO, text); }
void WriteStderr(std::string_view text) { WriteStream(STDERR_FILENO, text); }

}  // namespace zv::pack
