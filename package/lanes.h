// Large files decoded ahead of their turn. A file larger than a batch of decoding ahead decodes
// on one thread at the codec's speed, which leaves the other processors idle; lanes (one thread
// each) take the next large files of the list, each into a holder the sink makes (the installer:
// a file of its own in the target folder, marked for removal until it is kept), so that several
// large files decode at once. At a file's turn the writer takes what its lane made; the sink
// sees every file in list order as before.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/text.h"
#include "base/thread.h"
#include "package/container.h"
#include "package/decode_ahead.h"
#include "package/file_list.h"

namespace zv {

// The bytes of a file decoded before its turn, held by the sink until the file's turn.
class AsideFile {
 public:
  // On the lane's thread: the next bytes. False: they cannot be held.
  virtual bool Write(ByteView piece) = 0;

 protected:
  ~AsideFile() = default;
};

// The part of a sink that lanes call.
class AsideSink {
 public:
  // On a lane's thread, at any time while the writer works: a holder for the bytes of entry
  // index, or null when there is none to be had (the writer then streams the file at its turn).
  virtual AsideFile* Aside(std::size_t) { return nullptr; }
  // On the writer's thread: a holder that is not kept; it goes with what it holds.
  virtual void Discard(AsideFile&) {}

 protected:
  ~AsideSink() = default;
};

// What a lane made of a file, taken at its turn.
struct LaneFile {
  AsideFile* Holder = nullptr;  // null: no lane took the file, or its holder is discarded
  bool Whole = false;           // the holder has every byte
  bool WriteFailed = false;     // the holder did not take them all
};

// A lane decodes with at most this window: what the packer reaches back. A stream that reaches
// further (another packer's, or a damaged one) fails in its lane and is streamed by the writer
// with the whole window, so it costs time, never a file.
inline constexpr std::uint32_t kLaneWindow = std::uint32_t{32} << 20;
// The windows of the streams decoding at once (lanes and the writer's own): three lanes, or the
// writer's largest stream and one lane.
inline constexpr std::uint64_t kStreamBudget = std::uint64_t{96} << 20;
// Files a lane may hold ahead of the writer (decoding or decoded).
inline constexpr std::size_t kLaneFiles = 8;

class Lanes {
 public:
  // The content records from offset belong to the file entries of entries, in order; files
  // larger than kAheadBudget go to lanes, at most lanes threads (none: the writer streams them
  // all).
  Lanes(const PackageSource& source, std::uint64_t offset, const std::vector<FileListEntry>& entries,
        int lanes);
  Lanes(const Lanes&) = delete;
  Lanes& operator=(const Lanes&) = delete;
  ~Lanes() { Stop(); }

  // Starts the lanes, which get their holders from sink.
  void Start(AsideSink& sink);
  // At the turn of the ordinal-th file (one larger than kAheadBudget): waits while a lane has it and
  // hands over what it made. No lane will take it afterwards.
  LaneFile Take(std::size_t ordinal);
  // Around the writer's own stream of a large file: its window counts against the budget (the
  // writer waits for lanes to end their files when it would go over).
  void Reserve(std::uint32_t window);
  void Release(std::uint32_t window);
  // Stops the lanes and waits for them; the holders not taken are discarded.
  void Stop();

 private:
  struct Task {
    std::size_t Ordinal = 0;
    std::size_t Entry = 0;
    RecordSpan Record;
    std::uint32_t Window = 0;
    bool Busy = false;  // the slot is in use
    bool Ended = false;
    LaneFile Made;
  };
  static void Run(void* self);
  void Work();
  bool Walk();
  Task* Claim();

  const PackageSource& source_;
  const std::vector<FileListEntry>& entries_;
  int lanes_;
  AsideSink* sink_ = nullptr;
  Monitor monitor_;
  // Everything below is the monitor's.
  std::uint64_t offset_;     // the next content record to look at...
  std::size_t ordinal_ = 0;  // ...its place among them...
  std::size_t entry_ = 0;    // ...and among the entries
  bool found_ = false;       // the next large file, not yet taken by a lane:
  Task next_;
  std::size_t writerAt_ = 0;  // files before this one are the writer's
  bool writerWaits_ = false;  // for memory: lanes take no further file
  std::uint64_t used_ = 0;    // windows of the streams decoding
  std::atomic<bool> stop_{false};
  Task tasks_[kLaneFiles];
  JoinableThread threads_[kMaxDecoders];
};

}  // namespace zv
