#include "fakes/fake_comm.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace comterm::testing {

namespace {

std::string Num(std::uint64_t v) {
  return std::to_string(v);
}

std::string Hex(std::uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", v);
  return text;
}

}  // namespace

void FakeComm::Arrive(std::uint64_t at_ms, const std::string& bytes, std::uint32_t line_errors) {
  auto after = std::upper_bound(arrivals_.begin(), arrivals_.end(), at_ms,
                                [](std::uint64_t t, const Arrival& a) { return t < a.at; });
  arrivals_.insert(after, Arrival{at_ms, bytes, line_errors});
}

void FakeComm::Unplug() {
  unplugged_ = open_;
  devices_.clear();
}

void FakeComm::HoldWrites(bool held, std::optional<std::uint64_t> release_at) {
  held_ = held;
  release_at_ = release_at;
}

std::vector<std::string> FakeComm::CallsWithout(
    std::initializer_list<std::string_view> names) const {
  std::vector<std::string> kept;
  for (const auto& call : calls_) {
    const std::string_view name = std::string_view(call).substr(0, call.find('('));
    if (std::find(names.begin(), names.end(), name) == names.end()) kept.push_back(call);
  }
  return kept;
}

std::vector<std::string> FakeComm::CallsNamed(std::string_view name) const {
  std::vector<std::string> kept;
  for (const auto& call : calls_) {
    if (std::string_view(call).substr(0, call.find('(')) == name) kept.push_back(call);
  }
  return kept;
}

void FakeComm::Record(std::string_view name, std::initializer_list<std::string> args) {
  std::string call(name);
  call += '(';
  bool first = true;
  for (const auto& arg : args) {
    if (!first) call += ',';
    call += arg;
    first = false;
  }
  calls_.push_back(call + ')');
}

std::string FakeComm::HandleName(CommHandle handle) const {
  if (handle == kPort) return "port";
  if (handle == kInput) return "input";
  if (handle == kInvalidHandle) return "invalid";
  if (std::find(events_.begin(), events_.end(), handle) != events_.end()) return "event";
  return Num(handle);
}

bool FakeComm::Failing(const std::string& call) {
  auto it = failures_.find(call);
  if (it == failures_.end()) return false;
  last_error_ = it->second;
  return true;
}

bool FakeComm::BadPort(CommHandle handle) {
  if (handle == kPort && open_ && unplugged_) {
    last_error_ = kDeviceGone;
    return true;
  }
  if (handle == kPort && open_) return false;
  last_error_ = kInvalidHandleError;
  return true;
}

// Moves every arrival whose time has come into the input queue.
void FakeComm::Deliver() {
  auto due = arrivals_.begin();
  while (due != arrivals_.end() && due->at <= now_) {
    rx_ += due->bytes;
    line_errors_ |= due->errors;
    ++due;
  }
  arrivals_.erase(arrivals_.begin(), due);
}

CommHandle FakeComm::CreateFileA(const std::string& path, std::uint32_t access,
                                 std::uint32_t share_mode, std::uint32_t creation,
                                 std::uint32_t flags) {
  Record("CreateFileA", {path, Hex(access), Num(share_mode), Num(creation), Hex(flags)});
  if (Failing("CreateFileA")) return kInvalidHandle;
  if (std::find(devices_.begin(), devices_.end(), path) == devices_.end()) {
    last_error_ = kFileNotFound;
    return kInvalidHandle;
  }
  if (open_) {
    last_error_ = kAccessDenied;
    return kInvalidHandle;
  }
  open_ = true;
  return kPort;
}

bool FakeComm::CloseHandle(CommHandle handle) {
  Record("CloseHandle", {HandleName(handle)});
  auto event = std::find(events_.begin(), events_.end(), handle);
  if (event != events_.end()) {
    events_.erase(event);
    return true;
  }
  if (handle == kPort) unplugged_ = false;
  if (BadPort(handle)) return false;
  open_ = false;
  return true;
}

std::uint32_t FakeComm::GetLastError() {
  Record("GetLastError", {});
  return last_error_;
}

void FakeComm::SetLastError(std::uint32_t code) {
  Record("SetLastError", {Num(code)});
  last_error_ = code;
}

bool FakeComm::SetCommMask(CommHandle handle, std::uint32_t mask) {
  Record("SetCommMask", {HandleName(handle), Num(mask)});
  if (BadPort(handle) || Failing("SetCommMask")) return false;
  armed_mask_ = mask;
  // A zero mask ends a pending event wait with no event.
  if (mask == 0) pending_event_wait_.reset();
  return true;
}

bool FakeComm::SetupComm(CommHandle handle, std::uint32_t in_queue, std::uint32_t out_queue) {
  Record("SetupComm", {HandleName(handle), Num(in_queue), Num(out_queue)});
  return !BadPort(handle) && !Failing("SetupComm");
}

bool FakeComm::SetCommTimeouts(CommHandle handle, const CommTimeouts& t) {
  Record("SetCommTimeouts", {HandleName(handle), Num(t.ReadIntervalTimeout),
                             Num(t.ReadTotalTimeoutMultiplier), Num(t.ReadTotalTimeoutConstant),
                             Num(t.WriteTotalTimeoutMultiplier), Num(t.WriteTotalTimeoutConstant)});
  return !BadPort(handle) && !Failing("SetCommTimeouts");
}

bool FakeComm::EscapeCommFunction(CommHandle handle, std::uint32_t function,
                                  std::uint16_t* base_address) {
  Record("EscapeCommFunction", {HandleName(handle), Num(function)});
  if (BadPort(handle) || Failing("EscapeCommFunction")) return false;
  if (function == kSetRts || function == kClrRts) rts_ = function == kSetRts;
  if (function == kSetDtr || function == kClrDtr) dtr_ = function == kSetDtr;
  if (function == kGetBaseAddress && base_address) *base_address = 0x3F8;
  return true;
}

bool FakeComm::GetCommModemStatus(CommHandle handle, std::uint32_t* status) {
  Record("GetCommModemStatus", {HandleName(handle)});
  if (BadPort(handle) || Failing("GetCommModemStatus")) return false;
  *status = modem_status_;
  return true;
}

bool FakeComm::GetCommState(CommHandle handle, Dcb* dcb) {
  Record("GetCommState", {HandleName(handle)});
  if (BadPort(handle) || Failing("GetCommState")) return false;
  *dcb = device_dcb_;
  return true;
}

bool FakeComm::SetCommState(CommHandle handle, const Dcb& dcb) {
  Record("SetCommState", {HandleName(handle)});
  if (BadPort(handle) || Failing("SetCommState")) return false;
  device_dcb_ = dcb;
  return true;
}

bool FakeComm::PurgeComm(CommHandle handle, std::uint32_t flags) {
  Record("PurgeComm", {HandleName(handle), Hex(flags)});
  if (BadPort(handle) || Failing("PurgeComm")) return false;
  if ((flags & kPurgeTxAbort) && pending_write_) {
    transferred_[pending_write_->overlapped] = 0;
    pending_write_.reset();
  }
  if ((flags & kPurgeRxAbort) && pending_read_) {
    transferred_[pending_read_->overlapped] = 0;
    pending_read_.reset();
  }
  if (flags & kPurgeTxClear) out_queue_ = 0;
  if (flags & kPurgeRxClear) rx_.clear();
  return true;
}

bool FakeComm::FlushFileBuffers(CommHandle handle) {
  Record("FlushFileBuffers", {HandleName(handle)});
  if (BadPort(handle) || Failing("FlushFileBuffers")) return false;
  out_queue_ = 0;
  return true;
}

bool FakeComm::SetCommBreak(CommHandle handle) {
  Record("SetCommBreak", {HandleName(handle)});
  return !BadPort(handle) && !Failing("SetCommBreak");
}

bool FakeComm::ClearCommBreak(CommHandle handle) {
  Record("ClearCommBreak", {HandleName(handle)});
  return !BadPort(handle) && !Failing("ClearCommBreak");
}

bool FakeComm::ClearCommError(CommHandle handle, std::uint32_t* errors, ComStat* stat) {
  Record("ClearCommError", {HandleName(handle)});
  if (BadPort(handle) || Failing("ClearCommError")) return false;
  Deliver();
  *errors = line_errors_;
  line_errors_ = 0;
  if (stat) {
    *stat = ComStat{};
    stat->cbInQue = static_cast<std::uint32_t>(rx_.size());
    stat->cbOutQue = out_queue_;
  }
  return true;
}

bool FakeComm::ReadFile(CommHandle handle, void* buffer, std::uint32_t length, std::uint32_t* count,
                        Overlapped* overlapped) {
  Record("ReadFile", {HandleName(handle), Num(length)});
  *count = 0;
  if (BadPort(handle) || Failing("ReadFile")) return false;
  Deliver();
  line_errors_ |= read_line_errors_;
  read_line_errors_ = 0;
  if (rx_.size() >= length) {
    std::memcpy(buffer, rx_.data(), length);
    rx_.erase(0, length);
    *count = length;
    transferred_[overlapped] = length;
    return true;
  }
  pending_read_ = PendingRead{static_cast<char*>(buffer), length, overlapped};
  last_error_ = kErrorIoPending;
  return false;
}

bool FakeComm::WriteFile(CommHandle handle, const void* buffer, std::uint32_t length,
                         std::uint32_t* count, Overlapped* overlapped) {
  const std::string bytes(static_cast<const char*>(buffer), length);
  Record("WriteFile", {HandleName(handle), Num(length)});
  *count = 0;
  if (BadPort(handle) || Failing("WriteFile")) return false;
  if (held_) {
    pending_write_ = PendingWrite{bytes, overlapped};
    last_error_ = kErrorIoPending;
    return false;
  }
  wire_ += bytes;
  *count = length;
  transferred_[overlapped] = length;
  return true;
}

bool FakeComm::GetOverlappedResult(CommHandle handle, Overlapped* overlapped, std::uint32_t* count,
                                   bool wait) {
  Record("GetOverlappedResult", {HandleName(handle), Num(wait)});
  *count = 0;
  if (BadPort(handle)) return false;
  auto it = transferred_.find(overlapped);
  if (it != transferred_.end()) *count = it->second;
  return true;
}

bool FakeComm::WaitCommEvent(CommHandle handle, std::uint32_t* mask, Overlapped* overlapped) {
  Record("WaitCommEvent", {HandleName(handle)});
  if (BadPort(handle) || Failing("WaitCommEvent")) return false;
  Deliver();
  if ((armed_mask_ & kEvRxChar) && !rx_.empty()) {
    *mask = kEvRxChar;
    return true;
  }
  if ((armed_mask_ & kEvTxEmpty) && out_queue_ == 0) {
    *mask = kEvTxEmpty;
    return true;
  }
  pending_event_wait_ = PendingEventWait{mask, overlapped->hEvent};
  last_error_ = kErrorIoPending;
  return false;
}

CommHandle FakeComm::CreateEventA(bool manual_reset, bool initial_state) {
  Record("CreateEventA", {Num(manual_reset), Num(initial_state)});
  events_.push_back(next_event_);
  return next_event_++;
}

// When the handle will be signalled, judged from the script; nothing when never.
std::optional<std::uint64_t> FakeComm::SignalTime(CommHandle handle) const {
  if (handle == kInput) return input_ready_at_;
  if (handle == kPort && pending_read_) {
    std::size_t queued = rx_.size();
    if (queued >= pending_read_->length) return now_;
    for (const auto& a : arrivals_) {
      queued += a.bytes.size();
      if (queued >= pending_read_->length) return std::max(a.at, now_);
    }
    return std::nullopt;
  }
  if (handle == kPort && pending_write_) {
    if (!held_) return now_;
    if (release_at_) return std::max(*release_at_, now_);
    return std::nullopt;
  }
  if (pending_event_wait_ && pending_event_wait_->event == handle) {
    if (armed_mask_ & kEvRxChar) {
      if (!rx_.empty()) return now_;
      if (!arrivals_.empty()) return std::max(arrivals_.front().at, now_);
    }
    if ((armed_mask_ & kEvTxEmpty) && out_queue_ == 0) return now_;
  }
  return std::nullopt;
}

// Completes what the handle was waiting for, at the current virtual time.
void FakeComm::Signal(CommHandle handle) {
  Deliver();
  if (handle == kPort && pending_read_) {
    const std::uint32_t n = pending_read_->length;
    std::memcpy(pending_read_->buffer, rx_.data(), n);
    rx_.erase(0, n);
    transferred_[pending_read_->overlapped] = n;
    pending_read_.reset();
  } else if (handle == kPort && pending_write_) {
    wire_ += pending_write_->bytes;
    transferred_[pending_write_->overlapped] =
        static_cast<std::uint32_t>(pending_write_->bytes.size());
    pending_write_.reset();
    held_ = false;
  } else if (pending_event_wait_ && pending_event_wait_->event == handle) {
    *pending_event_wait_->mask = (armed_mask_ & kEvRxChar) && !rx_.empty() ? kEvRxChar : kEvTxEmpty;
    pending_event_wait_.reset();
  }
}

std::uint32_t FakeComm::WaitUntilSignalled(const CommHandle* handles, std::uint32_t count,
                                           std::uint32_t milliseconds) {
  const std::uint64_t deadline = now_ + milliseconds;
  std::optional<std::uint32_t> first;
  std::uint64_t first_time = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto t = SignalTime(handles[i]);
    if (t && *t <= deadline && (!first || *t < first_time)) {
      first = i;
      first_time = *t;
    }
  }
  if (!first) {
    now_ = deadline;
    return kWaitTimeout;
  }
  now_ = std::max(now_, first_time);
  Signal(handles[*first]);
  return kWaitObject0 + *first;
}

std::uint32_t FakeComm::WaitForSingleObject(CommHandle handle, std::uint32_t milliseconds) {
  Record("WaitForSingleObject", {HandleName(handle), Num(milliseconds)});
  return WaitUntilSignalled(&handle, 1, milliseconds);
}

std::uint32_t FakeComm::WaitForMultipleObjects(std::uint32_t count, const CommHandle* handles,
                                               std::uint32_t milliseconds) {
  std::string names;
  for (std::uint32_t i = 0; i < count; ++i) names += (i ? "+" : "") + HandleName(handles[i]);
  Record("WaitForMultipleObjects", {names, Num(milliseconds)});
  return WaitUntilSignalled(handles, count, milliseconds);
}

std::string FakeComm::FormatMessageA(std::uint32_t code) {
  Record("FormatMessageA", {Num(code)});
  return "System message " + Num(code) + "\r\n";
}

bool FakeComm::IsNtFamily() {
  Record("IsNtFamily", {});
  return nt_family_;
}

std::uint8_t FakeComm::ReadPortByte(std::uint16_t address) {
  Record("ReadPortByte", {Hex(address)});
  // A port read takes time, so that a poll of the register sees the clock move.
  ++now_;
  return line_status_;
}

bool FakeComm::QueryPerformanceFrequency(std::int64_t* frequency) {
  Record("QueryPerformanceFrequency", {});
  *frequency = performance_counter_ ? 1000 : 0;
  return performance_counter_;
}

bool FakeComm::QueryPerformanceCounter(std::int64_t* counter) {
  Record("QueryPerformanceCounter", {});
  *counter = static_cast<std::int64_t>(now_);
  return true;
}

std::uint32_t FakeComm::GetTickCount() {
  Record("GetTickCount", {});
  return static_cast<std::uint32_t>(now_);
}

void FakeComm::Sleep(std::uint32_t milliseconds) {
  Record("Sleep", {Num(milliseconds)});
  now_ += milliseconds;
}

}  // namespace comterm::testing
