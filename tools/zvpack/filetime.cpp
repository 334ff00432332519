#include "tools/zvpack/filetime.h"

#include <cstdio>

namespace zv::pack {
namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

// Days since 1970-01-01 to a proleptic Gregorian date.
CivilDate CivilFromDays(std::int64_t days) {
  days += 719'468;
  const std::int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
  const std::int64_t dayOfEra = days - era * 146'097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1'460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  const unsigned day = static_cast<unsigned>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  const unsigned month = static_cast<unsigned>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

}  // namespace

std::uint64_t FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
  seconds += FloorDiv(nanoseconds, 1'000'000'000);
  nanoseconds -= FloorDiv(nanoseconds, 1'000'000'000) * 1'000'000'000;
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
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
  UnixFromFileTime(fileTime, &seconds, &nanoseconds);
  const std::int64_t days = FloorDiv(seconds, kSecondsPerDay);
  const std::int64_t secondOfDay = seconds - days * kSecondsPerDay;
  const CivilDate date = CivilFromDays(days);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02d.%07lldZ",
                static_cast<long long>(date.year), date.month, date.day,
                static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
                static_cast<int>(secondOfDay % 60), static_cast<long long>(nanoseconds / 100));
  return text;
}

std::string FormatUtcDate(std::int64_t unixSeconds) {
  const CivilDate date = CivilFromDays(FloorDiv(unixSeconds, kSecondsPerDay));
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(date.year),
                date.month, date.day);
  return text;
}

}  // namespace zv::pack
