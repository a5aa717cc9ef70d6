// Linux takes any rate through termios2 and BOTHER; that record clashes with the C
// library's termios, so this file uses the kernel's one alone. A standard rate goes in as
// its Bxxx code, so that a device that keeps the settings as given (a pty) and whoever
// reads them back see a known speed. Other systems take the standard rates through the
// C library.
#include "serial/line_speed_posix.h"

#if defined(__linux__)

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "serial/speed_code_posix.h"

namespace comterm {

bool SetLineSpeed(int fd, std::uint32_t baud) {
  termios2 mode{};
  if (ioctl(fd, TCGETS2, &mode) != 0) return false;
  const std::uint32_t code = StandardSpeedCode(baud);
  const tcflag_t speed_bits = code != 0 ? static_cast<tcflag_t>(code) : BOTHER;
  mode.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  mode.c_cflag |= speed_bits | (speed_bits << IBSHIFT);
  mode.c_ispeed = baud;
  mode.c_ospeed = baud;
  return ioctl(fd, TCSETS2, &mode) == 0;
}

bool GetLineSpeed(int fd, std::uint32_t* baud) {
  termios2 mode{};
  if (ioctl(fd, TCGETS2, &mode) != 0) return false;
  *baud = mode.c_ospeed;
  return true;
}

}  // namespace comterm

#else

#include <cerrno>

#include "serial/termios_dcb_posix.h"

namespace comterm {

bool SetLineSpeed(int fd, std::uint32_t baud) {
  const speed_t speed = StandardSpeed(baud);
  termios mode{};
  if (speed == B0 || tcgetattr(fd, &mode) != 0) {
    if (speed == B0) errno = EINVAL;
    return false;
  }
  cfsetispeed(&mode, speed);
  cfsetospeed(&mode, speed);
  return tcsetattr(fd, TCSANOW, &mode) == 0;
}

bool GetLineSpeed(int fd, std::uint32_t* baud) {
  termios mode{};
  if (tcgetattr(fd, &mode) != 0) return false;
  *baud = SpeedToBaud(cfgetospeed(&mode));
  return true;
}

}  // namespace comterm

#endif
