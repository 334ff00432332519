// The packer's system layer on Linux (and other POSIX systems).
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "tools/zvpack/filetime.h"
#include "tools/zvpack/platform.h"

namespace zv::pack {
namespace {

std::string SystemMessage(int code) { return std::strerror(code); }

bool Fail(std::string* error, int code) {
  if (error) *error = SystemMessage(code);
  return false;
}

Node NodeFromStat(const struct stat& st) {
  Node node;
  if (S_ISREG(st.st_mode)) {
    node.kind = NodeKind::kFile;
  } else if (S_ISDIR(st.st_mode)) {
    node.kind = NodeKind::kFolder;
  } else if (S_ISLNK(st.st_mode)) {
    node.kind = NodeKind::kLink;
  } else {
    node.kind = NodeKind::kOther;
  }
  node.size = node.kind == NodeKind::kFile ? static_cast<std::uint64_t>(st.st_size) : 0;
  node.lastWrite = FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
  return node;
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

}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

Node Inspect(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return {};
  return NodeFromStat(st);
}

bool ListFolder(const std::string& path, std::vector<DirItem>* items, std::string* error) {
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return Fail(error, errno);
  items->clear();
  errno = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    DirItem item;
    item.name = name;
    item.node = Inspect(JoinPath(path, name));
    items->push_back(std::move(item));
    errno = 0;
  }
  const int code = errno;
  ::closedir(dir);
  if (code != 0) return Fail(error, code);
  return true;
}

bool CloseSystemFile(std::intptr_t value) { return ::close(static_cast<int>(value)) == 0; }

bool InputFile::Open(const std::string& path, std::string* error) {
  SystemFile file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.Valid()) return Fail(error, errno);
  struct stat st {};
  if (::fstat(static_cast<int>(file.Get()), &st) != 0) return Fail(error, errno);
  if (S_ISDIR(st.st_mode)) return Fail(error, EISDIR);
  size_ = static_cast<std::uint64_t>(st.st_size);
  file_ = std::move(file);
  return true;
}

bool InputFile::ReadAt(std::uint64_t offset, std::size_t count, Bytes* out, std::string* error) const {
  out->resize(count);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(static_cast<int>(file_.Get()), out->data() + done, count - done,
                                static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      out->clear();
      return Fail(error, errno);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  out->resize(done);
  return true;
}

bool OutputFile::Create(const std::string& path, std::string* error) {
  // A link at the path is removed first, so the write never lands where the link points.
  if (Inspect(path).kind == NodeKind::kLink && ::unlink(path.c_str()) != 0) {
    return Fail(error, errno);
  }
  SystemFile file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
  if (!file.Valid()) return Fail(error, errno);
  file_ = std::move(file);
  hasTime_ = false;
  return true;
}

bool OutputFile::Write(ByteView bytes, std::string* error) {
  if (!WriteAll(static_cast<int>(file_.Get()), bytes.data(), bytes.size())) return Fail(error, errno);
  return true;
}

bool OutputFile::Close(std::string* error) {
  if (hasTime_) {
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    UnixFromFileTime(lastWrite_, &seconds, &nanoseconds);
    const struct timespec times[2] = {{0, UTIME_OMIT},
                                      {static_cast<time_t>(seconds), static_cast<long>(nanoseconds)}};
    if (::futimens(static_cast<int>(file_.Get()), times) != 0) return Fail(error, errno);
  }
  if (!file_.Close()) return Fail(error, errno);
  return true;
}

bool CreateFolder(const std::string& path, std::string* error) {
  if (::mkdir(path.c_str(), 0755) == 0) return true;
  const int code = errno;
  if (code == EEXIST && Inspect(path).kind == NodeKind::kFolder) return true;
  return Fail(error, code);
}

bool CreateFolderTree(const std::string& path, std::string* error) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string level = path.substr(0, slash);
    if (Inspect(level).kind != NodeKind::kFolder) CreateFolder(level, nullptr);
  }
  return CreateFolder(path, error);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool MoveFileOver(const std::string& from, const std::string& to, std::string* error) {
  if (::rename(from.c_str(), to.c_str()) != 0) return Fail(error, errno);
  return true;
}

std::string AbsolutePath(const std::string& path) {
  std::string absolute = path;
  if (path.empty() || path[0] != '/') {
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer)) return path;
    absolute = JoinPath(buffer, path);
  }
  // Drop "." and resolve ".." textually.
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start <= absolute.size()) {
    std::size_t end = absolute.find('/', start);
    if (end == std::string::npos) end = absolute.size();
    const std::string piece = absolute.substr(start, end - start);
    if (piece == "..") {
      if (!pieces.empty()) pieces.pop_back();
    } else if (!piece.empty() && piece != ".") {
      pieces.push_back(piece);
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string& piece : pieces) result += "/" + piece;
  return result.empty() ? "/" : result;
}

std::string SelfExecutable() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return {};
  return std::string(buffer, static_cast<std::size_t>(length));
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
