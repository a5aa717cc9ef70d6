#include "app/timestamp_prefix.h"

#include <cstdio>

#include "runtime/exceptions.h"
#include "runtime/format.h"
#include "serial/ticks.h"

namespace comterm {
namespace {

constexpr std::int64_t kMsPerDay = 86400000;

struct CivilDate {
  std::int64_t year;
  int month;
  int day;
};

// The proleptic Gregorian date of a day count from 1970-01-01 (any sign).
CivilDate DateOfDay(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t day_of_era = days - era * 146097;
  const std::int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t shifted_month = (5 * day_of_year + 2) / 153;
  const int day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  const int month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  return {year_of_era + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// Floor division, so that moments before 1970 still fall on the right day.
std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
  const std::int64_t q = value / divisor;
  return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? q - 1 : q;
}

std::string Seconds(std::uint64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%llu.%03u", static_cast<unsigned long long>(ms / 1000),
                static_cast<unsigned>(ms % 1000));
  return text;
}

// "[" + sign + text + "] ", appended in place.
std::string Bracketed(std::string_view text, std::string_view sign = {}) {
  std::string prefix = "[";
  prefix += sign;
  prefix += text;
  prefix += "] ";
  return prefix;
}

}  // namespace

TimestampFormat ParseTimestampFormat(std::string_view name) {
  if (name == "time") return TimestampFormat::Time;
  if (name == "iso") return TimestampFormat::Iso;
  if (name == "elapsed") return TimestampFormat::Elapsed;
  if (name == "delta") return TimestampFormat::Delta;
  throw Exception(Format("\"%s\" is an invalid timestamp format", {name}));
}

std::string LocalTimeText(const WallTime& time, bool with_date) {
  const std::int64_t local = time.UtcMilliseconds + std::int64_t{time.UtcOffsetMinutes} * 60000;
  const std::int64_t day = FloorDiv(local, kMsPerDay);
  const std::int64_t in_day = local - day * kMsPerDay;
  const int hour = static_cast<int>(in_day / 3600000);
  const int minute = static_cast<int>(in_day / 60000 % 60);
  const int second = static_cast<int>(in_day / 1000 % 60);
  const int ms = static_cast<int>(in_day % 1000);
  char text[64];
  if (!with_date) {
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", hour, minute, second, ms);
    return text;
  }
  const CivilDate date = DateOfDay(day);
  const int offset = time.UtcOffsetMinutes < 0 ? -time.UtcOffsetMinutes : time.UtcOffsetMinutes;
  std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                static_cast<long long>(date.year), date.month, date.day, hour, minute, second, ms,
                time.UtcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

TimestampPrefix::TimestampPrefix(TimestampFormat format, CommApi& comm, WallClock& wall)
    : format_(format), comm_(comm), wall_(wall), last_tick_(MillisecondTick(comm)) {}

std::uint64_t TimestampPrefix::ElapsedNow() {
  const std::uint32_t tick = MillisecondTick(comm_);
  elapsed_ += TickElapsed(last_tick_, tick);
  last_tick_ = tick;
  return elapsed_;
}

std::string TimestampPrefix::Next() {
  switch (format_) {
    case TimestampFormat::Time:
      return Bracketed(LocalTimeText(wall_.Now(), false));
    case TimestampFormat::Iso:
      return Bracketed(LocalTimeText(wall_.Now(), true));
    case TimestampFormat::Elapsed:
      return Bracketed(Seconds(ElapsedNow()));
    case TimestampFormat::Delta: {
      const std::uint64_t now = ElapsedNow();
      const std::uint64_t delta = first_ ? 0 : now - previous_prefix_;
      first_ = false;
      previous_prefix_ = now;
      return Bracketed(Seconds(delta), "+");
    }
    case TimestampFormat::None:
      break;
  }
  return {};
}

}  // namespace comterm
