#include "terminal_measures.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace comterm::bench {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr double kMiB = 1024.0 * 1024.0;
// Gaps between samples span more than the 100 ms receive wait, so a terminal that
// polls in cycles is caught at random points of its cycle.
constexpr int kShortestGapMs = 1;
constexpr int kLongestGapMs = 150;
constexpr milliseconds kSampleTimeout{2000};

bool WriteAll(int fd, const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t n = write(fd, bytes, length);
    if (n <= 0) return false;
    bytes += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string UniqueMarker(std::mt19937& random) {
  char marker[32];
  std::snprintf(marker, sizeof marker, "EndMarker%08X%08X", static_cast<unsigned>(random()),
                static_cast<unsigned>(random()));
  return marker;
}

double Percentile(std::vector<double> samples, double fraction) {
  std::sort(samples.begin(), samples.end());
  const auto at = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1));
  return samples[at];
}

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

milliseconds RandomGap(std::mt19937& random) {
  return milliseconds(std::uniform_int_distribution<int>(kShortestGapMs, kLongestGapMs)(random));
}

Latency Summarize(const std::vector<double>& samples, int wanted) {
  Latency latency;
  latency.complete = static_cast<int>(samples.size()) == wanted;
  if (samples.empty()) return latency;
  latency.p50_ms = Percentile(samples, 0.50);
  latency.p99_ms = Percentile(samples, 0.99);
  return latency;
}

}  // namespace

std::string ReceivedText(std::size_t size, std::mt19937& random) {
  std::uniform_int_distribution<int> length(20, 79);
  std::uniform_int_distribution<int> printable(' ', '~');
  std::string text;
  text.reserve(size + 81);
  while (text.size() < size) {
    for (int i = length(random); i > 0; --i) text += static_cast<char>(printable(random));
    text += "\r\n";
  }
  text.resize(size);
  return text;
}

std::string RandomBinary(std::size_t size, std::mt19937& random) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::string bytes(size, '\0');
  for (char& b : bytes) b = static_cast<char>(byte(random));
  return bytes;
}

Throughput MeasureThroughput(TerminalSession& session, const std::string& payload,
                             std::mt19937& random) {
  const std::string marker = UniqueMarker(random);
  const std::string tail = "\r\n" + marker;
  session.DrainConsole(milliseconds(0));
  session.Forget();
  const double cpu_start = session.CpuSeconds();
  const auto start = Clock::now();
  std::thread writer([&] {
    WriteAll(session.serial(), payload.data(), payload.size());
    WriteAll(session.serial(), tail.data(), tail.size());
  });
  Throughput result;
  result.complete = session.WaitForConsoleText(marker, milliseconds(120000));
  const double seconds = MillisecondsSince(start) / 1000.0;
  const double cpu = session.CpuSeconds() - cpu_start;
  writer.join();
  const double bytes = static_cast<double>(payload.size() + tail.size());
  result.megabytes_per_second = bytes / seconds / 1e6;
  result.cpu_seconds_per_mib = cpu / (bytes / kMiB);
  return result;
}

double MeasureIdleCpu(TerminalSession& session, int seconds) {
  session.DrainConsole(milliseconds(200));
  const double cpu_start = session.CpuSeconds();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  return session.CpuSeconds() - cpu_start;
}

std::string PastedText(std::size_t size, std::mt19937& random) {
  std::string text = ReceivedText(size, random);
  // Typed lines end with Enter alone; no key of the paste is a terminal's command key.
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

Paste MeasurePaste(TerminalSession& session, const std::string& text) {
  session.DrainConsole(milliseconds(100));
  session.DrainSerial();
  Paste result;
  const auto start = Clock::now();
  std::thread typist([&] { session.Type(text); });
  std::string line;
  const auto deadline = start + std::chrono::seconds(60);
  while (line.size() < text.size() && Clock::now() < deadline) {
    session.WaitForOutput(milliseconds(100));
    line += session.ReadSerial(text.size() - line.size(), milliseconds(0));
    session.DrainConsole(milliseconds(0));  // the echo must not hold the typing up
  }
  const double seconds = MillisecondsSince(start) / 1000.0;
  typist.join();
  result.complete = line == text;
  result.megabytes_per_second = static_cast<double>(line.size()) / seconds / 1e6;
  return result;
}

Latency MeasureKeyToWire(TerminalSession& session, int samples, std::mt19937& random) {
  std::vector<double> latencies;
  for (int i = 0; i < samples; ++i) {
    session.DrainConsole(RandomGap(random));  // the echoes of earlier keys
    session.DrainSerial();
    const auto typed = Clock::now();
    session.Type("k");
    if (session.ReadSerial(1, kSampleTimeout) != "k") continue;
    latencies.push_back(MillisecondsSince(typed));
  }
  return Summarize(latencies, samples);
}

Latency MeasureWireToScreen(TerminalSession& session, int samples, std::mt19937& random) {
  std::vector<double> latencies;
  for (int i = 0; i < samples; ++i) {
    session.DrainConsole(RandomGap(random));
    session.Forget();
    const auto sent = Clock::now();
    if (!WriteAll(session.serial(), "w", 1)) continue;
    if (!session.WaitForConsoleText("w", kSampleTimeout)) continue;
    latencies.push_back(MillisecondsSince(sent));
  }
  return Summarize(latencies, samples);
}

}  // namespace comterm::bench
