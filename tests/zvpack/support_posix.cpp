// Test helpers that need the system's own calls: POSIX side.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/zvpack/support.h"
#include "tools/zvpack/filetime.h"

namespace zv::pack::test {

void SetLastWrite(const std::string& path, std::uint64_t fileTime) {
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
  UnixFromFileTime(fileTime, &seconds, &nanoseconds);
  const struct timespec times[2] = {{0, UTIME_OMIT},
                                    {static_cast<time_t>(seconds), static_cast<long>(nanoseconds)}};
  if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    throw std::runtime_error("cannot set the time of " + path);
  }
}

std::uint64_t LastWrite(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) throw std::runtime_error("cannot stat " + path);
  return FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

RunResult RunBinary(const std::vector<std::string>& args) {
  char outName[] = "/tmp/zvpack-run-out-XXXXXX";
  char errName[] = "/tmp/zvpack-run-err-XXXXXX";
  const int out = ::mkstemp(outName);
  const int err = ::mkstemp(errName);
  RunResult result;
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(ZVPACK_BINARY)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(ZVPACK_BINARY, argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ::close(out);
  ::close(err);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadBytes(outName);
  result.err = ReadBytes(errName);
  ::unlink(outName);
  ::unlink(errName);
  return result;
}

}  // namespace zv::pack::test
