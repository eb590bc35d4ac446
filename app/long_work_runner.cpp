#include "app/long_work_runner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <exception>
#include <new>
#include <system_error>

namespace lanzhou {
namespace {

// Work shorter than this shows nothing and closes nothing.
constexpr int kShowAfterMs = 150;
// How often the bar and the page's caption follow the work.
constexpr int kRefreshMs = 100;

}  // namespace

LongWorkRunner::LongWorkRunner(QWidget* window, Units& units,
                               std::function<void(bool)> set_input_enabled)
    : QObject(window),
      window_(window),
      units_(units),
      set_input_enabled_(std::move(set_input_enabled)),
      bar_(new QProgressBar(window)),
      cancel_(new QPushButton(QString::fromUtf8("取消"), window)),
      show_after_ms_(kShowAfterMs) {
  bar_->setObjectName(QStringLiteral("work_progress"));
  cancel_->setObjectName(QStringLiteral("work_cancel"));
  bar_->setTextVisible(true);
  bar_->hide();
  cancel_->hide();
  connect(cancel_, &QPushButton::clicked, this, &LongWorkRunner::Cancel);
  Place();
}

LongWorkRunner::~LongWorkRunner() = default;

void LongWorkRunner::Place() {
  // The foot of the window left of the two links is free on every page.
  const int bottom = window_->height() - 4;
  bar_->setGeometry(6, bottom - 20, 160, 20);
  cancel_->setGeometry(172, bottom - 23, 64, 24);
}

void LongWorkRunner::Cancel() {
  if (progress_ != nullptr) progress_->Cancel();
}

void LongWorkRunner::Show(const WorkDisplay& display) {
  const std::uint64_t done = progress_->done();
  const std::uint64_t total = progress_->total();
  if (total > 0) {
    bar_->setRange(0, 1000);
    bar_->setValue(static_cast<int>(std::min<std::uint64_t>(done, total) * 1000 / total));
  } else {
    bar_->setRange(0, 0);  // going, with no end known
  }
  if (display.label && display.caption) {
    units_.SetCaption(*display.label, display.caption(done, total));
  }
}

bool LongWorkRunner::Run(const LongWork& work, const WorkDisplay& display, bool cancellable) {
  if (busy()) return false;  // one work at a time; the units are closed meanwhile
  WorkProgress progress;
  std::atomic<bool> finished{false};
  bool cancelled = false;
  std::exception_ptr failure;
  std::thread worker;
  try {
    std::function<void()> body = [&] {
      try {
        work(progress);
      } catch (const WorkCancelled&) {
        cancelled = true;
      } catch (...) {
        failure = std::current_exception();
      }
      finished.store(true, std::memory_order_release);
      // Wakes the loop below.
      QMetaObject::invokeMethod(
          this, [] {}, Qt::QueuedConnection);
    };
    worker = start_thread_ ? start_thread_(std::move(body)) : std::thread(std::move(body));
  } catch (const std::system_error&) {
    // No thread to be had (a process limit): the work runs on the window's own.
    return RunLongWorkHere(units_, work, display);
  } catch (const std::bad_alloc&) {
    // Nor room for its stack or its state (an address-space limit).
    return RunLongWorkHere(units_, work, display);
  }

  progress_ = &progress;
  QTimer tick;  // wakes the loop to show progress
  tick.start(kRefreshMs / 2);
  QElapsedTimer clock;
  clock.start();
  qint64 shown_at = -kRefreshMs;
  bool open = false;
  while (!finished.load(std::memory_order_acquire)) {
    if (!open && clock.elapsed() >= show_after_ms_) {
      open = true;
      set_input_enabled_(false);
      Place();
      bar_->show();
      cancel_->setVisible(cancellable);
      bar_->raise();
      cancel_->raise();
      cancel_->setFocus();  // the closed units lose it; Esc reaches the window from here
    }
    if (open && clock.elapsed() - shown_at >= kRefreshMs) {
      shown_at = clock.elapsed();
      Show(display);
    }
    QCoreApplication::processEvents(open ? QEventLoop::WaitForMoreEvents
                                         : QEventLoop::WaitForMoreEvents |
                                               QEventLoop::ExcludeUserInputEvents);
  }
  worker.join();
  progress_ = nullptr;
  if (open) {
    bar_->hide();
    cancel_->hide();
    bar_->reset();
    set_input_enabled_(true);
  }
  if (failure) std::rethrow_exception(failure);
  return !cancelled;
}

}  // namespace lanzhou
