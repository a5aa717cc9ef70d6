#include "serial/comm_loop.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace comterm {
namespace {

// Odd values between the descriptors and the event handles of POSIX, and never a
// Windows handle (those are multiples of four).
constexpr CommHandle kFirstLoopHandle = 0x20000001;
constexpr std::uint32_t kAllPurgeFlags =
    kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear;

Dcb DefaultDcb() {
  Dcb dcb;
  dcb.DCBlength = sizeof(Dcb);
  dcb.BaudRate = 9600;
  dcb.Flags = kDcbBinary | kDcbDtrControlEnable | kDcbRtsControlEnable;
  dcb.ByteSize = 8;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  return dcb;
}

bool Acceptable(const Dcb& dcb) {
  return dcb.BaudRate != 0 && dcb.ByteSize >= 5 && dcb.ByteSize <= 8 && dcb.Parity <= 4 &&
         dcb.StopBits <= 2;
}

// A loopback plug wires RTS back to CTS, and DTR to DSR and carrier detect.
std::uint32_t LoopedLines(std::uint32_t function) {
  return function == kSetRts || function == kClrRts ? kMsCtsOn : kMsDsrOn | kMsRlsdOn;
}

std::uint32_t EventsNow(const LoopPort& port) {
  std::uint32_t events = port.mask & kEvTxEmpty;
  if (!port.queue.empty()) events |= port.mask & kEvRxChar;
  return events;
}

}  // namespace

LoopbackComm::LoopbackComm(std::unique_ptr<CommApi> platform, LoopErrorCodes codes)
    : platform_(std::move(platform)), codes_(codes), next_handle_(kFirstLoopHandle) {}

CommHandle LoopbackComm::CreateFileA(const std::string& path, std::uint32_t access,
                                     std::uint32_t share_mode, std::uint32_t creation,
                                     std::uint32_t flags) {
  if (path != kPath) return platform_->CreateFileA(path, access, share_mode, creation, flags);
  const CommHandle handle = next_handle_;
  next_handle_ += 2;
  ports_[handle].dcb = DefaultDcb();
  return handle;
}

bool LoopbackComm::CloseHandle(CommHandle handle) {
  if (ports_.erase(handle) != 0) return true;
  return platform_->CloseHandle(handle);
}

bool LoopbackComm::SetCommMask(CommHandle handle, std::uint32_t mask) {
  LoopPort* port = Find(handle);
  if (port == nullptr) return platform_->SetCommMask(handle, mask);
  port->mask = mask;
  // A new mask ends a pending wait, which then reports no event.
  if (port->comm_wait && !port->comm_wait->ended) {
    port->comm_wait->ended = true;
    *port->comm_wait->mask = 0;
  }
  return true;
}

bool LoopbackComm::SetupComm(CommHandle handle, std::uint32_t in_queue, std::uint32_t out_queue) {
  if (Find(handle) == nullptr) return platform_->SetupComm(handle, in_queue, out_queue);
  return true;
}

bool LoopbackComm::SetCommTimeouts(CommHandle handle, const CommTimeouts& timeouts) {
  if (Find(handle) == nullptr) return platform_->SetCommTimeouts(handle, timeouts);
  return true;
}

bool LoopbackComm::EscapeCommFunction(CommHandle handle, std::uint32_t function,
                                      std::uint16_t* base_address) {
  LoopPort* port = Find(handle);
  if (port == nullptr) return platform_->EscapeCommFunction(handle, function, base_address);
  if (function == kGetBaseAddress && base_address != nullptr) *base_address = 0;
  if (function < kSetRts || function > kClrDtr) return Fail(codes_.bad_argument);
  if (function == kSetRts || function == kSetDtr) {
    port->raised |= LoopedLines(function);
  } else {
    port->raised &= ~LoopedLines(function);
  }
  return true;
}

bool LoopbackComm::GetCommModemStatus(CommHandle handle, std::uint32_t* status) {
  LoopPort* port = Find(handle);
  if (port == nullptr) return platform_->GetCommModemStatus(handle, status);
  *status = port->raised;
  return true;
}

bool LoopbackComm::GetCommState(CommHandle handle, Dcb* dcb) {
  LoopPort* port = Find(handle);
  if (port == nullptr) return platform_->GetCommState(handle, dcb);
  *dcb = port->dcb;
  return true;
}

bool LoopbackComm::SetCommState(CommHandle handle, const Dcb& dcb) {
  LoopPort* port = Find(handle);
  if (port == nullptr) return platform_->SetCommState(handle, dcb);
  if (!Acceptable(dcb)) return Fail(codes_.bad_argument);
  port->dcb = dcb;
  return true;
}

bool LoopbackComm::PurgeComm(CommHandle handle, std::uint32_t flags) {
  LoopPort* port = Find(handle);
  if (port == nullptr) return platform_->PurgeComm(handle, flags);
  if (flags == 0 || (flags & ~kAllPurgeFlags) != 0) return Fail(codes_.bad_argument);
  if ((flags & kPurgeRxAbort) != 0 && port->read && !port->read->ended) {
    port->read->ended = true;
    port->read->error = codes_.aborted;
  }
  if ((flags & kPurgeRxClear) != 0) port->queue.clear();
  return true;
}

bool LoopbackComm::FlushFileBuffers(CommHandle handle) {
  return Find(handle) != nullptr || platform_->FlushFileBuffers(handle);
}

bool LoopbackComm::SetCommBreak(CommHandle handle) {
  return Find(handle) != nullptr || platform_->SetCommBreak(handle);
}

bool LoopbackComm::ClearCommBreak(CommHandle handle) {
  return Find(handle) != nullptr || platform_->ClearCommBreak(handle);
}

bool LoopbackComm::ClearCommError(CommHandle handle, std::uint32_t* errors, ComStat* stat) {
  LoopPort* port = Find(handle);
  if (port == nullptr) return platform_->ClearCommError(handle, errors, stat);
  if (errors != nullptr) *errors = 0;
  if (stat != nullptr) *stat = ComStat{0, static_cast<std::uint32_t>(port->queue.size()), 0};
  return true;
}

bool LoopbackComm::ReadFile(CommHandle handle, void* buffer, std::uint32_t length,
                            std::uint32_t* count, Overlapped* overlapped) {
  LoopPort* port = Find(handle);
  if (port == nullptr) return platform_->ReadFile(handle, buffer, length, count, overlapped);
  if (port->read && !port->read->ended) return Fail(codes_.busy);
  port->read = LoopRead{overlapped, static_cast<char*>(buffer), length};
  Deliver(port);
  if (port->read->ended) {
    if (count != nullptr) *count = port->read->done;
    port->read.reset();
    return true;
  }
  if (count != nullptr) *count = 0;
  return Fail(kErrorIoPending);
}

bool LoopbackComm::WriteFile(CommHandle handle, const void* buffer, std::uint32_t length,
                             std::uint32_t* count, Overlapped* overlapped) {
  LoopPort* port = Find(handle);
  if (port == nullptr) return platform_->WriteFile(handle, buffer, length, count, overlapped);
  const char* bytes = static_cast<const char*>(buffer);
  port->queue.insert(port->queue.end(), bytes, bytes + length);
  Deliver(port);
  if (count != nullptr) *count = length;
  return true;
}

bool LoopbackComm::GetOverlappedResult(CommHandle handle, Overlapped* overlapped,
                                       std::uint32_t* count, bool wait) {
  LoopPort* port = Find(handle);
  if (port == nullptr) return platform_->GetOverlappedResult(handle, overlapped, count, wait);
  // Nothing can write to the loop while this thread waits, so a wait cannot help here.
  if (port->comm_wait && port->comm_wait->record == overlapped) {
    if (count != nullptr) *count = 0;
    if (!port->comm_wait->ended) return Fail(codes_.incomplete);
    port->comm_wait.reset();
    return true;
  }
  if (!port->read || port->read->record != overlapped) return Fail(codes_.bad_argument);
  const LoopRead read = *port->read;
  if (count != nullptr) *count = read.done;
  if (!read.ended) return Fail(codes_.incomplete);
  port->read.reset();
  return read.error == 0 || Fail(read.error);
}

bool LoopbackComm::WaitCommEvent(CommHandle handle, std::uint32_t* mask, Overlapped* overlapped) {
  LoopPort* port = Find(handle);
  if (port == nullptr) return platform_->WaitCommEvent(handle, mask, overlapped);
  if (overlapped == nullptr || port->mask == 0 || (port->comm_wait && !port->comm_wait->ended)) {
    return Fail(codes_.bad_argument);
  }
  *mask = EventsNow(*port);
  if (*mask != 0) return true;
  port->comm_wait = LoopCommWait{overlapped, mask};
  return Fail(kErrorIoPending);
}

std::uint32_t LoopbackComm::WaitForMultipleObjects(std::uint32_t count, const CommHandle* handles,
                                                   std::uint32_t milliseconds) {
  // A loop port is signalled unless a read waits on it; such a read cannot complete
  // during the wait, so only the other handles can end it.
  std::vector<CommHandle> others;
  std::vector<std::uint32_t> places;
  for (std::uint32_t i = 0; i < count; ++i) {
    const LoopPort* port = Find(handles[i]);
    if (port == nullptr) {
      others.push_back(handles[i]);
      places.push_back(i);
    } else if (!port->read || port->read->ended) {
      return kWaitObject0 + i;
    }
  }
  if (others.empty()) {
    platform_->Sleep(milliseconds);
    return kWaitTimeout;
  }
  const std::uint32_t result = platform_->WaitForMultipleObjects(
      static_cast<std::uint32_t>(others.size()), others.data(), milliseconds);
  return result - kWaitObject0 < places.size() ? kWaitObject0 + places[result - kWaitObject0]
                                               : result;
}

LoopPort* LoopbackComm::Find(CommHandle handle) {
  const auto found = ports_.find(handle);
  return found == ports_.end() ? nullptr : &found->second;
}

bool LoopbackComm::Fail(std::uint32_t code) {
  platform_->SetLastError(code);
  return false;
}

void LoopbackComm::Deliver(LoopPort* port) {
  if (port->read && !port->read->ended) {
    LoopRead& read = *port->read;
    const std::size_t n = std::min<std::size_t>(port->queue.size(), read.length - read.done);
    std::copy_n(port->queue.begin(), n, read.data + read.done);
    port->queue.erase(port->queue.begin(), port->queue.begin() + static_cast<std::ptrdiff_t>(n));
    read.done += static_cast<std::uint32_t>(n);
    read.ended = read.done == read.length;
  }
  if (port->comm_wait && !port->comm_wait->ended && EventsNow(*port) != 0) {
    port->comm_wait->ended = true;
    *port->comm_wait->mask = EventsNow(*port);
  }
}

}  // namespace comterm
