// Single flipped bits in an installer, judged as zvpack's readers judge them: each flip must be
// refused by "verify" and by the opening that "list" and "extract" do before they print or write,
// or leave the package equivalent (the same information lines, entries and unpacked contents).
// Used by the packer's tests on a sample of positions and by scripts/bench-bitflip on all.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "package/format.h"

namespace zv::pack::test {

enum class FlipVerdict {
  Refused,     // verify and the opening both refuse it as damaged (exit code 2)
  Equivalent,  // accepted, and it reads as the sound package does
  Escaped,     // accepted by at least one of them, and it reads differently: damage let through
  Failed,      // refused, but not as damaged (exit code 1: out of memory, read error)
};

class FlipJudge {
 public:
  // installer: a sound installer file, flipped in place and restored after each judgement;
  // scratch: an empty folder for the unpacking that tells an accepted flip's effect.
  FlipJudge(std::string installer, std::string scratch);
  std::uint64_t PackageStart() const { return packageStart_; }  // file offset after the marker
  std::uint64_t FileSize() const { return fileSize_; }
  // The verdict on flipping bit (0..7) of the byte at offset in the file.
  FlipVerdict Judge(std::uint64_t offset, int bit);

 private:
  struct Reading {
    std::vector<std::pair<std::string, std::string>> infoLines;
    std::vector<std::string> entries;  // kind, time, size and path of each entry
    std::map<std::string, Bytes> contents;
    bool operator==(const Reading&) const = default;
  };
  Reading Read() const;
  int Refusals() const;  // of verify and the opening, as damaged; -1 when one fails otherwise
  FlipVerdict Classify() const;
  void Flip(std::uint64_t offset, int bit) const;

  std::string installer_;
  std::string scratch_;
  std::uint64_t packageStart_ = 0;
  std::uint64_t fileSize_ = 0;
  Reading sound_;
};

}  // namespace zv::pack::test
