// The whole bit-flip sweep behind scripts/bench-bitflip: every bit of every package byte after
// the marker is flipped in turn and judged in-process as zvpack's readers judge it (FlipJudge),
// and the verdicts are counted per installer, for the whole package and for record 0 (its length
// field and the information block) on its own.
//
//   bitflip_sweep [--threads N] INSTALLER...
//
// Exit code 1 when any flip escaped (or failed otherwise than as damage).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/zvpack/bitflip.h"
#include "tests/zvpack/support.h"
#include "tools/zvpack/inspect.h"

namespace zv::pack::test {
namespace {

struct Counts {
  std::uint64_t flips = 0, refused = 0, equivalent = 0, escaped = 0, failed = 0;
  void Add(FlipVerdict verdict) {
    ++flips;
    switch (verdict) {
      case FlipVerdict::Refused: ++refused; break;
      case FlipVerdict::Equivalent: ++equivalent; break;
      case FlipVerdict::Escaped: ++escaped; break;
      case FlipVerdict::Failed: ++failed; break;
    }
  }
  void Add(const Counts& other) {
    flips += other.flips;
    refused += other.refused;
    equivalent += other.equivalent;
    escaped += other.escaped;
    failed += other.failed;
  }
};

void Print(const char* what, const Counts& counts) {
  std::printf("  %-9s %9llu flips: %9llu refused, %6llu equivalent, %llu ESCAPED, %llu failed otherwise\n",
              what, static_cast<unsigned long long>(counts.flips), static_cast<unsigned long long>(counts.refused),
              static_cast<unsigned long long>(counts.equivalent), static_cast<unsigned long long>(counts.escaped),
              static_cast<unsigned long long>(counts.failed));
}

// Sweeps one installer; true when nothing escaped.
bool Sweep(const std::string& installer, unsigned threads) {
  // Each thread flips a copy of its own.
  std::vector<ScratchFolder> scratch(threads);
  std::vector<FlipJudge> judges;
  for (ScratchFolder& folder : scratch) {
    const std::string copy = folder / "setup.exe";
    std::filesystem::copy_file(FsPath(installer), FsPath(copy));
    std::filesystem::create_directory(FsPath(folder / "work"));
    judges.emplace_back(copy, folder / "work");
  }
  const std::uint64_t start = judges.front().PackageStart();
  const std::uint64_t end = judges.front().FileSize();
  const std::uint64_t record0End = start + LocateRecord(InstallerSource(installer), kFirstRecordOffset).Next;

  std::atomic<std::uint64_t> next = start;
  std::mutex lock;
  Counts whole, record0;
  std::vector<std::string> escapes;
  const auto began = std::chrono::steady_clock::now();
  const auto work = [&](FlipJudge& judge) {
    Counts mine, mine0;
    for (std::uint64_t offset; (offset = next++) < end;) {
      for (int bit = 0; bit < 8; ++bit) {
        const FlipVerdict verdict = judge.Judge(offset, bit);
        mine.Add(verdict);
        if (offset >= start + kFirstRecordOffset && offset < record0End) mine0.Add(verdict);
        if (verdict == FlipVerdict::Escaped || verdict == FlipVerdict::Failed) {
          const std::lock_guard<std::mutex> hold(lock);
          escapes.push_back((verdict == FlipVerdict::Escaped ? "escaped: " : "failed: ") +
                            std::string("package byte ") + std::to_string(offset - start) + " bit " +
                            std::to_string(bit));
        }
      }
    }
    const std::lock_guard<std::mutex> hold(lock);
    whole.Add(mine);
    record0.Add(mine0);
  };
  std::vector<std::thread> running;
  for (FlipJudge& judge : judges) running.emplace_back(work, std::ref(judge));
  for (std::thread& thread : running) thread.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

  std::printf("%s: %llu package bytes after the marker (record 0: %llu), %u thread%s, %.1f s\n",
              installer.c_str(), static_cast<unsigned long long>(end - start),
              static_cast<unsigned long long>(record0End - start - kFirstRecordOffset), threads,
              threads == 1 ? "" : "s", seconds);
  Print("package", whole);
  Print("record 0", record0);
  for (std::size_t i = 0; i < escapes.size() && i < 20; ++i) std::printf("  %s\n", escapes[i].c_str());
  std::fflush(stdout);
  return whole.escaped == 0 && whole.failed == 0;
}

}  // namespace
}  // namespace zv::pack::test

int main(int argc, char** argv) {
  unsigned threads = 1;
  std::vector<std::string> installers;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
      threads = static_cast<unsigned>(std::max(1, std::atoi(argv[++i])));
    } else {
      installers.emplace_back(argv[i]);
    }
  }
  if (installers.empty()) {
    std::fprintf(stderr, "usage: bitflip_sweep [--threads N] INSTALLER...\n");
    return 2;
  }
  bool clean = true;
  for (const std::string& installer : installers) clean = zv::pack::test::Sweep(installer, threads) && clean;
  return clean ? 0 : 1;
}
