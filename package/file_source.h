// Reading the package from the installer file by offset.
#pragma once

#include <cstdint>
#include <optional>

#include "base/file.h"
#include "base/text.h"
#include "package/container.h"

namespace zv {

// The package inside an installer file, read by offset: never the whole file, so its size is
// limited neither by memory nor by 32 bits. Offsets count from after the marker.
class FilePackageSource final : public PackageSource {
 public:
  enum class Status {
    Ok,
    NoFile,    // the installer cannot be opened (missing, open for writing elsewhere) or read
    NoMarker,  // no marker anywhere in the file
  };
  // Opens the installer with read sharing only and finds the first marker, reading from the
  // start in pieces of a bounded size (the marker lies right after the stub's image). Any
  // earlier file is closed first; on failure the source is empty.
  Status Open(const Text& installer);
  std::uint64_t Size() const override { return size_; }
  // A read error gives the bytes read up to it, as if the file ended there.
  ByteView Read(std::uint64_t offset, std::size_t length, Bytes& buffer) const override;

 private:
  FileReader file_;
  std::uint64_t start_ = 0;  // where the package begins in the file
  std::uint64_t size_ = 0;
};

// Offset of the first marker in a file, reading it piece by piece; nullopt when there is none
// or the file cannot be read (then *readFailed, when given, is set, and the system's last error
// tells why).
std::optional<std::uint64_t> FindMarkerInFile(const FileReader& file, bool* readFailed = nullptr);

}  // namespace zv
