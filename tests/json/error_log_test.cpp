#include "json/error_log.h"

#include <gtest/gtest.h>

#include <string>

namespace lanzhou {
namespace {

Text Nth(int i) { return Text("e" + std::to_string(i)); }

TEST(ErrorLog, KeepsTheLast32AsAStack) {
  ErrorLog log;
  EXPECT_EQ(log.Position(), 32);
  EXPECT_FALSE(log.HasEntry());
  // Push returns the new position + 1: 32, 31, ..., 2, then 33 after the wrap, then 32.
  for (int i = 1; i <= 33; ++i) {
    EXPECT_EQ(log.Push(Nth(i)), i <= 31 ? 33 - i : 65 - i) << i;
  }
  for (int i = 33; i >= 2; --i) EXPECT_EQ(log.Pop(), Nth(i));
  EXPECT_EQ(log.Pop(), Text());  // the wrapped position holds the slot emptied first
  EXPECT_FALSE(log.HasEntry());
}

TEST(ErrorLog, PushReturnsTheSlotAfterTheNewEntry) {
  ErrorLog log;
  EXPECT_EQ(log.Push("a"), 32);  // stored in slot 31
  EXPECT_EQ(log.Position(), 31);
  log.Resize(2);
  EXPECT_EQ(log.Position(), 2);
  EXPECT_EQ(log.Push("b"), 2);  // slot 1
  EXPECT_EQ(log.Push("c"), 3);  // slot 2, wrapping
  EXPECT_EQ(log.Push("d"), 2);  // slot 1 again: "b" is lost
  EXPECT_EQ(log.Pop(), Text("d"));
  EXPECT_EQ(log.Pop(), Text("c"));
  EXPECT_EQ(log.Pop(), Text(""));
}

TEST(ErrorLog, ResizeKeepsTheFirstSlots) {
  ErrorLog log;
  log.Resize(3);
  log.Push("x");  // slot 2
  log.Push("y");  // slot 1
  log.Resize(1);
  EXPECT_EQ(log.Capacity(), 1);
  EXPECT_EQ(log.Pop(), Text("y"));
  log.Resize(0);
  EXPECT_EQ(log.Push("z"), 0);
  EXPECT_EQ(log.Pop(), Text());
  EXPECT_FALSE(log.HasEntry());
  log.Resize(-5);
  EXPECT_EQ(log.Capacity(), 0);
}

TEST(ErrorLog, CopyIsDeep) {
  ErrorLog log;
  log.Push("kept");
  ErrorLog copy = log.Copy();
  EXPECT_EQ(log.Pop(), Text("kept"));
  EXPECT_EQ(copy.Pop(), Text("kept"));
}

}  // namespace
}  // namespace lanzhou
