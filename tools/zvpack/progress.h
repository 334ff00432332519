// The one-line progress display on stderr: files and bytes done, speed and time left. Drawn
// only when enabled (stderr is a terminal and --quiet was not given), at most a few times a
// second, and wiped when the work ends.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace zv::pack {

class ProgressLine {
 public:
  explicit ProgressLine(bool enabled) : enabled_(enabled) {}
  ~ProgressLine() { End(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void Begin(std::string_view action, std::size_t totalFiles, std::uint64_t totalBytes);
  // Safe to call from any thread; redraws only when the last drawing is old enough.
  void Update(std::size_t filesDone, std::uint64_t bytesDone);
  void End();

  // The text of one line, for the given state (what Update draws).
  static std::string Format(std::string_view action, std::size_t filesDone,
                            std::size_t totalFiles, std::uint64_t bytesDone,
                            std::uint64_t totalBytes, double seconds);

 private:
  void Draw(const std::string& text);

  bool enabled_;
  std::atomic<bool> active_ = false;
  std::mutex mutex_;
  std::string action_;
  std::size_t totalFiles_ = 0;
  std::uint64_t totalBytes_ = 0;
  std::size_t drawnWidth_ = 0;
  std::chrono::steady_clock::time_point start_{};
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace zv::pack
