#include "run/ordered_pipeline.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace lanzhou {
namespace {

// Pieces 0..count-1, each worked into its decimal text after a pause that varies, so that
// later pieces often finish first.
std::string Numbers(int threads, int count, int stop_after = -1) {
  int i = 0;
  std::string out;
  int taken = 0;
  RunInOrder<int, std::string>(
      threads,
      [&](int& piece) {
        piece = i++;
        return piece < count;
      },
      [](const int& piece, std::string& result) {
        std::this_thread::sleep_for(std::chrono::microseconds((piece * 7919) % 300));
        result = std::to_string(piece) + ",";
      },
      [&](int&, std::string& result) {
        out += result;
        return ++taken != stop_after;
      });
  return out;
}

// What `run` returns, run in a child process that gets 10 seconds: nothing when it did not
// finish by then (a pipeline that hangs fails its test at once, not at the suite's timeout).
std::optional<std::string> WithinDeadline(const std::function<std::string()>& run) {
  int fds[2];
  if (pipe(fds) != 0) return std::nullopt;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    const std::string result = run();
    const bool written =
        write(fds[1], result.data(), result.size()) == static_cast<ssize_t>(result.size());
    _exit(written ? 0 : 1);
  }
  close(fds[1]);
  std::string result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool finished = false;
  while (!finished && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buffer[4096];
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n > 0) result.append(buffer, static_cast<std::size_t>(n));
    finished = n == 0;
  }
  close(fds[0]);
  if (!finished) kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  if (!finished || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return result;
}

TEST(OrderedPipelineTest, ResultsComeInTheOrderOfThePieces) {
  std::string expected;
  for (int n = 0; n < 200; ++n) expected += std::to_string(n) + ",";
  for (int threads : {1, 2, 7}) {
    EXPECT_EQ(WithinDeadline([&] { return Numbers(threads, 200); }), expected) << threads;
    EXPECT_EQ(WithinDeadline([&] { return Numbers(threads, 200, 3); }), "0,1,2,") << threads;
    EXPECT_EQ(WithinDeadline([&] { return Numbers(threads, 0); }), "") << threads;
  }
}

// The ring holds exactly two pieces per thread: the producer fills it before it waits, and
// never goes beyond.
TEST(OrderedPipelineTest, AtMostTwoPiecesPerThreadAreInFlight) {
  for (int threads : {2, 3, 8}) {
    const std::optional<std::string> most = WithinDeadline([threads] {
      int made = 0;
      int taken = 0;
      int in_flight = 0;
      RunInOrder<int, int>(
          threads,
          [&](int& piece) {
            piece = made++;
            in_flight = std::max(in_flight, made - taken);
            return piece < 100;
          },
          [](const int&, int&) { std::this_thread::sleep_for(std::chrono::microseconds(200)); },
          [&](int&, int&) {
            ++taken;
            return true;
          });
      return std::to_string(in_flight);
    });
    EXPECT_EQ(most, std::to_string(2 * threads)) << threads;
  }
}

TEST(OrderedPipelineTest, AFailedPieceStopsTheRunAndIsRethrown) {
  for (int threads : {1, 3}) {
    int i = 0;
    auto run = [&] {
      RunInOrder<int, int>(
          threads, [&](int& piece) { return (piece = i++) < 1000; },
          [](const int& piece, int&) {
            if (piece == 5) throw std::runtime_error("piece 5");
          },
          [](int&, int&) { return true; });
    };
    EXPECT_THROW(run(), std::runtime_error);
    EXPECT_LT(i, 1000);
  }
}

}  // namespace
}  // namespace lanzhou
