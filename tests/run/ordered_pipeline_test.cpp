#include "run/ordered_pipeline.h"

#include <gtest/gtest.h>

#include <chrono>
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

TEST(OrderedPipelineTest, ResultsComeInTheOrderOfThePieces) {
  std::string expected;
  for (int n = 0; n < 200; ++n) expected += std::to_string(n) + ",";
  for (int threads : {1, 2, 7}) {
    EXPECT_EQ(Numbers(threads, 200), expected) << threads;
    EXPECT_EQ(Numbers(threads, 200, 3), "0,1,2,") << threads;
    EXPECT_EQ(Numbers(threads, 0), "") << threads;
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
