// The parts of the system layer that need no system calls of their own.
#include "tools/zvpack/platform.h"

#include <atomic>
#include <cstring>

namespace zv::pack {

// The registered files, for the interrupt handler: fixed slots of copied paths, so that the
// handler reads them without locks or allocation.
constexpr int kInterruptSlots = 64;
constexpr std::size_t kInterruptPathMax = 4096;
char gInterruptPaths[kInterruptSlots][kInterruptPathMax];
std::atomic<bool> gInterruptUsed[kInterruptSlots];  // taken by a registration
std::atomic<bool> gInterruptLive[kInterruptSlots];  // its path is complete

RemovedOnInterrupt::RemovedOnInterrupt(const std::string& path) {
  if (path.size() >= kInterruptPathMax) return;
  for (int slot = 0; slot < kInterruptSlots; ++slot) {
    bool expected = false;
    if (!gInterruptUsed[slot].load() && gInterruptUsed[slot].compare_exchange_strong(expected, true)) {
      // Filled before it counts: the handler reads a slot only while it is marked live.
      std::memcpy(gInterruptPaths[slot], path.c_str(), path.size() + 1);
      gInterruptLive[slot].store(true);
      slot_ = slot;
      return;
    }
  }
}

RemovedOnInterrupt& RemovedOnInterrupt::operator=(RemovedOnInterrupt&& other) noexcept {
  if (this != &other) {
    Release();
    slot_ = std::exchange(other.slot_, -1);
  }
  return *this;
}

void RemovedOnInterrupt::Release() {
  if (slot_ < 0) return;
  gInterruptLive[slot_].store(false);
  gInterruptUsed[slot_].store(false);
  slot_ = -1;
}

void RemoveRegisteredFiles() {
  for (int slot = 0; slot < kInterruptSlots; ++slot) {
    if (gInterruptLive[slot].load()) RemoveFileNow(gInterruptPaths[slot]);
  }
}

bool InputFile::ReadInto(std::uint64_t offset, char* data, std::size_t count, std::size_t* got,
                         std::string* error) const {
  if (reader_.ReadAt(offset, data, count, got)) return true;
  if (error) *error = LastSystemError();  // FileReader leaves the failed call's reason
  return false;
}

bool InputFile::ReadAt(std::uint64_t offset, std::size_t count, Bytes* out, std::string* error) const {
  out->resize(count);
  std::size_t got = 0;
  if (!ReadInto(offset, out->data(), count, &got, error)) {
    out->clear();
    return false;
  }
  out->resize(got);
  return true;
}

bool ReadWholeFileAt(const std::string& path, Bytes* out, std::string* error) {
  InputFile file;
  if (!file.Open(path, error)) return false;
  out->clear();
  out->reserve(static_cast<std::size_t>(file.Size()));
  constexpr std::size_t kChunk = std::size_t{8} << 20;
  Bytes chunk;
  for (std::uint64_t offset = 0;; offset += chunk.size()) {
    if (!file.ReadAt(offset, kChunk, &chunk, error)) return false;
    if (chunk.empty()) return true;
    out->append(chunk);
  }
}

}  // namespace zv::pack
