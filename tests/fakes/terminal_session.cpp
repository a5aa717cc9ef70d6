#include "fakes/terminal_session.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace comterm::testing {
namespace {

std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// Single quotes for sh: the command text passes through unchanged.
std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string NewDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "comterm-term-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

// Starts a program with standard output (and, when `errors_too`, standard error) on
// `output`, closing `close_in_child` there; returns its process id.
pid_t Spawn(const std::vector<std::string>& arguments, int output, int close_in_child,
            bool errors_too) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  if (errors_too) posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
  if (close_in_child >= 0) posix_spawn_file_actions_addclose(&actions, close_in_child);
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) throw std::runtime_error("cannot start " + arguments[0]);
  return pid;
}

void WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Runs a program to its end with its output discarded. A tmux server started this way
// holds no pipe of ours open.
void RunQuietly(const std::vector<std::string>& arguments) {
  int null_device = open("/dev/null", O_WRONLY | O_CLOEXEC);
  pid_t pid = Spawn(arguments, null_device, -1, true);
  close(null_device);
  WaitFor(pid);
}

}  // namespace

std::string RunAndCapture(const std::vector<std::string>& arguments) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = Spawn(arguments, pipe_ends[1], pipe_ends[0], false);
  close(pipe_ends[1]);
  std::string output;
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipe_ends[0], buffer, sizeof buffer)) != 0) {
    if (n > 0) output.append(buffer, static_cast<std::size_t>(n));
    if (n < 0 && errno != EINTR) break;
  }
  close(pipe_ends[0]);
  WaitFor(pid);
  return output;
}

TerminalSession::TerminalSession(const std::string& command, int columns, int rows) {
  static std::atomic<int> counter{0};
  socket_ = "comterm-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
  directory_ = NewDirectory();
  // The status file is written last, so its presence means the modes are recorded too.
  // The shell then waits, so the screen stays readable after the command ended.
  WriteFileText(directory_ + "/run.sh",
                "stty -g > modes_before\n(\n" + command +
                    "\n)\nstatus=$?\nstty -g > modes_after\n" +
                    "echo $status > status.tmp && mv status.tmp status\nexec sleep 100000\n");
  WriteFileText(directory_ + "/tmux.conf", "set -g status off\nset -g history-limit 0\n");
  RunQuietly({"tmux", "-L", socket_, "-f", directory_ + "/tmux.conf", "new-session", "-d", "-s",
              "main", "-x", std::to_string(columns), "-y", std::to_string(rows), "-c", directory_,
              "sh " + ShellQuoted(directory_ + "/run.sh")});
}

TerminalSession::~TerminalSession() {
  RunQuietly({"tmux", "-L", socket_, "kill-server"});
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

std::string TerminalSession::Tmux(std::vector<std::string> arguments) const {
  arguments.insert(arguments.begin(), {"tmux", "-L", socket_});
  return RunAndCapture(arguments);
}

std::vector<std::string> TerminalSession::Screen() const {
  std::vector<std::string> rows;
  std::istringstream text(Tmux({"capture-pane", "-p", "-t", "main"}));
  for (std::string row; std::getline(text, row);) rows.push_back(row);
  return rows;
}

std::string TerminalSession::ScreenText() const {
  std::string text;
  for (const std::string& row : Screen()) text += row + "\n";
  return text;
}

std::pair<int, int> TerminalSession::Cursor() const {
  std::istringstream text(Tmux({"display-message", "-p", "-t", "main", "#{cursor_x} #{cursor_y}"}));
  std::pair<int, int> cursor{-1, -1};
  text >> cursor.first >> cursor.second;
  return cursor;
}

void TerminalSession::Type(const std::string& text) const {
  Tmux({"send-keys", "-t", "main", "-l", text});
}

void TerminalSession::PressKey(const std::string& key) const {
  Tmux({"send-keys", "-t", "main", key});
}

// tmux sets the size of its pty (and so sends SIGWINCH) a little after the command has
// returned: the wait ends once the pty has the size.
void TerminalSession::Resize(int columns, int rows) const {
  Tmux({"resize-window", "-t", "main", "-x", std::to_string(columns), "-y", std::to_string(rows)});
  const std::string tty = Trimmed(Tmux({"display-message", "-p", "-t", "main", "#{pane_tty}"}));
  const int fd = open(tty.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  winsize size{};
  while (std::chrono::steady_clock::now() < deadline && ioctl(fd, TIOCGWINSZ, &size) == 0 &&
         (size.ws_col != columns || size.ws_row != rows)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  close(fd);
}

bool TerminalSession::WaitForText(const std::string& text,
                                  std::chrono::milliseconds timeout) const {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (ScreenText().find(text) != std::string::npos) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::optional<int> TerminalSession::WaitForExit(std::chrono::milliseconds timeout) const {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  const std::string path = directory_ + "/status";
  while (!std::filesystem::exists(path)) {
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::atoi(ReadFileText(path).c_str());
}

std::string TerminalSession::ModesBefore() const {
  return Trimmed(ReadFileText(directory_ + "/modes_before"));
}

std::string TerminalSession::ModesAfter() const {
  return Trimmed(ReadFileText(directory_ + "/modes_after"));
}

}  // namespace comterm::testing
