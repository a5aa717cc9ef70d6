// The line tools end to end: stamps, the log, paced sending, echo and line-end maps, with
// the terminal's console in a real terminal and its serial device a pseudo-terminal.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "fakes/pty_pair.h"
#include "fakes/terminal_session.h"

namespace comterm {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::PtyPair;
using testing::TerminalSession;

constexpr auto kPatience = 5000ms;
constexpr int kColumns = 160;
// A zone of its own for the terminal under test: local time is UTC + 5:30.
constexpr const char* kZone = "TZ=IST-05:30 ";
constexpr std::int64_t kZoneOffsetMs = (5 * 60 + 30) * 60000;

std::string Terminal(const std::string& arguments) {
  return std::string(kZone) + "exec " + COMTERM_BINARY + " " + arguments;
}

std::int64_t UtcMsNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          ("comterm-" + name + "-" + std::to_string(getpid())))
      .string();
}

std::string FileContents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(count, '\0');
  for (char& b : bytes) b = static_cast<char>(random() & 0xFF);
  return bytes;
}

bool WaitForFileSize(const std::string& path, std::uintmax_t size) {
  const auto deadline = Clock::now() + 10s;
  while (Clock::now() < deadline) {
    std::error_code error;
    if (std::filesystem::file_size(path, error) >= size && !error) return true;
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

class LineToolsEndToEnd : public ::testing::Test {
 protected:
  std::unique_ptr<TerminalSession> Start(const std::string& options) {
    auto session = std::make_unique<TerminalSession>(
        Terminal("--device=" + pty_.slave_path() + " " + options), kColumns);
    EXPECT_TRUE(session->WaitForText("opening device=", kPatience)) << session->ScreenText();
    return session;
  }
  // The port is open (opening purges what was queued before) once a typed key comes through.
  void WaitUntilRelaying(TerminalSession& session) {
    session.Type("~");
    EXPECT_EQ(pty_.Read(1, kPatience), "~");
  }
  void End(TerminalSession& session) {
    session.PressKey("Escape");
    EXPECT_EQ(session.WaitForExit(kPatience), 0);
  }
  // Runs the terminal with options it refuses: the error line, status 1, a silent line.
  void ExpectRefused(const std::string& options, const std::string& message) {
    TerminalSession session(Terminal("--device=" + pty_.slave_path() + " " + options), kColumns);
    EXPECT_EQ(session.WaitForExit(kPatience), 1) << options;
    const auto rows = session.Screen();
    EXPECT_EQ(rows.at(0).substr(0, 13), "exception at ") << options;
    EXPECT_EQ(rows.at(1), std::string(22, ' ') + message + ".") << options;
    EXPECT_EQ(pty_.ReadUntilQuiet(100ms), "") << options;
  }
  // The bytes that reach the line, each with the time it was read.
  std::vector<std::pair<char, Clock::time_point>> ReadTimed(std::size_t count) {
    std::vector<std::pair<char, Clock::time_point>> bytes;
    const auto deadline = Clock::now() + kPatience;
    while (bytes.size() < count && Clock::now() < deadline) {
      pollfd p{pty_.master(), POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      char buffer[64];
      const ssize_t n = read(pty_.master(), buffer, sizeof buffer);
      const auto at = Clock::now();
      for (ssize_t i = 0; i < n; ++i) bytes.emplace_back(buffer[i], at);
    }
    return bytes;
  }
  PtyPair pty_;
};

std::int64_t Ms(Clock::duration d) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

// Milliseconds of the day a "HH:MM:SS.mmm" text states.
std::int64_t DayMs(const std::smatch& m, int first) {
  return ((std::stoll(m[first]) * 60 + std::stoll(m[first + 1])) * 60 + std::stoll(m[first + 2])) *
             1000 +
         std::stoll(m[first + 3]);
}

TEST_F(LineToolsEndToEnd, TwoLinesGetPrefixesOfTheirArrivalInEveryFormat) {
  struct Case {
    const char* format;
    const char* pattern;  // one line's row
  };
  const Case cases[] = {
      {"time", R"(\[(\d\d):(\d\d):(\d\d)\.(\d{3})\] (one|two))"},
      {"iso", R"(\[(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)\.(\d{3})\+05:30\] (one|two))"},
      {"elapsed", R"(\[(\d+)\.(\d{3})\] (one|two))"},
      {"delta", R"(\[\+(\d+)\.(\d{3})\] (one|two))"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    auto session = Start(std::string("--no-echo --timestamps=") + c.format);
    WaitUntilRelaying(*session);
    std::int64_t sent[2] = {UtcMsNow(), 0};
    pty_.Write("one\r\n");
    std::this_thread::sleep_for(200ms);
    sent[1] = UtcMsNow();
    pty_.Write("two\r\n");
    ASSERT_TRUE(session->WaitForText("two", kPatience)) << session->ScreenText();
    const auto rows = session->Screen();
    std::int64_t stated[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
      std::smatch m;
      ASSERT_TRUE(std::regex_match(rows.at(1 + i), m, std::regex(c.pattern))) << rows.at(1 + i);
      EXPECT_EQ(m[m.size() - 1], i == 0 ? "one" : "two");
      const std::int64_t local_now = sent[i] + kZoneOffsetMs;
      if (std::string(c.format) == "time") {
        stated[i] = DayMs(m, 1);
        const std::int64_t off = (stated[i] - local_now % 86400000 + 86400000) % 86400000;
        EXPECT_TRUE(off < 2000 || off > 86400000 - 2000) << rows.at(1 + i);
      } else if (std::string(c.format) == "iso") {
        std::tm date{};
        date.tm_year = std::stoi(m[1]) - 1900;
        date.tm_mon = std::stoi(m[2]) - 1;
        date.tm_mday = std::stoi(m[3]);
        stated[i] = static_cast<std::int64_t>(timegm(&date)) * 1000 + DayMs(m, 4);
        EXPECT_LT(std::abs(stated[i] - local_now), 2000) << rows.at(1 + i);
      } else {
        stated[i] = std::stoll(m[1]) * 1000 + std::stoll(m[2]);
      }
    }
    if (std::string(c.format) == "delta") {
      EXPECT_EQ(stated[0], 0);
      EXPECT_GE(stated[1], 150);
      EXPECT_LT(stated[1], 2000);
    } else {
      EXPECT_GE(stated[1] - stated[0], 150);
      EXPECT_LT(stated[1] - stated[0], 2000);
    }
    if (std::string(c.format) == "elapsed") {
      EXPECT_LT(stated[0], 10000);
    }
    End(*session);
  }
}

TEST_F(LineToolsEndToEnd, ALineInPiecesHasOnePrefixAndHexBurstsTwoRows) {
  auto plain = Start("--no-echo --timestamps=delta");
  WaitUntilRelaying(*plain);
  pty_.Write("hel");
  std::this_thread::sleep_for(150ms);
  pty_.Write("lo\r\n");
  ASSERT_TRUE(plain->WaitForText("hello", kPatience)) << plain->ScreenText();
  EXPECT_EQ(plain->Screen().at(1), "[+0.000] hello");
  End(*plain);

  auto hex = Start("--no-echo -x --timestamps=elapsed");
  WaitUntilRelaying(*hex);
  pty_.Write("AB");
  ASSERT_TRUE(hex->WaitForText("#42", kPatience)) << hex->ScreenText();
  std::this_thread::sleep_for(300ms);
  pty_.Write("CD");
  ASSERT_TRUE(hex->WaitForText("#44", kPatience)) << hex->ScreenText();
  const auto rows = hex->Screen();
  EXPECT_TRUE(std::regex_match(rows.at(1), std::regex(R"(\[\d+\.\d{3}\] #41 #42)"))) << rows.at(1);
  EXPECT_TRUE(std::regex_match(rows.at(2), std::regex(R"(\[\d+\.\d{3}\] #43 #44)"))) << rows.at(2);
  End(*hex);

  ExpectRefused("--timestamps=weekly", "\"weekly\" is an invalid timestamp format");
}

TEST_F(LineToolsEndToEnd, TheLogHoldsEveryByteOfBothRunsInOrder) {
  const std::string path = TempPath("log");
  std::filesystem::remove(path);
  std::string first;
  for (int b = 0; b < 256; ++b) first += static_cast<char>(b);
  first += RandomBytes(20 * 1024, 1);
  auto session = Start("--log=" + path);
  WaitUntilRelaying(*session);
  pty_.Write(first);
  ASSERT_TRUE(WaitForFileSize(path, first.size()));
  End(*session);

  // The second run ends by SIGTERM.
  const std::string pid_file = TempPath("log-pid");
  TerminalSession killed("sh -c 'echo $$ > " + pid_file + "; " +
                             Terminal("--device=" + pty_.slave_path() + " --log=" + path) + "'",
                         kColumns);
  ASSERT_TRUE(killed.WaitForText("opening device=", kPatience));
  WaitUntilRelaying(killed);
  const std::string second = RandomBytes(5 * 1024, 2);
  pty_.Write(second);
  ASSERT_TRUE(WaitForFileSize(path, first.size() + second.size()));
  pid_t pid = 0;
  std::ifstream(pid_file) >> pid;
  std::filesystem::remove(pid_file);
  ASSERT_GT(pid, 0);
  kill(pid, SIGTERM);
  EXPECT_TRUE(killed.WaitForExit(kPatience).has_value());
  EXPECT_TRUE(FileContents(path) == first + second);
  std::filesystem::remove(path);

  ExpectRefused("--log=/nonexistent/dir/log",
                "Cannot open log file \"/nonexistent/dir/log\": No such file or directory");

  // A full disk ends the run with the error line, after the closing steps.
  auto full = Start("--log=/dev/full");
  WaitUntilRelaying(*full);
  pty_.Write("x");
  EXPECT_EQ(full->WaitForExit(kPatience), 1);
  EXPECT_TRUE(
      full->WaitForText("Cannot write log file \"/dev/full\": No space left on device.", kPatience))
      << full->ScreenText();
  EXPECT_EQ(full->ModesAfter(), full->ModesBefore());
}

TEST_F(LineToolsEndToEnd, PastedKeysGoOutPaced) {
  auto session = Start("--char-delay=20");
  WaitUntilRelaying(*session);
  session->Type("0123456789");
  auto bytes = ReadTimed(10);
  ASSERT_EQ(bytes.size(), 10u);
  std::string order;
  for (const auto& b : bytes) order += b.first;
  EXPECT_EQ(order, "0123456789");
  // Nine pauses of 20 ms lie between the first and the last; the bound allows a late read.
  const auto span = Ms(bytes.back().second - bytes.front().second);
  EXPECT_GE(span, 140);
  EXPECT_LT(span, 3000);
  End(*session);

  auto lines = Start("--line-delay=300");
  WaitUntilRelaying(*lines);
  lines->Type("ab\rcd");
  bytes = ReadTimed(5);
  ASSERT_EQ(bytes.size(), 5u);
  EXPECT_LT(Ms(bytes[2].second - bytes[0].second), 250);  // no pause before Enter
  EXPECT_GE(Ms(bytes[3].second - bytes[2].second), 250);
  EXPECT_LT(Ms(bytes[4].second - bytes[3].second), 250);
  End(*lines);
}

TEST_F(LineToolsEndToEnd, NoEchoAndLineEndMaps) {
  auto quiet = Start("--no-echo");
  WaitUntilRelaying(*quiet);
  quiet->Type("ls");
  quiet->PressKey("Enter");
  EXPECT_EQ(pty_.Read(3, kPatience), "ls\r");
  pty_.Write("ls\r\nout");
  ASSERT_TRUE(quiet->WaitForText("out", kPatience));
  EXPECT_EQ(quiet->Screen().at(1), "ls");
  EXPECT_EQ(quiet->Screen().at(2), "out");
  End(*quiet);

  auto lf = Start("--no-echo --imap=lfcrlf");
  WaitUntilRelaying(*lf);
  pty_.Write("one\ntwo\n");
  ASSERT_TRUE(lf->WaitForText("two", kPatience));
  EXPECT_EQ(lf->Screen().at(1), "one");
  EXPECT_EQ(lf->Screen().at(2), "two");
  End(*lf);

  auto cr = Start("--no-echo --imap=igncr");
  WaitUntilRelaying(*cr);
  pty_.Write("a\r\nb\r\n");
  ASSERT_TRUE(cr->WaitForText("b", kPatience));
  EXPECT_EQ(cr->Screen().at(1), "a");
  EXPECT_EQ(cr->Screen().at(2), " b");  // no CR shown: the line feed keeps the column
  End(*cr);

  auto enter = Start("--omap=crlf");
  WaitUntilRelaying(*enter);
  enter->Type("a");
  enter->PressKey("Enter");
  enter->Type("b");
  EXPECT_EQ(pty_.Read(4, kPatience), "a\r\nb");
  ASSERT_TRUE(enter->WaitForText("b", kPatience));
  EXPECT_EQ(enter->Screen().at(1), "~a");
  EXPECT_EQ(enter->Screen().at(2), "b");
  End(*enter);

  ExpectRefused("--imap=xyz", "\"xyz\" is an invalid map name");
  ExpectRefused("--imap=crlf,igncr", "\"crlf,igncr\" is an invalid map");
  ExpectRefused("--omap=crlf,lf", "\"crlf,lf\" is an invalid map");
}

}  // namespace
}  // namespace comterm
