// The clock, behind an interface so tests can fix the time, and the time texts of file names.
#ifndef LANZHOU_TEXT_CLOCK_H_
#define LANZHOU_TEXT_CLOCK_H_

#include "text/text.h"

namespace lanzhou {

class Clock {
 public:
  virtual ~Clock() = default;
  // The current local time, whole seconds.
  virtual DateTime Now() const = 0;
};

class SystemClock : public Clock {
 public:
  DateTime Now() const override;
};

// A clock that says what it is told; for tests.
class FixedClock : public Clock {
 public:
  explicit FixedClock(DateTime now) : now_(now) {}
  DateTime Now() const override { return now_; }
  void Set(DateTime now) { now_ = now; }

 private:
  DateTime now_;
};

// The current local time of the system clock.
DateTime Now();

// part 1 (default; 0 or below counts as 1): "2015年3月4日12时30分45秒", dropping the
//   trailing zero fields: "2015年3月4日12时30分", "2015年3月4日12时", "2015年3月4日";
// part 2: the date alone; part 3 (above 3 counts as 3): "12时0分5秒", always all fields.
// The result is GB18030.
Text TimeToText(DateTime time, int part = 1);

}  // namespace lanzhou

#endif  // LANZHOU_TEXT_CLOCK_H_
