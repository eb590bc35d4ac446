// The merge page in the offscreen window with two lists of a million lines: the drops onto
// both grids (read, decode, rows, the views brought up to date) and the press of 按钮_处理
// appending a million joined lines to 合并数据.txt.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "text/encoding.h"
#include "tests/support/scripted_dialogs.h"

namespace lanzhou {
namespace {

constexpr int kLines = 1'000'000;

// Two list files in a temporary run directory, made once.
struct Lists {
  Lists() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "merge_gui_bench_XXXXXX").string();
    dir = mkdtemp(pattern.data());
    const std::string name = FromUtf8("张三丰").bytes();
    std::ofstream a(dir / "a.txt", std::ios::binary);
    std::ofstream b(dir / "b.txt", std::ios::binary);
    for (int i = 0; i < kLines; ++i) {
      a << "user" << i << "@example.com\r\n";
      b << name << i << "\r\n";
    }
  }
  ~Lists() { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
};

Lists& TheLists() {
  static Lists lists;
  return lists;
}

class Window {
 public:
  Window()
      : window_(std::make_unique<MainWindow>(
            MainWindow::Options{&dialogs_, &clock_, Text(TheLists().dir.string())})) {
    window_->show();
    window_->tabs()->setCurrentIndex(1);
    QApplication::processEvents();
  }

  // A desktop drop of one file onto the grid's viewport; returns when the view shows the rows.
  void Drop(Unit grid, const std::filesystem::path& file) {
    auto* view = static_cast<QTreeView*>(window_->UnitWidget(grid));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
    const QPoint point = view->viewport()->rect().center();
    QDragEnterEvent enter(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    QDropEvent drop(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
    QApplication::processEvents();
  }

  int ShownRows(Unit grid) {
    return static_cast<QTreeView*>(window_->UnitWidget(grid))->model()->rowCount();
  }

  void Press() {
    static_cast<QPushButton*>(window_->UnitWidget(Unit::按钮_处理))->click();
    QApplication::processEvents();
  }

 private:
  ScriptedDialogs dialogs_;
  FixedClock clock_{DateTime(42067.521354166667)};
  std::unique_ptr<MainWindow> window_;
};

void BM_DropTwoListsOfAMillionLines(benchmark::State& state) {
  const Lists& lists = TheLists();
  for (auto _ : state) {
    state.PauseTiming();
    auto window = std::make_unique<Window>();
    state.ResumeTiming();
    window->Drop(Unit::超级列表框A, lists.dir / "a.txt");
    window->Drop(Unit::超级列表框b, lists.dir / "b.txt");
    if (window->ShownRows(Unit::超级列表框A) != kLines ||
        window->ShownRows(Unit::超级列表框b) != kLines) {
      state.SkipWithError("the grids do not show every line");
    }
    state.PauseTiming();
    window.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 2 * kLines);
}
BENCHMARK(BM_DropTwoListsOfAMillionLines)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MergeAMillionPairs(benchmark::State& state) {
  const Lists& lists = TheLists();
  Window window;
  window.Drop(Unit::超级列表框A, lists.dir / "a.txt");
  window.Drop(Unit::超级列表框b, lists.dir / "b.txt");
  const std::filesystem::path output = lists.dir / "合并数据.txt";
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(output);
    state.ResumeTiming();
    window.Press();
  }
  state.counters["output_bytes"] = static_cast<double>(std::filesystem::file_size(output));
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_MergeAMillionPairs)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace lanzhou
