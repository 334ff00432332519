// Helpers for the packer's tests: scratch folders, trees with exact time stamps, hand-made
// installers and running the built zvpack program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "package/format.h"

namespace zv::pack::test {

// A path from UTF-8 (raw bytes on POSIX, so invalid names can be made there).
std::filesystem::path FsPath(const std::string& utf8);

// A new empty folder, removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& relative) const;  // "/" in relative allowed

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
void MakeFolders(const std::string& path);

// The last-write time of a file, set and read through the system's own calls (FILETIME ticks).
void SetLastWrite(const std::string& path, std::uint64_t fileTime);
std::uint64_t LastWrite(const std::string& path);

// Everything below a folder: relative path ("/" between levels) -> "DIR" for folders, or the
// file's contents.
std::map<std::string, Bytes> Snapshot(const std::string& folder);

// A fake installer stub: bytes that do not hold the marker.
Bytes FakeStub();

// An installer made by hand: FakeStub, marker, magic, the information and list blocks as
// given (already decoded: they are encoded here), then the content records as given (already
// encoded blocks), then CR LF.
Bytes HandMadeInstaller(const Bytes& info, const Bytes& list, const std::vector<Bytes>& blocks);
// The same with the information and list blocks already encoded.
Bytes HandMadeInstallerFromBlocks(const Bytes& infoBlock, const Bytes& listBlock,
                                  const std::vector<Bytes>& blocks);
// A file list entry: "DIR" + path, or 8 FILETIME bytes + path.
Bytes FolderEntry(const std::string& path);
Bytes FileEntry(std::uint64_t fileTime, const std::string& path);
Bytes JoinEntries(const std::vector<Bytes>& entries);

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
// Runs the built zvpack program with these arguments (UTF-8).
RunResult RunBinary(const std::vector<std::string>& args);
// Runs zvpack in-process (RunZvpack) and captures nothing; returns the exit code.
int RunInProcess(const std::vector<std::string>& args);

// A time with all seven tick digits in use, well inside the FILETIME range.
inline constexpr std::uint64_t kSampleTime = 133'512'345'678'901'234ULL;  // 2024-02-01T04:16:07.8901234Z

}  // namespace zv::pack::test
