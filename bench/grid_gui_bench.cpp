// The reorder grid of the offscreen window with a million rows: inserting them row by row
// as the import does (with the progress turns of the event loop), showing them, scrolling
// through them, fitting the columns and clearing. Run with QT_QPA_PLATFORM=offscreen (set
// when missing).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QScrollBar>
#include <QTreeView>
#include <cstdio>
#include <memory>
#include <random>
#include <string>

#include "app/main_window.h"
#include "text/encoding.h"
#include "ui/qt/grid_view.h"
#include "tests/support/scripted_dialogs.h"

namespace lanzhou {
namespace {

constexpr int kRows = 1'000'000;

class Window {
 public:
  Window() : clock_(DateTime(42067.5)) {
    window_ = std::make_unique<MainWindow>(MainWindow::Options{&dialogs_, &clock_, Text("/tmp")});
    window_->show();
    QApplication::processEvents();
  }
  Units& units() { return window_->units(); }
  GridData& grid() { return units().Grid(Unit::超级列表框1); }
  QTreeView* view() { return qobject_cast<QTreeView*>(window_->UnitWidget(Unit::超级列表框1)); }

  // Three columns; "user0000001", a GBK name, a phone number. Progress turns every 1000 rows.
  void Fill() {
    GridData& g = grid();
    g.DeleteAllItems();
    while (g.ColumnCount() > 0) g.DeleteColumn(0);
    for (const char* caption : {"列1", "列2", "列3"}) g.InsertColumn(-1, FromUtf8(caption));
    const Text name = FromUtf8("张三丰");
    char number[16];
    for (int i = 0; i < kRows; ++i) {
      std::snprintf(number, sizeof number, "%07d", i);
      const int row = g.InsertItem(-1, Text("user") + Text(number));
      g.SetCellText(row, 1, name);
      g.SetCellText(row, 2, Text("1380") + Text(number));
      if (i % 1000 == 0) units().ProcessEvents();
    }
    window_->FlushGrids();
    QApplication::processEvents();
  }

 private:
  ScriptedDialogs dialogs_;
  FixedClock clock_;
  std::unique_ptr<MainWindow> window_;
};

Window& TheWindow() {
  static Window window;
  return window;
}

void BM_InsertMillionRows(benchmark::State& state) {
  Window& w = TheWindow();
  for (auto _ : state) {
    w.Fill();
    w.view()->viewport()->repaint();
  }
  state.counters["rows"] = w.view()->model()->rowCount();
}
BENCHMARK(BM_InsertMillionRows)->Unit(benchmark::kMillisecond)->Iterations(3);

// One scroll to a random place and the repaint that shows it.
void BM_ScrollMillionRows(benchmark::State& state) {
  Window& w = TheWindow();
  if (w.grid().ItemCount() != kRows) w.Fill();
  QScrollBar* bar = w.view()->verticalScrollBar();
  std::mt19937 random(1);
  for (auto _ : state) {
    bar->setValue(static_cast<int>(random() % static_cast<unsigned>(bar->maximum() + 1)));
    w.view()->viewport()->repaint();
  }
}
BENCHMARK(BM_ScrollMillionRows)->Unit(benchmark::kMillisecond);

// Scrolling row by row near the end: what a held arrow key costs.
void BM_ScrollStepAtTheEnd(benchmark::State& state) {
  Window& w = TheWindow();
  if (w.grid().ItemCount() != kRows) w.Fill();
  QScrollBar* bar = w.view()->verticalScrollBar();
  bar->setValue(bar->maximum() - 1000);
  for (auto _ : state) {
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    w.view()->viewport()->repaint();
  }
}
BENCHMARK(BM_ScrollStepAtTheEnd)->Unit(benchmark::kMicrosecond);

void BM_AutoFitMillionRows(benchmark::State& state) {
  Window& w = TheWindow();
  if (w.grid().ItemCount() != kRows) w.Fill();
  for (auto _ : state) w.units().AutoFitColumns(Unit::超级列表框1);
}
BENCHMARK(BM_AutoFitMillionRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ClearMillionRows(benchmark::State& state) {
  Window& w = TheWindow();
  for (auto _ : state) {
    state.PauseTiming();
    w.Fill();
    state.ResumeTiming();
    w.grid().DeleteAllItems();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_ClearMillionRows)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace lanzhou
