#include "console/input_wakeup_posix.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

namespace comterm {
namespace {

bool Readable(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, timeout_ms) == 1;
}

TEST(InputWakeup, ReadableWithInputQueuedKeysAndWhenAHeldKeyIsDue) {
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  {
    InputWakeup wakeup(input[0]);
    EXPECT_FALSE(Readable(wakeup.Descriptor(), 0));
    ASSERT_EQ(write(input[1], "x", 1), 1);
    EXPECT_TRUE(Readable(wakeup.Descriptor(), 0));
    char byte;
    ASSERT_EQ(read(input[0], &byte, 1), 1);
    EXPECT_FALSE(Readable(wakeup.Descriptor(), 0));

    wakeup.ArmAfter(5);
    EXPECT_TRUE(Readable(wakeup.Descriptor(), 5000));
    wakeup.Disarm();  // the expiry is taken: no longer readable
    EXPECT_FALSE(Readable(wakeup.Descriptor(), 0));

    wakeup.ArmAfter(60000);
    wakeup.Disarm();
    EXPECT_FALSE(Readable(wakeup.Descriptor(), 20));

    // Queued keys: readable until told otherwise, however often it is waited on.
    wakeup.SetReady(true);
    wakeup.SetReady(true);
    EXPECT_TRUE(Readable(wakeup.Descriptor(), 0));
    EXPECT_TRUE(Readable(wakeup.Descriptor(), 0));
    wakeup.SetReady(false);
    EXPECT_FALSE(Readable(wakeup.Descriptor(), 0));
  }
  close(input[0]);
  close(input[1]);
}

}  // namespace
}  // namespace comterm
