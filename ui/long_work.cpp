#include "ui/long_work.h"

#include "ui/units.h"

namespace lanzhou {

bool RunLongWorkHere(Units& units, const LongWork& work, const WorkDisplay& display,
                     std::optional<int> cancel_at) {
  WorkProgress progress;
  int steps = 0;
  std::optional<std::chrono::steady_clock::time_point> shown;
  progress.set_on_step([&] {
    ++steps;
    if (cancel_at && steps >= *cancel_at) progress.Cancel();
    const auto now = std::chrono::steady_clock::now();
    if (shown && now - *shown < std::chrono::milliseconds(200)) return;
    shown = now;
    if (display.label && display.caption) {
      units.SetCaption(*display.label, display.caption(progress.done(), progress.total()));
    }
    units.ProcessEvents();
  });
  try {
    work(progress);
  } catch (const WorkCancelled&) {
    return false;
  }
  return true;
}

}  // namespace lanzhou
