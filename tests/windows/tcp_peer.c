// The far end of a tcp:// port for the Windows suite: a listener on 127.0.0.1.
//
//   tcp_peer DIR
//
// Listens on a free port of 127.0.0.1 and writes its number to DIR/port; takes one
// client, appends every byte it sends to DIR/wire, sends it every byte written into the
// FIFO DIR/send, and writes DIR/closed when the client closes its end. Ends on SIGTERM.
#define _GNU_SOURCE
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

static volatile sig_atomic_t stop_requested;

static void on_stop(int signal_number) {
  (void)signal_number;
  stop_requested = 1;
}

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

static int listen_on_loopback(char* port_text, size_t size) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  struct sockaddr_in address = {0};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, (struct sockaddr*)&address, length) != 0 || listen(fd, 1) != 0 ||
      getsockname(fd, (struct sockaddr*)&address, &length) != 0)
    return -1;
  snprintf(port_text, size, "%d\n", ntohs(address.sin_port));
  return fd;
}

// Moves bytes both ways until stopped or the client closes; non-zero on a failure.
static int relay(const char* dir, int client, int sender, FILE* wire) {
  char buffer[4096];
  while (!stop_requested) {
    struct pollfd fds[2] = {{client, POLLIN, 0}, {sender, POLLIN, 0}};
    if (poll(fds, 2, 20) < 0 && errno != EINTR) return 1;
    if (fds[0].revents & (POLLIN | POLLHUP)) {
      ssize_t count = recv(client, buffer, sizeof buffer, 0);
      if (count <= 0) return publish(dir, "closed", "closed\n") != 0;
      if (fwrite(buffer, 1, (size_t)count, wire) != (size_t)count || fflush(wire)) return 1;
    }
    if (fds[1].revents & POLLIN) {
      ssize_t count = read(sender, buffer, sizeof buffer);
      if (count > 0 && send(client, buffer, (size_t)count, MSG_NOSIGNAL) != count) return 1;
    }
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: tcp_peer DIR\n");
    return 2;
  }
  const char* dir = argv[1];
  // Without SA_RESTART, so a signal also ends a wait in accept.
  struct sigaction action = {0};
  action.sa_handler = on_stop;
  sigaction(SIGTERM, &action, NULL);
  sigaction(SIGINT, &action, NULL);
  char send_path[4096], wire_path[4096], port_text[32];
  snprintf(send_path, sizeof send_path, "%s/send", dir);
  snprintf(wire_path, sizeof wire_path, "%s/wire", dir);
  if (mkfifo(send_path, 0600) != 0 && errno != EEXIST) return perror("mkfifo"), 1;
  int sender = open(send_path, O_RDWR | O_NONBLOCK);
  FILE* wire = fopen(wire_path, "wb");
  int listener = listen_on_loopback(port_text, sizeof port_text);
  if (sender < 0 || !wire || listener < 0 || publish(dir, "port", port_text) != 0) {
    perror("tcp_peer");
    return 1;
  }
  int client = -1;
  while (client < 0 && !stop_requested) client = accept(listener, NULL, NULL);
  return client < 0 ? 0 : relay(dir, client, sender, wire);
}
