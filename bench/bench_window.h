// The main window for the window benchmarks: offscreen, on one page, saving into a fresh
// temporary folder that goes with it, with scripted dialogs and a fixed clock.
#pragma once

#include <stdlib.h>

#include <QApplication>
#include <QTabWidget>
#include <filesystem>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "tests/support/scripted_dialogs.h"

namespace lanzhou {

class BenchWindow {
 public:
  // `name` starts the temporary folder's name.
  BenchWindow(int page, const std::string& name) {
    std::string pattern = (std::filesystem::temp_directory_path() / (name + "_XXXXXX")).string();
    dir_ = mkdtemp(pattern.data());
    window_ =
        std::make_unique<MainWindow>(MainWindow::Options{&dialogs_, &clock_, Text(dir_.string())});
    window_->show();
    window_->tabs()->setCurrentIndex(page);
    QApplication::processEvents();
  }
  ~BenchWindow() {
    window_.reset();
    std::filesystem::remove_all(dir_);
  }
  BenchWindow(const BenchWindow&) = delete;
  BenchWindow& operator=(const BenchWindow&) = delete;

  Units& units() { return window_->units(); }

 protected:
  std::filesystem::path dir_;
  ScriptedDialogs dialogs_;
  FixedClock clock_{DateTime(42067.521354166667)};
  std::unique_ptr<MainWindow> window_;
};

}  // namespace lanzhou
