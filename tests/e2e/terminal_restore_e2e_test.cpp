// The user's terminal is left as it was however the program ends or stops: by any signal
// whose default action ends a process, by job control, and when its output's reader goes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "fakes/console_job.h"
#include "fakes/pty_pair.h"

extern char** environ;

namespace comterm {
namespace {

using namespace std::chrono_literals;
using testing::ConsoleJob;
using testing::PtyPair;
using testing::SameModes;

constexpr auto kPatience = 5s;

TEST(TerminalRestoreEndToEnd, EachEndingSignalRestoresTheModesAndStillEndsTheProcess) {
  const int signals[] = {SIGINT,    SIGTERM, SIGHUP,  SIGQUIT, SIGABRT, SIGSEGV, SIGBUS,
                         SIGFPE,    SIGILL,  SIGTRAP, SIGSYS,  SIGUSR1, SIGUSR2, SIGALRM,
                         SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGPWR};
  for (const int signal_number : signals) {
    SCOPED_TRACE(strsignal(signal_number));
    ConsoleJob job({COMTERM_BINARY, "--device=loop://"});
    const termios before = job.ModesBefore();
    ASSERT_TRUE(job.WaitForOutput("opening device=loop://", kPatience));
    ASSERT_TRUE(job.WaitForRawMode(true, kPatience));
    kill(job.pid(), signal_number);
    const std::optional<int> status = job.NextStatus(kPatience);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == signal_number) << *status;
    EXPECT_TRUE(SameModes(job.Modes(), before));
  }
}

TEST(TerminalRestoreEndToEnd, AStoppedProgramLeavesTheModesAndTakesRawModeAgainWhenContinued) {
  for (const int signal_number : {SIGTSTP, SIGTTIN, SIGTTOU}) {
    SCOPED_TRACE(strsignal(signal_number));
    PtyPair serial;
    ConsoleJob job({COMTERM_BINARY, "--device=" + serial.slave_path()});
    const termios before = job.ModesBefore();
    ASSERT_TRUE(job.WaitForOutput("opening device=", kPatience));
    job.Type("~");  // the port is open once a key comes through
    ASSERT_EQ(serial.Read(1, kPatience), "~");

    kill(job.pid(), signal_number);
    std::optional<int> status = job.NextStatus(kPatience);
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFSTOPPED(*status) && WSTOPSIG(*status) == signal_number) << *status;
    EXPECT_TRUE(SameModes(job.Modes(), before));
    serial.Write("while stopped ");

    kill(job.pid(), SIGCONT);
    status = job.NextStatus(kPatience);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFCONTINUED(*status)) << *status;
    EXPECT_TRUE(job.WaitForRawMode(true, kPatience));
    EXPECT_TRUE(job.WaitForOutput("while stopped ", kPatience));
    job.Type("k");
    EXPECT_EQ(serial.Read(1, kPatience), "k");
    serial.Write("after");
    EXPECT_TRUE(job.WaitForOutput("after", kPatience));

    job.Type("\x1b");
    status = job.NextStatus(kPatience);
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    EXPECT_TRUE(SameModes(job.Modes(), before));
  }
}

// `comterm ... | head -c 50`: once head has gone, the next write ends the run with its
// closing steps (a myAVR board is switched back) and status 1.
TEST(TerminalRestoreEndToEnd, OutputWhoseReaderWentEndsTheRunWithTheClosingSteps) {
  const std::string data_mode("\x08\0\0\0\xD5\xA6\xFD\xE1\xF7\xE2\xC6\x64", 12);
  const std::string programming_mode("\x08\0\0\0\xD5\xA6\xFD\xE1\xF7\xE2\xC6\x70", 12);
  PtyPair serial;
  int to_head[2];
  ASSERT_EQ(pipe(to_head), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_head[0], STDIN_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, to_head[1]);
  char* head_argv[] = {const_cast<char*>("head"), const_cast<char*>("-c"), const_cast<char*>("50"),
                       nullptr};
  pid_t head = 0;
  ASSERT_EQ(posix_spawnp(&head, "head", &actions, nullptr, head_argv, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(to_head[0]);

  ConsoleJob job({COMTERM_BINARY, "--device=" + serial.slave_path(), "-m"}, to_head[1]);
  close(to_head[1]);
  const termios before = job.ModesBefore();
  EXPECT_EQ(serial.Read(12, kPatience), data_mode);
  int head_status = 0;
  ASSERT_EQ(waitpid(head, &head_status, 0), head);  // head has its 50 bytes and is gone
  ASSERT_TRUE(job.WaitForRawMode(true, kPatience));

  serial.Write("x");  // shown: the write finds no reader
  const std::optional<int> status = job.NextStatus(kPatience);
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
  EXPECT_EQ(serial.Read(12, kPatience), programming_mode);
  EXPECT_TRUE(SameModes(job.Modes(), before));
}

}  // namespace
}  // namespace comterm
