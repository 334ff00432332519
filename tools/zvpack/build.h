// "zvpack build": a folder becomes an installer (the stub with a package appended).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/writer.h"
#include "tools/zvpack/branding.h"

namespace zv::pack {

class ProgressLine;

struct BuildOptions {
  std::string source;       // folder to pack
  std::string output;       // installer to write (replaced if it exists)
  std::string stub;         // empty: FindDefaultStub()
  std::string name;         // "名称=": display name, default folder and shortcut name
  std::string program;      // "文件名=": a file of the tree, "/" or "\" between levels
  std::int64_t id = 0;      // "编号="
  std::string version;      // "版本号="
  std::optional<std::string> date;  // "日期="; unset: DefaultDate()
  std::string description;  // "说明="
  BrandingOptions branding;  // the installer's icon and version block; none: the stub as it is
  unsigned threads = 0;     // 0: every core
  std::uint64_t memoryBudget = 0;  // 0: DefaultMemoryBudget()
  EncodeOptions encode = PackEncodeOptions();
  // Receives notes for the user (time stamps that had to move); may be empty.
  std::function<void(std::string_view)> note;
  ProgressLine* progress = nullptr;

  // The encoder settings the packer uses (normal LZMA level, binary-tree match finder; the
  // quickest settings for data LZMA cannot shrink).
  static EncodeOptions PackEncodeOptions();
};

struct TimeAdjustment {
  std::string path;  // package path
  std::uint64_t from = 0;
  std::uint64_t to = 0;
};

struct BuildResult {
  std::size_t files = 0;
  std::size_t folders = 0;
  std::uint64_t sourceBytes = 0;   // bytes of the packed files
  std::uint64_t stubBytes = 0;
  std::uint64_t packageBytes = 0;  // marker to the end: what the build appended to the stub
  std::string programPath;         // "文件名=" as stored
  std::vector<TimeAdjustment> adjusted;
};

// Builds the installer. Throws PackError (exit code 1) naming the file and the reason for
// every input it refuses. The output appears only when the build succeeds (it is written
// beside the target and renamed at the end).
BuildResult BuildInstaller(const BuildOptions& options);

// The first zvsetup.exe of: next to the packer, the Windows build's bin folder seen from the
// native packer (../../win32/bin), build/win32/bin below the current folder. Empty if none.
std::string FindDefaultStub();

// Today (local), or the UTC day of SOURCE_DATE_EPOCH when that is set. Throws PackError when
// SOURCE_DATE_EPOCH is not a number of seconds.
std::string DefaultDate();

}  // namespace zv::pack
