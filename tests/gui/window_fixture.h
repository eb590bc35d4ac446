// The real main window for GUI tests: scripted dialogs, a fixed clock and a temporary run
// directory, plus helpers that drive it as a user would (real drop and resize events).
#ifndef LANZHOU_TESTS_GUI_WINDOW_FIXTURE_H_
#define LANZHOU_TESTS_GUI_WINDOW_FIXTURE_H_

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QResizeEvent>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/main_window.h"
#include "tests/support/scripted_dialogs.h"
#include "text/clock.h"
#include "text/encoding.h"
#include "ui/qt/qt_text.h"

namespace lanzhou {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(directory_.isValid());
    MainWindow::Options options;
    options.dialogs = &dialogs_;
    options.clock = &clock_;
    options.run_directory = FromQString(directory_.path());
    window_ = std::make_unique<MainWindow>(options);
  }

  // The widget of `unit`, as its Qt type.
  template <typename W>
  W* Widget(Unit unit) {
    return qobject_cast<W*>(window_->UnitWidget(unit));
  }

  // Bounds in the window's client coordinates.
  QRect Bounds(Unit unit) { return window_->UnitWidget(unit)->geometry(); }

  // Resizes the window's client area (no smaller than its minimum) and lets the
  // size-changed event arrive.
  void ResizeClient(int width, int height) {
    window_->resize(width, height);
    QResizeEvent event(window_->size(), window_->size());
    QApplication::sendEvent(window_.get(), &event);
  }

  // Drops local files (UTF-8 paths) on `target` with a real drop event; returns the event's
  // acceptance and drop action.
  static std::pair<bool, Qt::DropAction> DropFiles(QWidget* target,
                                                   const std::vector<std::string>& paths) {
    QList<QUrl> urls;
    for (const std::string& path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return DropMime(target, data.get());
  }

  // With Shift held, the drag proposes a move.
  static std::pair<bool, Qt::DropAction> DropMime(
      QWidget* target, QMimeData* data, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QPoint at(target->width() / 2, target->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(target, &drop);
    return {drop.isAccepted(), drop.dropAction()};
  }

  std::string DirectoryPath() const { return directory_.path().toStdString(); }

  QTemporaryDir directory_;
  ScriptedDialogs dialogs_;
  FixedClock clock_{DateTime(42067.521354166667)};
  std::unique_ptr<MainWindow> window_;
};

}  // namespace lanzhou

#endif  // LANZHOU_TESTS_GUI_WINDOW_FIXTURE_H_
