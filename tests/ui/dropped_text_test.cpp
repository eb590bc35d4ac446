#include "ui/dropped_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lanzhou {
namespace {

// The import and both merge lists read dropped files through this one rule.
TEST(DroppedPaths, OneBarePathOrEachFollowedByCrLf) {
  struct Case {
    std::string event_text;
    std::vector<std::string> paths;
  } cases[] = {
      {"", {}},
      {"/a.txt", {"/a.txt"}},
      {"/a.txt\r\n", {"/a.txt"}},
      {"/a.txt\r\n/b c.txt\r\n", {"/a.txt", "/b c.txt"}},
      {"/a\r\n\r\n/b\r\n", {"/a", "/b"}},  // an empty entry names no file
      {"\r\n", {}},
      {"/a\r\n/b", {"/a\r\n/b"}},  // no CR LF at the end: one bare path
  };
  for (const Case& c : cases) {
    std::vector<std::string> got;
    for (const Text& path : DroppedPaths(Text(c.event_text))) got.push_back(path.bytes());
    EXPECT_EQ(got, c.paths) << c.event_text;
  }
}

}  // namespace
}  // namespace lanzhou
