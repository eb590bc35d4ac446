// The window's side of long work (ui/long_work.h): the work on a thread of its own while the
// window's thread goes on with its events, a progress bar and a 取消 button at the foot of
// the window (the window passes Esc on to `Cancel`), and the page's units closed to input
// meanwhile.
#ifndef LANZHOU_APP_LONG_WORK_RUNNER_H_
#define LANZHOU_APP_LONG_WORK_RUNNER_H_

#include <QObject>
#include <functional>
#include <thread>

#include "ui/long_work.h"
#include "ui/units.h"

class QProgressBar;
class QPushButton;
class QWidget;

namespace lanzhou {

class LongWorkRunner : public QObject {
 public:
  // `set_input_enabled(false)` closes the page's units to input while a work runs, `true`
  // opens them again.
  LongWorkRunner(QWidget* window, Units& units, std::function<void(bool)> set_input_enabled);
  ~LongWorkRunner() override;

  // As `Units::RunLongWork`. Short work goes unseen: the bar, the button and the closed
  // units appear only once the work has run for 150 ms, and until then the user's input
  // waits (it is not lost). Where no thread can start, the work runs here
  // (`RunLongWorkHere`).
  // `cancellable` false: for the window's own work that takes no steps (filling a box), shown
  // without 取消.
  bool Run(const LongWork& work, const WorkDisplay& display, bool cancellable = true);
  bool busy() const { return progress_ != nullptr; }
  // Ends the running work at its next step; nothing when none runs.
  void Cancel();
  // Keeps the bar and the button at the window's bottom left edge.
  void Place();

  QProgressBar* bar() const { return bar_; }
  QPushButton* cancel_button() const { return cancel_; }

  // How a thread is started (none: std::thread); tests make it fail as a system out of
  // threads does, or hold the work back.
  using ThreadStarter = std::function<std::thread(std::function<void()>)>;
  void set_thread_starter(ThreadStarter start) { start_thread_ = std::move(start); }
  // Tests show the bar at once, so that any work can be cancelled.
  void set_show_after_ms(int ms) { show_after_ms_ = ms; }

 private:
  void Show(const WorkDisplay& display);

  QWidget* window_;
  Units& units_;
  std::function<void(bool)> set_input_enabled_;
  QProgressBar* bar_;
  QPushButton* cancel_;
  WorkProgress* progress_ = nullptr;  // the running work's
  ThreadStarter start_thread_;
  int show_after_ms_;
};

}  // namespace lanzhou

#endif  // LANZHOU_APP_LONG_WORK_RUNNER_H_
