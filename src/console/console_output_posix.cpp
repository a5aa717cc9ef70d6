#include "console/console_output_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "console/terminal_mode_posix.h"
#include "console/terminal_signals_posix.h"
#include "console/typed_ahead_posix.h"
#include "console/vt_glyphs.h"
#include "runtime/exceptions.h"

namespace comterm {
namespace {

constexpr std::uint16_t kDefaultAttribute = 7;
// Output held for one statement beyond this size is written at once.
constexpr std::size_t kLargeOutput = 64 * 1024;

bool WriteAll(int fd, const char* bytes, std::size_t length) {
  while (length > 0) {
    ssize_t n = write(fd, bytes, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

bool Same(Coord a, Coord b) {
  return a.X == b.X && a.Y == b.Y;
}

bool SameRect(const SmallRect& a, const SmallRect& b) {
  return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

// PC colours number blue 1, green 2, red 4; VT colours red 1, green 2, blue 4.
int VtColour(int pc) {
  return (pc & 1) << 2 | (pc & 2) | (pc & 4) >> 2;
}

std::string Sgr(std::uint16_t attribute) {
  if (attribute == kDefaultAttribute) return "\x1b[0m";
  const int foreground = (attribute & 8 ? 90 : 30) + VtColour(attribute & 7);
  const int background = (attribute & 0x80 ? 100 : 40) + VtColour(attribute >> 4 & 7);
  return "\x1b[0;" + std::to_string(foreground) + ";" + std::to_string(background) + "m";
}

// The output processing of the terminal at `fd`; a descriptor without terminal modes
// (a pipe) passes every byte through as it is.
VtLineMode LineModeOf(int fd) {
  termios mode{};
  if (tcgetattr(fd, &mode) != 0 || (mode.c_oflag & OPOST) == 0) return {};
  return {(mode.c_oflag & OCRNL) == 0, (mode.c_oflag & (ONLCR | ONLRET)) == 0};
}

// Reads until the text holds a complete answer (keys typed meanwhile may come first).
std::string ReadCursorReply(int input_fd, std::chrono::milliseconds timeout) {
  std::string reply;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!ParseCursorReport(reply)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{input_fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[64];
    const ssize_t n = read(input_fd, buffer, sizeof buffer);
    if (n <= 0) break;
    reply.append(buffer, static_cast<std::size_t>(n));
  }
  return reply;
}

// Where the terminal's answers come from: standard input when it is the terminal, else
// the controlling terminal (standard input a pipe); -1 when there is none.
int AnswerDescriptor() {
  if (isatty(STDIN_FILENO)) return STDIN_FILENO;
  return open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
}

// The span of the complete answer "ESC [ row ; column R" starting at `start`, with its
// 1-based row and column; nothing when the text there is no complete answer.
struct ReportSpan {
  std::size_t length = 0;
  int row = 0;
  int column = 0;
};

std::optional<ReportSpan> ReportAt(std::string_view text, std::size_t start) {
  int numbers[2] = {0, 0};
  int which = 0;
  std::size_t i = start + 2;
  for (; i < text.size() && which < 2; ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9' && numbers[which] < 10000) {
      numbers[which] = numbers[which] * 10 + (c - '0');
    } else if (c == ';' && which == 0) {
      which = 1;
    } else {
      break;
    }
  }
  if (which != 1 || i >= text.size() || text[i] != 'R' || numbers[0] == 0 || numbers[1] == 0) {
    return std::nullopt;
  }
  return ReportSpan{i + 1 - start, numbers[0], numbers[1]};
}

}  // namespace

std::optional<Coord> ParseCursorReport(std::string_view reply) {
  std::optional<Coord> found;
  for (std::size_t start = reply.find("\x1b["); start != std::string_view::npos;
       start = reply.find("\x1b[", start + 1)) {
    if (const std::optional<ReportSpan> span = ReportAt(reply, start)) {
      found = Coord{static_cast<std::int16_t>(span->column - 1),
                    static_cast<std::int16_t>(span->row - 1)};
    }
  }
  return found;
}

std::string WithoutCursorReports(std::string_view text) {
  std::string rest;
  std::size_t from = 0;
  for (std::size_t start = text.find("\x1b["); start != std::string_view::npos;
       start = text.find("\x1b[", start + 1)) {
    const std::optional<ReportSpan> span = ReportAt(text, start);
    if (!span) continue;
    rest.append(text.substr(from, start - from));
    from = start + span->length;
    start = from - 1;
  }
  rest.append(text.substr(from));
  return rest;
}

std::optional<Coord> TerminalWindowSize(int output_fd) {
  winsize window{};
  if (ioctl(output_fd, TIOCGWINSZ, &window) != 0 || window.ws_col == 0 || window.ws_row == 0) {
    return std::nullopt;
  }
  return Coord{static_cast<std::int16_t>(window.ws_col), static_cast<std::int16_t>(window.ws_row)};
}

std::optional<Coord> AskCursor(int input_fd, int output_fd, std::chrono::milliseconds timeout) {
  if (input_fd < 0 || !isatty(input_fd)) return std::nullopt;
  // The answer must arrive unechoed and without waiting for Enter.
  posix::RawModeWhileAsking raw(input_fd);
  if (!WriteAll(output_fd, "\x1b[6n", 4)) return std::nullopt;
  const std::string text = ReadCursorReply(input_fd, timeout);
  if (input_fd == STDIN_FILENO) posix::KeepTypedAhead(WithoutCursorReports(text));
  return ParseCursorReport(text);
}

VtStartState QueryTerminal(int input_fd, int output_fd, std::chrono::milliseconds timeout) {
  VtStartState start;
  start.size = TerminalWindowSize(output_fd).value_or(start.size);
  const std::optional<Coord> cursor = AskCursor(input_fd, output_fd, timeout);
  if (cursor && cursor->X < start.size.X && cursor->Y < start.size.Y) {
    start.cursor = *cursor;
    start.answer_fd = input_fd;
  } else {
    // Unknown position: a fresh line at the bottom never overwrites earlier text.
    WriteAll(output_fd, "\r\n", 2);
    start.cursor = {0, static_cast<std::int16_t>(start.size.Y - 1)};
  }
  return start;
}

VtConsoleOutput::VtConsoleOutput(int output_fd, VtStartState start)
    : fd_(output_fd),
      cells_(start.size, kDefaultAttribute),
      cursor_(start.cursor),
      terminal_cursor_(start.cursor),
      line_mode_(LineModeOf(output_fd)),
      answer_fd_(start.answer_fd) {}

VtConsoleOutput::~VtConsoleOutput() {
  if (isatty(fd_) == 1 && cursor_.X != 0) pending_ += "\r\n";
  try {
    Flush();
  } catch (const EInOutError&) {
    // The reader went at the very end: there is nothing left to end.
  }
}

ConsoleHandle VtConsoleOutput::GetStdHandle(std::int32_t which) {
  return static_cast<ConsoleHandle>(which == kStdOutputHandle ? fd_ : STDIN_FILENO);
}

bool VtConsoleOutput::GetConsoleScreenBufferInfo(ConsoleHandle, ConsoleScreenBufferInfo* info) {
  const Coord size = cells_.Size();
  info->dwSize = size;
  info->dwCursorPosition = cursor_;
  info->wAttributes = kDefaultAttribute;
  info->srWindow = {0, 0, static_cast<std::int16_t>(size.X - 1),
                    static_cast<std::int16_t>(size.Y - 1)};
  info->dwMaximumWindowSize = size;
  return true;
}

bool VtConsoleOutput::SetConsoleCursorPosition(ConsoleHandle, Coord position) {
  if (!cells_.Contains(position)) return false;
  cursor_ = position;
  MoveTerminalCursor(position);
  // A long statement is handed over in pieces of 256 bytes; it goes out in one write at
  // its end unless it grows large.
  if (pending_.size() >= kLargeOutput) Flush();
  return true;
}

bool VtConsoleOutput::WriteConsoleOutputCharacterA(ConsoleHandle, const char* characters,
                                                   std::uint32_t length, Coord at,
                                                   std::uint32_t* written) {
  *written = cells_.WriteCharacters(characters, length, at);
  const int width = cells_.Size().X;
  for (std::uint32_t done = 0; done < *written;) {
    const auto run =
        std::min<std::uint32_t>(*written - done, static_cast<std::uint32_t>(width - at.X));
    DrawRun(at, characters + done, run);
    done += run;
    at = {0, static_cast<std::int16_t>(at.Y + 1)};
  }
  return *written == length;
}

// Only a cell whose colour changes is drawn again.
bool VtConsoleOutput::WriteConsoleOutputAttribute(ConsoleHandle, const std::uint16_t* attributes,
                                                  std::uint32_t length, Coord at,
                                                  std::uint32_t* written) {
  *written = 0;
  if (!cells_.Contains(at)) return length == 0;
  const int width = cells_.Size().X;
  for (; *written < length && at.Y < cells_.Size().Y;
       at = {0, static_cast<std::int16_t>(at.Y + 1)}) {
    CharInfo* row = &cells_.At(at);
    for (int x = at.X; x < width && *written < length; ++x, ++*written) {
      CharInfo& stored = row[x - at.X];
      if (stored.Attributes == attributes[*written]) continue;
      stored.Attributes = attributes[*written];
      DrawCell({static_cast<std::int16_t>(x), at.Y});
    }
  }
  return *written == length;
}

bool VtConsoleOutput::ScrollConsoleScreenBufferA(ConsoleHandle, const SmallRect& scroll,
                                                 const SmallRect* clip, Coord destination,
                                                 const CharInfo& fill) {
  if (IsWholeScreenScrollUp(scroll, clip, destination, fill)) {
    ScrollWholeScreenUp(fill);
    return true;
  }
  const CellBuffer before = cells_;
  if (!cells_.Scroll(scroll, clip, destination, fill)) return false;
  RedrawChangedCells(before);
  return true;
}

bool VtConsoleOutput::SetConsoleOutputCP(std::uint32_t code_page) {
  code_page_ = code_page;
  return true;
}

bool VtConsoleOutput::IsConsole(ConsoleHandle) {
  return isatty(fd_) == 1;
}

bool VtConsoleOutput::WriteFile(ConsoleHandle, const char* bytes, std::uint32_t length) {
  Send(bytes, length);
  return !reader_gone_;
}

// Standard output whose reader has gone (`comterm | head`) ends the run: the first such
// write raises, so the frame's closing steps run, and nothing is written after it.
void VtConsoleOutput::Send(const char* bytes, std::size_t length) {
  if (reader_gone_ || WriteAll(fd_, bytes, length) || errno != EPIPE) return;
  reader_gone_ = true;
  throw EInOutError("Broken pipe", EPIPE);
}

// The writer's one scroll: every row of the screen up by one, a blank row in the
// terminal's default colours at the bottom. A line feed on the bottom row does that.
bool VtConsoleOutput::IsWholeScreenScrollUp(const SmallRect& scroll, const SmallRect* clip,
                                            Coord destination, const CharInfo& fill) const {
  const std::int16_t right = static_cast<std::int16_t>(cells_.Size().X - 1);
  const std::int16_t bottom = static_cast<std::int16_t>(cells_.Size().Y - 1);
  return clip != nullptr && SameRect(scroll, {0, 1, right, bottom}) &&
         SameRect(*clip, {0, 0, right, bottom}) && Same(destination, {0, 0}) &&
         fill.AsciiChar == ' ' && fill.Attributes == kDefaultAttribute;
}

// A line feed from the start of the bottom row scrolls and leaves the cursor there,
// whatever the terminal's output mode does to a line feed's column.
void VtConsoleOutput::ScrollWholeScreenUp(const CharInfo& fill) {
  const std::int16_t bottom = static_cast<std::int16_t>(cells_.Size().Y - 1);
  cells_.ScrollWholeBufferUp(fill);
  SetPen(kDefaultAttribute);
  MoveTerminalCursor({0, bottom});
  pending_ += '\n';
  terminal_cursor_ = {0, bottom};
}

void VtConsoleOutput::RedrawChangedCells(const CellBuffer& before) {
  for (std::int16_t y = 0; y < cells_.Size().Y; ++y) {
    for (std::int16_t x = 0; x < cells_.Size().X; ++x) {
      const CharInfo& old_cell = before.At({x, y});
      const CharInfo& new_cell = cells_.At({x, y});
      if (old_cell.AsciiChar != new_cell.AsciiChar || old_cell.Attributes != new_cell.Attributes) {
        DrawCell({x, y});
      }
    }
  }
}

// Cells just written side by side on a row: one cursor move, then their glyphs, printable
// ASCII in the pen's colour copied as it is.
void VtConsoleOutput::DrawRun(Coord at, const char* characters, std::uint32_t count) {
  MoveTerminalCursor(at);
  const CharInfo* cells = &cells_.At(at);
  for (std::uint32_t i = 0; i < count;) {
    SetPen(cells[i].Attributes);
    std::uint32_t plain = i;
    while (plain < count && cells[plain].Attributes == pen_ && characters[plain] >= ' ' &&
           characters[plain] < 0x7F) {
      ++plain;
    }
    pending_.append(characters + i, plain - i);
    if (plain == i) pending_ += VtGlyph(static_cast<std::uint8_t>(characters[plain++]));
    i = plain;
  }
  terminal_cursor_ = {static_cast<std::int16_t>(at.X + count), at.Y};
}

// A glyph moves the terminal's cursor one cell on; after the last column the terminal
// waits to wrap (the column one past the last stands for that).
void VtConsoleOutput::DrawCell(Coord at) {
  const CharInfo& cell = cells_.At(at);
  MoveTerminalCursor(at);
  SetPen(cell.Attributes);
  pending_ += VtGlyph(static_cast<std::uint8_t>(cell.AsciiChar));
  terminal_cursor_ = {static_cast<std::int16_t>(at.X + 1), at.Y};
}

void VtConsoleOutput::MoveTerminalCursor(Coord at) {
  if (Same(terminal_cursor_, at)) return;
  AppendCursorMove(pending_, terminal_cursor_, at, cells_.Size().X, line_mode_);
  terminal_cursor_ = at;
}

void VtConsoleOutput::SetPen(std::uint16_t attribute) {
  if (pen_ == attribute) return;
  pending_ += Sgr(attribute);
  pen_ = attribute;
}

void VtConsoleOutput::FlushOutput(ConsoleHandle) {
  Flush();
}

void VtConsoleOutput::Flush() {
  if (pending_.empty()) return;
  // Bytes a gone reader did not take are dropped by the next flush.
  Send(pending_.data(), pending_.size());
  pending_.clear();
}

std::unique_ptr<ConsoleOutputApi> CreatePlatformConsoleOutput() {
  // A write to a reader that has gone then fails with EPIPE instead of killing the
  // process with the terminal still raw.
  signal(SIGPIPE, SIG_IGN);
  VtStartState start;
  if (isatty(STDOUT_FILENO)) {
    posix::InstallTerminalSignals();
    posix::EnterRawMode();
    start = QueryTerminal(AnswerDescriptor(), STDOUT_FILENO, kCursorAnswerTimeout);
  }
  return std::make_unique<VtConsoleOutput>(STDOUT_FILENO, start);
}

}  // namespace comterm
