// The device control block over termios. A setting is only accepted when the device
// holds it afterwards; otherwise the device is put back as it was.
#include <termios.h>

#include <cerrno>

#include "serial/comm_posix.h"
#include "serial/line_speed_posix.h"
#include "serial/termios_dcb_posix.h"

namespace comterm {
namespace {

/// A device's line settings: the termios record and the speed beside it.
struct LineMode {
  termios mode{};
  std::uint32_t baud = 0;
};

bool ReadMode(int fd, LineMode* line) {
  return tcgetattr(fd, &line->mode) == 0 && GetLineSpeed(fd, &line->baud);
}

bool WriteMode(int fd, const LineMode& line) {
  return tcsetattr(fd, TCSANOW, &line.mode) == 0 && SetLineSpeed(fd, line.baud);
}

}  // namespace

bool PosixComm::GetCommState(CommHandle handle, Dcb* dcb) {
  if (Port(handle) == nullptr) return false;
  LineMode held;
  if (!ReadMode(static_cast<int>(handle), &held)) return Fail(errno);
  *dcb = TermiosToDcb(held.mode, held.baud);
  return true;
}

bool PosixComm::SetCommState(CommHandle handle, const Dcb& dcb) {
  if (Port(handle) == nullptr) return false;
  const int fd = static_cast<int>(handle);
  LineMode previous;
  if (!ReadMode(fd, &previous)) return Fail(errno);
  LineMode wanted = previous;
  wanted.baud = dcb.BaudRate;
  if (dcb.BaudRate == 0 || !DcbToTermios(dcb, &wanted.mode)) return Fail(EINVAL);
  // Devices may take a setting without complaint and hold another (a pseudo-terminal
  // keeps 8 data bits and no parity): only what reads back as asked counts as applied.
  LineMode held;
  const bool written = WriteMode(fd, wanted);
  const int error = written ? EINVAL : errno;
  if (written && ReadMode(fd, &held) && SameLineSettings(wanted.mode, held.mode) &&
      held.baud == wanted.baud) {
    return true;
  }
  WriteMode(fd, previous);
  return Fail(error);
}

}  // namespace comterm
