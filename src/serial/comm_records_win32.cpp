#include "serial/comm_records_win32.h"

namespace comterm {
namespace {

DWORD Bits(std::uint32_t flags, std::uint32_t mask, int shift) {
  return (flags & mask) >> shift;
}

// The fields after the flag word have the same names in both records.
template <typename From, typename To>
void CopyPlainFields(const From& dcb, To& out) {
  out.wReserved = dcb.wReserved;
  out.XonLim = dcb.XonLim;
  out.XoffLim = dcb.XoffLim;
  out.ByteSize = dcb.ByteSize;
  out.Parity = dcb.Parity;
  out.StopBits = dcb.StopBits;
  out.XonChar = dcb.XonChar;
  out.XoffChar = dcb.XoffChar;
  out.ErrorChar = dcb.ErrorChar;
  out.EofChar = dcb.EofChar;
  out.EvtChar = dcb.EvtChar;
  out.wReserved1 = dcb.wReserved1;
}

}  // namespace

DCB ToWindowsDcb(const Dcb& dcb) {
  DCB out{};
  out.DCBlength = sizeof(DCB);
  out.BaudRate = dcb.BaudRate;
  out.fBinary = Bits(dcb.Flags, kDcbBinary, 0);
  out.fParity = Bits(dcb.Flags, kDcbParity, 1);
  out.fOutxCtsFlow = Bits(dcb.Flags, kDcbOutxCtsFlow, 2);
  out.fOutxDsrFlow = Bits(dcb.Flags, kDcbOutxDsrFlow, 3);
  out.fDtrControl = Bits(dcb.Flags, kDcbDtrControlMask, 4);
  out.fDsrSensitivity = Bits(dcb.Flags, kDcbDsrSensitivity, 6);
  out.fTXContinueOnXoff = Bits(dcb.Flags, kDcbTxContinueOnXoff, 7);
  out.fOutX = Bits(dcb.Flags, kDcbOutX, 8);
  out.fInX = Bits(dcb.Flags, kDcbInX, 9);
  out.fErrorChar = Bits(dcb.Flags, kDcbErrorChar, 10);
  out.fNull = Bits(dcb.Flags, kDcbNull, 11);
  out.fRtsControl = Bits(dcb.Flags, kDcbRtsControlMask, 12);
  out.fAbortOnError = Bits(dcb.Flags, kDcbAbortOnError, 14);
  CopyPlainFields(dcb, out);
  return out;
}

Dcb FromWindowsDcb(const DCB& dcb) {
  Dcb out;
  out.DCBlength = dcb.DCBlength;
  out.BaudRate = dcb.BaudRate;
  out.Flags = dcb.fBinary | dcb.fParity << 1 | dcb.fOutxCtsFlow << 2 | dcb.fOutxDsrFlow << 3 |
              dcb.fDtrControl << 4 | dcb.fDsrSensitivity << 6 | dcb.fTXContinueOnXoff << 7 |
              dcb.fOutX << 8 | dcb.fInX << 9 | dcb.fErrorChar << 10 | dcb.fNull << 11 |
              dcb.fRtsControl << 12 | dcb.fAbortOnError << 14;
  CopyPlainFields(dcb, out);
  return out;
}

COMMTIMEOUTS ToWindowsTimeouts(const CommTimeouts& timeouts) {
  COMMTIMEOUTS out{};
  out.ReadIntervalTimeout = timeouts.ReadIntervalTimeout;
  out.ReadTotalTimeoutMultiplier = timeouts.ReadTotalTimeoutMultiplier;
  out.ReadTotalTimeoutConstant = timeouts.ReadTotalTimeoutConstant;
  out.WriteTotalTimeoutMultiplier = timeouts.WriteTotalTimeoutMultiplier;
  out.WriteTotalTimeoutConstant = timeouts.WriteTotalTimeoutConstant;
  return out;
}

ComStat FromWindowsComStat(const COMSTAT& stat) {
  ComStat out;
  out.Flags = stat.fCtsHold | stat.fDsrHold << 1 | stat.fRlsdHold << 2 | stat.fXoffHold << 3 |
              stat.fXoffSent << 4 | stat.fEof << 5 | stat.fTxim << 6;
  out.cbInQue = stat.cbInQue;
  out.cbOutQue = stat.cbOutQue;
  return out;
}

}  // namespace comterm
