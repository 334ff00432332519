// Large files decoded ahead of their turn, on lanes.
#include "package/lanes.h"

#include <algorithm>

#include "package/stream_decode.h"

namespace zv {

Lanes::Lanes(const PackageSource& source, std::uint64_t offset, const std::vector<FileListEntry>& entries,
             int lanes)
    : source_(source), entries_(entries), lanes_(std::clamp(lanes, 0, kMaxDecoders)), offset_(offset) {}

void Lanes::Start(AsideSink& sink) {
  sink_ = &sink;
  // A lane that cannot start leaves its files to the writer.
  for (int lane = 0; lane < lanes_; ++lane) threads_[lane].Start(Run, this);
}

void Lanes::Run(void* self) { static_cast<Lanes*>(self)->Work(); }

// Held. Looks for the next large file from where the last look ended; false when the list has
// no further one.
bool Lanes::Walk() {
  Bytes buffer;
  while (!stop_) {
    while (entry_ < entries_.size() && entries_[entry_].IsFolder) ++entry_;
    if (entry_ == entries_.size()) break;
    const SizedRecord found = LocateSizedRecord(source_, offset_, buffer);
    next_.Record = found.Record;
    next_.Ordinal = ordinal_++;
    next_.Entry = entry_++;
    offset_ = found.Record.Next;
    if (found.Size > kAheadBudget) {
      next_.Window = std::min(kLaneWindow, found.Size);
      next_.Busy = true;
      return found_ = true;
    }
  }
  return false;
}

// Held. The next large file the writer has not reached, once a slot and memory for it are
// free; null when there is none or the lanes stop.
Lanes::Task* Lanes::Claim() {
  while (!stop_) {
    if (!found_) {
      if (!Walk()) return nullptr;
      continue;
    }
    if (next_.Ordinal < writerAt_) {  // the writer got there first and streams it
      found_ = false;
      continue;
    }
    Task* slot = std::find_if(tasks_, tasks_ + kLaneFiles, [](const Task& task) { return !task.Busy; });
    if (slot != tasks_ + kLaneFiles && !writerWaits_ && used_ + next_.Window <= kStreamBudget) {
      *slot = next_;
      found_ = false;
      used_ += slot->Window;
      return slot;
    }
    monitor_.Wait();
  }
  return nullptr;
}

void Lanes::Work() {
  monitor_.Lock();
  while (Task* task = Claim()) {
    monitor_.Unlock();
    LaneFile made;
    made.Holder = sink_->Aside(task->Entry);
    if (made.Holder) {
      const StreamedBlock block = DecodeRecordStream(
          source_, task->Record,
          [&](ByteView piece) {
            if (stop_) return false;
            made.WriteFailed = !made.Holder->Write(piece);
            return !made.WriteFailed;
          },
          true, kLaneWindow);
      made.Whole = block.Status == BlockStatus::Ok && !block.Stopped;
    }
    monitor_.Lock();
    task->Made = made;
    task->Ended = true;
    used_ -= task->Window;
    monitor_.Wake();
  }
  monitor_.Unlock();
}

LaneFile Lanes::Take(std::size_t ordinal) {
  MonitorLock lock(monitor_);
  writerAt_ = ordinal + 1;  // the writer takes files in list order
  for (Task& task : tasks_) {
    if (!task.Busy || task.Ordinal != ordinal) continue;
    while (!task.Ended) monitor_.Wait();
    task.Busy = false;
    monitor_.Wake();  // a slot is free
    return task.Made;
  }
  return {};
}

void Lanes::Reserve(std::uint32_t window) {
  MonitorLock lock(monitor_);
  writerWaits_ = true;
  while (used_ + window > kStreamBudget) monitor_.Wait();  // no window is larger than the budget
  writerWaits_ = false;
  used_ += window;
  monitor_.Wake();  // lanes held back for the writer look again
}

void Lanes::Release(std::uint32_t window) {
  MonitorLock lock(monitor_);
  used_ -= window;
  monitor_.Wake();
}

void Lanes::Stop() {
  {
    MonitorLock lock(monitor_);
    stop_ = true;
    monitor_.Wake();
  }
  for (JoinableThread& thread : threads_) thread.Join();
  for (Task& task : tasks_) {
    if (task.Busy && task.Made.Holder) sink_->Discard(*task.Made.Holder);
    task.Busy = false;
  }
}

}  // namespace zv
