// Raw terminal mode is undone on every way out of the process: normal exit and the
// terminating signals. Each case runs in a child whose standard input is a pty.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>

#include "console/terminal_mode_posix.h"
#include "fakes/pty_pair.h"

namespace comterm {
namespace {

constexpr tcflag_t kCookedFlags = ECHO | ICANON | ISIG;

TEST(TerminalModeTest, ModeIsRestoredOnEveryExitPath) {
  struct Case {
    const char* name;
    int signal_number;  // 0: a normal exit
  };
  for (const Case& c : {Case{"exit", 0}, Case{"SIGINT", SIGINT}, Case{"SIGTERM", SIGTERM},
                        Case{"SIGHUP", SIGHUP}}) {
    SCOPED_TRACE(c.name);
    testing::PtyPair pty;
    termios cooked{};
    tcgetattr(pty.slave(), &cooked);
    cooked.c_lflag |= kCookedFlags;
    tcsetattr(pty.slave(), TCSANOW, &cooked);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      dup2(pty.slave(), STDIN_FILENO);
      posix::EnterRawMode();
      termios raw{};
      tcgetattr(STDIN_FILENO, &raw);
      if ((raw.c_lflag & kCookedFlags) != 0) _exit(3);
      if (c.signal_number != 0) raise(c.signal_number);
      std::exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (c.signal_number == 0) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    } else {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal_number) << status;
    }
    termios after{};
    tcgetattr(pty.slave(), &after);
    EXPECT_EQ(after.c_lflag & kCookedFlags, kCookedFlags);
  }
}

}  // namespace
}  // namespace comterm
