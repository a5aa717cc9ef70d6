// The text streams: bytes gathered in a 256-byte buffer and handed to a hook, and the two
// process-wide streams ScreenOutput and StandardInput with their write statements.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string_view>

#include "console/console_api.h"

namespace comterm {

/// What a text stream is open for.
enum class StreamState { Closed, OpenForInput, OpenForOutput };

/// A text stream with its buffer and the hooks that move the buffer to and from the
/// console.
struct TextStream {
  /// A stream operation installed by the open step.
  using Hook = std::function<void(TextStream&)>;
  /// Number of bytes the buffer holds.
  static constexpr std::size_t kBufferSize = 256;

  /// Closed, open for input or open for output.
  StreamState State = StreamState::Closed;
  /// The bytes held; only the first Count are meaningful.
  std::array<char, kBufferSize> Buffer{};
  /// Number of bytes held in Buffer, 0 to 256.
  std::size_t Count = 0;
  /// Read position in Buffer, used by the line reader.
  std::size_t Position = 0;
  /// The line end EndLine appends: CR LF.
  std::string_view LineEnd = "\r\n";
  /// Called when the buffer is full and another byte must be added.
  Hook WriteOut;
  /// Called at the end of every write statement.
  Hook Flush;
  /// Returns the stream to closed.
  Hook Close;
  /// Fills the buffer of a stream open for input.
  Hook Read;
  /// The platform handle the stream stands for.
  ConsoleHandle Handle = 0;
};

/// All text the program writes goes through this stream to the screen.
extern TextStream ScreenOutput;
/// The console's line input stream.
extern TextStream StandardInput;

/// Makes `stream` a fresh stream: closed, empty, no hooks, line end CR LF.
void ResetStream(TextStream& stream);
/// Opens `stream` for output: `write` becomes the write-out and the flush hook.
void OpenForOutput(TextStream& stream, TextStream::Hook write_out, TextStream::Hook flush);
/// Opens `stream` for input: `read` becomes the read hook; the flush hook does nothing.
void OpenForInput(TextStream& stream, TextStream::Hook read);

/// Appends `text`, handing a full buffer to the write-out hook before each byte that
/// does not fit. Raises EInOutError when the stream is not open for output.
void PutText(TextStream& stream, std::string_view text);
/// Appends one byte, as PutText does.
void PutChar(TextStream& stream, char byte);
/// Ends a write statement: calls the flush hook, without testing the state.
void EndWrite(TextStream& stream);
/// Ends a write statement with the line end: appends CR LF, then calls the flush hook.
void EndLine(TextStream& stream);

}  // namespace comterm
