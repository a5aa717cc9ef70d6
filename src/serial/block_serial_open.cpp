// Opening, configuring, modem line and queue control, and closing the port.

#include "runtime/format.h"
#include "runtime/int_convert.h"
#include "serial/block_serial.h"

namespace comterm {

namespace {

// Driver time-outs: a read completes once its bytes are queued; writes have none.
constexpr CommTimeouts kPortTimeouts{0xFFFF, 0, 0, 0, 0};

std::string Capitalised(const std::string& name) {
  std::string upper = name;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::uint8_t ParityValue(char letter) {
  switch (letter) {
    case 'O':
    case 'o':
      return 1;
    case 'E':
    case 'e':
      return 2;
    case 'M':
    case 'm':
      return 3;
    case 'S':
    case 's':
      return 4;
    default:
      return 0;
  }
}

}  // namespace

void TBlockSerial::ParsePortNumber(const std::string& name) {
  PortIndex = -1;
  const std::string upper = Capitalised(name);
  if (upper.starts_with("COM")) PortIndex = StrToIntDef(name.substr(3), 0) - 1;
  if (upper.starts_with("/DEV/TTYS")) PortIndex = StrToIntDef(name.substr(9), -2);
}

void TBlockSerial::OpenPort(const std::string& name) {
  if (PortOpen) {
    SetErrorAndRaise(errInstanceInUse);
    return;
  }
  LineBuffer.clear();
  DeviceLostCode = 0;
  DeviceName = name;
  ParsePortNumber(name);
  comm_.SetLastError(0);
  if (PortIndex != -1) DeviceName = "\\\\.\\COM" + DecimalText(std::int64_t{PortIndex} + 1);
  Handle = comm_.CreateFileA(DeviceName, kGenericRead | kGenericWrite, 0, kOpenExisting,
                             kFileAttributeNormal | kFileFlagOverlapped);
  CheckResult(Handle == kInvalidHandle ? -1 : 0);
  RaiseIfError();
  if (LastErrorCode != 0) return;
  comm_.SetCommMask(Handle, 0);
  comm_.SetupComm(Handle, static_cast<std::uint32_t>(ReceiveQueueSize), 0);
  comm_.SetCommTimeouts(Handle, kPortTimeouts);
  PortAddress = QueryPortAddress();
  SetError(0);
  if (!LinesReady()) {
    SetError(errNoAnswer);
    comm_.CloseHandle(Handle);
    Handle = kInvalidHandle;
    PortIndex = -1;
  } else {
    PortOpen = true;
    SetRtsLine(true);
    SetDtrLine(true);
    PurgeQueues();
  }
  RaiseIfError();
  ReportStatus(THookSerialReason::ReasonConnect, DeviceName);
}

void TBlockSerial::Configure(std::int32_t baud, std::int32_t data_bits, char parity,
                             std::int32_t stop_bits, bool soft_flow, bool hard_flow) {
  Dcb = {};
  Dcb.DCBlength = sizeof(::comterm::Dcb);
  Dcb.BaudRate = static_cast<std::uint32_t>(baud);
  Dcb.ByteSize = static_cast<std::uint8_t>(data_bits);
  Dcb.Parity = ParityValue(parity);
  Dcb.StopBits = static_cast<std::uint8_t>(stop_bits);
  Dcb.XonChar = 0x11;
  Dcb.XoffChar = 0x13;
  Dcb.XonLim = static_cast<std::uint16_t>(ReceiveQueueSize / 4);
  Dcb.XoffLim = Dcb.XonLim;
  std::uint32_t flags = kDcbBinary;
  if (soft_flow) flags |= kDcbOutX | kDcbInX;
  flags |= hard_flow ? (kDcbOutxCtsFlow | kDcbRtsControlHandshake) : kDcbRtsControlEnable;
  flags |= kDcbDtrControlEnable;
  if (Dcb.Parity != 0) flags |= kDcbParity;
  Dcb.Flags = flags;
  ApplyDcb();
}

void TBlockSerial::ApplyDcb() {
  SetError(0);
  if (!comm_.SetCommState(Handle, Dcb)) CheckResult(-1);
  RaiseIfError();
}

void TBlockSerial::FetchDcb() {
  SetError(0);
  if (!comm_.GetCommState(Handle, &Dcb)) CheckResult(-1);
  RaiseIfError();
}

void TBlockSerial::SetReceiveQueueSize(std::int32_t size) {
  comm_.SetupComm(Handle, static_cast<std::uint32_t>(size), 0);
  FetchDcb();
  Dcb.XonLim = static_cast<std::uint16_t>(size / 4);
  Dcb.XoffLim = Dcb.XonLim;
  ApplyDcb();
  ReceiveQueueSize = size;
}

void TBlockSerial::SetRtsLine(bool on) {
  comm_.EscapeCommFunction(Handle, on ? kSetRts : kClrRts);
}

void TBlockSerial::SetDtrLine(bool on) {
  comm_.EscapeCommFunction(Handle, on ? kSetDtr : kClrDtr);
}

std::uint32_t TBlockSerial::ReadModemStatus() {
  std::uint32_t status = 0;
  SetError(0);
  if (!comm_.GetCommModemStatus(Handle, &status)) {
    status = 0;
    CheckResult(-1);
  }
  RaiseIfError();
  ModemStatus = status;
  return status;
}

bool TBlockSerial::DsrActive() {
  return (ReadModemStatus() & kMsDsrOn) != 0;
}

bool TBlockSerial::CtsActive() {
  return (ReadModemStatus() & kMsCtsOn) != 0;
}

bool TBlockSerial::CarrierActive() {
  return (ReadModemStatus() & kMsRlsdOn) != 0;
}

bool TBlockSerial::RingActive() {
  return (ReadModemStatus() & kMsRingOn) != 0;
}

std::uint16_t TBlockSerial::QueryPortAddress() {
  if (IsNtFamily()) return 0;
  std::uint16_t address = 0;
  comm_.EscapeCommFunction(Handle, kGetBaseAddress, &address);
  return address;
}

void TBlockSerial::PurgeQueues() {
  SetError(0);
  if (!comm_.PurgeComm(Handle, kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear)) {
    CheckResult(-1);
  }
  LineBuffer.clear();
  RaiseIfError();
}

void TBlockSerial::DrainOutput() {
  SetError(0);
  if (!comm_.FlushFileBuffers(Handle)) CheckResult(-1);
  RaiseIfError();
}

void TBlockSerial::SendBreak(std::int32_t duration) {
  comm_.SetCommBreak(Handle);
  comm_.Sleep(static_cast<std::uint32_t>(duration));
  SetError(0);
  if (!comm_.ClearCommBreak(Handle)) CheckResult(-1);
}

void TBlockSerial::ClosePort() {
  if (Handle != kInvalidHandle) {
    // Sends what was written before the purge below could discard it; the driver
    // bounds this wait, and its outcome does not stop the close.
    comm_.FlushFileBuffers(Handle);
    PurgeQueues();
    SetRtsLine(false);
    SetDtrLine(false);
    comm_.CloseHandle(Handle);
  }
  PortOpen = false;
  Handle = kInvalidHandle;
  PortIndex = -1;
  SetError(0);
  ReportStatus(THookSerialReason::ReasonClose, DeviceName);
}

void TBlockSerial::AbandonPort() {
  if (Handle != kInvalidHandle) comm_.CloseHandle(Handle);
  PortOpen = false;
  Handle = kInvalidHandle;
  PortIndex = -1;
  LineBuffer.clear();
  ReportStatus(THookSerialReason::ReasonClose, DeviceName);
}

}  // namespace comterm
