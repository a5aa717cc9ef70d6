// The far end of a serial line for the Windows suite: a pseudo-terminal pair whose slave
// stands for a COM port and whose master this program holds.
//
//   pty_peer DIR
//
// Writes the slave's path to DIR/slave once the pair is ready, appends every byte that
// arrives at the master to DIR/wire, sends every byte written into the FIFO DIR/send down
// the line, and keeps DIR/termios describing the slave's current line settings. It holds
// the slave open too, so the master never sees a hang-up between opens. Ends on SIGTERM.
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

static volatile sig_atomic_t stop_requested;

static void on_stop(int signal_number) {
  (void)signal_number;
  stop_requested = 1;
}

// Writes a whole text to DIR/NAME through a temporary file, so readers never see half.
static int publish(const char* dir, const char* name, const char* text) {
  char path[4096], temporary[4096];
  snprintf(path, sizeof path, "%s/%s", dir, name);
  snprintf(temporary, sizeof temporary, "%s/.%s.tmp", dir, name);
  FILE* file = fopen(temporary, "w");
  if (!file) return -1;
  fputs(text, file);
  if (fclose(file) != 0) return -1;
  return rename(temporary, path);
}

static int write_all(int fd, const char* bytes, ssize_t count) {
  while (count > 0) {
    ssize_t done = write(fd, bytes, (size_t)count);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0 && errno == EAGAIN) {
      struct pollfd wait_writable = {fd, POLLOUT, 0};
      poll(&wait_writable, 1, 100);
      continue;
    }
    if (done < 0) return -1;
    bytes += done;
    count -= done;
  }
  return 0;
}

static int baud_of(speed_t speed) {
  static const struct {
    speed_t code;
    int baud;
  } table[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},    {B9600, 9600},
               {B19200, 19200},   {B38400, 38400},   {B57600, 57600},  {B115200, 115200},
               {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};
  for (size_t i = 0; i < sizeof table / sizeof table[0]; ++i) {
    if (table[i].code == speed) return table[i].baud;
  }
  return -1;
}

// Describes the slave's line settings as one line of name=value words.
static void describe_termios(int slave, char* text, size_t size) {
  struct termios settings;
  if (tcgetattr(slave, &settings) != 0) {
    snprintf(text, size, "unknown\n");
    return;
  }
  int data_bits = (settings.c_cflag & CSIZE) == CS5   ? 5
                  : (settings.c_cflag & CSIZE) == CS6 ? 6
                  : (settings.c_cflag & CSIZE) == CS7 ? 7
                                                      : 8;
  snprintf(text, size, "speed=%d databits=%d parenb=%d parodd=%d cstopb=%d crtscts=%d ixon=%d\n",
           baud_of(cfgetospeed(&settings)), data_bits, !!(settings.c_cflag & PARENB),
           !!(settings.c_cflag & PARODD), !!(settings.c_cflag & CSTOPB),
           !!(settings.c_cflag & CRTSCTS), !!(settings.c_iflag & IXON));
}

// Republishes DIR/termios whenever the slave's settings change.
static void track_termios(const char* dir, int slave, char* last, size_t size) {
  char now[256];
  describe_termios(slave, now, sizeof now);
  if (strcmp(now, last) == 0) return;
  if (publish(dir, "termios", now) == 0) snprintf(last, size, "%s", now);
}

static int open_pair(int* master, int* slave, char* slave_path) {
  if (openpty(master, slave, slave_path, NULL, NULL) != 0) return -1;
  struct termios raw;
  if (tcgetattr(*slave, &raw) != 0) return -1;
  cfmakeraw(&raw);
  if (tcsetattr(*slave, TCSANOW, &raw) != 0) return -1;
  return fcntl(*master, F_SETFL, O_NONBLOCK);
}

// Moves bytes both ways until stopped; returns non-zero on a failure.
static int relay(const char* dir, int master, int slave, int sender, FILE* wire) {
  char last_termios[256] = "";
  char buffer[4096];
  while (!stop_requested) {
    track_termios(dir, slave, last_termios, sizeof last_termios);
    struct pollfd fds[2] = {{master, POLLIN, 0}, {sender, POLLIN, 0}};
    if (poll(fds, 2, 20) < 0 && errno != EINTR) return 1;
    if (fds[0].revents & POLLIN) {
      ssize_t count = read(master, buffer, sizeof buffer);
      if (count > 0 && (fwrite(buffer, 1, (size_t)count, wire) != (size_t)count || fflush(wire)))
        return 1;
    }
    if (fds[1].revents & POLLIN) {
      ssize_t count = read(sender, buffer, sizeof buffer);
      if (count > 0 && write_all(master, buffer, count) != 0) return 1;
    }
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: pty_peer DIR\n");
    return 2;
  }
  const char* dir = argv[1];
  signal(SIGTERM, on_stop);
  signal(SIGINT, on_stop);
  signal(SIGHUP, on_stop);

  char send_path[4096], wire_path[4096], slave_path[4096];
  snprintf(send_path, sizeof send_path, "%s/send", dir);
  snprintf(wire_path, sizeof wire_path, "%s/wire", dir);
  if (mkfifo(send_path, 0600) != 0 && errno != EEXIST) return perror("mkfifo"), 1;
  // Opened for reading and writing, so the FIFO never reports end of file between writers.
  int sender = open(send_path, O_RDWR | O_NONBLOCK);
  FILE* wire = fopen(wire_path, "wb");
  int master, slave;
  if (sender < 0 || !wire || open_pair(&master, &slave, slave_path) != 0) {
    perror("pty_peer");
    return 1;
  }
  char line[4200];
  snprintf(line, sizeof line, "%s\n", slave_path);
  if (publish(dir, "slave", line) != 0) return perror("publish"), 1;
  return relay(dir, master, slave, sender, wire);
}
