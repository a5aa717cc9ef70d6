// Construction, destruction, the error state, the line pre-test and status reports.
#include "serial/block_serial.h"

namespace comterm {

TBlockSerial::TBlockSerial(CommApi& comm) : comm_(comm) {}

TBlockSerial::~TBlockSerial() {
  try {
    ClosePort();
  } catch (...) {
    // A handler or a raised close failure must not escape destruction.
  }
  CloseHeldHandle();
}

// Releases a handle that an interrupted ClosePort left behind.
void TBlockSerial::CloseHeldHandle() {
  if (Handle == kInvalidHandle) return;
  comm_.CloseHandle(Handle);
  Handle = kInvalidHandle;
  PortOpen = false;
}

bool TBlockSerial::IsNtFamily() {
  if (!nt_family_) nt_family_ = comm_.IsNtFamily();
  return *nt_family_;
}

void TBlockSerial::SetError(std::int32_t code) {
  LastErrorCode = code;
  // Every read and write starts with SetError(0): the class's own texts are copied into
  // place without building a string each time.
  if (auto own = OwnErrorText(code)) {
    LastErrorText.assign(*own);
  } else {
    LastErrorText = GetErrorDesc(comm_, code);
    if (DeviceLostCode == 0 && comm_.IsDeviceLost(static_cast<std::uint32_t>(code))) {
      DeviceLostCode = code;
    }
  }
}

std::int32_t TBlockSerial::CheckResult(std::int32_t value) {
  const std::int32_t code = value == -1 ? static_cast<std::int32_t>(comm_.GetLastError()) : 0;
  SetError(code);
  return code;
}

void TBlockSerial::RaiseIfError() {
  if (!RaiseExcept || LastErrorCode == 0) return;
  throw EDorvaneError(LastErrorCode, GetErrorDesc(comm_, LastErrorCode));
}

void TBlockSerial::SetErrorAndRaise(std::int32_t code) {
  SetError(code);
  RaiseIfError();
}

std::string TBlockSerial::GetErrorDesc(CommApi& comm, std::int32_t code) {
  if (auto own = OwnErrorText(code)) return std::string(*own);
  std::string text = comm.FormatMessageA(static_cast<std::uint32_t>(code));
  // The platform's text ends at its first zero byte, as the system's buffer does.
  return text.substr(0, text.find('\0'));
}

void TBlockSerial::DecodeLineErrors(std::uint32_t flags) {
  // Checked in this order so that the last match wins.
  static constexpr struct {
    std::uint32_t flag;
    std::int32_t code;
  } kLineErrors[] = {
      {kCeFrame, errFraming},     {kCeOverrun, errOverrun}, {kCeRxOver, errRxOverflow},
      {kCeRxParity, errRxParity}, {kCeTxFull, errTxFull},
  };
  for (const auto& e : kLineErrors) {
    if (flags & e.flag) LastErrorCode = e.code;
  }
}

bool TBlockSerial::LinesReady() {
  if (TestDSR && !DsrActive()) return false;
  if (TestCTS && !CtsActive()) return false;
  return true;
}

bool TBlockSerial::LinesNotReady() {
  if (!PortOpen) {
    SetErrorAndRaise(errNotConnected);
    return true;
  }
  const bool not_ready = !LinesReady();
  if (not_ready) SetErrorAndRaise(errNoAnswer);
  return not_ready;
}

void TBlockSerial::ReportStatus(THookSerialReason reason, const std::string& value) {
  if (OnStatus) OnStatus(*this, reason, value);
}

std::string TBlockSerial::VersionText() {
  return "Dorvane 6.3.5";
}

}  // namespace comterm
