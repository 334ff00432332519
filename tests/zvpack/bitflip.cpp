#include "tests/zvpack/bitflip.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

#include "tests/zvpack/support.h"
#include "tools/zvpack/errors.h"
#include "tools/zvpack/inspect.h"

namespace zv::pack::test {

FlipJudge::FlipJudge(std::string installer, std::string scratch)
    : installer_(std::move(installer)), scratch_(std::move(scratch)) {
  packageStart_ = InstallerSource(installer_).PackageStart();
  fileSize_ = std::filesystem::file_size(FsPath(installer_));
  if (Refusals() != 0) throw std::runtime_error(installer_ + " is not a sound package");
  sound_ = Read();
}

FlipVerdict FlipJudge::Judge(std::uint64_t offset, int bit) {
  Flip(offset, bit);
  const FlipVerdict verdict = Classify();
  Flip(offset, bit);
  return verdict;
}

void FlipJudge::Flip(std::uint64_t offset, int bit) const {
  std::fstream file(FsPath(installer_), std::ios::in | std::ios::out | std::ios::binary);
  file.seekg(static_cast<std::streamoff>(offset));
  char byte = 0;
  file.get(byte);
  byte = static_cast<char>(byte ^ (1 << bit));
  file.seekp(static_cast<std::streamoff>(offset));
  file.put(byte);
  if (!file.flush()) throw std::runtime_error("cannot flip a bit of " + installer_);
}

FlipJudge::Reading FlipJudge::Read() const {
  Reading reading;
  const OpenPackage package = OpenInstaller(installer_);
  reading.infoLines = package.infoLines;
  for (const PackageEntry& entry : package.entries) {
    reading.entries.push_back((entry.folder ? "folder " : "file ") + std::to_string(entry.fileTime) + " " +
                              std::to_string(entry.size) + " " + entry.path);
  }
  const std::string out = scratch_ + "/out";
  ExtractOptions options;
  options.threads = 1;
  ExtractInstaller(installer_, out, options);
  reading.contents = Snapshot(out);
  std::filesystem::remove_all(FsPath(out));
  return reading;
}

int FlipJudge::Refusals() const {
  int refusals = 0;
  try {
    refusals += !VerifyInstaller(installer_).problems.empty();
  } catch (const PackError& error) {
    if (error.ExitCode() != kExitDamaged) return -1;
    ++refusals;
  }
  try {
    OpenInstaller(installer_);
  } catch (const PackError& error) {
    if (error.ExitCode() != kExitDamaged) return -1;
    ++refusals;
  }
  return refusals;
}

FlipVerdict FlipJudge::Classify() const {
  const int refusals = Refusals();
  if (refusals < 0) return FlipVerdict::Failed;
  if (refusals == 2) return FlipVerdict::Refused;
  // Let through by one of them or both: it must read as the sound package does.
  try {
    return Read() == sound_ ? FlipVerdict::Equivalent : FlipVerdict::Escaped;
  } catch (const PackError&) {
    std::filesystem::remove_all(FsPath(scratch_ + "/out"));
    return FlipVerdict::Escaped;
  }
}

}  // namespace zv::pack::test
