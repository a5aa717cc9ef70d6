#include "app/wall_clock.h"

#include <chrono>
#include <ctime>

namespace comterm {
namespace {

// Minutes the local calendar time `local` is ahead of the UTC calendar time `utc` of the
// same moment; the two differ by at most a day.
std::int32_t OffsetMinutes(const std::tm& local, const std::tm& utc) {
  int days = local.tm_yday - utc.tm_yday;
  if (local.tm_year != utc.tm_year) days = local.tm_year > utc.tm_year ? 1 : -1;
  return (days * 24 + local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min;
}

class SystemClock : public WallClock {
 public:
  WallTime Now() override {
    const auto now = std::chrono::system_clock::now();
    const std::int64_t ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    // The program has one thread: the library's static results may be copied out.
    const std::tm local = *std::localtime(&seconds);
    const std::tm utc = *std::gmtime(&seconds);
    return {ms, OffsetMinutes(local, utc)};
  }
};

}  // namespace

WallClock& SystemWallClock() {
  static SystemClock clock;
  return clock;
}

}  // namespace comterm
