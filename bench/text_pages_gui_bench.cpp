// The three text pages in the offscreen window: the whole press of each button on pasted
// records, from reading the boxes to the results shown in the boxes and the saved file.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "bench/bench_window.h"
#include "bench/text_pages_records.h"
#include "tests/support/scripted_dialogs.h"
#include "ui/qt/qt_text.h"

namespace lanzhou {
namespace {

class Window : public BenchWindow {
 public:
  explicit Window(int page) : BenchWindow(page, "text_pages_gui_bench") {}

  void Press(Unit button) {
    static_cast<QPushButton*>(window_->UnitWidget(button))->click();
    QApplication::processEvents();
  }
  std::int64_t MessageCount() const { return static_cast<std::int64_t>(dialogs_.messages.size()); }
};

const std::string& Records(int count) {
  static std::string records;
  static int made = 0;
  if (made != count) {
    records = GbkRecords(count);
    made = count;
  }
  return records;
}

// Pasting is not part of the press: the box is filled before the clock runs.
void BM_PressExtract(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  Window window(4);
  window.units().SetEditText(Unit::列1, Text("2"));
  for (auto _ : state) {
    state.PauseTiming();
    window.units().SetEditText(Unit::编辑框4, Text(Records(count)));
    QApplication::processEvents();
    state.ResumeTiming();
    window.Press(Unit::按钮3);
  }
  if (window.MessageCount() != state.iterations()) state.SkipWithError("no message");
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_PressDedupe(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  Window window(2);
  window.units().SetEditText(Unit::编辑框2, Text(Records(count)));
  QApplication::processEvents();
  for (auto _ : state) {
    state.PauseTiming();
    window.units().SetEditText(Unit::编辑框3, Text());
    QApplication::processEvents();
    state.ResumeTiming();
    window.Press(Unit::按钮1);
  }
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_PressWrap(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  Window window(3);
  window.units().SetEditText(Unit::字数_编辑框, Text("40"));
  for (auto _ : state) {
    state.PauseTiming();
    window.units().SetEditText(Unit::被折行_编辑框, Text(Records(count)));
    window.units().SetEditText(Unit::替换后_编辑框, Text());
    QApplication::processEvents();
    state.ResumeTiming();
    window.Press(Unit::按钮2);
  }
  if (window.MessageCount() != state.iterations()) state.SkipWithError("no message");
  state.SetItemsProcessed(state.iterations() * count);
}

// One run per size: a press on a million lines takes seconds.
void PressSizes(benchmark::internal::Benchmark* b) {
  b->Arg(10'000)->Arg(100'000)->Arg(1'000'000);
  b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
}

BENCHMARK(BM_PressExtract)->Apply(PressSizes);
BENCHMARK(BM_PressDedupe)->Apply(PressSizes);
BENCHMARK(BM_PressWrap)->Apply(PressSizes);

}  // namespace
}  // namespace lanzhou
