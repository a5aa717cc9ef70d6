// The measurements made on one running terminal program.
#pragma once

#include <cstddef>
#include <random>
#include <string>

#include "terminal_session.h"

namespace comterm::bench {

/// Bytes pushed through to the screen: how fast, and at what CPU cost to the program.
struct Throughput {
  double megabytes_per_second = 0;  ///< 10^6 bytes per second, until the end marker showed
  double cpu_seconds_per_mib = 0;   ///< the program's CPU per 2^20 bytes
  bool complete = false;            ///< the end marker showed in time
};

/// The 50th and 99th percentile of a set of latencies, in milliseconds.
struct Latency {
  double p50_ms = 0;
  double p99_ms = 0;
  bool complete = false;  ///< every sample arrived in time
};

/// Lines of printable text (20 to 79 characters, then CR LF), `size` bytes in all.
std::string ReceivedText(std::size_t size, std::mt19937& random);
/// Uniformly random bytes.
std::string RandomBinary(std::size_t size, std::mt19937& random);

/// Writes `payload` into the serial line, then CR LF and a marker made unique by
/// `random`, and times until the marker shows on the console.
Throughput MeasureThroughput(TerminalSession& session, const std::string& payload,
                             std::mt19937& random);
/// The program's CPU seconds while `seconds` pass with nothing typed or received.
double MeasureIdleCpu(TerminalSession& session, int seconds);
/// How fast a paste reaches the line: `size` bytes typed on the console in one go.
struct Paste {
  double megabytes_per_second = 0;  ///< 10^6 bytes per second, until the last byte was on the line
  bool complete = false;            ///< every byte arrived, in order, in time
};

/// Printable text with carriage returns, as a paste of lines would type it.
std::string PastedText(std::size_t size, std::mt19937& random);
/// Types `text` on the console at once and times until all of it is read on the serial line.
Paste MeasurePaste(TerminalSession& session, const std::string& text);
/// Types `samples` keys at random gaps and times each until it is read on the serial line.
Latency MeasureKeyToWire(TerminalSession& session, int samples, std::mt19937& random);
/// Sends `samples` bytes at random gaps and times each until it shows on the console.
Latency MeasureWireToScreen(TerminalSession& session, int samples, std::mt19937& random);

}  // namespace comterm::bench
