#include "json/json_module.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json/error_log.h"
#include "json/json_handle.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

TEST(JsonModule, StartUpDocumentPassesThroughItsStates) {
  JsonModuleConstruct();
  ErrorLog& log = *JsonModuleErrorLog();
  log.Resize(0);
  log.Resize(32);
  const std::int64_t live_nodes = SharedNodePool().Live();
  const std::int64_t live_blocks = LiveStoreBlocks();
  std::vector<std::string> states;
  JsonHandle doc = BuildModuleInfoDocument(
      [&](int, const JsonHandle& d) { states.push_back(ToUtf8(d.ToJson())); });
  const std::vector<std::string> expected = {
      R"({"模块信息":{"name":"json操作模块"}})",
      R"({"模块信息":{"name":"json操作模块","版本":1.1}})",
      R"({"模块信息":{"name":"json操作模块","版本":1.1},"array":["array1"]})",
      R"({"模块信息":{"name":"json操作模块","版本":1.1},"array":["array1",true]})",
      R"({"模块信息":{"name":"json操作模块","版本":1.1},"array":[[null,"dgd"],true]})",
      R"({"模块信息":{"name":"json操作模块","版本":1.1},"array":[[null,"dgd","9999"],true]})",
      R"(["dfg"])",
      R"(["dfg","444"])",
  };
  EXPECT_EQ(states, expected);
  EXPECT_EQ(log.Position(), 32);  // nothing was pushed
  EXPECT_FALSE(log.HasEntry());
  EXPECT_EQ(doc.Remove(true, false), 0);
  EXPECT_EQ(SharedNodePool().Live(), live_nodes);
  EXPECT_EQ(LiveStoreBlocks(), live_blocks);
}

TEST(JsonModule, StartUpAndCleanUpReleaseWhatTheyMade) {
  JsonModuleCleanup();
  EXPECT_EQ(JsonModuleErrorLog(), nullptr);
  const std::int64_t live_nodes = SharedNodePool().Live();
  const std::int64_t live_blocks = LiveStoreBlocks();
  JsonModuleConstruct();
  ASSERT_NE(JsonModuleErrorLog(), nullptr);
  EXPECT_EQ(JsonModuleErrorLog()->Capacity(), 32);
  JsonModuleStartup();
  EXPECT_GT(SharedNodePool().Live(), live_nodes);
  JsonModuleCleanup();
  EXPECT_EQ(JsonModuleErrorLog(), nullptr);
  EXPECT_EQ(SharedNodePool().Live(), live_nodes);
  EXPECT_EQ(LiveStoreBlocks(), live_blocks);
  // An empty key while no log exists is still harmless.
  JsonHandle doc;
  EXPECT_EQ(doc.Member("").node(), nullptr);
  doc.Remove(true, false);
}

}  // namespace
}  // namespace lanzhou
