#include "tools/zvpack/filetime.h"

#include <chrono>
#include <cstdio>

namespace zv::pack {
namespace {

using std::chrono::days;
using std::chrono::floor;
using std::chrono::seconds;

// Every 400 Gregorian years are the same 146,097 days. Folding whole cycles away keeps chrono's
// calendar (its years end at 32,767) in range for every day a 64-bit count can name.
using Cycles =
    std::chrono::duration<std::int64_t, std::ratio_multiply<std::ratio<146'097>, days::period>>;

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

CivilDate CivilFromDays(days sinceEpoch) {
  const Cycles cycles = floor<Cycles>(sinceEpoch);
  const std::chrono::year_month_day date{std::chrono::sys_days{sinceEpoch - cycles}};
  return {static_cast<int>(date.year()) + 400 * cycles.count(),
          static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day())};
}

}  // namespace

std::uint64_t FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
  const auto whole = floor<std::chrono::seconds>(std::chrono::nanoseconds{nanoseconds});
  seconds += whole.count();
  nanoseconds -= std::chrono::nanoseconds{whole}.count();
  const std::int64_t since1601 = seconds + kSecondsFrom1601To1970;
  if (since1601 < 0) return 0;
  return static_cast<std::uint64_t>(since1601) * kTicksPerSecond +
         static_cast<std::uint64_t>(nanoseconds / 100);
}

void UnixFromFileTime(std::uint64_t fileTime, std::int64_t* seconds, std::int64_t* nanoseconds) {
  const auto ticks = static_cast<std::int64_t>(fileTime / kTicksPerSecond);
  *seconds = ticks - kSecondsFrom1601To1970;
  *nanoseconds = static_cast<std::int64_t>(fileTime % kTicksPerSecond) * 100;
}

std::string FormatFileTimeUtc(std::uint64_t fileTime) {
  std::int64_t unixSeconds = 0;
  std::int64_t nanoseconds = 0;
  UnixFromFileTime(fileTime, &unixSeconds, &nanoseconds);
  const seconds time{unixSeconds};
  const days day = floor<days>(time);
  const std::chrono::hh_mm_ss clock{time - day};
  const CivilDate date = CivilFromDays(day);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02d.%07lldZ",
                static_cast<long long>(date.year), date.month, date.day,
                static_cast<int>(clock.hours().count()),
                static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()),
                static_cast<long long>(nanoseconds / 100));
  return text;
}

std::string FormatUtcDate(std::int64_t unixSeconds) {
  const CivilDate date = CivilFromDays(floor<days>(seconds{unixSeconds}));
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(date.year),
                date.month, date.day);
  return text;
}

}  // namespace zv::pack
