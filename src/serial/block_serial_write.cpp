// The send path: the guarded driver write and the writes built on it, the bandwidth
// limit shared with the receive path, RTS toggling and the output queue.
#include <algorithm>
#include <cmath>

#include "runtime/format.h"
#include "serial/block_serial.h"
#include "serial/ticks.h"

namespace comterm {

std::int32_t TBlockSerial::WriteBuffer(const void* buffer, std::int32_t length) {
  std::uint32_t count = 0;
  if (LinesNotReady()) return 0;
  // A negative length would let the driver read far past the caller's buffer.
  length = std::max(length, 0);
  Throttle(length, SendBandwidth, NextSendTick, SendBooked);
  if (RtsToggle) {
    DrainOutput();
    SetRtsLine(true);
  }
  write_overlapped_ = {};
  SetError(0);
  std::uint32_t status = 0;
  if (!comm_.WriteFile(Handle, buffer, static_cast<std::uint32_t>(length), &count,
                       &write_overlapped_)) {
    status = comm_.GetLastError();
  }
  count = CompleteTransfer(status, write_overlapped_, kPurgeTxAbort, count);
  if (RtsToggle) {
    DrainOutput();
    WaitWritable(255);
    SetRtsLine(false);
  }
  RaiseIfError();
  ReportStatus(THookSerialReason::ReasonWriteCount, DecimalText(count));
  return static_cast<std::int32_t>(count);
}

void TBlockSerial::WriteByte(std::uint8_t value) {
  WriteBuffer(&value, 1);
}

void TBlockSerial::WriteText(const std::string& text) {
  WriteBuffer(text.data(), static_cast<std::int32_t>(text.size()));
}

void TBlockSerial::WriteInteger(std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  const unsigned char bytes[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                  static_cast<unsigned char>(v >> 16),
                                  static_cast<unsigned char>(v >> 24)};
  WriteBuffer(bytes, 4);
}

void TBlockSerial::WriteBlock(const std::string& block) {
  WriteInteger(static_cast<std::int32_t>(block.size()));
  WriteText(block);
}

void TBlockSerial::SetBandwidth(std::int32_t bytes_per_second) {
  SendBandwidth = bytes_per_second;
  ReceiveBandwidth = bytes_per_second;
}

void TBlockSerial::Throttle(std::int32_t length, std::int32_t bandwidth, std::uint32_t& next_tick,
                            std::uint32_t& booked) {
  if (bandwidth <= 0) return;
  const std::uint32_t now = MillisecondTick(comm_);
  // The distance ahead, read modulo 2^32: a next tick that already passed across the
  // wrap looks far ahead, so only a wait within what was booked is genuine.
  const std::uint32_t d = next_tick - now;
  if (d > 0 && d <= booked) {
    ReportStatus(THookSerialReason::ReasonWait, DecimalText(d));
    comm_.Sleep(d);
  }
  const long double ms = std::trunc(static_cast<long double>(length) / bandwidth * 1000.0L);
  booked = static_cast<std::uint32_t>(std::fmod(ms, 4294967296.0L));
  next_tick = MillisecondTick(comm_) + booked;
}

void TBlockSerial::SetRtsToggle(bool on) {
  SetError(0);
  if (IsNtFamily()) {
    FetchDcb();
    if (on) {
      Dcb.Flags |= kDcbRtsControlToggle;
    } else {
      Dcb.Flags &= ~kDcbRtsControlMask;
    }
    ApplyDcb();
    return;
  }
  RtsToggle = on;
  if (on) SetRtsLine(false);
}

std::int32_t TBlockSerial::BytesUnsent() {
  SetError(0);
  std::uint32_t flags = 0;
  ComStat stat;
  const bool ok = comm_.ClearCommError(Handle, &flags, &stat);
  if (!ok) CheckResult(-1);
  RaiseIfError();
  return ok ? static_cast<std::int32_t>(stat.cbOutQue) : 0;
}

bool TBlockSerial::WaitWritable(std::int32_t timeout) {
  bool ready = BytesUnsent() == 0;
  if (!ready) ready = WaitEvent(kEvTxEmpty, timeout);
  if (ready && !IsNtFamily()) {
    // The queue is empty; the UART may still be shifting out its last byte.
    const std::uint32_t t0 = MillisecondTick(comm_);
    while (!TransmitterEmpty(PortAddress)) {
      if (TickElapsed(t0, MillisecondTick(comm_)) > 255) break;
      comm_.Sleep(0);
    }
  }
  if (ready) ReportStatus(THookSerialReason::ReasonCanWrite, "");
  return ready;
}

bool TBlockSerial::TransmitterEmpty(std::uint16_t address) {
  if (IsNtFamily()) return true;
  return (comm_.ReadPortByte(static_cast<std::uint16_t>(address + 5)) & 0x40) != 0;
}

}  // namespace comterm
