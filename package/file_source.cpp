// Reading the package from the installer file by offset.
#include "package/file_source.h"

#include <algorithm>

#include "base/try_alloc.h"
#include "package/format.h"

namespace zv {
namespace {

// Enough to find the marker behind a stub of any size in a few reads, little enough to stay
// out of the way of the memory the extraction needs.
constexpr std::size_t kScanPiece = std::size_t{64} << 10;

}  // namespace

std::optional<std::uint64_t> FindMarkerInFile(const FileReader& file, bool* readFailed) {
  const Bytes marker = AssembleMarker();
  // Each piece starts with the last kMarkerSize - 1 bytes of the one before, so a marker that
  // straddles two reads is found whole.
  Bytes piece(kMarkerSize - 1 + kScanPiece, '\0');
  std::size_t kept = 0;
  for (std::uint64_t offset = 0;;) {
    std::size_t got = 0;
    if (!file.ReadAt(offset, piece.data() + kept, kScanPiece, &got)) {
      if (readFailed) *readFailed = true;
      return std::nullopt;
    }
    const ByteView view(piece.data(), kept + got);
    const std::size_t at = view.find(marker);
    if (at != ByteView::npos) return offset - kept + at;
    if (got == 0) return std::nullopt;
    offset += got;
    kept = std::min(view.size(), kMarkerSize - 1);
    std::copy(view.end() - static_cast<std::ptrdiff_t>(kept), view.end(), piece.begin());
  }
}

FilePackageSource::Status FilePackageSource::Open(const Text& installer) {
  file_ = FileReader();
  start_ = size_ = 0;
  FileReader file;
  if (!file.Open(installer, false)) return Status::NoFile;
  const std::optional<std::uint64_t> marker = FindMarkerInFile(file);
  if (!marker) return Status::NoMarker;
  start_ = *marker + kMarkerSize;
  size_ = file.Size() - start_;
  file_ = std::move(file);
  return Status::Ok;
}

ByteView FilePackageSource::Read(std::uint64_t offset, std::size_t length, Bytes& buffer) const {
  if (offset >= size_) return {};
  length = static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset));
  if (!TryResize(buffer, length)) return {};
  std::size_t got = 0;
  file_.ReadAt(start_ + offset, buffer.data(), length, &got);
  return ByteView(buffer.data(), got);
}

}  // namespace zv
