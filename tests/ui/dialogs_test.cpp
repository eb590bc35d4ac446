#include "ui/dialogs.h"

#include <gtest/gtest.h>

#include "tests/support/scripted_dialogs.h"
#include "text/dates.h"
#include "text/encoding.h"

namespace lanzhou {
namespace {

TEST(ShowMessage, ConvertsTheValueAndDefaultsTheCaption) {
  ScriptedDialogs dialogs;
  dialogs.QueueMessageAnswer(message_result::kYes);
  EXPECT_EQ(ShowMessage(dialogs, FromUtf8("是否关闭程序?"), 0x24), 5);
  EXPECT_EQ(ShowMessage(dialogs, std::int32_t{12}), 0);
  ShowMessage(dialogs, true, 0, Text("T"));
  ShowMessage(dialogs, MakeTime(2015, 3, 4, 12), 0, Text());
  ShowMessage(dialogs, Bytes(std::string("xy")));
  const Text info = FromUtf8("信息：");
  const std::vector<ScriptedDialogs::Message> want = {
      {FromUtf8("是否关闭程序?"), 0x24, info},
      {Text("12"), 0, info},
      {FromUtf8("真"), 0, Text("T")},
      {FromUtf8("2015年3月4日12时"), 0, Text()},
      {Text(), 0, info},
  };
  EXPECT_EQ(dialogs.messages, want);
}

TEST(RunReportingOutOfMemory, TellsTheUserInsteadOfEndingTheProgram) {
  ScriptedDialogs dialogs;
  int ran = 0;
  RunReportingOutOfMemory(dialogs, [&] { ++ran; });
  RunReportingOutOfMemory(dialogs, [&] {
    ++ran;
    throw std::bad_alloc();
  });
  EXPECT_EQ(ran, 2);
  const std::vector<ScriptedDialogs::Message> want = {
      {FromUtf8("内存不足"), message_flags::kIconError, FromUtf8("信息：")}};
  EXPECT_EQ(dialogs.messages, want);
}

TEST(InputBox, ClampsModeAndResolvesCaption) {
  ScriptedDialogs dialogs;
  Text answer("old");
  EXPECT_FALSE(InputBox(dialogs, FromUtf8("请输入导入的分隔符!"), Text(), Text("|"), &answer));
  EXPECT_EQ(answer, Text("old"));  // cancelled: unchanged
  InputBox(dialogs, Text(), Text("T"), Text(), &answer, 0);
  InputBox(dialogs, Text(), Text(), Text(), &answer, 9);
  const std::vector<ScriptedDialogs::Question> want = {
      {FromUtf8("请输入导入的分隔符!"), FromUtf8("请输入："), Text("|"), 1},
      {Text(), Text("T"), Text(), 1},
      {Text(), FromUtf8("请输入："), Text(), 4},
  };
  EXPECT_EQ(dialogs.questions, want);
}

TEST(InputBox, StoresTheTypedTextByTheVariableKind) {
  ScriptedDialogs dialogs;
  Text text;
  std::int32_t i32 = 1;
  std::int64_t i64 = 1;
  float f = 1;
  double d = 1;
  for (const char* typed : {"--", " -12x", "9000000000", "2.5e1", "abc"}) {
    dialogs.QueueText(Text(typed));
  }
  EXPECT_TRUE(InputBox(dialogs, Text(), Text(), Text(), &text));
  EXPECT_TRUE(InputBox(dialogs, Text(), Text(), Text(), &i32, 2));
  EXPECT_TRUE(InputBox(dialogs, Text(), Text(), Text(), &i64, 2));
  EXPECT_TRUE(InputBox(dialogs, Text(), Text(), Text(), &f, 3));
  EXPECT_TRUE(InputBox(dialogs, Text(), Text(), Text(), &d, 3));
  EXPECT_EQ(text, Text("--"));
  EXPECT_EQ(i32, -12);
  EXPECT_EQ(i64, 9000000000);
  EXPECT_EQ(f, 25.0f);
  EXPECT_EQ(d, 0.0);
}

}  // namespace
}  // namespace lanzhou
