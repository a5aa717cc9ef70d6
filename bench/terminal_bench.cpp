// comterm beside picocom (when installed) on pseudo-terminals: received text and random
// binary to the screen, idle CPU, key -> wire and wire -> screen latency. Several runs
// per terminal; the table shows the medians and comterm/picocom ratios.
//
//   terminal_bench COMTERM_BINARY [RUNS]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "terminal_measures.h"
#include "terminal_session.h"

namespace comterm::bench {
namespace {

constexpr std::size_t kVolume = 4 * 1024 * 1024;
constexpr int kIdleSeconds = 10;
constexpr int kLatencySamples = 60;

/// The figures of one run, in the table's row order.
using Figures = std::vector<double>;

struct Row {
  const char* measure;
  const char* unit;
};

const Row kRows[] = {
    {"received text", "MB/s"},      {"received text", "CPU s/MiB"},  {"random binary", "MB/s"},
    {"random binary", "CPU s/MiB"}, {"idle CPU over 10 s", "CPU s"}, {"key -> wire p50", "ms"},
    {"key -> wire p99", "ms"},      {"wire -> screen p50", "ms"},    {"wire -> screen p99", "ms"},
};
constexpr std::size_t kRowCount = sizeof kRows / sizeof kRows[0];

struct Terminal {
  std::string name;
  CommandFor command;
};

std::optional<std::string> FindInPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    const std::string candidate = folder + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

// The run's figures, or nothing when the terminal failed a measurement.
std::optional<Figures> MeasureOnce(const Terminal& terminal, std::mt19937& random) {
  TerminalSession session(terminal.command);
  if (!session.ready()) return std::nullopt;
  const double idle = MeasureIdleCpu(session, kIdleSeconds);
  const Latency key = MeasureKeyToWire(session, kLatencySamples, random);
  const Latency wire = MeasureWireToScreen(session, kLatencySamples, random);
  const Throughput text = MeasureThroughput(session, ReceivedText(kVolume, random), random);
  const Throughput binary = MeasureThroughput(session, RandomBinary(kVolume, random), random);
  if (!key.complete || !wire.complete || !text.complete || !binary.complete) return std::nullopt;
  return Figures{text.megabytes_per_second,
                 text.cpu_seconds_per_mib,
                 binary.megabytes_per_second,
                 binary.cpu_seconds_per_mib,
                 idle,
                 key.p50_ms,
                 key.p99_ms,
                 wire.p50_ms,
                 wire.p99_ms};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The medians over `runs` runs; nothing when any run failed.
std::optional<Figures> MeasureMedians(const Terminal& terminal, int runs) {
  std::mt19937 random(20240607);
  std::vector<Figures> all;
  for (int run = 1; run <= runs; ++run) {
    std::fprintf(stderr, "  %s, run %d of %d\n", terminal.name.c_str(), run, runs);
    std::optional<Figures> figures = MeasureOnce(terminal, random);
    if (!figures) {
      std::fprintf(stderr, "  %s failed a measurement in run %d\n", terminal.name.c_str(), run);
      return std::nullopt;
    }
    all.push_back(*figures);
  }
  Figures medians(kRowCount);
  for (std::size_t row = 0; row < kRowCount; ++row) {
    std::vector<double> column;
    for (const Figures& figures : all) column.push_back(figures[row]);
    medians[row] = Median(column);
  }
  return medians;
}

std::string Cell(double value) {
  char text[32];
  std::snprintf(text, sizeof text, value >= 100 ? "%.0f" : value >= 1 ? "%.2f" : "%.4f", value);
  return text;
}

void PrintTable(const std::vector<Terminal>& terminals,
                const std::vector<std::optional<Figures>>& results) {
  std::printf("| measure | unit |");
  for (const Terminal& terminal : terminals) std::printf(" %s |", terminal.name.c_str());
  if (terminals.size() == 2) std::printf(" %s/%s |", "comterm", terminals[1].name.c_str());
  std::printf("\n|---|---|%s\n", terminals.size() == 2 ? "---:|---:|---:|" : "---:|");
  for (std::size_t row = 0; row < kRowCount; ++row) {
    std::printf("| %s | %s |", kRows[row].measure, kRows[row].unit);
    for (const auto& result : results) {
      std::printf(" %s |", result ? Cell((*result)[row]).c_str() : "failed");
    }
    if (results.size() == 2 && results[0] && results[1] && (*results[1])[row] > 0) {
      std::printf(" %.2f |", (*results[0])[row] / (*results[1])[row]);
    } else if (results.size() == 2) {
      std::printf(" - |");
    }
    std::printf("\n");
  }
}

std::vector<Terminal> Terminals(const std::string& comterm) {
  std::vector<Terminal> terminals;
  terminals.push_back(
      {"comterm", [comterm](const std::string& device) {
         return std::vector<std::string>{comterm, "--device=" + device, "--baud=115200"};
       }});
  if (const std::optional<std::string> picocom = FindInPath("picocom")) {
    // Line bytes shown safely, as comterm always does: special and 8-bit bytes as hex.
    terminals.push_back({"picocom", [path = *picocom](const std::string& device) {
                           return std::vector<std::string>{
                               path, "-q", "-b", "115200", "--imap", "spchex,8bithex", device};
                         }});
  } else {
    std::fprintf(stderr, "picocom is not installed: its column is left out\n");
  }
  return terminals;
}

}  // namespace
}  // namespace comterm::bench

int main(int argc, char** argv) {
  using namespace comterm::bench;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s COMTERM_BINARY [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const std::vector<Terminal> terminals = Terminals(argv[1]);
  std::vector<std::optional<Figures>> results;
  for (const Terminal& terminal : terminals) results.push_back(MeasureMedians(terminal, runs));
  PrintTable(terminals, results);
  return std::all_of(results.begin(), results.end(), [](const auto& r) { return r.has_value(); })
             ? 0
             : 1;
}
