// The cell writer over a VT terminal whose output is a pipe the test reads.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "console/console_init.h"
#include "console/console_output_posix.h"
#include "console/screen_output.h"
#include "console/screen_writer.h"
#include "fakes/fake_console_input.h"

namespace comterm::testing {

/// Everything that can be read from `fd` now (the descriptor is non-blocking).
inline std::string ReadAvailable(int fd) {
  std::string bytes;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) {
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  return bytes;
}

/// A VT console of a given size over a pipe, bound to ScreenOutput.
class VtStatementTest : public ::testing::Test {
 protected:
  void Start(Coord size, Coord cursor) {
    ASSERT_EQ(pipe(pipe_), 0);
    fcntl(pipe_[0], F_SETFL, O_NONBLOCK);
    vt_ = std::make_unique<VtConsoleOutput>(pipe_[1], VtStartState{size, cursor});
    InitConsole(*vt_, input_);
    // A pipe is no terminal: drive the cell writer as on a terminal.
    Console.PlainOutput = false;
  }
  ~VtStatementTest() override {
    vt_.reset();
    close(pipe_[0]);
    close(pipe_[1]);
  }
  /// Writes one statement and returns the bytes the terminal received for it.
  std::string Statement(const std::string& text) {
    PutText(ScreenOutput, text);
    EndWrite(ScreenOutput);
    return ReadAvailable(pipe_[0]);
  }

  int pipe_[2] = {-1, -1};
  FakeConsoleInput input_;
  std::unique_ptr<VtConsoleOutput> vt_;
};

}  // namespace comterm::testing
