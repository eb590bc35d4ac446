// A `Dialogs` that answers from queues and records every call: what GUI and handler tests
// give the window instead of modal dialogs.
#ifndef LANZHOU_TESTS_SUPPORT_SCRIPTED_DIALOGS_H_
#define LANZHOU_TESTS_SUPPORT_SCRIPTED_DIALOGS_H_

#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "text/encoding.h"
#include "ui/dialogs.h"

namespace lanzhou {

class ScriptedDialogs : public Dialogs {
 public:
  struct Message {
    Text text;
    int flags;
    Text caption;
    friend bool operator==(const Message&, const Message&) = default;
    // Failures show the texts as a person reads them.
    friend void PrintTo(const Message& m, std::ostream* os) {
      *os << "{\"" << ToUtf8(m.text) << "\", " << m.flags << ", \"" << ToUtf8(m.caption) << "\"}";
    }
  };
  struct Question {
    Text prompt;
    Text caption;
    Text initial_text;
    int mode;
    friend bool operator==(const Question&, const Question&) = default;
  };

  // Answers are used in order; with none queued a message answers OK (0) and an input box
  // or file dialog is cancelled.
  void QueueMessageAnswer(int result) { message_answers_.push_back(result); }
  void QueueText(std::optional<Text> answer) { text_answers_.push_back(std::move(answer)); }
  void QueueFile(std::optional<Text> path) { file_answers_.push_back(std::move(path)); }

  int ShowMessage(const Text& text, int flags, const Text& caption) override {
    messages.push_back({text, flags, caption});
    if (message_answers_.empty()) return 0;
    int answer = message_answers_.front();
    message_answers_.pop_front();
    return answer;
  }
  std::optional<Text> AskText(const Text& prompt, const Text& caption, const Text& initial_text,
                              int mode) override {
    questions.push_back({prompt, caption, initial_text, mode});
    if (text_answers_.empty()) return std::nullopt;
    auto answer = text_answers_.front();
    text_answers_.pop_front();
    return answer;
  }
  bool ShowCommonDialog(CommonDialog& dialog) override {
    file_dialogs.push_back(dialog);
    if (file_answers_.empty() || !file_answers_.front()) {
      if (!file_answers_.empty()) file_answers_.pop_front();
      return false;
    }
    dialog.file_name = *file_answers_.front();
    file_answers_.pop_front();
    return true;
  }
  void OpenUrl(const Text& address) override { opened_urls.push_back(address); }

  std::vector<Message> messages;
  std::vector<Question> questions;
  std::vector<CommonDialog> file_dialogs;
  std::vector<Text> opened_urls;

 private:
  std::deque<int> message_answers_;
  std::deque<std::optional<Text>> text_answers_;
  std::deque<std::optional<Text>> file_answers_;
};

}  // namespace lanzhou

#endif  // LANZHOU_TESTS_SUPPORT_SCRIPTED_DIALOGS_H_
