// comterm beside picocom (when installed) on pseudo-terminals: received text and random
// binary to the screen, idle CPU, key -> line and line -> screen latency, and a paste
// typed on the console to the line. Several runs per terminal; the table shows the
// medians, comterm/picocom ratios and the targets.
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
#include <utility>
#include <vector>

#include "terminal_measures.h"
#include "terminal_session.h"

namespace comterm::bench {
namespace {

constexpr std::size_t kVolume = 4 * 1024 * 1024;
constexpr std::size_t kPasteSize = 64 * 1024;
constexpr int kIdleSeconds = 10;
constexpr int kLatencySamples = 60;

/// The figures of one run, in the table's row order.
using Figures = std::vector<double>;

/// What a figure must reach: a ratio to picocom's, or a value of comterm's own.
struct Target {
  enum Kind { kNone, kRatioAtLeast, kRatioAtMost, kValueAtMost, kValueBelow } kind = kNone;
  double bound = 0;
};

struct Row {
  const char* figure;
  const char* unit;
  Target target;
};

const Row kRows[] = {
    {"received text to the screen", "MB/s", {Target::kRatioAtLeast, 1.5}},
    {"random binary to the screen", "MB/s", {Target::kRatioAtLeast, 1.5}},
    {"CPU for 4 MiB of text", "s", {Target::kRatioAtMost, 0.75}},
    {"CPU for 4 MiB of binary", "s", {}},
    {"idle CPU over 10 s", "ms", {Target::kValueAtMost, 0}},
    {"key -> line p50", "ms", {Target::kRatioAtMost, 1.1}},
    {"key -> line p99", "ms", {Target::kValueBelow, 1}},
    {"line -> screen p50", "ms", {Target::kRatioAtMost, 1.1}},
    {"line -> screen p99", "ms", {}},
    {"64 KiB paste to the line", "MB/s", {Target::kRatioAtLeast, 0.5}},
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

double CpuFor4MiB(const Throughput& throughput) {
  return throughput.cpu_seconds_per_mib * 4;
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
  const Paste paste = MeasurePaste(session, PastedText(kPasteSize, random));
  const std::pair<const char*, bool> outcomes[] = {{"key -> line", key.complete},
                                                   {"line -> screen", wire.complete},
                                                   {"text", text.complete},
                                                   {"binary", binary.complete},
                                                   {"paste", paste.complete}};
  bool complete = true;
  for (const auto& [name, done] : outcomes) {
    if (!done)
      std::fprintf(stderr, "  %s: the %s measurement did not complete\n", terminal.name.c_str(),
                   name);
    complete = complete && done;
  }
  if (!complete) return std::nullopt;
  return Figures{text.megabytes_per_second,
                 binary.megabytes_per_second,
                 CpuFor4MiB(text),
                 CpuFor4MiB(binary),
                 idle * 1000,
                 key.p50_ms,
                 key.p99_ms,
                 wire.p50_ms,
                 wire.p99_ms,
                 paste.megabytes_per_second};
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
  std::snprintf(text, sizeof text, value >= 100 ? "%.0f" : value >= 1 ? "%.2f" : "%.3f", value);
  return text;
}

std::string TargetText(const Target& target) {
  char text[32] = "";
  switch (target.kind) {
    case Target::kRatioAtLeast:
      std::snprintf(text, sizeof text, ">= %.2gx", target.bound);
      break;
    case Target::kRatioAtMost:
      std::snprintf(text, sizeof text, "<= %.2gx", target.bound);
      break;
    case Target::kValueAtMost:
      std::snprintf(text, sizeof text, "<= %g", target.bound);
      break;
    case Target::kValueBelow:
      std::snprintf(text, sizeof text, "< %g", target.bound);
      break;
    case Target::kNone:
      break;
  }
  return text;
}

// "yes" or "no", or empty when the figure has no target or its ratio is missing.
std::string Met(const Target& target, double value, std::optional<double> ratio) {
  switch (target.kind) {
    case Target::kRatioAtLeast:
      return ratio ? (*ratio >= target.bound ? "yes" : "no") : "";
    case Target::kRatioAtMost:
      return ratio ? (*ratio <= target.bound ? "yes" : "no") : "";
    case Target::kValueAtMost:
      return value <= target.bound ? "yes" : "no";
    case Target::kValueBelow:
      return value < target.bound ? "yes" : "no";
    case Target::kNone:
      break;
  }
  return "";
}

void PrintTable(const std::vector<Terminal>& terminals,
                const std::vector<std::optional<Figures>>& results) {
  const bool beside = terminals.size() == 2;
  std::printf("| figure | unit |");
  for (const Terminal& terminal : terminals) std::printf(" %s |", terminal.name.c_str());
  if (beside) std::printf(" ratio |");
  std::printf(" target | met |\n|---|---|");
  for (std::size_t i = 0; i < terminals.size() + (beside ? 1 : 0); ++i) std::printf("---:|");
  std::printf("---|---|\n");
  for (std::size_t row = 0; row < kRowCount; ++row) {
    std::printf("| %s | %s |", kRows[row].figure, kRows[row].unit);
    for (const auto& result : results) {
      std::printf(" %s |", result ? Cell((*result)[row]).c_str() : "failed");
    }
    std::optional<double> ratio;
    if (beside && results[0] && results[1] && (*results[1])[row] > 0) {
      ratio = (*results[0])[row] / (*results[1])[row];
    }
    if (beside) std::printf(" %s |", ratio ? (Cell(*ratio) + "x").c_str() : "-");
    const std::string met =
        results[0] ? Met(kRows[row].target, (*results[0])[row], ratio) : std::string();
    std::printf(" %s | %s |\n", TargetText(kRows[row].target).c_str(), met.c_str());
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
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const std::vector<Terminal> terminals = Terminals(argv[1]);
  std::vector<std::optional<Figures>> results;
  for (const Terminal& terminal : terminals) results.push_back(MeasureMedians(terminal, runs));
  PrintTable(terminals, results);
  return std::all_of(results.begin(), results.end(), [](const auto& r) { return r.has_value(); })
             ? 0
             : 1;
}
