// A one-line progress display for long runs on a terminal.
#ifndef LANZHOU_RUN_PROGRESS_METER_H_
#define LANZHOU_RUN_PROGRESS_METER_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace lanzhou {

// Shows how far a run is on one line of a terminal: a bar, the bytes done and their total,
// the rate and the time left, redrawn in place at most five times a second:
//
//   dedupe [#######.............]  612 MB / 1.7 GB  180 MB/s  0:06 left
//
// Nothing is shown unless `fd` is a terminal, nor during the first second (a short run
// stays silent), nor after `Finish`, which erases the line (so does the destructor). The
// line is cut to the terminal's width. Bytes count in units of 1024.
class ProgressMeter {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // `clock` is for tests; by default the steady clock.
  explicit ProgressMeter(int fd, std::string label, Clock clock = {});
  ProgressMeter(const ProgressMeter&) = delete;
  ProgressMeter& operator=(const ProgressMeter&) = delete;
  ~ProgressMeter() { Finish(); }

  void Update(std::uint64_t done, std::uint64_t total);
  void Finish();

  // The text of the line (without the terminal's control bytes), as `Update` draws it.
  //   ProgressLine("wrap", 5 << 20, 10 << 20, 2s, 80) ==
  //     "wrap [##########..........]  5.0 MB / 10.0 MB  2.5 MB/s  0:02 left"
  static std::string ProgressLine(const std::string& label, std::uint64_t done, std::uint64_t total,
                                  std::chrono::nanoseconds elapsed, int width);

 private:
  int fd_;  // -1 when not a terminal
  std::string label_;
  Clock clock_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point last_;
  bool drawn_ = false;
};

}  // namespace lanzhou

#endif  // LANZHOU_RUN_PROGRESS_METER_H_
