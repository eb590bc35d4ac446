// How the window answers while each page works on a million lines: the longest stall of its
// event loop (the largest gap between two turns of a 1 ms timer, from the click until the
// handler has returned), and how long a cancel takes to leave the window idle (from the
// click on 取消 until the handler has returned). Offscreen window, dialogs scripted, real
// files in a temporary directory.
//
// On a loaded machine the window's thread also waits for a core, so a gap is partly the
// scheduler's: `stall_cpu_ms`, the most CPU time the window's thread spent between two turns,
// is what the window itself kept the loop from turning.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "app/long_work_runner.h"
#include "app/main_window.h"
#include "bench/bench_window.h"
#include "bench/text_pages_records.h"
#include "pages/reorder.h"
#include "tests/support/scripted_dialogs.h"

namespace lanzhou {
namespace {

constexpr int kLines = 1'000'000;

// CPU time of the calling thread.
qint64 ThreadCpuNs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return qint64{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

const std::string& Records() {
  static const std::string records = GbkRecords(kLines);
  return records;
}

class Window : public BenchWindow {
 public:
  explicit Window(int page) : BenchWindow(page, "long_work_gui_bench") {}

  ScriptedDialogs& dialogs() { return dialogs_; }
  std::filesystem::path dir() const { return dir_; }

  struct Press {
    double longest_stall_ms = 0;
    double longest_stall_cpu_ms = 0;
    double cancel_to_idle_ms = -1;  // -1: not cancelled (the work ended first)
  };
  // Clicks `button` and measures the loop's turns until the handler returns; with `cancel`,
  // clicks 取消 once the work is `cancel_at` of the way (by the bar, or by time when the
  // work cannot tell its end).
  Press Click(Unit button, bool cancel, double cancel_at = 0.5) {
    Press press;
    QElapsedTimer clock;
    qint64 last = -1;
    qint64 last_cpu = 0;
    qint64 cancelled_at = -1;
    LongWorkRunner& runner = window_->long_work();
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
      const qint64 now = clock.nsecsElapsed();
      const qint64 cpu = ThreadCpuNs();
      if (last >= 0) {
        press.longest_stall_ms = std::max(press.longest_stall_ms, (now - last) / 1e6);
        press.longest_stall_cpu_ms = std::max(press.longest_stall_cpu_ms, (cpu - last_cpu) / 1e6);
      }
      last = now;
      last_cpu = cpu;
      if (!cancel || cancelled_at >= 0 || !runner.cancel_button()->isVisible()) return;
      const QProgressBar* bar = runner.bar();
      const bool far_enough = bar->maximum() > 0 ? bar->value() >= cancel_at * bar->maximum()
                                                 : now >= static_cast<qint64>(cancel_at * 1e9);
      if (!far_enough) return;
      cancelled_at = clock.nsecsElapsed();
      runner.cancel_button()->click();
    });
    probe.start(1);
    clock.start();
    last_cpu = ThreadCpuNs();
    qobject_cast<QPushButton*>(window_->UnitWidget(button))->click();
    const qint64 idle = clock.nsecsElapsed();
    const qint64 idle_cpu = ThreadCpuNs();
    probe.stop();
    if (last >= 0) {
      press.longest_stall_ms = std::max(press.longest_stall_ms, (idle - last) / 1e6);
      press.longest_stall_cpu_ms =
          std::max(press.longest_stall_cpu_ms, (idle_cpu - last_cpu) / 1e6);
    }
    if (cancelled_at >= 0) press.cancel_to_idle_ms = (idle - cancelled_at) / 1e6;
    QApplication::processEvents();
    return press;
  }
};

// Sets a page up for one press: `prepare` before the clock runs, then the press.
void Measure(benchmark::State& state, int page, Unit button,
             const std::function<void(Window&)>& prepare) {
  const bool cancel = state.range(0) != 0;
  Window window(page);
  double stall = 0;
  double stall_cpu = 0;
  double cancel_to_idle = 0;
  for (auto _ : state) {
    state.PauseTiming();
    prepare(window);
    // The views take in what `prepare` changed (a grid of a million rows is laid out once)
    // before the clock runs.
    for (int turn = 0; turn < 3; ++turn) QApplication::processEvents();
    state.ResumeTiming();
    const Window::Press press = window.Click(button, cancel);
    stall = std::max(stall, press.longest_stall_ms);
    stall_cpu = std::max(stall_cpu, press.longest_stall_cpu_ms);
    cancel_to_idle = std::max(cancel_to_idle, press.cancel_to_idle_ms);
  }
  state.counters["stall_ms"] = stall;
  state.counters["stall_cpu_ms"] = stall_cpu;
  if (cancel) state.counters["cancel_to_idle_ms"] = cancel_to_idle;
}

void BM_Import(benchmark::State& state) {
  Measure(state, 0, Unit::按钮_导入, [](Window& window) {
    if (!std::filesystem::exists(window.dir() / "in.txt")) {
      std::ofstream(window.dir() / "in.txt", std::ios::binary) << Records();
    }
    window.units().Grid(Unit::超级列表框1).DeleteAllItems();
    window.dialogs().QueueText(Text("----"));
    window.dialogs().QueueFile(Text((window.dir() / "in.txt").string()));
  });
}

void BM_Export(benchmark::State& state) {
  Measure(state, 0, Unit::按钮_导出, [](Window& window) {
    GridData& grid = window.units().Grid(Unit::超级列表框1);
    if (grid.ItemCount() == 0) LoadDelimitedBytes(Records(), Text("----"), grid);
    window.units().SetEditText(Unit::编辑框_列, Text("3,1"));
    window.dialogs().QueueText(Text("|"));
  });
}

void BM_Merge(benchmark::State& state) {
  Measure(state, 1, Unit::按钮_处理, [](Window& window) {
    std::filesystem::remove(window.dir() / "合并数据.txt");
    for (Unit unit : {Unit::超级列表框A, Unit::超级列表框b}) {
      GridData& grid = window.units().Grid(unit);
      if (grid.ItemCount() > 0) continue;
      std::string_view rest = Records();
      for (int i = 1; !rest.empty(); ++i) {
        const std::size_t end = rest.find("\r\n");
        grid.AppendRow({Text(std::to_string(i)), Text(rest.substr(0, end))});
        rest.remove_prefix(end + 2);
      }
    }
  });
}

void BM_Dedupe(benchmark::State& state) {
  Measure(state, 2, Unit::按钮1, [](Window& window) {
    window.units().SetEditText(Unit::编辑框2, Text(Records()));
    window.units().SetEditText(Unit::编辑框3, Text());
    QApplication::processEvents();
  });
}

void BM_Wrap(benchmark::State& state) {
  Measure(state, 3, Unit::按钮2, [](Window& window) {
    window.units().SetEditText(Unit::字数_编辑框, Text("40"));
    window.units().SetEditText(Unit::被折行_编辑框, Text(Records()));
    window.units().SetEditText(Unit::替换后_编辑框, Text());
    QApplication::processEvents();
  });
}

void BM_Extract(benchmark::State& state) {
  Measure(state, 4, Unit::按钮3, [](Window& window) {
    window.units().SetEditText(Unit::列1, Text("2"));
    window.units().SetEditText(Unit::编辑框4, Text(Records()));
    QApplication::processEvents();
  });
}

void BM_Clean(benchmark::State& state) {
  Measure(state, 5, Unit::按钮_清洗, [](Window& window) {
    window.units().SetEditText(Unit::清洗_编辑框, Text(Records()));
    window.units().SetEditText(Unit::清洗后_编辑框, Text());
    QApplication::processEvents();
  });
}

// 0: the work runs to its end; 1: cancelled half way.
void Runs(benchmark::internal::Benchmark* b) {
  b->ArgName("cancel")->Arg(0)->Arg(1);
  b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
}

BENCHMARK(BM_Import)->Apply(Runs);
BENCHMARK(BM_Export)->Apply(Runs);
BENCHMARK(BM_Merge)->Apply(Runs);
BENCHMARK(BM_Dedupe)->Apply(Runs);
BENCHMARK(BM_Wrap)->Apply(Runs);
BENCHMARK(BM_Extract)->Apply(Runs);
BENCHMARK(BM_Clean)->Apply(Runs);

}  // namespace
}  // namespace lanzhou
