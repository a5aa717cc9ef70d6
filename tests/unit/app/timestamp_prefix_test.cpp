#include "app/timestamp_prefix.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "fakes/fake_comm.h"
#include "runtime/exceptions.h"

namespace comterm {
namespace {

class FixedWallClock : public WallClock {
 public:
  WallTime Now() override { return time; }
  WallTime time;
};

TEST(LocalTimeText, DateTimeAndOffsetAcrossMidnight) {
  struct Case {
    std::int64_t utc_ms;
    std::int32_t offset;
    std::string iso;
  };
  const Case cases[] = {
      {0, 0, "1970-01-01T00:00:00.000+00:00"},
      {946684799999, 0, "1999-12-31T23:59:59.999+00:00"},
      {946684799999 + 1, 0, "2000-01-01T00:00:00.000+00:00"},
      // An offset that moves the local date forward past a leap day, or back a year.
      {1709249400250, 60, "2024-03-01T00:30:00.250+01:00"},
      {1709249400250, -570, "2024-02-29T14:00:00.250-09:30"},
      {1735700400000, -300, "2024-12-31T22:00:00.000-05:00"},
      {1796983445006, 330, "2026-12-11T15:34:05.006+05:30"},
      {-1, 0, "1969-12-31T23:59:59.999+00:00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LocalTimeText({c.utc_ms, c.offset}, true), c.iso) << c.utc_ms;
    EXPECT_EQ(LocalTimeText({c.utc_ms, c.offset}, false), c.iso.substr(11, 12)) << c.utc_ms;
  }
}

class TimestampPrefixTest : public ::testing::Test {
 protected:
  testing::FakeComm comm_;
  FixedWallClock wall_;
};

TEST_F(TimestampPrefixTest, TimeAndIsoStateTheWallClock) {
  wall_.time = {946684799999, 120};
  TimestampPrefix time(TimestampFormat::Time, comm_, wall_);
  TimestampPrefix iso(TimestampFormat::Iso, comm_, wall_);
  EXPECT_EQ(time.Next(), "[01:59:59.999] ");
  EXPECT_EQ(iso.Next(), "[2000-01-01T01:59:59.999+02:00] ");
  wall_.time = {946684799999 - 7200000 + 1, 120};  // local midnight
  EXPECT_EQ(time.Next(), "[00:00:00.000] ");
  EXPECT_EQ(iso.Next(), "[2000-01-01T00:00:00.000+02:00] ");
}

TEST_F(TimestampPrefixTest, ElapsedCountsFromItsStartAcrossTheTickWrap) {
  comm_.SetNow(1000);
  TimestampPrefix elapsed(TimestampFormat::Elapsed, comm_, wall_);
  EXPECT_EQ(elapsed.Next(), "[0.000] ");
  comm_.SetNow(1000 + 61234);
  EXPECT_EQ(elapsed.Next(), "[61.234] ");

  comm_.SetNow(0xFFFFFFFFull - 9);
  TimestampPrefix wrapping(TimestampFormat::Elapsed, comm_, wall_);
  comm_.SetNow(0xFFFFFFFFull + 5001);
  EXPECT_EQ(wrapping.Next(), "[5.010] ");
}

TEST_F(TimestampPrefixTest, DeltaIsTheTimeSinceThePreviousPrefix) {
  comm_.SetNow(500);
  TimestampPrefix delta(TimestampFormat::Delta, comm_, wall_);
  comm_.SetNow(900);
  EXPECT_EQ(delta.Next(), "[+0.000] ");
  comm_.SetNow(1150);
  EXPECT_EQ(delta.Next(), "[+0.250] ");
  EXPECT_EQ(delta.Next(), "[+0.000] ");
  comm_.SetNow(1150 + 12003);
  EXPECT_EQ(delta.Next(), "[+12.003] ");
}

TEST(TimestampFormatName, KnownNamesAndTheError) {
  EXPECT_EQ(ParseTimestampFormat("time"), TimestampFormat::Time);
  EXPECT_EQ(ParseTimestampFormat("iso"), TimestampFormat::Iso);
  EXPECT_EQ(ParseTimestampFormat("elapsed"), TimestampFormat::Elapsed);
  EXPECT_EQ(ParseTimestampFormat("delta"), TimestampFormat::Delta);
  for (const char* bad : {"weekly", "", "Time", "time "}) {
    try {
      ParseTimestampFormat(bad);
      ADD_FAILURE() << bad;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "\"" + std::string(bad) + "\" is an invalid timestamp format");
    }
  }
}

}  // namespace
}  // namespace comterm
