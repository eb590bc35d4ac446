// Long work of a page, run while the window goes on repainting and answering, with its
// progress shown and a way for the user to cancel it. A handler reads its units, hands the
// work to `Units::RunLongWork` and writes the results back when it returns:
//
//   const Text input = units.EditText(Unit::编辑框2);
//   Text result;
//   if (!units.RunLongWork([&](WorkProgress& progress) {
//         result = Compute(input, [&](std::size_t done, std::size_t total) {
//           progress.Step(done, total);   // ends the work here when the user cancelled
//         });
//       })) {
//     return;  // cancelled: nothing written, nothing shown
//   }
//   units.SetEditText(Unit::编辑框3, result);
//
// The work runs on another thread, so it touches no unit and nothing the handler does not
// own until it returns; it calls `Step` at least once per piece of its input.
#ifndef LANZHOU_UI_LONG_WORK_H_
#define LANZHOU_UI_LONG_WORK_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "text/text.h"

namespace lanzhou {

class Units;
enum class Unit;  // ui/units.h

// Thrown by `WorkProgress::Step` once the user has cancelled: unwinding takes the work back
// (an `OutputFile` destroyed before its commit leaves no file and cuts an append back).
struct WorkCancelled {};

// How far a long work is and whether it is still wanted; shared by the work's thread and
// the window's. A step costs two atomic stores and a load.
class WorkProgress {
 public:
  // Records that `done` of `total` (any unit; total 0: unknown) are done, and throws
  // `WorkCancelled` when the work is no longer wanted.
  void Step(std::uint64_t done, std::uint64_t total = 0) {
    done_.store(done, std::memory_order_relaxed);
    total_.store(total, std::memory_order_relaxed);
    if (on_step_) on_step_();
    if (cancelled()) throw WorkCancelled{};
  }
  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }
  std::uint64_t done() const { return done_.load(std::memory_order_relaxed); }
  std::uint64_t total() const { return total_.load(std::memory_order_relaxed); }

  // Called at every step on the work's thread, before the check; only for work run on the window's
  // own thread, which then shows its progress from here (`RunLongWorkHere`).
  void set_on_step(std::function<void()> on_step) { on_step_ = std::move(on_step); }

 private:
  std::atomic<std::uint64_t> done_{0};
  std::atomic<std::uint64_t> total_{0};
  std::atomic<bool> cancelled_{false};
  std::function<void()> on_step_;
};

// Where the progress shows besides the window's progress bar: a label of the page that
// receives `caption(done, total)` now and then. The caption is made on the window's thread
// and may read only what the work does not change.
struct WorkDisplay {
  std::optional<Unit> label;
  std::function<Text(std::uint64_t done, std::uint64_t total)> caption;
};

using LongWork = std::function<void(WorkProgress&)>;

// Runs `work` on the calling thread, for a `Units` without threads (tests) and for a window
// whose worker thread cannot start: the display's label shows the caption at the first step
// and then at least every 0.2 s, each time followed by `Units::ProcessEvents`. `cancel_at`,
// when given, cancels the work at that step (tests). True unless the work was cancelled;
// another exception of the work passes through.
bool RunLongWorkHere(Units& units, const LongWork& work, const WorkDisplay& display,
                     std::optional<int> cancel_at = std::nullopt);

}  // namespace lanzhou

#endif  // LANZHOU_UI_LONG_WORK_H_
