// Keys typed into the terminal of a running program reach GetKey as the expected codes;
// piped input gives its bytes as key codes and its end as Escape. The program is
// key_probe, built on the keyboard code of the terminal.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Loose bound: only a program that never answers runs into it.
constexpr auto kPatience = std::chrono::seconds(20);

// The probe running with `input` as standard input and `output` as standard output.
pid_t StartProbe(int input, int output, bool new_session) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (new_session) setsid();
    dup2(input, STDIN_FILENO);
    dup2(output, STDOUT_FILENO);
    execl(COMTERM_KEY_PROBE, COMTERM_KEY_PROBE, static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// Reads `fd` until the text holds `until` or the patience runs out.
std::string ReadUntil(int fd, const std::string& until) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (text.find(until) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 100) <= 0) continue;
    char bytes[256];
    const ssize_t n = read(fd, bytes, sizeof bytes);
    if (n <= 0) break;
    text.append(bytes, static_cast<std::size_t>(n));
  }
  return text;
}

// The codes the probe printed after its "ready" line.
std::vector<int> Codes(const std::string& text) {
  const std::size_t ready = text.find("ready");
  if (ready == std::string::npos) return {};
  std::istringstream lines(text.substr(ready + 5));
  std::vector<int> codes;
  for (int code; lines >> code;) codes.push_back(code);
  return codes;
}

int WaitExit(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WriteAll(int fd, const std::string& bytes) {
  ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

TEST(KeyboardEndToEnd, KeysTypedOnTheTerminalReachGetKey) {
  int master = -1;
  int slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const pid_t pid = StartProbe(slave, slave, true);
  close(slave);
  const std::string greeting = ReadUntil(master, "ready");
  ASSERT_NE(greeting.find("ready"), std::string::npos);

  // Every key in one write; the ESC at the end stands alone and is Escape after the gap.
  WriteAll(master,
           "a"           // 97
           "\x1b[A"      // Up: 0 72
           "\x1b[1;5C"   // Ctrl+Right: 0 116
           "\x1bOP"      // F1: 0 59
           "\x1b[24~"    // F12: 0 134
           "\x1b[15;2~"  // Shift+F5: 0 88
           "\x1b"
           "a"          // Alt+A: 0 30
           "\x1b[3;3~"  // Alt+Del: 0 163
           "\x7f\r\t"   // Backspace, Enter, Tab: 8 13 9
           "\x1b[Z"     // Shift+Tab: 0 15
           "\x03"       // Ctrl+C is a key, not a signal: 3
           "\xc3\xa9"   // e acute in UTF-8: 233
           "\x1b");     // Escape: 27
  // The terminal turns each line end into CR LF.
  const std::string text = greeting + ReadUntil(master, "\n27\r\n");
  EXPECT_EQ(Codes(text), (std::vector<int>{97, 0, 72,  0, 116, 0, 59, 0,  134, 0,   88, 0,
                                           30, 0, 163, 8, 13,  9, 0,  15, 3,   233, 27}))
      << text;
  EXPECT_EQ(WaitExit(pid), 0);
  close(master);
}

TEST(KeyboardEndToEnd, PipedInputGivesItsBytesAndEndsWithEscape) {
  int to_probe[2];
  int from_probe[2];
  ASSERT_EQ(pipe(to_probe), 0);
  ASSERT_EQ(pipe(from_probe), 0);
  const pid_t pid = StartProbe(to_probe[0], from_probe[1], false);
  close(to_probe[0]);
  close(from_probe[1]);
  WriteAll(to_probe[1], std::string("AT\r\0\x1b[A", 8));
  close(to_probe[1]);
  const std::string text = ReadUntil(from_probe[0], "\n27\n");
  // No decoding: ESC [ A is three key codes, ESC among them the first 27.
  EXPECT_EQ(Codes(text), (std::vector<int>{65, 84, 13, 0, 27})) << text;
  EXPECT_EQ(WaitExit(pid), 0);
  close(from_probe[0]);
}

}  // namespace
