// Reads built on packets: terminated lines, integers and length-prefixed blocks.
#include <algorithm>

#include "serial/block_serial.h"
#include "serial/ticks.h"

namespace comterm {

namespace {

// Where a line ends in the gathered bytes: the line's length and the terminator's.
struct LineEnd {
  std::size_t line = std::string::npos;
  std::size_t terminator = 0;
  bool lone_cr = false;
  bool lone_lf = false;
};

LineEnd FindTerminator(const std::string& gathered, const std::string& terminator) {
  LineEnd end;
  end.line = gathered.find(terminator);
  end.terminator = terminator.size();
  return end;
}

// CR, LF, CR LF and LF CR each end a line. A lone CR or LF at the end of the bytes so
// far ends it too; its partner, should it follow, is dropped by the next read.
LineEnd FindConvertedLineEnd(const std::string& gathered) {
  LineEnd end;
  end.line = gathered.find_first_of("\r\n");
  if (end.line == std::string::npos) return end;
  const char first = gathered[end.line];
  const char partner = first == '\r' ? '\n' : '\r';
  const bool paired = end.line + 1 < gathered.size() && gathered[end.line + 1] == partner;
  end.terminator = paired ? 2 : 1;
  end.lone_cr = !paired && first == '\r';
  end.lone_lf = !paired && first == '\n';
  return end;
}

std::int32_t FromLsbFirst(const std::string& bytes) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
  return static_cast<std::int32_t>(v);
}

}  // namespace

std::string TBlockSerial::ReadTerminated(std::int32_t timeout, const std::string& terminator) {
  if (LinesNotReady()) return std::string();
  SetError(0);
  if (terminator.empty()) return ReadPacket(timeout);
  const bool convert = ConvertLineEnd && terminator == "\r\n";
  std::string gathered;
  bool first_seen = false;
  for (;;) {
    const std::uint32_t t0 = MillisecondTick(comm_);
    gathered += ReadPacket(timeout);
    if (LastErrorCode != 0) break;
    if (convert && !first_seen && !gathered.empty()) {
      if ((LastEndWasCr && gathered[0] == '\n') || (LastEndWasLf && gathered[0] == '\r')) {
        gathered.erase(0, 1);
      }
      LastEndWasCr = LastEndWasLf = false;
      first_seen = true;
    }
    const LineEnd end =
        convert ? FindConvertedLineEnd(gathered) : FindTerminator(gathered, terminator);
    const std::size_t line_length = std::min(end.line, gathered.size());
    if (MaxLineLength > 0 && line_length > static_cast<std::size_t>(MaxLineLength)) {
      // The over-long line is dropped; what follows its end is kept.
      LineBuffer = end.line == std::string::npos ? "" : gathered.substr(end.line + end.terminator);
      SetErrorAndRaise(errBufferLimit);
      return std::string();
    }
    if (end.line != std::string::npos) {
      LineBuffer = gathered.substr(end.line + end.terminator);
      if (convert) {
        LastEndWasCr = end.lone_cr;
        LastEndWasLf = end.lone_lf;
      }
      return gathered.substr(0, end.line);
    }
    timeout -= static_cast<std::int32_t>(TickElapsed(t0, MillisecondTick(comm_)));
    if (timeout <= 0) {
      SetError(errTimeout);
      break;
    }
  }
  // Nothing gathered is lost: an unfinished line waits in LineBuffer for the next read.
  LineBuffer = gathered;
  RaiseIfError();
  return std::string();
}

std::string TBlockSerial::ReadLine(std::int32_t timeout) {
  return ReadTerminated(timeout, "\r\n");
}

std::int32_t TBlockSerial::ReadInteger(std::int32_t timeout) {
  const std::string bytes = ReadExactText(4, timeout);
  return bytes.size() == 4 ? FromLsbFirst(bytes) : 0;
}

std::string TBlockSerial::ReadBlock(std::int32_t timeout) {
  const std::int32_t length = ReadInteger(timeout);
  if (LastErrorCode != 0) return std::string();
  return ReadExactText(length, timeout);
}

}  // namespace comterm
