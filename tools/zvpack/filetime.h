// Last-write times as a package stores them: FILETIME ticks, 100 ns since 1601-01-01 UTC.
#pragma once

#include <cstdint>
#include <string>

namespace zv::pack {

inline constexpr std::int64_t kTicksPerSecond = 10'000'000;
inline constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

// A POSIX time (seconds and nanoseconds since 1970) as FILETIME ticks, the nanoseconds cut to
// whole 100 ns. Times before 1601 give 0.
std::uint64_t FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);
// The reverse; exact for every tick.
void UnixFromFileTime(std::uint64_t fileTime, std::int64_t* seconds, std::int64_t* nanoseconds);

// "2024-05-01T12:34:56.1234567Z": all seven tick digits, so equal texts mean equal times.
std::string FormatFileTimeUtc(std::uint64_t fileTime);
// "YYYY-MM-DD" of the UTC day that holds the POSIX time.
std::string FormatUtcDate(std::int64_t unixSeconds);

}  // namespace zv::pack
