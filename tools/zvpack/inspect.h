// Reading installers: "zvpack list", "zvpack extract" and "zvpack verify". The installer file
// is read piece by piece (a record at a time), never whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "package/container.h"
#include "package/contents.h"
#include "package/info.h"
#include "package/integrity.h"
#include "tools/zvpack/branding.h"
#include "tools/zvpack/platform.h"

namespace zv::pack {

class ProgressLine;

// The package of an installer file: the bytes after the marker, read on demand.
class InstallerSource final : public PackageSource {
 public:
  // Throws PackError: exit code 1 when the file cannot be read, 2 when it holds no marker.
  explicit InstallerSource(const std::string& path);
  std::uint64_t Size() const override { return file_.Size() - start_; }
  // A read error gives no bytes (as past the end would) and is kept: the package library's
  // callers never see an exception; CheckReads() raises it afterwards. Safe on several threads.
  ByteView Read(std::uint64_t offset, std::size_t length, Bytes& buffer) const override;
  void CheckReads() const;  // throws PackError (exit code 1) after a read error
  std::uint64_t PackageStart() const { return start_; }  // file offset after the marker

 private:
  std::string path_;
  InputFile file_;
  std::uint64_t start_ = 0;
  mutable std::mutex readErrorLock_;  // decoder threads read at once
  mutable std::string readError_;
};

struct PackageEntry {
  bool folder = false;
  std::string path;            // as stored (UTF-8, "\" between levels)
  std::uint64_t fileTime = 0;  // files: FILETIME ticks
  std::uint32_t size = 0;      // files: decoded size stated by the block
  RecordSpan record;           // files: where the content block lies
};

struct OpenPackage {
  std::string installer;
  std::unique_ptr<InstallerSource> source;
  std::vector<std::pair<std::string, std::string>> infoLines;  // key (without "="), value
  PackageInfo info;
  IntegrityLine integrity;  // the "CRC32ALL=" (or older "CRC32=") line, if any
  PackageContents contents;  // as the package library read them (without the information)
  std::vector<PackageEntry> entries;  // contents.Entries as zvpack shows them, index for index
  std::size_t files = 0;
  std::size_t folders = 0;
  std::uint64_t bytes = 0;  // decoded size of all files
  std::size_t longestPath = 0;  // UTF-16 units of the longest entry path
  InstallerResources resources;  // the program image's icon and version block, as listed
  // The longest target folder (typed, without its final "\") the installer can write every
  // entry below (PlainPathRoom); 0 when not even the shortest it takes ("C:\a") will do.
  std::size_t longestTarget = 0;
};

// Opens an installer and checks everything an extractor relies on before it writes: marker,
// magic, an information block and a file list that decode, every path a safe, relative name
// Windows can create, every folder listed before what lies inside it, and every file's record
// wholly inside the file, and with checkIntegrity the integrity line ("zvpack verify" checks it
// after the blocks). Content blocks are not decoded. Throws PackError (2 = damaged or unsafe,
// 1 = cannot read).
OpenPackage OpenInstaller(const std::string& path, bool checkIntegrity = true);

// "zvpack list": the information lines, then one line per entry (kind, size, last-write time
// in UTC, path) and a total.
std::string FormatListing(const OpenPackage& package);
// The same as a JSON document (its shape is in the README). Keys, values and paths are cut as
// the listing cuts them (kShownUnits), and say so.
std::string ListingJson(const OpenPackage& package);

struct ExtractOptions {
  bool force = false;  // unpack into a folder that is not empty (files listed are replaced)
  ProgressLine* progress = nullptr;
  unsigned threads = 0;  // decoder threads (0: every core)
};
struct ExtractResult {
  std::size_t files = 0;
  std::size_t folders = 0;
  std::uint64_t bytes = 0;
};
// "zvpack extract": what the installer does, without a window: the listed folders, then every
// file with its stored last-write time, below destination (created when missing). Refuses
// (before writing anything) a damaged or unsafe package (also one failing its integrity line),
// a destination that is not empty unless force is set, and anything in the way that is not of
// the listed kind or is a link.
// A content block that does not decode stops the extraction (exit code 2); that file is not
// written, never left empty.
ExtractResult ExtractInstaller(const std::string& installer, const std::string& destination,
                               const ExtractOptions& options = {});

struct VerifyResult {
  std::size_t files = 0;
  std::size_t folders = 0;
  std::uint64_t bytes = 0;
  std::vector<std::string> problems;  // one line per block that does not decode, and a
                                      // package whose bytes fail its integrity line
  std::vector<std::string> notes;     // things an installer survives but a user should know
  Integrity integrity = Integrity::NoKey;
  std::size_t longestPath = 0;  // as OpenPackage has them
  std::size_t longestTarget = 0;
};
// "zvpack verify": OpenInstaller's checks, then every content block decoded. The package is
// sound when problems is empty.
VerifyResult VerifyInstaller(const std::string& installer, ProgressLine* progress = nullptr);

}  // namespace zv::pack
