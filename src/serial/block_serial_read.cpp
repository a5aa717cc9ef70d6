// The receive path: reads through LineBuffer, the guarded driver read, the input queue
// count and the waits for input.
#include <algorithm>
#include <cstring>

#include "runtime/format.h"
#include "serial/block_serial.h"
#include "serial/ticks.h"

namespace comterm {

std::uint8_t TBlockSerial::ReadByte(std::int32_t timeout) {
  std::uint8_t result = 0;
  if (LinesNotReady()) return 0;
  SetError(0);
  if (LineBuffer.empty()) LineBuffer = ReadPacket(timeout);
  // After an error the packet stays in LineBuffer for the next call.
  if (LastErrorCode == 0 && !LineBuffer.empty()) {
    result = static_cast<std::uint8_t>(LineBuffer.PopFront());
  }
  RaiseIfError();
  return result;
}

std::string_view TBlockSerial::ReadRun(std::int32_t timeout, std::size_t limit) {
  if (LinesNotReady()) return {};
  SetError(0);
  if (LineBuffer.empty()) LineBuffer = ReadPacket(timeout);
  // As in ReadByte, a packet read with an error waits in LineBuffer for the next call.
  std::string_view run;
  if (LastErrorCode == 0) run = LineBuffer.TakeFront(limit);
  RaiseIfError();
  return run;
}

std::string TBlockSerial::ReadPacket(std::int32_t timeout) {
  std::string result;
  if (LinesNotReady()) return result;
  SetError(0);
  if (!LineBuffer.empty()) {
    result = LineBuffer.TakeAll();
  } else {
    comm_.Sleep(0);
    std::int32_t n = BytesWaiting();
    if (n <= 0) {
      n = 0;
      if (WaitReadable(timeout)) n = BytesWaiting();
      if (n == 0) SetError(errTimeout);
    }
    if (n > 0) {
      result.resize(static_cast<std::size_t>(n));
      n = ReadBuffer(result.data(), n);
      result.resize(static_cast<std::size_t>(std::max(n, 0)));
    }
  }
  RaiseIfError();
  return result;
}

std::int32_t TBlockSerial::ReadBuffer(void* buffer, std::int32_t length) {
  std::uint32_t count = 0;
  if (LinesNotReady()) return 0;
  // A negative length would let the driver write far past the caller's buffer.
  length = std::max(length, 0);
  Throttle(length, ReceiveBandwidth, NextReceiveTick, ReceiveBooked);
  read_overlapped_ = {};
  SetError(0);
  std::uint32_t status = 0;
  if (!comm_.ReadFile(Handle, buffer, static_cast<std::uint32_t>(length), &count,
                      &read_overlapped_)) {
    status = comm_.GetLastError();
  }
  count = CompleteTransfer(status, read_overlapped_, kPurgeRxAbort, count);
  RaiseIfError();
  ReportStatus(THookSerialReason::ReasonReadCount, DecimalText(count));
  return static_cast<std::int32_t>(count);
}

std::int32_t TBlockSerial::ReadExact(void* buffer, std::int32_t length, std::int32_t timeout) {
  std::int32_t total = 0;
  if (LinesNotReady()) return 0;
  SetError(0);
  auto* out = static_cast<char*>(buffer);
  std::string packet;
  std::size_t taken = 0;
  for (;;) {
    const std::uint32_t t0 = MillisecondTick(comm_);
    packet = ReadPacket(timeout);
    // Never more than was asked for; a negative length asks for nothing.
    const auto room = static_cast<std::size_t>(std::max(length - total, 0));
    taken = std::min(packet.size(), room);
    if (taken > 0) std::memcpy(out + total, packet.data(), taken);
    total += static_cast<std::int32_t>(taken);
    if (LastErrorCode != 0 || total >= length) break;
    if (InterPacketTimeout) continue;
    timeout -= static_cast<std::int32_t>(TickElapsed(t0, MillisecondTick(comm_)));
    if (timeout <= 0) {
      SetError(errTimeout);
      break;
    }
  }
  LineBuffer = packet.substr(taken);
  return total;
}

std::string TBlockSerial::ReadExactText(std::int32_t length, std::int32_t timeout) {
  std::string result;
  if (LinesNotReady()) return result;
  SetError(0);
  if (length <= 0) return result;
  result.resize(static_cast<std::size_t>(length));
  const std::int32_t n = ReadExact(result.data(), length, timeout);
  if (LastErrorCode != 0) return std::string();
  result.resize(static_cast<std::size_t>(n));
  return result;
}

std::int32_t TBlockSerial::BytesWaiting() {
  std::int32_t result = 0;
  std::uint32_t flags = 0;
  ComStat stat;
  if (comm_.ClearCommError(Handle, &flags, &stat)) {
    SetError(0);
    result = static_cast<std::int32_t>(stat.cbInQue);
  } else {
    CheckResult(-1);
  }
  RaiseIfError();
  return result;
}

std::int32_t TBlockSerial::BytesAvailable() {
  if (!LineBuffer.empty()) return static_cast<std::int32_t>(LineBuffer.size());
  return BytesWaiting();
}

bool TBlockSerial::WaitReadable(std::int32_t timeout) {
  bool ready = BytesWaiting() > 0;
  if (!ready) ready = WaitEvent(kEvRxChar, timeout);
  if (ready) ReportStatus(THookSerialReason::ReasonCanRead, "");
  return ready;
}

bool TBlockSerial::WaitAvailable(std::int32_t timeout) {
  if (!LineBuffer.empty()) return true;
  return WaitReadable(timeout);
}

namespace {

// Disarms the port's events and releases the wait's event however WaitEvent ends.
class EventWaitCleanup {
 public:
  EventWaitCleanup(CommApi& comm, CommHandle port, CommHandle event)
      : comm_(comm), port_(port), event_(event) {}
  ~EventWaitCleanup() {
    comm_.SetCommMask(port_, 0);
    comm_.CloseHandle(event_);
  }
  EventWaitCleanup(const EventWaitCleanup&) = delete;
  EventWaitCleanup& operator=(const EventWaitCleanup&) = delete;

 private:
  CommApi& comm_;
  CommHandle port_;
  CommHandle event_;
};

}  // namespace

bool TBlockSerial::WaitEvent(std::uint32_t mask, std::int32_t timeout) {
  Overlapped overlapped{};
  overlapped.hEvent = comm_.CreateEventA(true, false);
  EventWaitCleanup cleanup(comm_, Handle, overlapped.hEvent);
  comm_.SetCommMask(Handle, mask);
  SetError(0);
  // Catches bytes that arrived between the caller's look at the queue and the mask.
  if (mask == kEvRxChar && BytesWaiting() > 0) return true;
  std::uint32_t received = 0;
  std::uint32_t status = 0;
  if (!comm_.WaitCommEvent(Handle, &received, &overlapped)) status = comm_.GetLastError();
  if (status == kErrorIoPending) {
    const auto ms = static_cast<std::uint32_t>(timeout);
    if (input_wait_handle_) {
      const CommHandle handles[2] = {overlapped.hEvent, *input_wait_handle_};
      comm_.WaitForMultipleObjects(2, handles, ms);
    } else {
      comm_.WaitForSingleObject(overlapped.hEvent, ms);
    }
    // Clearing the mask ends a wait that saw no event, leaving `received` at 0.
    comm_.SetCommMask(Handle, 0);
    std::uint32_t count = 0;
    comm_.GetOverlappedResult(Handle, &overlapped, &count, true);
  }
  return (received & mask) == mask;
}

void TBlockSerial::SetInputWaitHandle(CommHandle handle) {
  input_wait_handle_ = handle;
}

std::uint32_t TBlockSerial::CompleteTransfer(std::uint32_t status, Overlapped& overlapped,
                                             std::uint32_t abort_flag, std::uint32_t count) {
  if (status == kErrorIoPending) {
    const std::uint32_t w =
        comm_.WaitForSingleObject(Handle, static_cast<std::uint32_t>(DeadlockTimeout));
    if (w == kWaitTimeout) {
      comm_.PurgeComm(Handle, abort_flag);
      SetError(errTimeout);
    }
    comm_.GetOverlappedResult(Handle, &overlapped, &count, false);
  } else {
    SetError(static_cast<std::int32_t>(status));
  }
  std::uint32_t flags = 0;
  comm_.ClearCommError(Handle, &flags, nullptr);
  if (flags != 0) DecodeLineErrors(flags);
  return count;
}

}  // namespace comterm
