// The reorder page in the offscreen window on a file of a million lines of six fields
// (about 60 MB): how long each button keeps the window busy, from the click until the view
// shows the result. Dialogs are scripted; files live in a temporary directory.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QPushButton>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "pages/reorder.h"
#include "text/encoding.h"
#include "tests/support/scripted_dialogs.h"

namespace lanzhou {
namespace {

constexpr int kLines = 1'000'000;

// user0000001|张三丰|13800000001|2015-03-04|北京市朝阳区|65432, CR LF ended, GBK.
std::string RecordFile() {
  const std::string name = FromUtf8("张三丰").bytes();
  const std::string city = FromUtf8("北京市朝阳区").bytes();
  std::string file;
  char number[16];
  for (int i = 0; i < kLines; ++i) {
    snprintf(number, sizeof number, "%07d", i);
    file += "user" + std::string(number) + '|' + name + "|1380" + number + "|2015-03-04|" + city +
            '|' + std::to_string(i % 99991) + "\r\n";
  }
  return file;
}

// One offscreen window over a temporary run directory holding the input file.
class Page {
 public:
  Page() : clock_(DateTime(42067.521354166667)) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "reorder_gui_bench_XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    input_ = Text((dir_ / "in.txt").string());
    std::ofstream(dir_ / "in.txt", std::ios::binary) << RecordFile();
    window_ =
        std::make_unique<MainWindow>(MainWindow::Options{&dialogs_, &clock_, Text(dir_.string())});
    window_->show();
    QApplication::processEvents();
  }
  ~Page() {
    window_.reset();
    std::filesystem::remove_all(dir_);
  }

  // A click on a real button, then the event loop until the view has caught up.
  void Click(Unit button) {
    qobject_cast<QPushButton*>(window_->UnitWidget(button))->click();
    QApplication::processEvents();
  }
  void Import() {
    dialogs_.QueueText(Text("|"));
    dialogs_.QueueFile(input_);
    Click(Unit::按钮_导入);
  }
  int Rows() { return window_->units().Grid(Unit::超级列表框1).ItemCount(); }

  ScriptedDialogs dialogs_;
  std::unique_ptr<MainWindow> window_;

 private:
  FixedClock clock_;
  std::filesystem::path dir_;
  Text input_;
};

void BM_ImportButton(benchmark::State& state) {
  Page page;
  for (auto _ : state) {
    page.Import();
    state.PauseTiming();
    if (page.Rows() != kLines) state.SkipWithError("import failed");
    page.Click(Unit::按钮_清空);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_ImportButton)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ExportButton(benchmark::State& state) {
  Page page;
  page.Import();
  page.window_->units().SetEditText(Unit::编辑框_列, "3,1");
  for (auto _ : state) {
    page.dialogs_.QueueText(Text("|"));
    page.Click(Unit::按钮_导出);
  }
  if (static_cast<benchmark::IterationCount>(page.dialogs_.messages.size()) != state.iterations())
    state.SkipWithError("export failed");
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_ExportButton)->Unit(benchmark::kMillisecond)->Iterations(3);

// The column sizing alone, which every import runs over the whole grid.
void BM_AutoFitColumns(benchmark::State& state) {
  Page page;
  page.Import();
  for (auto _ : state) {
    page.window_->units().AutoFitColumns(Unit::超级列表框1);
    QApplication::processEvents();
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_AutoFitColumns)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ClearButton(benchmark::State& state) {
  Page page;
  for (auto _ : state) {
    state.PauseTiming();
    page.Import();
    state.ResumeTiming();
    page.Click(Unit::按钮_清空);
  }
}
BENCHMARK(BM_ClearButton)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace lanzhou
