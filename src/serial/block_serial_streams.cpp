// Stream transfers: a stream's bytes sent in pieces, received bytes written to a stream.
#include <algorithm>
#include <istream>
#include <ostream>

#include "serial/block_serial.h"

namespace comterm {

namespace {

constexpr std::streamsize kPieceSize = 8192;

std::int32_t SwapBytes(std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  return static_cast<std::int32_t>((v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) |
                                   (v << 24));
}

// Bytes from the stream's position to its end; 0 when it cannot seek.
std::int32_t RemainingBytes(std::istream& stream) {
  const std::istream::pos_type here = stream.tellg();
  if (here == std::istream::pos_type(-1)) return 0;
  stream.seekg(0, std::ios::end);
  const std::istream::pos_type end = stream.tellg();
  stream.seekg(here);
  return static_cast<std::int32_t>(std::max<std::streamoff>(end - here, 0));
}

}  // namespace

void TBlockSerial::WriteStream(std::istream& stream) {
  std::string piece(static_cast<std::size_t>(kPieceSize), '\0');
  for (;;) {
    stream.read(piece.data(), kPieceSize);
    const std::streamsize n = stream.gcount();
    if (n <= 0) return;
    WriteText(piece.substr(0, static_cast<std::size_t>(n)));
  }
}

void TBlockSerial::WriteStreamWithSize(std::istream& stream) {
  WriteInteger(RemainingBytes(stream));
  WriteStream(stream);
}

void TBlockSerial::WriteStreamWithSizeMsb(std::istream& stream) {
  WriteInteger(SwapBytes(RemainingBytes(stream)));
  WriteStream(stream);
}

void TBlockSerial::ReadStreamPackets(std::ostream& stream, std::int32_t timeout) {
  for (;;) {
    const std::string packet = ReadPacket(timeout);
    stream.write(packet.data(), static_cast<std::streamsize>(packet.size()));
    if (LastErrorCode != 0) return;
  }
}

void TBlockSerial::ReadStream(std::ostream& stream, std::int32_t size, std::int32_t timeout) {
  for (std::int32_t left = size; left > 0;) {
    const auto piece = static_cast<std::int32_t>(std::min<std::streamsize>(left, kPieceSize));
    const std::string bytes = ReadExactText(piece, timeout);
    if (LastErrorCode != 0) return;
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    left -= piece;
  }
}

void TBlockSerial::ReadStreamWithSize(std::ostream& stream, std::int32_t timeout) {
  const std::int32_t size = ReadInteger(timeout);
  if (LastErrorCode == 0) ReadStream(stream, size, timeout);
}

void TBlockSerial::ReadStreamWithSizeMsb(std::ostream& stream, std::int32_t timeout) {
  const std::int32_t size = SwapBytes(ReadInteger(timeout));
  if (LastErrorCode == 0) ReadStream(stream, size, timeout);
}

}  // namespace comterm
