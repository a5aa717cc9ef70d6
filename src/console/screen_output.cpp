#include "console/screen_output.h"

#include <algorithm>

#include "runtime/exceptions.h"

namespace comterm {

TextStream ScreenOutput;
TextStream StandardInput;

namespace {

void RequireOutput(const TextStream& stream) {
  if (stream.State == StreamState::Closed) throw EInOutError("File not open", 103);
  if (stream.State == StreamState::OpenForInput) {
    throw EInOutError("File not open for output", 105);
  }
}

// A full buffer is handed over only when another byte must go in, so text that exactly
// fills it waits for the end of the statement.
void Append(TextStream& stream, std::string_view bytes) {
  while (!bytes.empty()) {
    if (stream.Count == TextStream::kBufferSize && stream.WriteOut) stream.WriteOut(stream);
    // A write-out hook that left the buffer full cannot take the byte; never overrun.
    if (stream.Count == TextStream::kBufferSize) {
      bytes.remove_prefix(1);
      continue;
    }
    const std::size_t part = std::min(bytes.size(), TextStream::kBufferSize - stream.Count);
    std::copy_n(bytes.data(), part, stream.Buffer.data() + stream.Count);
    stream.Count += part;
    bytes.remove_prefix(part);
  }
}

void CloseStream(TextStream& stream) {
  stream.State = StreamState::Closed;
}

}  // namespace

void ResetStream(TextStream& stream) {
  stream = TextStream{};
}

void OpenForOutput(TextStream& stream, TextStream::Hook write_out, TextStream::Hook flush) {
  stream.State = StreamState::OpenForOutput;
  stream.WriteOut = std::move(write_out);
  stream.Flush = std::move(flush);
  stream.Close = CloseStream;
}

void OpenForInput(TextStream& stream, TextStream::Hook read) {
  stream.State = StreamState::OpenForInput;
  stream.Read = std::move(read);
  stream.Flush = [](TextStream&) {};
  stream.Close = CloseStream;
}

void PutText(TextStream& stream, std::string_view text) {
  RequireOutput(stream);
  Append(stream, text);
}

void PutChar(TextStream& stream, char byte) {
  PutText(stream, std::string_view(&byte, 1));
}

void EndWrite(TextStream& stream) {
  if (stream.Flush) stream.Flush(stream);
}

void EndLine(TextStream& stream) {
  PutText(stream, stream.LineEnd);
  EndWrite(stream);
}

}  // namespace comterm
