#include "run/progress_meter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <string>

namespace lanzhou {
namespace {

using namespace std::chrono_literals;

// A pseudo-terminal 60 columns wide: the meter writes to `terminal`, the test reads `screen`.
struct PseudoTerminal {
  PseudoTerminal() {
    screen = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(screen, 0);
    grantpt(screen);
    unlockpt(screen);
    terminal = open(ptsname(screen), O_RDWR | O_NOCTTY);
    winsize size{};
    size.ws_col = 60;
    ioctl(terminal, TIOCSWINSZ, &size);
    fcntl(screen, F_SETFL, O_NONBLOCK);
  }
  ~PseudoTerminal() {
    close(terminal);
    close(screen);
  }
  std::string Read() const {
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = read(screen, buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    return out;
  }
  int screen = -1;
  int terminal = -1;
};

TEST(ProgressMeterTest, DrawsOnATerminalAfterTheFirstSecondAndErasesAtTheEnd) {
  PseudoTerminal pty;
  auto now = std::chrono::steady_clock::time_point{};
  {
    ProgressMeter meter(pty.terminal, "dedupe", [&] { return now; });
    meter.Update(1 << 20, 10 << 20);
    now += 900ms;
    meter.Update(2 << 20, 10 << 20);
    EXPECT_EQ(pty.Read(), "");  // a run shorter than a second shows nothing
    now += 100ms;
    meter.Update(2 << 20, 10 << 20);
    now += 100ms;
    meter.Update(3 << 20, 10 << 20);  // too soon after the last drawing
    now += 200ms;
    meter.Update(6 << 20, 10 << 20);
    // 60 columns: the line is cut to 59 characters.
    EXPECT_EQ(pty.Read(), "\r" + ProgressMeter::ProgressLine("dedupe", 2 << 20, 10 << 20, 1s, 60) +
                              "\x1b[K" + "\r" +
                              ProgressMeter::ProgressLine("dedupe", 6 << 20, 10 << 20, 1300ms, 60) +
                              "\x1b[K");
  }
  EXPECT_EQ(pty.Read(), "\r\x1b[K");
  EXPECT_EQ(ProgressMeter::ProgressLine("wrap", 5 << 20, 10 << 20, 2s, 80),
            "wrap [##########..........]  5.0 MB / 10.0 MB  2.5 MB/s  0:02 left");
  EXPECT_EQ(ProgressMeter::ProgressLine("dedupe", 6 << 20, 10 << 20, 1300ms, 60),
            "dedupe [############........]  6.0 MB / 10.0 MB  4.6 MB/s  ");
}

TEST(ProgressMeterTest, NeverDrawsWhereNoTerminalIs) {
  int pipe_fds[2];
  ASSERT_EQ(pipe2(pipe_fds, O_NONBLOCK), 0);
  auto now = std::chrono::steady_clock::time_point{};
  {
    ProgressMeter meter(pipe_fds[1], "merge", [&] { return now; });
    for (int i = 0; i < 10; ++i) {
      now += 1s;
      meter.Update(i, 10);
    }
  }
  char byte;
  EXPECT_EQ(read(pipe_fds[0], &byte, 1), -1);
  close(pipe_fds[0]);
  close(pipe_fds[1]);
}

}  // namespace
}  // namespace lanzhou
