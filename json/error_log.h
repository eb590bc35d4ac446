// ErrorLog: the JSON module's bounded log of error texts, a stack of the last entries kept
// on a ring of fixed slots.
//
//   ErrorLog log;                 // 32 empty slots
//   log.Push("first");            // 32
//   log.Push("second");           // 31
//   log.Pop() == "second";  log.Pop() == "first";  log.Pop() == "";
//
// Once every slot is taken, each push overwrites the oldest entry. Texts are copied in and
// out; the log never fails and never reports anything by itself.
#ifndef LANZHOU_JSON_ERROR_LOG_H_
#define LANZHOU_JSON_ERROR_LOG_H_

#include "text/text.h"

namespace lanzhou {

class ErrorLog {
 public:
  ErrorLog();

  // A deep copy.
  ErrorLog Copy() const { return *this; }
  // n slots: the first min(old, n) texts stay, the rest are dropped; position = capacity
  // = n. A negative n counts as 0.
  void Resize(int n);
  // Stores a copy of `text` in the slot before the current one (wrapping from 1 to the last)
  // and returns that slot + 1; 0, storing nothing, when the log has no slots.
  int Push(const Text& text);
  // The newest entry, emptying its slot, or "" when there is none.
  Text Pop();
  bool HasEntry() const;
  int Position() const { return position_; }
  int Capacity() const { return capacity_; }

 private:
  TextArray texts_;  // slot i (1-based) is texts_[i - 1]
  int position_;
  int capacity_;
};

}  // namespace lanzhou

#endif  // LANZHOU_JSON_ERROR_LOG_H_
