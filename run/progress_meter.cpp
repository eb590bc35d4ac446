#include "run/progress_meter.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "io/system_calls.h"

namespace lanzhou {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr seconds kQuietFirst{1};
constexpr milliseconds kRedrawEvery{200};
constexpr int kBarWidth = 20;

std::string Size(double bytes) {
  const char* units[] = {"B", "KB", "MB", "GB", "TB"};
  int unit = 0;
  while (bytes >= 1024 && unit < 4) {
    bytes /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
  return text;
}

std::string Duration(double total_seconds) {
  const auto s = static_cast<long long>(total_seconds + 0.5);
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
  }
  return text;
}

// A display that cannot be written is not worth failing the run.
void Draw(int fd, std::string_view bytes) {
  int ignored = 0;
  WriteAll(fd, bytes, ignored);
}

}  // namespace

ProgressMeter::ProgressMeter(int fd, std::string label, Clock clock)
    : fd_(isatty(fd) ? fd : -1),
      label_(std::move(label)),
      clock_(clock ? std::move(clock) : [] { return std::chrono::steady_clock::now(); }),
      start_(clock_()) {}

std::string ProgressMeter::ProgressLine(const std::string& label, std::uint64_t done,
                                        std::uint64_t total, std::chrono::nanoseconds elapsed,
                                        int width) {
  done = std::min(done, total);
  const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
  const int filled = static_cast<int>(fraction * kBarWidth);
  const double secs = std::chrono::duration<double>(elapsed).count();
  const double rate = secs > 0 ? static_cast<double>(done) / secs : 0;
  std::string line = label + " [" + std::string(filled, '#') +
                     std::string(kBarWidth - filled, '.') + "]  " +
                     Size(static_cast<double>(done)) + " / " + Size(static_cast<double>(total)) +
                     "  " + Size(rate) + "/s";
  if (rate > 0) line += "  " + Duration(static_cast<double>(total - done) / rate) + " left";
  if (width > 1 && line.size() >= static_cast<std::size_t>(width)) line.resize(width - 1);
  return line;
}

void ProgressMeter::Update(std::uint64_t done, std::uint64_t total) {
  if (fd_ < 0) return;
  const auto now = clock_();
  if (now - start_ < kQuietFirst || (drawn_ && now - last_ < kRedrawEvery)) return;
  last_ = now;
  winsize size{};
  const int width = ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
  // Back to the line's start, the new text, then the rest of the old one erased.
  Draw(fd_, "\r" + ProgressLine(label_, done, total, now - start_, width) + "\x1b[K");
  drawn_ = true;
}

void ProgressMeter::Finish() {
  if (drawn_) Draw(fd_, "\r\x1b[K");
  drawn_ = false;
  fd_ = -1;
}

}  // namespace lanzhou
