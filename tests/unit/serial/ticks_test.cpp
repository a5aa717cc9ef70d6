#include <gtest/gtest.h>

#include "fakes/fake_comm.h"
#include "serial/ticks.h"

namespace comterm::testing {
namespace {

TEST(TickElapsedTest, ForwardWrappedAndSteppedBack) {
  const struct {
    std::uint32_t old_tick, new_tick, elapsed;
  } cases[] = {
      {5, 5, 0},
      {10, 250, 240},
      {0xFFFFFF00u, 256, 512},
      {300, 44, 256},
      {0, 0xFFFFFFFFu, 0xFFFFFFFFu},
      {0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu},
      {0xFFFFFFFFu, 0, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TickElapsed(c.old_tick, c.new_tick), c.elapsed) << c.old_tick << " " << c.new_tick;
  }
}

TEST(MillisecondTickTest, PerformanceCounterWrapsAt32BitsAndTickCountIsTheFallback) {
  FakeComm comm;
  comm.SetNow((std::uint64_t{1} << 32) + 7);
  EXPECT_EQ(MillisecondTick(comm), 7u);
  EXPECT_EQ(comm.Calls(),
            (std::vector<std::string>{"QueryPerformanceFrequency()", "QueryPerformanceCounter()"}));
  comm.SetPerformanceCounter(false);
  comm.SetNow(123456);
  EXPECT_EQ(MillisecondTick(comm), 123456u);
  EXPECT_EQ(comm.Calls().back(), "GetTickCount()");
}

}  // namespace
}  // namespace comterm::testing
