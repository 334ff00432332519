#include "tools/zvpack/progress.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"
#include "tools/zvpack/platform.h"

namespace zv::pack {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(250);

std::string Megabytes(std::uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
  return text;
}

std::string Duration(double seconds) {
  const auto whole = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  }
  return text;
}

}  // namespace

std::string ProgressLine::Format(std::string_view action, std::size_t filesDone,
                                 std::size_t totalFiles, std::uint64_t bytesDone,
                                 std::uint64_t totalBytes, double seconds) {
  std::string text(action);
  text += "  " + std::to_string(filesDone) + "/" + std::to_string(totalFiles) + " files  " +
          Megabytes(bytesDone) + "/" + Megabytes(totalBytes) + " MB";
  if (seconds >= 0.5 && bytesDone > 0) {
    const double rate = static_cast<double>(bytesDone) / seconds;
    char speed[32];
    std::snprintf(speed, sizeof speed, "  %.1f MB/s", rate / 1e6);
    text += speed;
    text += "  ETA " + Duration(static_cast<double>(totalBytes - std::min(bytesDone, totalBytes)) / rate);
  }
  return text;
}

void ProgressLine::Begin(std::string_view action, std::size_t totalFiles, std::uint64_t totalBytes) {
  std::lock_guard lock(mutex_);
  action_ = action;
  totalFiles_ = totalFiles;
  totalBytes_ = totalBytes;
  start_ = std::chrono::steady_clock::now();
  lastDraw_ = start_ - kRedrawInterval;
  active_ = enabled_;
}

void ProgressLine::Update(std::size_t filesDone, std::uint64_t bytesDone) {
  if (!active_) return;
  std::lock_guard lock(mutex_);
  const auto now = std::chrono::steady_clock::now();
  if (now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  Draw(Format(action_, filesDone, totalFiles_, bytesDone, totalBytes_,
              std::chrono::duration<double>(now - start_).count()));
}

void ProgressLine::End() {
  std::lock_guard lock(mutex_);
  if (!active_) return;
  active_ = false;
  if (drawnWidth_ > 0) {
    std::string blank(drawnWidth_ + 2, ' ');
    blank.front() = blank.back() = '\r';
    WriteStderr(blank);
  }
  drawnWidth_ = 0;
}

void ProgressLine::Draw(const std::string& text) {
  const std::size_t width = Utf16Length(text);
  std::string line(1, '\r');
  line += text;
  if (width < drawnWidth_) line += std::string(drawnWidth_ - width, ' ');
  drawnWidth_ = std::max(width, drawnWidth_);
  WriteStderr(line);
}

}  // namespace zv::pack
