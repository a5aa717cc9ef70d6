#include "serial/termios_dcb_posix.h"

#include "serial/speed_code_posix.h"

#include <array>
#include <utility>

namespace comterm {
namespace {

// Mark and space parity set PARENB together with CMSPAR; odd and mark also set PARODD.
constexpr tcflag_t kParityBits[] = {0, PARENB | PARODD, PARENB, PARENB | CMSPAR | PARODD,
                                    PARENB | CMSPAR};
constexpr tcflag_t kSizeBits[] = {CS5, CS6, CS7, CS8};
constexpr tcflag_t kLineBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
constexpr tcflag_t kInputBits = IXON | IXOFF | INPCK;
constexpr std::uint8_t kLastParity = 4;
constexpr std::uint8_t kOneAndAHalfStopBits = 1;
constexpr std::uint8_t kTwoStopBits = 2;

constexpr std::array<std::pair<std::uint32_t, speed_t>, 31> kSpeeds = {{
    {50, B50},
    {75, B75},
    {110, B110},
    {134, B134},
    {150, B150},
    {200, B200},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
    {460800, B460800},
    {500000, B500000},
    {576000, B576000},
    {921600, B921600},
    {1000000, B1000000},
    {1152000, B1152000},
    {1500000, B1500000},
    {2000000, B2000000},
    {2500000, B2500000},
    {3000000, B3000000},
    {3500000, B3500000},
    {4000000, B4000000},
    {0, B0},
}};

// CSTOPB means one and a half stop bits with 5 data bits and two with more: the stop-bits
// codes 1 (1.5) and 2 (two) each exist for only one of these.
bool StopBitsRepresentable(const Dcb& dcb) {
  if (dcb.StopBits == kOneAndAHalfStopBits) return dcb.ByteSize == 5;
  if (dcb.StopBits == kTwoStopBits) return dcb.ByteSize != 5;
  return dcb.StopBits == 0;
}

bool Representable(const Dcb& dcb) {
  return dcb.ByteSize >= 5 && dcb.ByteSize <= 8 && dcb.Parity <= kLastParity &&
         StopBitsRepresentable(dcb);
}

bool HardwareFlow(const Dcb& dcb) {
  return (dcb.Flags & kDcbOutxCtsFlow) != 0 ||
         (dcb.Flags & kDcbRtsControlMask) == kDcbRtsControlHandshake;
}

std::uint8_t ParityOf(tcflag_t cflag) {
  if ((cflag & PARENB) == 0) return 0;
  const bool odd = (cflag & PARODD) != 0;
  if ((cflag & CMSPAR) != 0) return odd ? 3 : 4;
  return odd ? 1 : 2;
}

std::uint8_t ByteSizeOf(tcflag_t cflag) {
  for (std::uint8_t i = 0; i < 4; ++i) {
    if ((cflag & CSIZE) == kSizeBits[i]) return static_cast<std::uint8_t>(5 + i);
  }
  return 8;
}

std::uint32_t FlagsOf(const termios& mode) {
  std::uint32_t flags = kDcbBinary | kDcbDtrControlEnable;
  if ((mode.c_iflag & INPCK) != 0) flags |= kDcbParity;
  if ((mode.c_iflag & IXON) != 0) flags |= kDcbOutX;
  if ((mode.c_iflag & IXOFF) != 0) flags |= kDcbInX;
  if ((mode.c_cflag & CRTSCTS) != 0) {
    flags |= kDcbOutxCtsFlow | kDcbRtsControlHandshake;
  } else {
    flags |= kDcbRtsControlEnable;
  }
  return flags;
}

}  // namespace

bool DcbToTermios(const Dcb& dcb, termios* mode) {
  if (!Representable(dcb)) return false;
  termios next = *mode;
  cfmakeraw(&next);
  next.c_cflag &= ~kLineBits;
  next.c_cflag |= CLOCAL | CREAD | kSizeBits[dcb.ByteSize - 5] | kParityBits[dcb.Parity];
  if (dcb.StopBits != 0) next.c_cflag |= CSTOPB;
  if (HardwareFlow(dcb)) next.c_cflag |= CRTSCTS;
  // Only the DCB's XON character restarts output, not any byte (IXANY).
  next.c_iflag &= ~(kInputBits | IXANY);
  if ((dcb.Flags & kDcbParity) != 0 && dcb.Parity != 0) next.c_iflag |= INPCK;
  if ((dcb.Flags & kDcbOutX) != 0) next.c_iflag |= IXON;
  if ((dcb.Flags & kDcbInX) != 0) next.c_iflag |= IXOFF;
  next.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  next.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  // Reads return at once with what is queued; waiting is done in poll.
  next.c_cc[VMIN] = 0;
  next.c_cc[VTIME] = 0;
  *mode = next;
  return true;
}

Dcb TermiosToDcb(const termios& mode, std::uint32_t baud) {
  Dcb dcb;
  dcb.DCBlength = sizeof(Dcb);
  dcb.BaudRate = baud;
  dcb.Flags = FlagsOf(mode);
  dcb.ByteSize = ByteSizeOf(mode.c_cflag);
  dcb.Parity = ParityOf(mode.c_cflag);
  dcb.StopBits = (mode.c_cflag & CSTOPB) != 0 ? 2 : 0;
  dcb.XonChar = static_cast<char>(mode.c_cc[VSTART]);
  dcb.XoffChar = static_cast<char>(mode.c_cc[VSTOP]);
  return dcb;
}

bool SameLineSettings(const termios& wanted, const termios& held) {
  return (wanted.c_cflag & kLineBits) == (held.c_cflag & kLineBits) &&
         (wanted.c_iflag & kInputBits) == (held.c_iflag & kInputBits) &&
         wanted.c_cc[VSTART] == held.c_cc[VSTART] && wanted.c_cc[VSTOP] == held.c_cc[VSTOP];
}

speed_t StandardSpeed(std::uint32_t baud) {
  for (const auto& [rate, code] : kSpeeds) {
    if (rate == baud) return code;
  }
  return B0;
}

std::uint32_t StandardSpeedCode(std::uint32_t baud) {
  return static_cast<std::uint32_t>(StandardSpeed(baud));
}

std::uint32_t SpeedToBaud(speed_t speed) {
  for (const auto& [rate, code] : kSpeeds) {
    if (code == speed) return rate;
  }
  return 0;
}

}  // namespace comterm
